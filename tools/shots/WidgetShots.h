#pragma once
#include <QString>

// Draws each control of the widget library with sample content on a white
// card (several states side by side) and saves CLASS + suffix + ".png"; the
// pop-up menu is drawn open. Answers how many could not be saved.
int DrawWidgetShots(const QString& folder, const QString& suffix);
