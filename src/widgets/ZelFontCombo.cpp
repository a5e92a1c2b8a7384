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
    QFont face(currentFont().family());
    face.setPointSizeF(font().pointSizeF());
    if (font().pixelSize() > 0)
        face.setPixelSize(font().pixelSize());
    PaintFlatCombo(this, &face);
}
