#pragma once
// Helpers of the windows.

// Makes every MsgBox a real message box. A call from a worker thread is shown
// by the main thread while the worker waits for the answer.
void InstallGuiMsgBox();
