#pragma once
// A separator: a line one pixel thick across the middle of the control,
// horizontal or vertical, in its colour (a 0x00BBGGRR number as the forms
// give it, or a colour).

#include <QWidget>

class TzelSeparator : public QWidget {
    Q_OBJECT
public:
    explicit TzelSeparator(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Horizontal);

    void SetOrientation(Qt::Orientation orientation);
    Qt::Orientation Orientation() const { return FOrientation; }
    void SetColor(const QColor& color);
    void SetColorBGR(int bgr);
    QColor Color() const { return FColor; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    Qt::Orientation FOrientation;
    QColor FColor;
};
