#include "ZelImage.h"

#include "ZelAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A picture reports itself as a graphic, named by its accessible name or,
// failing that, by its component name ("imgTop" -> "Top").
class TImageAccessible : public QAccessibleWidget {
public:
    explicit TImageAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return ControlDisplayName(widget()->accessibleName(), widget()->toolTip(), widget()->objectName());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ImageFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TzelImage") && object && object->isWidgetType())
        return new TImageAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

TzelImage::TzelImage(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(ImageFactory);
        return true;
    }();
    (void)installed;
}

void TzelImage::SetPicture(const QPixmap& picture)
{
    FPicture = picture;
    if (FAutoSize && !FPicture.isNull())
        resize(FPicture.deviceIndependentSize().toSize());
    update();
}

void TzelImage::SetStretch(bool stretch)
{
    FStretch = stretch;
    update();
}

void TzelImage::SetCenter(bool center)
{
    FCenter = center;
    update();
}

void TzelImage::SetAutoSize(bool autoSize)
{
    FAutoSize = autoSize;
    if (FAutoSize && !FPicture.isNull())
        resize(FPicture.deviceIndependentSize().toSize());
}

QSize TzelImage::sizeHint() const
{
    return FPicture.isNull() ? QSize(16, 16) : FPicture.deviceIndependentSize().toSize();
}

void TzelImage::paintEvent(QPaintEvent*)
{
    if (FPicture.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (FStretch) {
        p.drawPixmap(rect(), FPicture);
        return;
    }
    const QSize own = FPicture.deviceIndependentSize().toSize();
    const QPoint at = FCenter ? QPoint((width() - own.width()) / 2, (height() - own.height()) / 2) : QPoint();
    p.drawPixmap(QRect(at, own), FPicture);
}

void TzelImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT DoubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

QPixmap LoadSkinPicture(const QString& file, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0) {
        const QFileInfo info(file);
        const QString twice = info.path() + '/' + info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
        QPixmap big;
        if (QFileInfo::exists(twice) && big.load(twice)) {
            big.setDevicePixelRatio(2.0);
            return big;
        }
    }
    QPixmap one;
    if (!one.load(file))
        return {};
    return one;
}
