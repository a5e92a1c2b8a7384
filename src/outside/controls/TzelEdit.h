#pragma once
// The integer edit of the dialogs: right-aligned digits, "0" when left
// empty, values kept within Min..Max when the edit is left or set. A sign is
// accepted only when Min is below zero. It reports itself as an editable
// text named by its hint (or a name the form gives it, else its object name).

#include <QLineEdit>

class TzelEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue USER true)
public:
    explicit TzelEdit(QWidget* parent = nullptr);

    // The number in the text, 0 when empty, within Min..Max.
    int Value() const;
    void SetValue(int value);
    void SetMin(int min);
    void SetMax(int max);
    int Min() const { return FMin; }
    int Max() const { return FMax; }

    void SetHint(const QString& hint);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void UpdateValidator();
    void UpdateAccessibleName();
    void Normalise();

    int FMin = 0;
    int FMax = 2147483647;
    QString FAutoName;   // the name this edit gave itself last
};
