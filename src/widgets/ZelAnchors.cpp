#include "ZelAnchors.h"

#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace {

struct TPlacement {
    QPointer<QWidget> Control;
    QRect Bounds;   // where it was placed
    QSize Parent;   // the parent's size then
    QRect Last;     // where the keeper last put it
    QSize LastParent;
    int Anchors = akTopLeft;
};

// One per parent: re-places the anchored children on every resize.
class TAnchorKeeper : public QObject {
public:
    explicit TAnchorKeeper(QWidget* parent) : QObject(parent) { parent->installEventFilter(this); }

    static TAnchorKeeper* Of(QWidget* parent, bool make)
    {
        for (QObject* child : parent->children())
            if (auto* keeper = dynamic_cast<TAnchorKeeper*>(child))
                return keeper;
        return make ? new TAnchorKeeper(parent) : nullptr;
    }

    void Place(QWidget* control, const QRect& bounds, int anchors)
    {
        auto* parent = static_cast<QWidget*>(this->parent());
        FItems[control] = {control, bounds, parent->size(), bounds, parent->size(), anchors};
        control->setGeometry(bounds);
    }
    TPlacement* Find(const QWidget* control)
    {
        auto it = FItems.find(control);
        return it == FItems.end() ? nullptr : &it.value();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == parent()) {
            const QSize now = static_cast<QWidget*>(watched)->size();
            for (auto it = FItems.begin(); it != FItems.end();) {
                if (!it->Control) {
                    it = FItems.erase(it);
                    continue;
                }
                // A control that its form moved since (a DPI pass, a layout
                // step) is anchored from where it was put.
                if (it->Control->geometry() != it->Last) {
                    it->Bounds = it->Control->geometry();
                    it->Parent = it->LastParent;
                }
                it->Last = AnchoredBounds(it->Bounds, it->Parent, now, it->Anchors);
                it->LastParent = now;
                it->Control->setGeometry(it->Last);
                ++it;
            }
        }
        return false;
    }

private:
    QHash<const QWidget*, TPlacement> FItems;
};

// One axis: the start and length of a control between 0 and the parent's length.
void Axis(int& pos, int& len, int from, int to, bool near, bool far)
{
    if (near && far) {
        len = std::max(0, len + to - from);
    } else if (far) {
        pos += to - from;
    } else if (!near) {
        // Anchored to neither side: the centre keeps its share of the parent.
        if (from > 0)
            pos = int((int64_t(2 * pos + len) * to / from - len) / 2);
    }
}

}  // namespace

QRect AnchoredBounds(const QRect& bounds, const QSize& from, const QSize& to, int anchors)
{
    int x = bounds.x(), w = bounds.width(), y = bounds.y(), h = bounds.height();
    Axis(x, w, from.width(), to.width(), anchors & akLeft, anchors & akRight);
    Axis(y, h, from.height(), to.height(), anchors & akTop, anchors & akBottom);
    return QRect(x, y, w, h);
}

void SetBounds(QWidget* control, const QRect& bounds, int anchors)
{
    if (!control)
        return;
    QWidget* parent = control->parentWidget();
    if (!parent) {
        control->setGeometry(bounds);
        return;
    }
    TAnchorKeeper::Of(parent, true)->Place(control, bounds, anchors);
}

void SetAnchors(QWidget* control, int anchors)
{
    if (control && control->parentWidget())
        TAnchorKeeper::Of(control->parentWidget(), true)->Place(control, control->geometry(), anchors);
}

int AnchorsOf(const QWidget* control)
{
    if (!control || !control->parentWidget())
        return akTopLeft;
    TAnchorKeeper* keeper = TAnchorKeeper::Of(control->parentWidget(), false);
    const TPlacement* p = keeper ? keeper->Find(control) : nullptr;
    return p ? p->Anchors : akTopLeft;
}
