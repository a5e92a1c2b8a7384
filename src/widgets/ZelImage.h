#pragma once
// A picture on a form: stretched to the control, or at its own size (and
// then optionally sizing the control to it), as the form tables describe
// images. Reports itself as a graphic with the name it is given.

#include <QPixmap>
#include <QWidget>

class TzelImage : public QWidget {
    Q_OBJECT
public:
    explicit TzelImage(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return FPicture; }
    // Stretched fills the control; otherwise the picture sits at the top-left
    // (or centred when Center is set) at its own size.
    void SetStretch(bool stretch);
    void SetCenter(bool center);
    // The control takes the picture's size whenever the picture changes.
    void SetAutoSize(bool autoSize);

    QSize sizeHint() const override;

Q_SIGNALS:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FAutoSize = false;
};

// A skin picture by its file name; the "@2x" file beside it where the screen
// has twice the pixels and that file exists. Null when neither can be read.
QPixmap LoadSkinPicture(const QString& file, qreal devicePixelRatio);
