#include "ZelFlat.h"

#include "ZelAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace ZelFlat {

QRectF HairlineRect(const QRectF& r, qreal inset) { return r.adjusted(inset, inset, -inset, -inset); }

void DrawChevron(QPainter& p, const QRectF& r, const QColor& color)
{
    const qreal w = std::min(r.width(), 8.0), h = w / 2;
    const QPointF c = r.center();
    QPainterPath path;
    path.moveTo(c.x() - w / 2, c.y() - h / 2);
    path.lineTo(c.x(), c.y() + h / 2);
    path.lineTo(c.x() + w / 2, c.y() - h / 2);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

void DrawCheckMark(QPainter& p, const QRectF& r, const QColor& color, qreal width)
{
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.18, r.top() + r.height() * 0.52);
    path.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.76);
    path.lineTo(r.left() + r.width() * 0.84, r.top() + r.height() * 0.26);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

QColor FieldBorder(const QWidget* w, bool hot)
{
    if (!w->isEnabled())
        return BorderDisabled;
    if (w->hasFocus())
        return Accent;
    return hot ? BorderHot : Border;
}

void StyleLineEdit(QLineEdit* edit)
{
    edit->setFrame(false);
    edit->setAttribute(Qt::WA_Hover);
    edit->setTextMargins(4, 0, 4, 0);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Text);
    pal.setColor(QPalette::Disabled, QPalette::Text, TextDisabled);
    pal.setColor(QPalette::Highlight, Accent);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    edit->setPalette(pal);
}

void PaintField(QPainter& p, const QWidget* w, bool hot)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(FieldBorder(w, hot), 1));
    p.setBrush(w->isEnabled() ? Face : FaceDisabled);
    p.drawRoundedRect(HairlineRect(w->rect()), 3, 3);
    p.restore();
}

namespace {
class TNamer : public QObject {
public:
    TNamer(QWidget* control, std::function<QString()> caption) : QObject(control), FControl(control), FCaption(std::move(caption))
    {
        control->installEventFilter(this);
        connect(control, &QObject::objectNameChanged, this, [this] { Update(); });
        Update();
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::ToolTipChange:
        case QEvent::Show:
        case QEvent::Paint:
            Update();
            break;
        default:
            break;
        }
        return false;
    }
    void Update()
    {
        // A name the form gave itself wins from then on.
        if (FControl->accessibleName() != FLast && !FControl->accessibleName().isEmpty())
            return;
        const QString name = ControlDisplayName(FCaption ? FCaption() : QString(), FControl->toolTip(), FControl->objectName());
        if (name != FControl->accessibleName())
            FControl->setAccessibleName(name);
        FLast = name;
    }

private:
    QWidget* FControl;
    std::function<QString()> FCaption;
    QString FLast;
};
}  // namespace

namespace {
QAccessibleInterface* RoleFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (className == QLatin1String("TzelPanel"))
        return new QAccessibleWidget(w, QAccessible::Pane);
    if (className == QLatin1String("TzelSeparator"))
        return new QAccessibleWidget(w, QAccessible::Separator);
    return nullptr;
}
}  // namespace

void InstallAccessibleRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(RoleFactory);
        return true;
    }();
    (void)installed;
}

void KeepAccessibleName(QWidget* control, std::function<QString()> caption) { new TNamer(control, std::move(caption)); }

}  // namespace ZelFlat
