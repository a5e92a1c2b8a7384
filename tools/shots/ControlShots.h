#pragma once
#include <QString>

// The controls package's controls with sample content: the strip with 40
// frames and their marks, the crop editor over a frame, the buttons.
int DrawControlShots(const QString& folder, const QString& suffix);
