#pragma once
// An edit with a small button at its right end (a file name with "..." to
// browse): the flat field of the library, the button inside it. The button
// is a TzelButton named after the edit, so tests and the accessibility
// interface find it.

#include <QLineEdit>

class TzelButton;

class TzelButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TzelButtonEdit(QWidget* parent = nullptr);

    TzelButton* Button() const { return FButton; }
    void SetHint(const QString& hint) { setToolTip(hint); }

Q_SIGNALS:
    void ButtonClick();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    TzelButton* FButton;
};
