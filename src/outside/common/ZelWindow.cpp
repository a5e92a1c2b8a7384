#include "ZelWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFontDialog>
#include <QFileInfo>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTextEdit>
#include <QWidget>
#include <cmath>

QColor ColorFromBGR(int bgr)
{
    const auto v = static_cast<uint32_t>(bgr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int ColorToBGR(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QRegion RoundRectRegion(int w, int h, int radius)
{
    if (w <= 0 || h <= 0)
        return {};
    const int r = std::clamp(radius, 0, std::min(w, h) / 2);
    if (r == 0)
        return QRegion(0, 0, w, h);
    // Built row by row from the circle, so every corner is symmetric and the
    // mask has no stray pixels that an ellipse region's rounding leaves.
    QRegion region(0, r, w, h - 2 * r);
    for (int y = 0; y < r; ++y) {
        const double dy = r - y - 0.5;
        const int inset = int(std::lround(r - std::sqrt(std::max(0.0, double(r) * r - dy * dy))));
        region += QRect(inset, y, w - 2 * inset, 1);
        region += QRect(inset, h - 1 - y, w - 2 * inset, 1);
    }
    return region;
}

void MakeRoundRectForm(QWidget* window, int radius)
{
    if (!window)
        return;
    window->setMask(RoundRectRegion(window->width(), window->height(), radius));
}

void SetCenter(QWidget* control)
{
    if (!control || !control->parentWidget())
        return;
    const QRect area = control->parentWidget()->contentsRect();
    control->move(area.left() + (area.width() - control->width()) / 2,
                  area.top() + (area.height() - control->height()) / 2);
}

void DrawCenter(QPainter& painter, const QRect& area, const QImage& image)
{
    if (image.isNull() || area.isEmpty())
        return;
    QSize size = image.size();
    if (size.width() > area.width() || size.height() > area.height())
        size.scale(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.left() + (area.width() - size.width()) / 2,
                       area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    painter.restore();
}

QString CompressStr(const QString& text, const QFontMetrics& metrics, int width)
{
    return metrics.elidedText(text, Qt::ElideRight, std::max(0, width));
}

int SysScrollBarHeight()
{
    return QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

bool IsTaskbarAutoHideOn() { return false; }

int TaskbarAnchorOf(const QRect& screen, const QRect& available)
{
    if (available == screen || available.isEmpty())
        return -1;
    // The panel is on the side the work area gives up the most of.
    const int left = available.left() - screen.left(), top = available.top() - screen.top();
    const int right = screen.right() - available.right(), bottom = screen.bottom() - available.bottom();
    const int most = std::max({left, top, right, bottom});
    if (most <= 0)
        return -1;
    if (bottom == most)
        return 3;
    if (top == most)
        return 1;
    if (left == most)
        return 0;
    return 2;
}

int GetTaskbarAnchor()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TaskbarAnchorOf(screen->geometry(), screen->availableGeometry()) : -1;
}

bool NoChangeSet(QObject* control, const QVariant& value)
{
    if (!control)
        return false;
    const QSignalBlocker block(control);
    if (auto* font = qobject_cast<QFontComboBox*>(control)) {
        font->setCurrentFont(QFont(value.toString()));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (value.typeId() != QMetaType::QString)
            combo->setCurrentIndex(value.toInt());
        else if (!combo->isEditable())
            combo->setCurrentIndex(combo->findText(value.toString()));
        else
            combo->setEditText(value.toString());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value.toString());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->setPlainText(value.toString());
    } else if (auto* text = qobject_cast<QTextEdit*>(control)) {
        text->setPlainText(value.toString());
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        slider->setValue(value.toInt());
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        spin->setValue(value.toInt());
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(control)) {
        dspin->setValue(value.toDouble());
    } else if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->isCheckable()) {
        button->setChecked(value.toBool());
    } else {
        return false;
    }
    return true;
}

namespace {
TColorDialogHandler gColorDialogHandler;
}

void SetColorDialogHandler(TColorDialogHandler handler) { gColorDialogHandler = std::move(handler); }

TColorDialogHandler GetColorDialogHandler() { return gColorDialogHandler; }

bool ExecColorDialog(QColor& color, QWidget* parent)
{
    if (gColorDialogHandler)
        return gColorDialogHandler(color, parent);
    // Qt's own dialog rather than the desktop's: only it shows the custom
    // colours, which stay for the session.
    const QColor picked = QColorDialog::getColor(color, parent, QString(), QColorDialog::DontUseNativeDialog);
    if (!picked.isValid())
        return false;
    color = picked;
    return true;
}

namespace {
TOpenDialogHandler gOpenDialogHandler;
}

void SetOpenDialogHandler(TOpenDialogHandler handler) { gOpenDialogHandler = std::move(handler); }

TOpenDialogHandler GetOpenDialogHandler() { return gOpenDialogHandler; }

QString DialogFilterOf(const QString& formsFilter)
{
    const QStringList parts = formsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // Names on this system's disks are case sensitive: "*.MP4" alone
        // would hide "clip.mp4".
        for (const QString& p : QStringList(patterns))
            if (p.toLower() != p)
                patterns << p.toLower();
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QStringList ExecOpenDialog(QWidget* parent, const QString& filter, const QString& folder, const QString& fileName)
{
    if (gOpenDialogHandler)
        return gOpenDialogHandler(parent, filter, folder, fileName);
    const QString start = fileName.isEmpty() ? folder : fileName;
    const QString file = QFileDialog::getOpenFileName(parent, QString(), start, DialogFilterOf(filter));
    return file.isEmpty() ? QStringList() : QStringList{file};
}

namespace {
TSaveDialogHandler gSaveDialogHandler;
TFontDialogHandler gFontDialogHandler;
}

void SetSaveDialogHandler(TSaveDialogHandler handler) { gSaveDialogHandler = std::move(handler); }

TSaveDialogHandler GetSaveDialogHandler() { return gSaveDialogHandler; }

QString ExecSaveDialog(QWidget* parent, const QString& filter, const QString& folder, const QString& fileName,
                       const QString& defaultExt)
{
    QString file;
    if (gSaveDialogHandler) {
        file = gSaveDialogHandler(parent, filter, folder, fileName, defaultExt);
    } else {
        QString start = folder;
        if (!fileName.isEmpty())
            start = QFileInfo(fileName).isAbsolute() ? fileName : folder + QFileInfo(fileName).fileName();
        file = QFileDialog::getSaveFileName(parent, QString(), start, DialogFilterOf(filter));
    }
    if (!file.isEmpty() && !defaultExt.isEmpty() && QFileInfo(file).suffix().isEmpty()) {
        QString ext = defaultExt;
        if (!ext.startsWith(QLatin1Char('.')))
            ext.prepend(QLatin1Char('.'));
        file += ext;
    }
    return file;
}

void SetFontDialogHandler(TFontDialogHandler handler) { gFontDialogHandler = std::move(handler); }

TFontDialogHandler GetFontDialogHandler() { return gFontDialogHandler; }

bool ExecFontDialog(QFont& font, QColor& color, QWidget* parent)
{
    if (gFontDialogHandler)
        return gFontDialogHandler(font, color, parent);
    bool ok = false;
    const QFont picked = QFontDialog::getFont(&ok, font, parent);
    if (!ok)
        return false;
    font = picked;
    // The desktop's font dialog has no colour: the colour dialog follows.
    QColor c = color;
    if (ExecColorDialog(c, parent))
        color = c;
    return true;
}
