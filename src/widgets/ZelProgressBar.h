#pragma once
// The percent bar: a rounded track filled in the accent colour up to the
// percentage, without text. Qt's progress bar underneath gives the
// accessible progress bar role and its value.

#include <QProgressBar>

class TzelProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TzelProgressBar(QWidget* parent = nullptr);

    int Percent() const { return value(); }
    // Kept within 0..100.
    void SetPercent(int percent);
    void SetBarColor(const QColor& color);
    void SetBackColor(const QColor& color);

    QSize sizeHint() const override { return {200, 10}; }
    QSize minimumSizeHint() const override { return {8, 4}; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor FBar;
    QColor FBack;
};
