#include "model/VGConfig.h"

#include "app/VGApp.h"

TVGConfig* VGConfig = nullptr;

TVGConfig::TVGConfig(QObject* AOwner) : TBaseConfig(AOwner)
{
    ProjectName = QStringLiteral("VG");
    FileName = TApp::DataFolder() + QStringLiteral("ConfigSet.vgset");
}

void TVGConfig::ApplyDefaultFont(QString& Name, int& Size, TFontStyles& Styles, int& Color) const
{
    Name = FontName;
    Size = FontSize;
    Styles = FontStyles;
    Color = FontColor;
}
