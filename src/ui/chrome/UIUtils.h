#pragma once
// Helpers of the windows.

// Makes every MsgBox a real message box. A call from a worker thread is shown
// by the main thread while the worker waits for the answer.
void InstallGuiMsgBox();

// True on window-system plugins that show nothing to a person.
bool IsInvisiblePlatform();
