#pragma once
// Containers of the forms: a panel (a filled area, optionally with a flat
// border of one colour and rounded corners) and a group box (a flat rounded
// frame in its frame colour with an optional caption on its top edge).
// Colours may be given as 0x00BBGGRR numbers as the form tables do.
// Children are placed in the container's own coordinates, caption included.

#include <QGroupBox>
#include <QWidget>

class TzelPanel : public QWidget {
    Q_OBJECT
public:
    explicit TzelPanel(QWidget* parent = nullptr);

    void SetColor(const QColor& color);
    void SetColorBGR(int bgr);
    QColor Color() const { return FColor; }
    // Width 0 draws no border.
    void SetBorder(int width, const QColor& color);
    void SetBorderBGR(int width, int bgr);
    int BorderWidth() const { return FBorderWidth; }
    QColor BorderColor() const { return FBorderColor; }
    // Corner radius of the area and its border; 0 gives square corners.
    void SetRadius(int radius);
    int Radius() const { return FRadius; }
    // Paints nothing of its own: the parent shows through.
    void SetTransparent(bool on);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor FColor = Qt::white;
    QColor FBorderColor{0xC3, 0xC9, 0xD2};
    int FBorderWidth = 0;
    int FRadius = 0;
    bool FTransparent = false;
};

class TzelGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TzelGroupBox(QWidget* parent = nullptr);
    explicit TzelGroupBox(const QString& caption, QWidget* parent = nullptr);

    void SetFrameColor(const QColor& color);
    void SetFrameColorBGR(int bgr);
    QColor FrameColor() const { return FFrameColor; }
    // The area inside the frame and behind the caption.
    void SetColor(const QColor& color);
    QColor Color() const { return FColor; }
    void SetRadius(int radius);

    // Where the frame runs: below the middle of the caption, or along the
    // top edge without one.
    QRectF FrameRect() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor FFrameColor{0xC3, 0xC9, 0xD2};
    QColor FColor = Qt::white;
    int FRadius = 5;
};
