#pragma once
// The user's settings: defaults for new clips, output limits, the look of the
// crop rectangle and the installation's bookkeeping. One object for the whole
// run (VGConfig), read and written directly through its fields; writing a
// field raises no change notification. Stored in DataFolder + "ConfigSet.vgset"
// with one element per property in the order below.

#include "VGTypes.h"
#include "BaseProj.h"

class TTextObj;

class TVGConfig : public TBaseConfig {
    Q_OBJECT
    Q_PROPERTY(bool InstallTracked MEMBER InstallTracked)
    Q_PROPERTY(bool ShowCropRc MEMBER ShowCropRc)
    Q_PROPERTY(int CropRcColor MEMBER CropRcColor)
    Q_PROPERTY(VG::TSizeStyle SizeStyle MEMBER SizeStyle)
    Q_PROPERTY(int GifMaxFrame MEMBER GifMaxFrame)
    Q_PROPERTY(int GifFPS MEMBER GifFPS)
    Q_PROPERTY(double GifSpeed MEMBER GifSpeed)
    Q_PROPERTY(int GifLoop MEMBER GifLoop)
    Q_PROPERTY(int DecodeNum MEMBER DecodeNum)
    Q_PROPERTY(int PartnerStatus MEMBER PartnerStatus)
    Q_PROPERTY(QString InstallGUID MEMBER InstallGUID)
    Q_PROPERTY(QString FontName MEMBER FontName)
    Q_PROPERTY(int FontSize MEMBER FontSize)
    Q_PROPERTY(int FontColor MEMBER FontColor)
    Q_PROPERTY(VG::TFontStyles FontStyles MEMBER FontStyles)
public:
    // ProjectName "VG"; the owner names the file
    // (the application's is TApp::ConfigFileName()).
    Q_INVOKABLE explicit TVGConfig(QObject* AOwner = nullptr);

    bool InstallTracked = false;      // the installation report has been sent
    bool ShowCropRc = true;           // draw the crop rectangle over the player
    int CropRcColor = 0x0000FF;       // 0x00BBGGRR, red
    TSizeStyle SizeStyle = ssHalf;    // output size rule of new clips
    int GifMaxFrame = 1000;           // most frames one GIF may hold
    int GifFPS = 8;                   // frame rate of new clips
    double GifSpeed = 1.0;            // speed factor of new clips
    int GifLoop = -1;                 // loop count of new clips; -1 endless
    int DecodeNum = 30;               // frames per group of the frame strip
    int PartnerStatus = 0;            // 0 not asked yet, 2 partner mode
    QString InstallGUID;              // from the installer's record
    QString FontName = QStringLiteral("Arial");   // font of new text overlays
    int FontSize = 14;
    int FontColor = 0xFFFFFF;         // 0x00BBGGRR, white
    TFontStyles FontStyles;

    // Copies FontName, FontSize, FontStyles and FontColor into a text
    // overlay's font description.
    void ApplyDefaultFont(QString& Name, int& Size, TFontStyles& Styles, int& Color) const;
    // The same for a clip's text overlay; defined beside TTextObj (VGProj.cpp).
    void ApplyDefaultFont(TTextObj* Text) const;

    bool IsPartnerUnknown() const { return PartnerStatus == 0; }
    bool HasPartnerLinks() const { return PartnerStatus == 2; }
};

// The settings object of the run; replaced by TApp::CheckInstallGUID on a new
// installation. None before the main block creates it.
extern TVGConfig* VGConfig;
