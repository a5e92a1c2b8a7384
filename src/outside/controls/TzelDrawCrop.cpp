#include "TzelDrawCrop.h"

#include "ZelAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <mutex>

namespace {
// The overlay is an adjustable picture region: report it as a canvas with the
// rectangle as its value, not as a bare client area.
class TCropAccessible : public QAccessibleWidget {
public:
    explicit TCropAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Canvas) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString own = widget()->accessibleName();
            return own.isEmpty() ? TzelCropOverlay::tr("Crop rectangle") : own;
        }
        if (t == QAccessible::Value || t == QAccessible::Description) {
            auto* overlay = static_cast<TzelCropOverlay*>(widget());
            const QRect r = overlay->Editor()->CropRect();
            return TzelCropOverlay::tr("%1, %2, %3 x %4").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height());
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* CropAccessibleFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("TzelCropOverlay") && object && object->isWidgetType())
        return new TCropAccessible(static_cast<QWidget*>(object));
    return nullptr;
}
}  // namespace

// ---- restriction -----------------------------------------------------------------

void TRestrictRect::LoadRc(const QRect& r)
{
    const QRect n = r.normalized();
    FL = n.left();
    FT = n.top();
    FR = n.left() + n.width();
    FB = n.top() + n.height();
    if (FOwner)
        FOwner->RestrictionChanged();
}

// ---- overlay ---------------------------------------------------------------

TzelCropOverlay::TzelCropOverlay(TzelDrawCrop* editor, QWidget* control) : QWidget(control), FEditor(editor)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(control->rect());
}

void TzelCropOverlay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    FEditor->Paint(p);
}

void TzelCropOverlay::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        FEditor->Press(e->position().toPoint());
    else
        e->ignore();
}

void TzelCropOverlay::mouseMoveEvent(QMouseEvent* e) { FEditor->Move(e->position().toPoint()); }

void TzelCropOverlay::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        FEditor->Release();
}

void TzelCropOverlay::keyPressEvent(QKeyEvent* e) { FEditor->Key(e); }

void TzelCropOverlay::leaveEvent(QEvent*)
{
    if (!FEditor->Dragging())
        unsetCursor();
}

// ---- editor ------------------------------------------------------------------

TzelDrawCrop::TzelDrawCrop(QObject* parent) : QObject(parent)
{
    FRestricts.FOwner = this;
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(CropAccessibleFactory); });
}

TzelDrawCrop::~TzelDrawCrop()
{
    if (FOverlay)
        delete FOverlay.data();
}

void TzelDrawCrop::SetControl(QWidget* control)
{
    if (control == FControl && (FOverlay || !control))
        return;
    if (FControl)
        FControl->removeEventFilter(this);
    if (FOverlay)
        delete FOverlay.data();
    FDragHit = htNone;
    FControl = control;
    if (!control)
        return;
    control->installEventFilter(this);
    FOverlay = new TzelCropOverlay(this, control);
    ClampIntoBounds();
    UpdateAccessible();
    FOverlay->show();
    FOverlay->raise();
}

bool TzelDrawCrop::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == FControl && FOverlay) {
        if (e->type() == QEvent::Resize)
            FOverlay->setGeometry(FControl->rect());
        else if (e->type() == QEvent::ChildAdded)
            FOverlay->raise();   // stay above what the control adds later
    }
    return QObject::eventFilter(watched, e);
}

QRect TzelDrawCrop::Bounds() const
{
    if (!FRestricts.IsEmpty())
        return FRestricts.Rect();
    return FControl ? FControl->rect() : QRect();
}

void TzelDrawCrop::RestrictionChanged()
{
    ClampIntoBounds();
    Repaint();
}

void TzelDrawCrop::ClampIntoBounds()
{
    const QRect b = Bounds();
    if (b.isEmpty())
        return;
    const int bl = b.left(), bt = b.top(), br = b.left() + b.width(), bb = b.top() + b.height();
    FL = std::clamp(FL, bl, br);
    FR = std::clamp(FR, bl, br);
    FT = std::clamp(FT, bt, bb);
    FB = std::clamp(FB, bt, bb);
}

void TzelDrawCrop::SetCropRect(const QRect& r)
{
    const QRect n = r.normalized();
    FL = n.left();
    FT = n.top();
    FR = n.left() + n.width();
    FB = n.top() + n.height();
    FDragHit = htNone;
    ClampIntoBounds();
    Repaint();
}

void TzelDrawCrop::SetLineColor(const QColor& c) { FLineColor = c; Repaint(); }
void TzelDrawCrop::SetLineColor2(const QColor& c) { FLineColor2 = c; Repaint(); }
void TzelDrawCrop::SetDragPointColor(const QColor& c) { FPointColor = c; Repaint(); }
void TzelDrawCrop::SetDragPointFrame(const QColor& c) { FPointFrame = c; Repaint(); }
void TzelDrawCrop::SetSolidColor(const QColor& c) { FSolidColor = c; Repaint(); }
void TzelDrawCrop::SetSolidTransValue(int alpha) { FSolidAlpha = std::clamp(alpha, 0, 255); Repaint(); }
void TzelDrawCrop::SetDragPointRadius(int r) { FRadius = std::clamp(r, 1, 20); Repaint(); }
void TzelDrawCrop::SetLineStyle(TLineStyle s) { FLineStyle = s; Repaint(); }
void TzelDrawCrop::SetCropStyle(TCropStyle s) { FCropStyle = s; Repaint(); }

void TzelDrawCrop::Repaint()
{
    if (FOverlay)
        FOverlay->update();
}

void TzelDrawCrop::UpdateAccessible()
{
    if (!FOverlay)
        return;
    QAccessibleValueChangeEvent ev(FOverlay, QString());
    QAccessible::updateAccessibility(&ev);
}

int TzelDrawCrop::HitTest(const QPoint& p) const
{
    const int w = FR - FL, h = FB - FT;
    // Grab areas a few pixels beyond the painted points, smaller on a tiny
    // rectangle so that its inside can still be grabbed to move it.
    const int grab = std::clamp(std::min(w, h) / 3, 3, FRadius + 4);
    const int x0 = FL, x1 = FR - 1, y0 = FT, y1 = FB - 1;   // the drawn outline
    const int cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    auto near = [&](int px, int py) { return std::abs(p.x() - px) <= grab && std::abs(p.y() - py) <= grab; };
    if (near(x0, y0)) return htLeft | htTop;
    if (near(x1, y0)) return htRight | htTop;
    if (near(x0, y1)) return htLeft | htBottom;
    if (near(x1, y1)) return htRight | htBottom;
    if (near(cx, y0)) return htTop;
    if (near(cx, y1)) return htBottom;
    if (near(x0, cy)) return htLeft;
    if (near(x1, cy)) return htRight;
    const int band = std::min(grab, 4);
    const bool inX = p.x() >= x0 && p.x() <= x1, inY = p.y() >= y0 && p.y() <= y1;
    if (inY && std::abs(p.x() - x0) <= band) return htLeft;
    if (inY && std::abs(p.x() - x1) <= band) return htRight;
    if (inX && std::abs(p.y() - y0) <= band) return htTop;
    if (inX && std::abs(p.y() - y1) <= band) return htBottom;
    if (inX && inY) return htMove;
    return htNone;
}

Qt::CursorShape TzelDrawCrop::CursorFor(int hit)
{
    switch (hit) {
    case htLeft | htTop:
    case htRight | htBottom: return Qt::SizeFDiagCursor;
    case htRight | htTop:
    case htLeft | htBottom: return Qt::SizeBDiagCursor;
    case htLeft:
    case htRight: return Qt::SizeHorCursor;
    case htTop:
    case htBottom: return Qt::SizeVerCursor;
    case htMove: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
    }
}

void TzelDrawCrop::Press(const QPoint& pos)
{
    FDragHit = HitTest(pos);
    FDragStart = pos;
    FSL = FL;
    FST = FT;
    FSR = FR;
    FSB = FB;
    if (FOverlay)
        FOverlay->setCursor(CursorFor(FDragHit));
    Repaint();
}

void TzelDrawCrop::Move(const QPoint& pos)
{
    if (FDragHit == htNone) {
        if (FOverlay)
            FOverlay->setCursor(CursorFor(HitTest(pos)));
        return;
    }
    const QRect b = Bounds();
    if (b.isEmpty())
        return;
    const int bl = b.left(), bt = b.top(), br = b.left() + b.width(), bb = b.top() + b.height();
    // Computed from the rectangle at the press: no drift from rounding or
    // from moves that hit a border.
    const int dx = pos.x() - FDragStart.x(), dy = pos.y() - FDragStart.y();
    int l = FSL, t = FST, r = FSR, bo = FSB;
    if (FDragHit == htMove) {
        l = std::clamp(FSL + dx, bl, std::max(bl, br - (FSR - FSL)));
        t = std::clamp(FST + dy, bt, std::max(bt, bb - (FSB - FST)));
        r = l + (FSR - FSL);
        bo = t + (FSB - FST);
    } else {
        const int minW = std::min(FMinSize.width(), br - bl), minH = std::min(FMinSize.height(), bb - bt);
        // Staying inside the bounds wins over the minimum size.
        if (FDragHit & htLeft)
            l = std::max(bl, std::min(FSL + dx, FSR - minW));
        if (FDragHit & htRight)
            r = std::min(br, std::max(FSR + dx, FSL + minW));
        if (FDragHit & htTop)
            t = std::max(bt, std::min(FST + dy, FSB - minH));
        if (FDragHit & htBottom)
            bo = std::min(bb, std::max(FSB + dy, FST + minH));
    }
    SetUserRect(l, t, r, bo);
}

void TzelDrawCrop::Release()
{
    FDragHit = htNone;
    Repaint();
}

void TzelDrawCrop::SetUserRect(int l, int t, int r, int b)
{
    if (l == FL && t == FT && r == FR && b == FB)
        return;
    FL = l;
    FT = t;
    FR = r;
    FB = b;
    Repaint();
    UpdateAccessible();
    Q_EMIT OnRectChanged(CropRect());
}

void TzelDrawCrop::Key(QKeyEvent* e)
{
    int dx = 0, dy = 0;
    switch (e->key()) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default: e->ignore(); return;
    }
    if (e->modifiers() & Qt::ShiftModifier) {
        dx *= 10;
        dy *= 10;
    }
    // A keyboard step is a drag of the body (or of the right and bottom
    // sides with Ctrl) by that distance, with the same limits.
    Press(QPoint(0, 0));
    FDragHit = (e->modifiers() & Qt::ControlModifier) ? int(htRight | htBottom) : int(htMove);
    Move(QPoint(dx, dy));
    Release();
    if (FOverlay)
        FOverlay->unsetCursor();
}

void TzelDrawCrop::Paint(QPainter& p)
{
    const QRect b = Bounds();
    const QRectF crop(FL, FT, FR - FL, FB - FT);
    QColor tint = FSolidColor;
    tint.setAlpha(FSolidAlpha);
    if (FCropStyle == csClear) {
        // The four bands around the rectangle, inside the bounds.
        const QRectF area = b;
        p.fillRect(QRectF(area.left(), area.top(), area.width(), crop.top() - area.top()), tint);
        p.fillRect(QRectF(area.left(), crop.bottom(), area.width(), area.bottom() - crop.bottom()), tint);
        p.fillRect(QRectF(area.left(), crop.top(), crop.left() - area.left(), crop.height()), tint);
        p.fillRect(QRectF(crop.right(), crop.top(), area.right() - crop.right(), crop.height()), tint);
    } else {
        p.fillRect(crop, tint);
    }

    const QRectF outline = crop.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setBrush(Qt::NoBrush);
    if (FDragHit != htNone && crop.width() > 6 && crop.height() > 6) {
        // Thirds while dragging, to help place the subject.
        QColor guide = FLineColor2;
        guide.setAlpha(110);
        p.setPen(QPen(guide, 1));
        for (int i = 1; i < 3; ++i) {
            const qreal x = std::floor(crop.left() + crop.width() * i / 3) + 0.5;
            const qreal y = std::floor(crop.top() + crop.height() * i / 3) + 0.5;
            p.drawLine(QPointF(x, outline.top()), QPointF(x, outline.bottom()));
            p.drawLine(QPointF(outline.left(), y), QPointF(outline.right(), y));
        }
    }
    if (FLineStyle == lsDash) {
        p.setPen(QPen(FLineColor2, 1));
        p.drawRect(outline);
        p.setPen(QPen(FLineColor, 1, Qt::DashLine));
        p.drawRect(outline);
    } else {
        p.setPen(QPen(FLineColor, 1));
        p.drawRect(outline);
    }

    p.setRenderHint(QPainter::Antialiasing);
    const qreal x0 = FL + 0.5, x1 = FR - 0.5, y0 = FT + 0.5, y1 = FB - 0.5;
    const QPointF points[8] = {{x0, y0}, {(x0 + x1) / 2, y0}, {x1, y0}, {x1, (y0 + y1) / 2},
                               {x1, y1}, {(x0 + x1) / 2, y1}, {x0, y1}, {x0, (y0 + y1) / 2}};
    for (const QPointF& c : points) {
        // A ring in the second line colour keeps the point visible on a
        // picture of the same colour as the point.
        p.setPen(QPen(FLineColor2, 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, FRadius + 1.0, FRadius + 1.0);
        p.setPen(QPen(FPointFrame, 1));
        p.setBrush(FPointColor);
        p.drawEllipse(c, qreal(FRadius), qreal(FRadius));
    }
}
