#pragma once
// A numeric edit: the value is a floating-point number, shown in its display
// format ("#0" shows it rounded to an integer, "#0.00" with two decimals),
// right-aligned. Typing takes digits, one sign and one decimal separator;
// leaving the edit shows the value in the format again. A text that is no
// number reads as the default 0, as the dialogs read numbers. The change
// signal is textChanged.

#include <QLineEdit>

class TzelNumericEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE SetValue USER true)
public:
    explicit TzelNumericEdit(QWidget* parent = nullptr);

    void SetDisplayFormat(const QString& format);
    QString DisplayFormat() const { return FFormat; }
    int Decimals() const { return FDecimals; }

    // The value of the text (0 for a text that is no number), kept within
    // the range when one is set.
    double Value() const;
    // Shows the value in the display format.
    void SetValue(double value);
    // Keeps values within min..max; min > max means no range (the default).
    void SetRange(double min, double max);
    void SetAllowNegative(bool allow);

    // The text a value is shown with in this format.
    QString FormatValue(double value) const;

    void SetHint(const QString& hint) { setToolTip(hint); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    void UpdateValidator();
    void Reformat();
    double Clamped(double v) const;

    QString FFormat = QStringLiteral("#0");
    int FDecimals = 0;
    double FMin = 1, FMax = 0;
    bool FAllowNegative = true;
    bool FHot = false;
};
