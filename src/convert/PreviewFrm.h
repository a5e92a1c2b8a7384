#pragma once
// The GIF preview: the converted GIF playing in a panel whose colour the
// user picks, saved under a chosen name, with its folder opened on request.
// Closing before any save asks first.

#include "BaseUIFrm.h"

#include <QStringList>

class QLabel;
class TGifPlayer;
class TVGProj;
class TzelColorEdit;
class TzelPanel;

class TPreviewForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TPreviewForm(QWidget* parent = nullptr);
    ~TPreviewForm() override;

    TzelPanel* pnlGIF = nullptr;
    TzelImage* Image1 = nullptr;
    TzelButton* btnFolder = nullptr;
    QLabel* Label1 = nullptr;
    TzelColorEdit* ceBK = nullptr;
    QLabel* lblInfo = nullptr;

    // The project whose GifFileName is shown and saved; the save dialog
    // starts in its video's folder with the video's name as a GIF.
    void SetProj(TVGProj* proj);
    // Loads the GIF, grows the window to show it at its size where the work
    // area allows, centres the window and lays the picture out. False with a
    // message box when the file cannot be read as a GIF.
    bool LoadGif();
    void LayoutGif();

    int GifWidth() const { return FGifWidth; }
    int GifHeight() const { return FGifHeight; }
    TGifPlayer* Player() const { return FPlayer; }
    // Where the save dialog starts, and the file it proposes.
    QString SaveFolder() const { return FSaveFolder; }
    QString SaveFileName() const { return FSaveFileName; }
    // The last file saved, empty before a save.
    QString SavedFile() const { return FSavedFile; }

    void btnFolderClick();
    void ceBKChange(const QColor& color);

protected:
    void ApplyLanguage() override;
    void ApplySkin() override;
    void AdjustForDpi() override;
    bool GetResizeMargins(TResizeMargins& margins) override;
    void btnOkMeClick() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowFrame();
    void ShowInfo();

    TVGProj* FProj = nullptr;
    TGifPlayer* FPlayer = nullptr;
    int FGifWidth = 0, FGifHeight = 0;
    QString FSaveFolder, FSaveFileName, FSavedFile;
    QStringList FInfoParts;
};

// Shows the project's converted GIF until the user closes the window.
void ShowPreviewForm(TVGProj* proj, QWidget* over = nullptr);
