#pragma once
// Helpers of the windows.

// Makes every MsgBox a real message box. A call from a worker thread is shown
// by the main thread while the worker waits for the answer.
void InstallGuiMsgBox();

// The faces the forms name and the desktop may lack resolve to fonts of the
// same measure: "MS Sans Serif" to the metric twin of Arial.
void InstallFontSubstitutes();

// True on window-system plugins that show nothing to a person.
bool IsInvisiblePlatform();

class QWidget;
// Enables or disables every control inside the container, at any depth
// (a nested container's children first, then the nested container); the
// container itself is left as it is.
void SetChildrenEnabled(QWidget* container, bool enabled);
