#pragma once
// Colours of the controls package.

#include <QColor>

// The settings and form tables give colours as 0x00BBGGRR numbers
// (255 is red, 3092271 is RGB 47,47,47).
QColor ColorFromBGR(int bgr);
