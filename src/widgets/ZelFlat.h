#pragma once
// The flat look the widget library shares: one set of colours (white dialogs
// with dark grey text, slate frames, a teal accent), the small drawings
// several controls repeat, and the names and roles the controls report to the
// desktop's accessibility interface.

#include <QColor>
#include <QRectF>
#include <functional>

class QLineEdit;
class QPainter;
class QWidget;

namespace ZelFlat {
// Text and faces.
inline const QColor Text{0x46, 0x46, 0x46};
inline const QColor TextDisabled{0xA9, 0xAE, 0xB5};
inline const QColor Face{0xFF, 0xFF, 0xFF};
inline const QColor FaceDisabled{0xF4, 0xF5, 0xF7};
// Frames: at rest, under the mouse, disabled.
inline const QColor Border{0xC3, 0xC9, 0xD2};
inline const QColor BorderHot{0x8A, 0x96, 0xA8};
inline const QColor BorderDisabled{0xDE, 0xE1, 0xE6};
// The accent: focus, checked marks, the filled part of bars and tracks.
inline const QColor Accent{0x1F, 0xB5, 0xA8};
inline const QColor AccentDown{0x13, 0x7F, 0x76};
inline const QColor AccentLight{0xD9, 0xF3, 0xF1};
// Slate of the window frame, for thumbs and marks on white.
inline const QColor Slate{0x3A, 0x47, 0x5E};
inline const QColor SlateDark{0x23, 0x2B, 0x3A};
inline const QColor Track{0xD9, 0xDD, 0xE3};

// A frame one device pixel wide sits on pixel centres at any scale: the
// rectangle of a widget of that size, inset by half a logical pixel.
QRectF HairlineRect(const QRectF& r, qreal inset = 0.5);
// A down-pointing chevron centred in r, 1.5 pixels thick.
void DrawChevron(QPainter& p, const QRectF& r, const QColor& color);
// A check mark fitted into r.
void DrawCheckMark(QPainter& p, const QRectF& r, const QColor& color, qreal width);
// The frame colour of an input field in its state.
QColor FieldBorder(const QWidget* w, bool hot);

// A line edit without Qt's frame and background, for a control that paints
// its own rounded field behind the text.
void StyleLineEdit(QLineEdit* edit);
// The rounded field of an input in its state.
void PaintField(QPainter& p, const QWidget* w, bool hot);

// Lets the accessibility interface report the library's own containers and
// lines in their roles (pane, separator); the controls on Qt's classes keep
// Qt's roles. Safe to call any number of times.
void InstallAccessibleRoles();

// Keeps the control's accessible name as ControlDisplayName gives it from
// the caption (asked of `caption` each time), the hint and the object name,
// whenever one of them may have changed (shown, painted, hint or name set).
void KeepAccessibleName(QWidget* control, std::function<QString()> caption);
}  // namespace ZelFlat
