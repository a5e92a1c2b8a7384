#pragma once
// The window side of the common runtime: outlines, centring, text fitting,
// desktop facts, colours in the 0x00BBGGRR form the forms are described in,
// and setting a control's value without its change signal. Built as its own
// library (it needs Qt Widgets), so the core never links window code.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QFontMetrics;
class QImage;
class QObject;
class QPainter;
class QWidget;

// 0x00BBGGRR, as the form descriptions give colours: 3092271 is RGB 47,47,47.
QColor ColorFromBGR(int bgr);
int ColorToBGR(const QColor& color);

// The window's outline becomes a rectangle with rounded corners of that
// radius, fitted to its current size; call again after every resize.
void MakeRoundRectForm(QWidget* window, int radius);
// The outline MakeRoundRectForm gives a w x h window (for painting a border
// along it and for tests).
QRegion RoundRectRegion(int w, int h, int radius);

// Centres a control in its parent's client area (integer halves, toward zero).
void SetCenter(QWidget* control);
// Draws a picture centred in an area, shrunk to fit when larger, never enlarged.
void DrawCenter(QPainter& painter, const QRect& area, const QImage& image);

// The text shortened to fit width pixels, with an ellipsis at its end.
QString CompressStr(const QString& text, const QFontMetrics& metrics, int width);

// Height of a horizontal scroll bar in the running style.
int SysScrollBarHeight();

// Whether the desktop's panel hides itself. No portable way to ask exists on
// this platform's desktops (each shell keeps it to itself), so this answers
// false and windows maximise to the work area the desktop reports.
bool IsTaskbarAutoHideOn();
// The screen edge the panel sits on: 0 left, 1 top, 2 right, 3 bottom; -1
// when the work area covers the whole screen. Read from the difference
// between the primary screen and its available area.
int GetTaskbarAnchor();
int TaskbarAnchorOf(const QRect& screen, const QRect& available);

// Sets a control's value with its change signals blocked, for the kinds Qt
// knows: line edits (text), sliders and scroll bars (position), spin boxes
// (value), check boxes and radio buttons (checked), combo boxes (index for a
// number; for a text, its index in a drop-down list, else the edit text),
// font combo boxes (family). False for a kind it does not know.
bool NoChangeSet(QObject* control, const QVariant& value);

// The one seam through which every colour dialog passes, as message boxes
// pass through SetMsgBoxHandler: the windows show the desktop's colour dialog
// with the custom colours kept for the session; tests install a handler that
// answers. The handler gets the colour to start from and changes it when the
// user picks one; it answers whether a colour was picked.
using TColorDialogHandler = std::function<bool(QColor& color, QWidget* parent)>;
void SetColorDialogHandler(TColorDialogHandler handler);
TColorDialogHandler GetColorDialogHandler();
bool ExecColorDialog(QColor& color, QWidget* parent);

// The one seam through which every file-open dialog passes. The filter is in
// the forms' notation ("Video Files|*.MP4;*.MKV|All Files|*.*"); folder and
// fileName are where the dialog starts. The answer is the chosen files,
// empty when the user cancelled. Tests install a handler that answers.
using TOpenDialogHandler = std::function<QStringList(QWidget* parent, const QString& filter, const QString& folder,
                                                     const QString& fileName)>;
void SetOpenDialogHandler(TOpenDialogHandler handler);
TOpenDialogHandler GetOpenDialogHandler();
QStringList ExecOpenDialog(QWidget* parent, const QString& filter, const QString& folder, const QString& fileName);
// The one seam of every file-save dialog: the answer is the chosen file
// (with defaultExt added when it has none), empty when the user cancelled.
// The desktop's dialog asks before overwriting.
using TSaveDialogHandler = std::function<QString(QWidget* parent, const QString& filter, const QString& folder,
                                                 const QString& fileName, const QString& defaultExt)>;
void SetSaveDialogHandler(TSaveDialogHandler handler);
TSaveDialogHandler GetSaveDialogHandler();
QString ExecSaveDialog(QWidget* parent, const QString& filter, const QString& folder, const QString& fileName,
                       const QString& defaultExt);

// The one seam of every font dialog: starts from font and colour, changes
// them when the user confirms, answers whether they did.
using TFontDialogHandler = std::function<bool(QFont& font, QColor& color, QWidget* parent)>;
void SetFontDialogHandler(TFontDialogHandler handler);
TFontDialogHandler GetFontDialogHandler();
bool ExecFontDialog(QFont& font, QColor& color, QWidget* parent);

// "Name|*.A;*.B|..." to the dialog's "Name (*.A *.B);;...".
QString DialogFilterOf(const QString& formsFilter);
