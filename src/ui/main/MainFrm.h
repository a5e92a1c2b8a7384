#pragma once
// The main window: the player panel with the start screen or the video, the
// track bar, the frame strip and the tool group. It owns the open project,
// the one decoder and the playback thread.

#include "BaseFrm.h"
#include "ZelPanel.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QPainter;
class TDecodePlayThread;
class TDecoderSeek;
class TFFDecoder;
class TMHint;
class TPlayerEvents;
class TVGFrame;
class TVGProj;
class TzelButton;
class TzelGroupView;
class TzelImage;
class TzelSeparator;
class TzelTimeEdit;
class TzelTrackBar;

// A panel whose picture its owner paints (the start screen, the playing
// video, the still frame).
class TMainPanel : public TzelPanel {
    Q_OBJECT
public:
    using TzelPanel::TzelPanel;
    std::function<void(QPainter&)> OnPaint;

protected:
    void paintEvent(QPaintEvent* e) override;
};

class TMainForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    static QString OpenFilter();

    // Frame
    TzelImage *imgTop, *imgTopLeft, *imgTopRight, *imgLeft, *imgRight, *imgBottom, *imgBottomLeft, *imgBottomRight;
    TzelImage* imgIco;
    QLabel* lblCaption;
    TzelButton *btnMin, *btnMax, *btnRestore, *btnClose;
    // Toolbar
    TzelImage* Image1;
    TzelButton* btnOptions;
    TzelImage* Image2;
    TzelButton* btnHelp;
    // Player
    TMainPanel* pnlPlayer;
    TMainPanel* pnlShot;
    // Timeline
    TzelTrackBar* TrackBar;
    QLabel* lblDuration;
    TzelButton* btnInfo;
    // Strip
    TzelPanel* pnlView;
    TzelButton *btnPriorMore, *btnNextMore;
    TzelGroupView* ShotView;
    QLabel* lblProgress;
    // Tools
    TzelGroupBox* gbTool;
    TzelButton *Button1, *btnPlay, *btnPause, *btnMore, *btnStart, *btnEnd;
    TzelTimeEdit *edtStart, *edtEnd;
    TzelButton *btnCrop, *btnSetting, *btnConvert;
    TzelSeparator* spToolbar;
    TzelButton *btnPriorFrame, *btnNextFrame;
    QWidget* PaintBox1;

    TVGProj* Proj() const { return FProj.get(); }
    TVGFrame* CurFrame() const { return FCurFrame; }
    // The still view's picture as loaded (null without one).
    const QImage& FrameBmp() const { return FFrameBmp; }
    bool PlaySelection() const { return FPlaySelection; }
    bool IsPlaying() const { return FPlayThread != nullptr; }
    bool AtEnd() const { return FAtEnd; }
    int64_t CurPos() const { return FCurPos; }

    void UpdateControls();
    void UpdateCaption();
    void ResetView();
    void PlayFrom(int64_t time);
    void StopPlay();
    void ShowVideoFrame(TFFDecoder* decoder, QImage& bitmap);
    void SetTrackBarQuietly(int max, double ratio);
    void PlaceProgressLabel();

    void acOpenExecute();
    void acPlayExecute();
    void acPauseExecute(QObject* sender);

protected:
    void FormCreate() override;
    void ApplySkin() override;
    bool GetResizeMargins(TResizeMargins& margins) override;
    bool IsCaptionAt(QPoint local) override;
    void CaptionDoubleClick() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormResize();
    void CenterToolGroup();
    void LoadDecoder();
    // Fills the strip with the DecodeNum frames from FCurPos on and shows the
    // first in the still view.
    void DecodeGroupAt(QObject* sender);
    void ClearStrip();
    void ShowStill(TVGFrame* frame);
    void PlayEnd();
    void PaintStartScreen(QPainter& painter);
    void PaintPlayer(QPainter& painter);
    void PaintStill(QPainter& painter);
    void PaintBox1Paint(QPainter& painter);
    QString ExeFolder() const;
    QString TempFolder() const;

    std::unique_ptr<TVGProj> FProj;
    TFFDecoder* FDecoder = nullptr;   // child of the window
    TDecodePlayThread* FPlayThread = nullptr;
    TDecoderSeek* FSeekThread = nullptr;
    TPlayerEvents* FEvents = nullptr;
    int64_t FCurPos = 0;
    TVGFrame* FCurFrame = nullptr;
    QImage FFrameBmp;
    QImage FBackBuffer;
    int64_t FGroupFirst = 0, FGroupLast = 0;
    bool FAtEnd = false;
    bool FPlaySelection = false;
    bool FStartScreen = true;
    TMHint* FHint = nullptr;
    QString FOpenFolder, FOpenFileName;
};
