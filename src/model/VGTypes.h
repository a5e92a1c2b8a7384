#pragma once
// Enumerations and sets shared by the settings and the clip project. They are
// stored by name ("ssHalf", "fsBold,fsItalic"), so the names are part of the file format.

#include <QObject>

namespace VG {
Q_NAMESPACE

enum TSizeStyle { ssOriginal, ssHalf, ssQuarter, ssCustom };
Q_ENUM_NS(TSizeStyle)

// The same bits as the font style bits used when drawing text.
enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_FLAG_NS(TFontStyles)

// Text alignment in the order of the original type: left, right, centre.
enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
Q_ENUM_NS(TAlignment)
}  // namespace VG

Q_DECLARE_OPERATORS_FOR_FLAGS(VG::TFontStyles)

using VG::TSizeStyle;
using VG::TFontStyles;
using VG::TAlignment;
using VG::ssOriginal;
using VG::ssHalf;
using VG::ssQuarter;
using VG::ssCustom;
using VG::fsBold;
using VG::fsItalic;
using VG::fsUnderline;
using VG::fsStrikeOut;
