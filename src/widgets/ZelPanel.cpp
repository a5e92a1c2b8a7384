#include "ZelPanel.h"

#include "ZelFlat.h"
#include "ZelWindow.h"

#include <QPainter>
#include <QPainterPath>

TzelPanel::TzelPanel(QWidget* parent) : QWidget(parent)
{
    ZelFlat::InstallAccessibleRoles();
    ZelFlat::KeepAccessibleName(this, {});
}

void TzelPanel::SetColor(const QColor& color)
{
    FColor = color;
    update();
}

void TzelPanel::SetColorBGR(int bgr) { SetColor(ColorFromBGR(bgr)); }

void TzelPanel::SetBorder(int width, const QColor& color)
{
    FBorderWidth = std::max(0, width);
    FBorderColor = color;
    update();
}

void TzelPanel::SetBorderBGR(int width, int bgr) { SetBorder(width, ColorFromBGR(bgr)); }

void TzelPanel::SetRadius(int radius)
{
    FRadius = std::max(0, radius);
    update();
}

void TzelPanel::SetTransparent(bool on)
{
    FTransparent = on;
    update();
}

void TzelPanel::paintEvent(QPaintEvent*)
{
    if (FTransparent && FBorderWidth == 0)
        return;
    QPainter p(this);
    const qreal inset = FBorderWidth / 2.0;
    const QRectF r = ZelFlat::HairlineRect(rect(), inset);
    if (FRadius == 0 && FBorderWidth == 0) {
        p.fillRect(rect(), FColor);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, FRadius > 0);
    p.setPen(FBorderWidth > 0 ? QPen(FBorderColor, FBorderWidth) : QPen(Qt::NoPen));
    p.setBrush(FTransparent ? QBrush(Qt::NoBrush) : QBrush(FColor));
    if (FRadius > 0)
        p.drawRoundedRect(FBorderWidth > 0 ? r : QRectF(rect()), FRadius, FRadius);
    else
        p.drawRect(r);
}

// ---- group box -----------------------------------------------------------------------------

TzelGroupBox::TzelGroupBox(QWidget* parent) : QGroupBox(parent) { ZelFlat::KeepAccessibleName(this, [this] { return title(); }); }

TzelGroupBox::TzelGroupBox(const QString& caption, QWidget* parent) : TzelGroupBox(parent) { setTitle(caption); }

void TzelGroupBox::SetFrameColor(const QColor& color)
{
    FFrameColor = color;
    update();
}

void TzelGroupBox::SetFrameColorBGR(int bgr) { SetFrameColor(ColorFromBGR(bgr)); }

void TzelGroupBox::SetColor(const QColor& color)
{
    FColor = color;
    update();
}

void TzelGroupBox::SetRadius(int radius)
{
    FRadius = std::max(0, radius);
    update();
}

QRectF TzelGroupBox::FrameRect() const
{
    const int top = title().isEmpty() ? 0 : fontMetrics().height() / 2;
    return ZelFlat::HairlineRect(QRectF(rect()).adjusted(0, top, 0, 0));
}

void TzelGroupBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = FrameRect();
    p.setPen(QPen(isEnabled() ? FFrameColor : ZelFlat::BorderDisabled, 1));
    p.setBrush(FColor);
    p.drawRoundedRect(frame, FRadius, FRadius);
    if (title().isEmpty())
        return;
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    const QFontMetrics fm(bold);
    const QString text = fm.elidedText(QString(title()).remove(QLatin1Char('&')), Qt::ElideRight, width() - 24);
    const QRect textRect(10, 0, fm.horizontalAdvance(text) + 8, fm.height());
    p.fillRect(textRect, FColor);
    p.setPen(isEnabled() ? ZelFlat::Text : ZelFlat::TextDisabled);
    p.drawText(textRect, Qt::AlignCenter, text);
}
