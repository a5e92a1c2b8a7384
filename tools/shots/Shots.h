#pragma once
#include <QString>

// Draws every window and widget into folder, each as CLASS + suffix + ".png".
// Answers how many could not be drawn or saved.
int TakeShots(const QString& folder, const QString& suffix);
