#pragma once
// A font combo box with preview: the list shows every family in its own
// face, and the field shows the chosen family in its face too. A drop-down
// list of the installed families; FontName is the chosen family.

#include <QFontComboBox>

class TzelFontComboBox : public QFontComboBox {
    Q_OBJECT
    Q_PROPERTY(QString FontName READ FontName WRITE SetFontName USER true)
public:
    explicit TzelFontComboBox(QWidget* parent = nullptr);

    QString FontName() const { return currentFont().family(); }
    // A family the desktop lacks selects the nearest it has.
    void SetFontName(const QString& name);
    void SetHint(const QString& hint) { setToolTip(hint); }

protected:
    void paintEvent(QPaintEvent* e) override;
};
