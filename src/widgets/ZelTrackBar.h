#pragma once
// The flat track bar of the main window: a track 4 pixels high, the part
// before the thumb in the accent colour, a round thumb, no ticks and no focus
// rectangle. The thumb's centre runs from ThumbSize/2 to width - ThumbSize/2,
// so with Max = width - ThumbSize one step is one pixel.
//
// A left press on the track moves the thumb there and drags it from there;
// every position while dragging signals valueChanged (and sliderMoved).
// OnMouseDown is signalled before the press moves the thumb, OnMouseUp
// after the release, for every mouse button. Keys and the wheel are Qt's.

#include <QSlider>

class TzelTrackBar : public QSlider {
    Q_OBJECT
public:
    static constexpr int ThumbSize = 20;

    explicit TzelTrackBar(QWidget* parent = nullptr);

    // Position is the value; Max the maximum (the minimum stays 0 unless set).
    int Position() const { return value(); }
    void SetPosition(int position) { setValue(position); }
    void SetMax(int max) { setMaximum(max); }
    void SetHint(const QString& hint) { setToolTip(hint); }

    // Where a value puts the thumb's centre, and the value under an x.
    double ThumbCenterX(int value) const;
    int ValueAtX(double x) const;
    QRectF ThumbRect() const;
    bool Dragging() const { return FDragging; }

    QSize sizeHint() const override { return {120, 16}; }
    QSize minimumSizeHint() const override { return {ThumbSize + 4, 12}; }

Q_SIGNALS:
    void OnMouseDown(Qt::MouseButton button, const QPoint& pos);
    void OnMouseUp(Qt::MouseButton button, const QPoint& pos);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool FDragging = false;
    double FGrabOffset = 0;   // from the thumb's centre to where it was taken
};
