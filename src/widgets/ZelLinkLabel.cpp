#include "ZelLinkLabel.h"

#include "Zelfunction.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

class TLinkAccessible : public QAccessibleWidget {
public:
    explicit TLinkAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Link) { addControllingSignal(QStringLiteral("Activated(QString)")); }
    QString text(QAccessible::Text t) const override
    {
        auto* label = static_cast<TzelLinkLabel*>(widget());
        if (t == QAccessible::Name)
            return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
        if (t == QAccessible::Value)
            return label->Url();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            static_cast<TzelLinkLabel*>(widget())->Activate();
    }
};

QAccessibleInterface* LinkFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TzelLinkLabel") && object && object->isWidgetType())
        return new TLinkAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

TzelLinkLabel::TzelLinkLabel(QWidget* parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(LinkFactory);
        return true;
    }();
    (void)installed;
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Link));
    setPalette(pal);
}

void TzelLinkLabel::Activate()
{
    Q_EMIT Activated(FUrl);
    if (!FUrl.isEmpty())
        OpenUrl(FUrl);
}

// Taken, so the release comes here too (a label lets presses through).
void TzelLinkLabel::mousePressEvent(QMouseEvent* event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void TzelLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Activate();
    QLabel::mouseReleaseEvent(event);
}

void TzelLinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        Activate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TzelLinkLabel::enterEvent(QEnterEvent* event)
{
    SetUnderline(true);
    QLabel::enterEvent(event);
}

void TzelLinkLabel::leaveEvent(QEvent* event)
{
    SetUnderline(false);
    QLabel::leaveEvent(event);
}

void TzelLinkLabel::SetUnderline(bool on)
{
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}
