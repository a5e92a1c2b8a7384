#include "ZelFontCombo.h"

#include "ZelComboBox.h"
#include "ZelFlat.h"

TzelFontComboBox::TzelFontComboBox(QWidget* parent) : QFontComboBox(parent)
{
    setEditable(false);
    StyleFlatCombo(this);
    ZelFlat::KeepAccessibleName(this, {});
}

void TzelFontComboBox::SetFontName(const QString& name) { setCurrentFont(QFont(name)); }

void TzelFontComboBox::paintEvent(QPaintEvent*)
{
    QFont face = font();
    face.setFamilies({currentFont().family()});
    PaintFlatCombo(this, &face);
}
