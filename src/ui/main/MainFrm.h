#pragma once
// The main window: the player panel with the start screen or the video, the
// track bar, the frame strip and the tool group. It owns the open project,
// the one decoder and the playback thread.

#include "BaseFrm.h"
#include "ZelPanel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class TInstallTrackThread;
class QLabel;
class QPainter;
class QTimer;
class TVGElement;
class TzelPhoto;
class TzelPopupMenu;
class TDecodePlayThread;
class TDecoderSeek;
class TVideoPicture;
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

// A panel whose picture and mouse its owner handles (the start screen, the
// playing video, the still frame).
class TMainPanel : public TzelPanel {
    Q_OBJECT
public:
    using TzelPanel::TzelPanel;
    std::function<void(QPainter&)> OnPaint;
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
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
    // Non-visual
    QTimer *tmTrackBar, *tmClip, *tmAutoNext;
    TzelPopupMenu *pmToolbar, *pmShotView;
    QAction *pmiPlaySelect, *pmiLocateStart, *pmiLocateEnd;
    QAction *pmiDelete, *pmiRestore, *pmiStartTime, *pmiEndTime;
    TzelPopupMenu* pmHelp;
    QAction *pmiHelp, *pmiSupport, *pmiRelated, *N1, *Option1, *About1;

    TVGProj* Proj() const { return FProj.get(); }
    TVGFrame* CurFrame() const { return FCurFrame; }
    // The still view's picture as loaded (null without one).
    const QImage& FrameBmp() const { return FFrameBmp; }
    bool PlaySelection() const { return FPlaySelection; }
    bool IsPlaying() const { return FPlayThread != nullptr; }
    bool AtEnd() const { return FAtEnd; }
    int64_t CurPos() const { return FCurPos; }
    bool IsSeeking() const { return FSeekThread != nullptr; }
    bool IsDecoding() const { return FDecoding; }
    TFFDecoder* Decoder() const { return FDecoder; }
    TMHint* Hint() const { return FHint; }
    const QImage& ShotImage() const { return FShotImage; }
    int64_t GroupFirst() const { return FGroupFirst; }
    int64_t GroupLast() const { return FGroupLast; }

    void UpdateControls();
    void UpdateCaption();
    void ResetView();
    void PlayFrom(int64_t time);
    void StopPlay();
    void ShowVideoFrame(TFFDecoder* decoder, QImage& bitmap);
    void SetTrackBarQuietly(int max, double ratio);
    void PlaceProgressLabel();

    void DrawCropArea(QPainter& painter, const QRect& rect);
    void DrawFrameTime(QPainter& painter, int64_t time);

    // Opens a file as the open command does after its dialog.
    void OpenVideo(const QString& file);
    void acOpenExecute();
    void acPlayExecute();
    void acPauseExecute(QObject* sender);

    // Timeline
    int64_t TrackBarTime() const;
    bool ApplyTimeEdits();
    static int64_t ParseTimeEdit(const QString& text);
    void acStartTimeExecute(QObject* sender);
    void acEndTimeExecute(QObject* sender);
    void btnMoreClick();
    void pmToolbarPopup();
    void acPlaySelectExecute();
    void acLocateStartExecute(QObject* sender);
    void acLocateEndExecute();
    void tmClipTimer();

    // Strip and still view
    void DecodeGroupAt(QObject* sender);
    void AppendNextGroup(bool selectLast);
    void PrependPriorGroup(bool selectFirst);
    void DecodeGroupEndingAt();
    void UpdateGroupRange();
    void RefreshShotImage(bool overlaysOnly);
    void ShotViewSelectedChange();
    void acNextMoreExecute();
    void acPriorMoreExecute();
    void acNextFrameExecute();
    void acPriorFrameExecute();
    void acDeleteExecute();
    void acRestoreExecute();
    void pmShotViewPopup();

    // Commands that leave the window
    void btnConvertClick();
    void acCropExecute(QObject* sender);
    void acSettingExecute();
    void acOptionExecute();
    void acHelpExecute(QObject* sender);
    void pmiHelpClick();
    void pmiSupportClick();
    void About1Click();
    QString GetInfoText() const;
    void btnInfoEnter();
    void btnInfoExit();

protected:
    void FormCreate() override;
    void ApplySkin() override;
    bool GetResizeMargins(TResizeMargins& margins) override;
    bool IsCaptionAt(QPoint local) override;
    void CaptionDoubleClick() override;
    void AdjustForDpi() override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void FormDestroy();
    void FormResize();
    void CenterToolGroup();
    void LoadDecoder();
    void FreePlayThread();
    void FreeSeekThread();
    void ClearStrip();
    void PlayEnd();
    void SelectionEnd();
    // Track bar
    void TrackBarMouseDown(Qt::MouseButton button);
    void TrackBarChange();
    void TrackBarMouseUp(Qt::MouseButton button);
    void tmTrackBarTimer();
    void edtStartChange();
    void SetBoundFromFrame(int64_t& bound, TzelTimeEdit* edit, bool fromMenu);
    // Strip
    int GroupCount() const;
    TzelPhoto* AddFramePhoto(TVGFrame* frame, int index);
    void LoadThumbnails(int from, int to);
    QImage LoadThumb(const QString& file, const QSize& box);
    void KeepFramePicture(TVGFrame* frame, const TVideoPicture& picture);
    QList<TVGFrame*> DecodeGroup(bool forward, int count, int64_t time);
    void FocusPhoto(TzelPhoto* photo, bool scrollToEnd, bool scrollToStart);
    void ShotViewDrawPhoto(TzelPhoto* photo, QPainter* painter, const QRectF& textRect, const QRectF& imageRect);
    void StepFrame(bool forward);
    void SetDeleted(bool deleted);
    void StepButtonDown(int direction);
    void tmAutoNextTimer();
    // Still view
    QRect StillRect() const;
    void pnlShotMouseDown(QMouseEvent* e);
    void pnlShotMouseMove(QMouseEvent* e);
    void pnlShotMouseUp(QMouseEvent* e);
    bool HandleWindowKey(QKeyEvent* e);
    bool InputTap(QObject* watched, QEvent* e);
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
    QImage FShotImage;
    QImage FBackBuffer;
    int64_t FGroupFirst = 0, FGroupLast = 0;
    bool FTrackDragging = false;
    bool FPlayShown = false;
    bool FDecoding = false;    // a group decodes on this thread
    QElapsedTimer FEventsTimer; // since events were last let through during a group
    QElapsedTimer FProgressPainted;   // the playback thread has shown a frame
    bool FAtEnd = false;
    bool FPlaySelection = false;
    bool FStartScreen = true;
    TMHint* FHint = nullptr;
    QObject* FInputTap = nullptr;   // the application filter of InputTap
    QTimer* FFlushTimer = nullptr;      // writes the frame files that wait in memory
    void FlushFrameFilesTimer();
    TInstallTrackThread* FInstallTrack = nullptr;   // the install report, while it runs
    bool FShownOnce = false;
    // Thumbnails made from the pictures as they were decoded, and the first
    // picture decoded by the latest group at full size (what the still view
    // shows next), so neither is read back from its file.
    QHash<const TVGFrame*, QImage> FThumbs;
    const TVGFrame* FFullFrame = nullptr;
    QImage FFullPicture;
    bool FKeepFull = false;
    TVGElement* FDragElement = nullptr;
    QPoint FDownPoint;
    QPoint FDragOrigin;
    bool FDragMoved = false;
    QString FOpenFolder, FOpenFileName;
};
