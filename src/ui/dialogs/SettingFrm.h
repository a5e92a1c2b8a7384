#pragma once
// The output settings of the open clip: size, frame rate, speed, replay
// count, text overlays, the logo, flips and rotation, and the frame order,
// on five pages. It writes only into the project, and only on OK, apart from
// the few changes that take effect at once (a project text deleted, a
// project text's edits stored when another item is chosen or one is added,
// the logo picture dropped when a new file is picked). Page 0 also shows
// the GIF's estimated size for the values as they stand in the dialog.

#include "BaseUIFrm.h"
#include "VGConvert.h"
#include "VGProj.h"

#include <QColor>
#include <QFont>
#include <QImage>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class TGifSizeEstimator;
class TzelButton;
class TzelButtonEdit;
class TzelCheckBox;
class TzelComboBox;
class TzelEdit;
class TzelGroupBox;
class TzelPageControl;
class TzelPanel;
class TzelRadioButton;
struct TGifEstimate;

// The page that was active when the dialog last ended with OK; not saved.
extern int LastSettingPage;

class TSettingForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget* parent = nullptr);
    ~TSettingForm() override;

    // The project edited; not owned. Set before PreparePreview and LoadFromProject.
    void SetProject(TVGProj* proj) { FProj = proj; }
    void PreparePreview(const QImage* frame);
    void LoadFromProject();
    void SaveToProject();

    void SpeedToText(double speed);
    double TextToSpeed() const;

    void NewTextItem();
    void StoreCurrentText();
    void ShowTextItem(TTextObj* text);
    uint8_t GetTextAlign() const;
    void SetTextAlign(uint8_t align);
    TTextObj* CurrentText() const { return FCurText; }
    TTextObj* ItemObject(int row) const;

    // The picture the preview panel shows: the turned and flipped copy when
    // a flip or a rotation is chosen, else the (cropped) frame; null without a frame.
    QImage PreviewPicture();

    // The output choices as the controls show them now, not yet stored.
    TOutputChoice CurrentChoice() const;
    // The estimate asked for last, and how many were asked for (tests).
    const TVGConvertFlag& LastEstimateFlag() const { return FLastEstimateFlag; }
    int EstimateRequests() const { return FEstimateRequests; }
    // "1.2 MB (45 frames)"
    static QString EstimateText(int64_t bytes, int64_t frames);

    TzelPageControl* PageControl1 = nullptr;
    QWidget* tsGeneral = nullptr;
    QWidget* tsText = nullptr;
    QWidget* tsLogo = nullptr;
    QWidget* tsFlip = nullptr;
    QWidget* tsSequence = nullptr;
    // Page 0
    TzelGroupBox* gbSize = nullptr;
    TzelEdit* edtW = nullptr;
    TzelEdit* edtH = nullptr;
    TzelComboBox* cbSize = nullptr;
    TzelGroupBox* gbGif = nullptr;
    TzelComboBox* cbFrameRate = nullptr;
    TzelComboBox* cbSpeed = nullptr;
    TzelComboBox* cbLoop = nullptr;
    QLabel* lblEstimate = nullptr;
    QLabel* lblEstimateValue = nullptr;
    // Page 1
    QLabel* lblTextList = nullptr;
    QListWidget* lbText = nullptr;
    QPlainTextEdit* mmText = nullptr;
    TzelButton* btnAddText = nullptr;
    TzelButton* btnDelText = nullptr;
    TzelButton* btnTextFont = nullptr;
    TzelButton* btnAlignLeft = nullptr;
    TzelButton* btnAlignCenter = nullptr;
    TzelButton* btnAlignRight = nullptr;
    QLabel* lblTextX = nullptr;
    QLabel* lblTextY = nullptr;
    TzelEdit* edtTextX = nullptr;
    TzelEdit* edtTextY = nullptr;
    // Page 2
    TzelCheckBox* cbxLogo = nullptr;
    TzelPanel* pnlLogo = nullptr;
    TzelButtonEdit* edtLogo = nullptr;
    TzelEdit* edtLogoW = nullptr;
    TzelEdit* edtLogoH = nullptr;
    TzelEdit* edtLogoX = nullptr;
    TzelEdit* edtLogoY = nullptr;
    // Page 3
    TzelCheckBox* cbxFlipH = nullptr;
    TzelCheckBox* cbxFlipV = nullptr;
    TzelComboBox* cbRotate = nullptr;
    TzelPanel* pnlPreview = nullptr;
    // Page 4
    TzelRadioButton* rbOriginal = nullptr;
    TzelRadioButton* rbReverse = nullptr;
    TzelRadioButton* rbPingPong = nullptr;

    // The font button's own font and colour: the current overlay's while it is edited.
    QFont TextFont() const { return FTextFont; }
    QColor TextColor() const { return FTextColor; }

    static const char* const PictureFilter;

protected:
    void FormCreate() override;
    void AdjustForDpi() override;
    void btnOkMeClick() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cbSizeChange();
    void cbSpeedExit();
    void cbLoopExit();
    void lbTextClick();
    void btnAddTextClick();
    void btnDelTextClick();
    void btnTextFontClick();
    void edtLogoButtonClick();
    void cbxLogoClick();
    void cbxFlipHClick();
    void pnlPreviewPaint();

    void BuildPreviewBmp();
    void SetTextFont(const QFont& font, const QColor& color);
    void RequestEstimate();
    void EstimateReady(const TGifEstimate& estimate);

    TVGProj* FProj = nullptr;
    TTextObj* FCurText = nullptr;
    QImage FPreviewSrc;
    QImage FPreviewBmp;
    QFont FTextFont;
    QColor FTextColor;
    bool FLoading = false;
    // The picture of the logo file the dialog shows, read once per file
    // name rather than at every estimate.
    mutable QString FLogoCacheFile;
    mutable QImage FLogoCache;
    TGifSizeEstimator* FEstimator = nullptr;
    TVGConvertFlag FLastEstimateFlag;
    int FEstimateRequests = 0;
};

// Runs the dialog modally on the project with the frame on show (may be
// null); true when it ended with OK.
bool ShowSettingForm(TVGProj* proj, const QImage* frame, QWidget* over = nullptr);
