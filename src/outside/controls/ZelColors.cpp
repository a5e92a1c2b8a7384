#include "ZelColors.h"

QColor ColorFromBGR(int bgr)
{
    const auto v = static_cast<unsigned>(bgr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}
