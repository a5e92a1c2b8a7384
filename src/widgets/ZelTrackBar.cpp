#include "ZelTrackBar.h"

#include "ZelFlat.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

TzelTrackBar::TzelTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 100);
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setPageStep(10);
    ZelFlat::KeepAccessibleName(this, {});
}

double TzelTrackBar::ThumbCenterX(int v) const
{
    const int span = maximum() - minimum();
    const double travel = std::max(0, width() - ThumbSize);
    if (span <= 0)
        return ThumbSize / 2.0;
    return ThumbSize / 2.0 + travel * double(std::clamp(v, minimum(), maximum()) - minimum()) / span;
}

int TzelTrackBar::ValueAtX(double x) const
{
    const int span = maximum() - minimum();
    const double travel = width() - ThumbSize;
    if (span <= 0 || travel <= 0)
        return minimum();
    const double v = minimum() + (x - ThumbSize / 2.0) * span / travel;
    return int(std::clamp<double>(std::lround(v), minimum(), maximum()));
}

QRectF TzelTrackBar::ThumbRect() const
{
    const double c = ThumbCenterX(sliderPosition());
    return {c - ThumbSize / 2.0, 0, double(ThumbSize), double(height())};
}

void TzelTrackBar::mousePressEvent(QMouseEvent* e)
{
    Q_EMIT OnMouseDown(e->button(), e->position().toPoint());
    if (e->button() != Qt::LeftButton || maximum() <= minimum()) {
        e->accept();
        return;
    }
    const double x = e->position().x();
    const QRectF thumb = ThumbRect();
    // Taken by the thumb it keeps its grip; elsewhere it jumps under the mouse.
    FGrabOffset = thumb.contains(e->position()) ? x - thumb.center().x() : 0;
    FDragging = true;
    setSliderDown(true);
    setSliderPosition(ValueAtX(x - FGrabOffset));
    e->accept();
}

void TzelTrackBar::mouseMoveEvent(QMouseEvent* e)
{
    if (!FDragging) {
        e->ignore();
        return;
    }
    setSliderPosition(ValueAtX(e->position().x() - FGrabOffset));
    e->accept();
}

void TzelTrackBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (FDragging && e->button() == Qt::LeftButton) {
        FDragging = false;
        setSliderDown(false);
    }
    e->accept();
    Q_EMIT OnMouseUp(e->button(), e->position().toPoint());
}

void TzelTrackBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const double cy = height() / 2.0;
    const double left = ThumbSize / 2.0 - 4, right = width() - ThumbSize / 2.0 + 4;
    const double cx = ThumbCenterX(sliderPosition());
    // The track, 4 pixels high with round ends; done part in the accent.
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? ZelFlat::Track : ZelFlat::BorderDisabled);
    p.drawRoundedRect(QRectF(left, cy - 2, right - left, 4), 2, 2);
    if (enabled && cx > left) {
        p.setBrush(ZelFlat::Accent);
        p.drawRoundedRect(QRectF(left, cy - 2, cx - left, 4), 2, 2);
    }
    // The thumb: a white disc with an accent ring, darker while held.
    const double r = std::min(7.0, height() / 2.0 - 1);
    const bool hot = underMouse() && ThumbRect().contains(mapFromGlobal(QCursor::pos()));
    QColor ring = !enabled ? ZelFlat::Border : (isSliderDown() ? ZelFlat::AccentDown : ZelFlat::Accent);
    p.setBrush(QColor(0, 0, 0, enabled ? 28 : 10));
    p.drawEllipse(QPointF(cx, cy + 0.75), r + 0.5, r + 0.5);
    p.setPen(QPen(ring, hasFocus() || isSliderDown() || hot ? 2.5 : 2));
    p.setBrush(enabled ? (isSliderDown() ? ZelFlat::AccentLight : ZelFlat::Face) : ZelFlat::FaceDisabled);
    p.drawEllipse(QPointF(cx, cy), r - 1, r - 1);
}
