#include "VGConfig.h"

TVGConfig* VGConfig = nullptr;

TVGConfig::TVGConfig(QObject* AOwner) : TBaseConfig(AOwner)
{
    // FileName is the owner's to set: the model knows no folders.
    ProjectName = QStringLiteral("VG");
}

void TVGConfig::ApplyDefaultFont(QString& Name, int& Size, TFontStyles& Styles, int& Color) const
{
    Name = FontName;
    Size = FontSize;
    Styles = FontStyles;
    Color = FontColor;
}
