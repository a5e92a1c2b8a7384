#include "ZelSeparator.h"

#include "ZelFlat.h"
#include "ZelWindow.h"

#include <QPainter>

TzelSeparator::TzelSeparator(QWidget* parent, Qt::Orientation orientation)
    : QWidget(parent), FOrientation(orientation), FColor(ZelFlat::Border)
{
    ZelFlat::InstallAccessibleRoles();
    ZelFlat::KeepAccessibleName(this, {});
}

void TzelSeparator::SetOrientation(Qt::Orientation orientation)
{
    FOrientation = orientation;
    updateGeometry();
    update();
}

void TzelSeparator::SetColor(const QColor& color)
{
    FColor = color;
    update();
}

void TzelSeparator::SetColorBGR(int bgr) { SetColor(ColorFromBGR(bgr)); }

QSize TzelSeparator::sizeHint() const { return FOrientation == Qt::Horizontal ? QSize(100, 1) : QSize(1, 32); }

void TzelSeparator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Whole logical pixels: one device pixel wide at 1x, two at 2x, never blurred.
    if (FOrientation == Qt::Horizontal)
        p.fillRect(QRect(0, (height() - 1) / 2, width(), 1), FColor);
    else
        p.fillRect(QRect((width() - 1) / 2, 0, 1, height()), FColor);
}
