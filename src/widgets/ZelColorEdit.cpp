#include "ZelColorEdit.h"

#include "ZelFlat.h"
#include "ZelWindow.h"

#include <QPainter>

TzelColorEdit::TzelColorEdit(QWidget* parent) : QAbstractButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    ZelFlat::KeepAccessibleName(this, {});
    setAccessibleDescription(FColor.name(QColor::HexRgb).toUpper());
    connect(this, &QAbstractButton::clicked, this, [this] { Pick(); });
}

void TzelColorEdit::SetSelectedColor(const QColor& color)
{
    const QColor c = color.isValid() ? color.toRgb() : QColor(Qt::black);
    if (c.rgb() == FColor.rgb())
        return;
    FColor = QColor(c.rgb());
    setAccessibleDescription(FColor.name(QColor::HexRgb).toUpper());
    update();
    Q_EMIT ColorChanged(FColor);
}

int TzelColorEdit::SelectedColorBGR() const { return ColorToBGR(FColor); }

void TzelColorEdit::SetSelectedColorBGR(int bgr) { SetSelectedColor(ColorFromBGR(bgr)); }

bool TzelColorEdit::Pick()
{
    QColor c = FColor;
    if (!ExecColorDialog(c, this) || !c.isValid())
        return false;
    SetSelectedColor(c);
    return true;
}

QSize TzelColorEdit::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(QStringLiteral("#DDDDDD")) + 62, std::max(22, fm.height() + 8)};
}

void TzelColorEdit::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    ZelFlat::PaintField(p, this, underMouse() || isDown());
    const int h = height();
    // The swatch with a hairline, so white shows on white.
    const QRectF swatch(4.5, 4.5, std::max(12, h * 3 / 2 - 6), h - 9);
    p.setPen(QPen(isEnabled() ? QColor(0, 0, 0, 70) : QColor(0, 0, 0, 30), 1));
    QColor fill = FColor;
    if (!isEnabled())
        fill.setAlpha(110);
    p.setBrush(fill);
    p.drawRoundedRect(swatch, 2, 2);
    const QRect arrow(width() - 20, 0, 18, h);
    const QRect textRect(int(swatch.right()) + 7, 0, arrow.left() - int(swatch.right()) - 8, h);
    p.setPen(isEnabled() ? ZelFlat::Text : ZelFlat::TextDisabled);
    p.setFont(font());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(FColor.name(QColor::HexRgb).toUpper(), Qt::ElideRight, textRect.width()));
    ZelFlat::DrawChevron(p, arrow, isEnabled() ? ZelFlat::Slate : ZelFlat::TextDisabled);
}
