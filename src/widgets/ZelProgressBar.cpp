#include "ZelProgressBar.h"

#include "ZelFlat.h"

#include <QPainter>

TzelProgressBar::TzelProgressBar(QWidget* parent) : QProgressBar(parent), FBar(ZelFlat::Accent), FBack(ZelFlat::Track)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
    ZelFlat::KeepAccessibleName(this, {});
}

void TzelProgressBar::SetPercent(int percent) { setValue(std::clamp(percent, 0, 100)); }

void TzelProgressBar::SetBarColor(const QColor& color)
{
    FBar = color;
    update();
}

void TzelProgressBar::SetBackColor(const QColor& color)
{
    FBack = color;
    update();
}

void TzelProgressBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF r = rect();
    const double radius = std::min(r.height() / 2, 4.0);
    p.setBrush(FBack);
    p.drawRoundedRect(r, radius, radius);
    const int span = maximum() - minimum();
    if (span <= 0 || value() <= minimum())
        return;
    const double part = std::clamp(double(value() - minimum()) / span, 0.0, 1.0);
    // Never narrower than its rounding, so a small percentage still shows.
    const double w = std::max(r.width() * part, std::min(r.width(), 2 * radius));
    p.setBrush(isEnabled() ? FBar : ZelFlat::Border);
    p.drawRoundedRect(QRectF(r.left(), r.top(), w, r.height()), radius, radius);
}
