#include "TzelButton.h"

#include "ZelAccessible.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
// Flat look: light fill, hairline border, blue accent on hover and press.
struct TFlatColors { QColor Fill, Border, Text; };
TFlatColors FlatColors(int state)
{
    switch (state) {
    case 1: return {QColor(0xE6, 0xF6, 0xF4), QColor(0x5C, 0xC4, 0xBA), QColor(0x1F, 0x1F, 0x1F)};
    case 2: return {QColor(0xC9, 0xEB, 0xE7), QColor(0x13, 0x7F, 0x76), QColor(0x10, 0x10, 0x10)};
    case 3: return {QColor(0xF5, 0xF5, 0xF6), QColor(0xDD, 0xDF, 0xE2), QColor(0xA8, 0xAB, 0xB0)};
    default: return {QColor(0xF3, 0xF4, 0xF6), QColor(0xC6, 0xCB, 0xD2), QColor(0x26, 0x26, 0x26)};
    }
}
const QColor kFocusRing(0x13, 0x7F, 0x76);   // the skin's accent
constexpr int kGlyphGap = 2;                 // between a glyph and the caption below it
constexpr qreal kGlyphDisabledOpacity = 0.45;
}  // namespace

TzelButton::TzelButton(QWidget* parent) : QAbstractButton(parent) { Init(); }

TzelButton::TzelButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    Init();
    SetCaption(caption);
}

void TzelButton::Init()
{
    setAttribute(Qt::WA_Hover);
    // Reachable with Tab, but a click leaves the focus where it was: the
    // frame-step buttons must not take it from the strip.
    setFocusPolicy(Qt::TabFocus);
    setAutoRepeatDelay(500);
    setAutoRepeatInterval(50);
    connect(this, &QObject::objectNameChanged, this, [this] { UpdateAccessibleName(); });
    UpdateAccessibleName();
}

void TzelButton::SetCaption(const QString& caption)
{
    setText(caption);
    UpdateAccessibleName();
}

void TzelButton::UpdateAccessibleName()
{
    FNamedFrom = text();
    setAccessibleName(ControlDisplayName(text(), toolTip(), objectName()));
}

void TzelButton::SetPictures(const QPixmap& up, const QPixmap& hot, const QPixmap& down, const QPixmap& disabled)
{
    FUp = up;
    FHot = hot;
    FDown = down;
    FDisabled = disabled;
    updateGeometry();
    update();
}

void TzelButton::SetUpPicture(const QPixmap& p) { SetPictures(p, FHot, FDown, FDisabled); }
void TzelButton::SetHotPicture(const QPixmap& p) { SetPictures(FUp, p, FDown, FDisabled); }
void TzelButton::SetDownPicture(const QPixmap& p) { SetPictures(FUp, FHot, p, FDisabled); }
void TzelButton::SetDisabledPicture(const QPixmap& p) { SetPictures(FUp, FHot, FDown, p); }

void TzelButton::SetGlyph(const QPixmap& glyph)
{
    FGlyph = glyph;
    FGlyphGrey = QPixmap();
    if (!glyph.isNull()) {
        // Grey keeps the shape's shading; the paint fades it further.
        QImage img = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const int g = qGray(line[x]);
                line[x] = qRgba(g, g, g, qAlpha(line[x]));
            }
        }
        FGlyphGrey = QPixmap::fromImage(img);
        FGlyphGrey.setDevicePixelRatio(glyph.devicePixelRatio());
    }
    updateGeometry();
    update();
}

void TzelButton::SetStretch(bool stretch)
{
    FStretch = stretch;
    update();
}

void TzelButton::SetRepeat(bool on, int delayMs, int intervalMs)
{
    setAutoRepeat(on);
    setAutoRepeatDelay(delayMs);
    setAutoRepeatInterval(intervalMs);
}

QSize TzelButton::sizeHint() const
{
    if (HasPictures())
        return FUp.deviceIndependentSize().toSize();
    const QFontMetrics fm(font());
    if (!FGlyph.isNull()) {
        const QSize gs = FGlyph.deviceIndependentSize().toSize();
        if (text().isEmpty())
            return gs + QSize(8, 8);
        return {std::max({71, fm.horizontalAdvance(text()) + 24, gs.width() + 16}),
                std::max(23, gs.height() + kGlyphGap + fm.height() + 10)};
    }
    return {std::max(71, fm.horizontalAdvance(text()) + 24), std::max(23, fm.height() + 10)};
}

QSize TzelButton::minimumSizeHint() const { return {16, 16}; }

int TzelButton::PaintState() const
{
    if (!isEnabled())
        return 3;
    if (isDown() || isChecked())
        return 2;
    if (underMouse())
        return 1;
    return 0;
}

const QPixmap& TzelButton::PictureFor(int state) const
{
    switch (state) {
    case 1: return FHot.isNull() ? FUp : FHot;
    case 2: return !FDown.isNull() ? FDown : (FHot.isNull() ? FUp : FHot);
    case 3: return FDisabled.isNull() ? FUp : FDisabled;
    default: return FUp;
    }
}

void TzelButton::PaintFlat(QPainter& p, int state)
{
    const TFlatColors c = FlatColors(state);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min<qreal>(4.0, std::min(r.width(), r.height()) / 4);
    p.setPen(QPen(c.Border, 1));
    p.setBrush(c.Fill);
    p.drawRoundedRect(r, radius, radius);
}

void TzelButton::PaintGlyph(QPainter& p, int state, QRect& textRect)
{
    const QSizeF gs = FGlyph.deviceIndependentSize();
    const QFontMetrics fm(font());
    const bool alone = text().isEmpty();
    const qreal blockH = alone ? gs.height() : gs.height() + kGlyphGap + fm.height();
    // Whole pixels, so a 1x glyph is not smeared across two.
    const qreal x = std::floor((width() - gs.width()) / 2);
    qreal y = std::floor((height() - blockH) / 2);
    if (state == 2 && y + blockH < height())
        y += 1;
    if (state == 3) {
        p.setOpacity(kGlyphDisabledOpacity);
        p.drawPixmap(QPointF(x, y), FGlyphGrey);
        p.setOpacity(1);
    } else {
        p.drawPixmap(QPointF(x, y), FGlyph);
    }
    if (!alone)
        textRect = QRect(2, int(y + gs.height()) + kGlyphGap, width() - 4, fm.height());
}

void TzelButton::paintEvent(QPaintEvent*)
{
    if (FNamedFrom != text())
        UpdateAccessibleName();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int state = PaintState();
    if (HasPictures()) {
        const QPixmap& pic = PictureFor(state);
        if (state == 3 && FDisabled.isNull())
            p.setOpacity(0.45);
        if (FStretch) {
            p.drawPixmap(rect(), pic);
        } else {
            const QSize s = pic.deviceIndependentSize().toSize();
            p.drawPixmap(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), pic);
        }
        p.setOpacity(1);
    } else {
        PaintFlat(p, state);
    }

    // Keyboard focus only: a ring after a click would stay on every button.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        p.setPen(QPen(kFocusRing, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
    }

    QRect content = rect().adjusted(4, 2, -4, -2);
    if (state == 2)
        content.translate(0, 1);
    const QIcon ic = icon();
    if (!FGlyph.isNull()) {
        PaintGlyph(p, state, content);
    } else if (!ic.isNull()) {
        const QSize is = iconSize().boundedTo(content.size());
        const QIcon::Mode mode = state == 3 ? QIcon::Disabled : QIcon::Normal;
        if (text().isEmpty()) {
            ic.paint(&p, QRect(content.center() - QPoint(is.width() / 2, is.height() / 2), is), Qt::AlignCenter, mode);
        } else {
            const int textW = QFontMetrics(font()).horizontalAdvance(text());
            const int total = is.width() + 6 + textW;
            const int x = content.left() + std::max(0, (content.width() - total) / 2);
            ic.paint(&p, QRect(x, content.center().y() - is.height() / 2, is.width(), is.height()), Qt::AlignCenter, mode);
            content.setLeft(x + is.width() + 6);
            content.setWidth(textW + 1);
        }
    }
    if (!text().isEmpty()) {
        QColor color = palette().color(QPalette::ButtonText);
        if (!HasPictures() && color == QApplication::palette().color(QPalette::ButtonText))
            color = FlatColors(state).Text;
        else if (state == 3)
            color = palette().color(QPalette::Disabled, QPalette::ButtonText);
        p.setPen(color);
        p.setFont(font());
        p.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
}

void TzelButton::mousePressEvent(QMouseEvent* e)
{
    Q_EMIT OnMouseDown(e->button());
    QAbstractButton::mousePressEvent(e);
}

void TzelButton::mouseReleaseEvent(QMouseEvent* e)
{
    QAbstractButton::mouseReleaseEvent(e);
    Q_EMIT OnMouseUp(e->button());
}

bool TzelButton::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ToolTipChange:
        UpdateAccessibleName();
        break;
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        update();
        break;
    default:
        break;
    }
    return QAbstractButton::event(e);
}
