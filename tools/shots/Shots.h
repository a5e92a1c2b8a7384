#pragma once
#include <QString>

// Draws every window and widget into folder, each as CLASS + suffix + ".png".
// Answers how many could not be drawn or saved.
int TakeShots(const QString& folder, const QString& suffix);
// Shows one window by its class name for a person (or a script under a bare
// X server) to try; runs until it closes. 2 when there is no such window.
int ShowWindow(const QString& className);
