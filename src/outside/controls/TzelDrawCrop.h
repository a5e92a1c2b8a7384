#pragma once
// The crop editor: laid over a control (SetControl), it draws a rectangle
// with eight drag points, tints what lies outside it, and lets the user move
// it and resize it with the mouse or nudge it with the arrow keys (Shift: ten
// pixels; Ctrl: resize from the right and bottom).
//
// Coordinates are the control's. Rectangles here are QRects whose right and
// bottom are exclusive in the sense of left + width; the rectangle never
// leaves the restriction (the whole control while the restriction is empty)
// and keeps at least MinSize while the user resizes it.
//
// OnRectChanged follows every change the user makes, never one made through
// SetCropRect or the restriction.

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

class TzelDrawCrop;

class TRestrictRect {
public:
    // Right and bottom are left + width and top + height.
    void LoadRc(const QRect& r);
    int Left() const { return FL; }
    int Top() const { return FT; }
    int Right() const { return FR; }
    int Bottom() const { return FB; }
    QRect Rect() const { return QRect(FL, FT, FR - FL, FB - FT); }
    bool IsEmpty() const { return FR <= FL || FB <= FT; }

private:
    friend class TzelDrawCrop;
    TzelDrawCrop* FOwner = nullptr;
    int FL = 0, FT = 0, FR = 0, FB = 0;
};

// The widget the editor lays over its control; it exists while attached.
class TzelCropOverlay : public QWidget {
    Q_OBJECT
public:
    explicit TzelCropOverlay(TzelDrawCrop* editor, QWidget* control);
    TzelDrawCrop* Editor() const { return FEditor; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    TzelDrawCrop* FEditor;
};

class TzelDrawCrop : public QObject {
    Q_OBJECT
public:
    enum TCropStyle { csClear, csSolid };   // csClear tints the outside, csSolid the inside
    enum TLineStyle { lsSingle, lsDash };
    enum TDrawMode { dmCrop };
    // What a point hits: a side bit set per grabbed side; Move inside.
    enum THit { htNone = 0, htLeft = 1, htTop = 2, htRight = 4, htBottom = 8, htMove = 16 };

    explicit TzelDrawCrop(QObject* parent = nullptr);
    ~TzelDrawCrop() override;

    // Lays the editor over `control` (following its size) or, with null,
    // removes it: the rectangle is then neither shown nor editable.
    void SetControl(QWidget* control);
    QWidget* Control() const { return FControl; }
    TzelCropOverlay* Overlay() const { return static_cast<TzelCropOverlay*>(FOverlay.data()); }

    TRestrictRect& Restricts() { return FRestricts; }
    // The area the rectangle must stay in: the restriction, else the control.
    QRect Bounds() const;

    void SetCropRect(const QRect& r);
    QRect CropRect() const { return QRect(FL, FT, FR - FL, FB - FT); }

    void SetLineColor(const QColor& c);
    void SetLineColor2(const QColor& c);
    void SetDragPointColor(const QColor& c);
    void SetDragPointFrame(const QColor& c);
    void SetSolidColor(const QColor& c);
    void SetSolidTransValue(int alpha);   // 0..255
    void SetDragPointRadius(int r);
    void SetLineStyle(TLineStyle s);
    void SetCropStyle(TCropStyle s);
    void SetMode(TDrawMode m) { FMode = m; }
    void SetMinSize(const QSize& s) { FMinSize = s.expandedTo(QSize(1, 1)); }
    QColor LineColor() const { return FLineColor; }
    QColor LineColor2() const { return FLineColor2; }
    QColor DragPointColor() const { return FPointColor; }
    QColor DragPointFrame() const { return FPointFrame; }
    QColor SolidColor() const { return FSolidColor; }
    int SolidTransValue() const { return FSolidAlpha; }
    int DragPointRadius() const { return FRadius; }
    TLineStyle LineStyle() const { return FLineStyle; }
    TCropStyle CropStyle() const { return FCropStyle; }
    TDrawMode Mode() const { return FMode; }
    QSize MinSize() const { return FMinSize; }

    // THit flags for a point of the control; the grab areas are larger than
    // the painted points.
    int HitTest(const QPoint& p) const;
    static Qt::CursorShape CursorFor(int hit);
    bool Dragging() const { return FDragHit != htNone; }

Q_SIGNALS:
    void OnRectChanged(const QRect& rect);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class TzelCropOverlay;
    friend class TRestrictRect;
    void RestrictionChanged();
    void ClampIntoBounds();
    void Paint(QPainter& p);
    void Press(const QPoint& pos);
    void Move(const QPoint& pos);
    void Release();
    void Key(QKeyEvent* e);
    void SetUserRect(int l, int t, int r, int b);
    void Repaint();
    void UpdateAccessible();

    QPointer<QWidget> FControl;
    QPointer<QWidget> FOverlay;   // as a plain widget: it may be half destroyed when the control goes
    TRestrictRect FRestricts;
    int FL = 0, FT = 0, FR = 0, FB = 0;
    QColor FLineColor = Qt::red, FLineColor2 = Qt::white, FPointColor = Qt::red, FPointFrame = Qt::red;
    QColor FSolidColor = Qt::blue;
    int FSolidAlpha = 80;
    int FRadius = 3;
    TLineStyle FLineStyle = lsSingle;
    TCropStyle FCropStyle = csClear;
    TDrawMode FMode = dmCrop;
    QSize FMinSize = QSize(10, 10);

    int FDragHit = htNone;
    QPoint FDragStart;
    int FSL = 0, FST = 0, FSR = 0, FSB = 0;   // the rectangle at the press
};
