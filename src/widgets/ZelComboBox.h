#pragma once
// Combo boxes of the dialogs, drawn flat: a drop-down list (the text is one
// of the items) or an editable combo (any text, items to pick from). Plain
// QComboBox underneath: the change signals, keys and the accessible combo
// box role are Qt's.

#include <QComboBox>

class TzelComboBox : public QComboBox {
    Q_OBJECT
public:
    enum TStyle { csDropDownList, csDropDown };
    explicit TzelComboBox(QWidget* parent = nullptr, TStyle style = csDropDownList);

    void SetStyle(TStyle style);
    TStyle Style() const { return isEditable() ? csDropDown : csDropDownList; }
    // The text: the current item of a list, the edit text of an editable one.
    QString Text() const { return currentText(); }
    void SetHint(const QString& hint) { setToolTip(hint); }

protected:
    void paintEvent(QPaintEvent* e) override;
};

// The flat field, the chevron and, for a drop-down list, the current text
// (in textFont when given), shared by the combo boxes of the library.
void PaintFlatCombo(QComboBox* combo, const QFont* textFont = nullptr);
// The colours and the list of a flat combo box; an editable one's edit loses
// Qt's frame and background.
void StyleFlatCombo(QComboBox* combo);
