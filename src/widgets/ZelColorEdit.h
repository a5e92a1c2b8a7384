#pragma once
// A colour edit: a field showing the selected colour as a swatch and its
// #RRGGBB text; a click (or Space) opens the colour dialog with the custom
// colours kept for the session, through the one colour-dialog seam of the common layer. The form
// tables give colours as 0x00BBGGRR numbers; both forms are offered.

#include <QAbstractButton>
#include <QColor>

class TzelColorEdit : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QColor SelectedColor READ SelectedColor WRITE SetSelectedColor USER true)
public:
    explicit TzelColorEdit(QWidget* parent = nullptr);

    QColor SelectedColor() const { return FColor; }
    void SetSelectedColor(const QColor& color);
    int SelectedColorBGR() const;
    void SetSelectedColorBGR(int bgr);

    void SetHint(const QString& hint) { setToolTip(hint); }
    // Opens the colour dialog; true when the user picked a colour.
    bool Pick();

    QSize sizeHint() const override;

Q_SIGNALS:
    // A colour chosen by the user or set by the program.
    void ColorChanged(const QColor& color);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor FColor = Qt::white;
};
