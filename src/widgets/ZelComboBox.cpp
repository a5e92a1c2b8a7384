#include "ZelComboBox.h"

#include "ZelFlat.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionComboBox>

void StyleFlatCombo(QComboBox* combo)
{
    combo->setAttribute(Qt::WA_Hover);
    QPalette pal = combo->palette();
    pal.setColor(QPalette::Text, ZelFlat::Text);
    pal.setColor(QPalette::ButtonText, ZelFlat::Text);
    pal.setColor(QPalette::Highlight, ZelFlat::Accent);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    combo->setPalette(pal);
    if (combo->view())
        combo->view()->setPalette(pal);
    if (QLineEdit* edit = combo->lineEdit())
        ZelFlat::StyleLineEdit(edit);
}

void PaintFlatCombo(QComboBox* combo, const QFont* textFont)
{
    QPainter p(combo);
    const bool hot = combo->underMouse() || (combo->view() && combo->view()->isVisible());
    ZelFlat::PaintField(p, combo, hot);
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.editable = combo->isEditable();
    opt.frame = true;
    const QRect arrow = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, combo);
    const QRect chevronArea(combo->width() - 20, 0, 18, combo->height());
    ZelFlat::DrawChevron(p, arrow.isValid() ? chevronArea.united(arrow).intersected(chevronArea) : chevronArea,
                         combo->isEnabled() ? ZelFlat::Slate : ZelFlat::TextDisabled);
    if (!combo->isEditable()) {
        p.setPen(combo->isEnabled() ? ZelFlat::Text : ZelFlat::TextDisabled);
        p.setFont(textFont ? *textFont : combo->font());
        const QRect textRect(6, 0, chevronArea.left() - 8, combo->height());
        const QString text = p.fontMetrics().elidedText(combo->currentText(), Qt::ElideRight, textRect.width());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    }
}

TzelComboBox::TzelComboBox(QWidget* parent, TStyle style) : QComboBox(parent)
{
    ZelFlat::KeepAccessibleName(this, {});
    SetStyle(style);
}

void TzelComboBox::SetStyle(TStyle style)
{
    setEditable(style == csDropDown);
    StyleFlatCombo(this);
}

void TzelComboBox::paintEvent(QPaintEvent*) { PaintFlatCombo(this); }
