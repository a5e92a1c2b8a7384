#include "MainFrm.h"

#include "BitmapFile.h"
#include "DecodePlayer.h"
#include "FFDecoder.h"
#include "VideoPicture.h"
#include "MHintWindow.h"
#include "TzelButton.h"
#include "TzelGroupView.h"
#include "VGApp.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelAnchors.h"
#include "ZelImage.h"
#include "ZelMaskEdit.h"
#include "ZelMessages.h"
#include "ZelNoChange.h"
#include "ZelPanel.h"
#include "ZelSeparator.h"
#include "ZelTrackBar.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include "VGFrames.h"
#include "VGUIApp.h"
#include "ZelPopupMenu.h"

#include "CropFrm.h"
#include "InstallTrack.h"
#include "OptionFrm.h"
#include "PreviewFrm.h"
#include "PublishFrm.h"
#include "SettingFrm.h"
#include "AboutFrm.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <limits>
#include <vector>

void TMainPanel::paintEvent(QPaintEvent* e)
{
    TzelPanel::paintEvent(e);
    if (OnPaint) {
        QPainter p(this);
        OnPaint(p);
    }
}

void TMainPanel::mousePressEvent(QMouseEvent* e)
{
    if (OnMouseDown)
        OnMouseDown(e);
    TzelPanel::mousePressEvent(e);
}

void TMainPanel::mouseMoveEvent(QMouseEvent* e)
{
    if (OnMouseMove)
        OnMouseMove(e);
    TzelPanel::mouseMoveEvent(e);
}

void TMainPanel::mouseReleaseEvent(QMouseEvent* e)
{
    if (OnMouseUp)
        OnMouseUp(e);
    TzelPanel::mouseReleaseEvent(e);
}

namespace {
// Sees the application's input events before the controls do.
class TInputTap : public QObject {
public:
    TInputTap(QObject* parent, std::function<bool(QObject*, QEvent*)> onEvent) : QObject(parent), FOnEvent(std::move(onEvent)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return FOnEvent(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> FOnEvent;
};

bool IsInputEvent(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

// Marks a group decode in progress for as long as it lives.
struct TDecodingScope {
    explicit TDecodingScope(bool& flag) : Flag(flag), Was(flag) { Flag = true; }
    ~TDecodingScope() { Flag = Was; }
    bool& Flag;
    bool Was;
};

constexpr int kDesignW = 820, kDesignH = 570, kCaptionH = 31;
// Pictures of frame files not yet written: about 16 frames of 1080p, so a
// group costs little more than its decoding and memory stays bounded.
constexpr int64_t kPictureCacheBytes = int64_t(100) << 20;

void SetFont(QWidget* w, const QString& face, int px, bool bold)
{
    QFont f(face);
    f.setPixelSize(px);
    f.setBold(bold);
    w->setFont(f);
}

void SetTextColor(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::ButtonText, c);
    w->setPalette(pal);
}
}  // namespace

QString TMainForm::OpenFilter()
{
    return QStringLiteral("Video Files|*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;"
                          "*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;|All Files|*.*");
}

TMainForm::TMainForm(QWidget* parent) : TBaseForm(parent)
{
    setAttribute(Qt::WA_QuitOnClose);
    setWindowTitle(QStringLiteral("MainForm"));
    resize(kDesignW, kDesignH);
    setMinimumSize(705, 317);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto image = [this](QWidget* parent, const char* name, const QRect& r, int anchors, bool stretch) {
        auto* img = new TzelImage(parent);
        img->setObjectName(QString::fromLatin1(name));
        img->SetStretch(stretch);
        SetBounds(img, r, anchors);
        return img;
    };
    auto button = [](QWidget* parent, const char* name, const QString& caption, const QRect& r, int anchors) {
        auto* b = new TzelButton(caption, parent);
        b->setObjectName(QString::fromLatin1(name));
        SetBounds(b, r, anchors);
        return b;
    };
    auto hinted = [&](QWidget* parent, const char* name, const QString& hint, const QRect& r, int anchors) {
        auto* b = button(parent, name, QString(), r, anchors);
        b->SetHint(hint);
        b->setAccessibleName(hint);
        return b;
    };

    // Frame
    imgTop = image(this, "imgTop", {0, 0, kDesignW, kCaptionH}, akLeftTopRight, true);
    imgLeft = image(this, "imgLeft", {0, 0, 5, kDesignH}, akLeftTopBottom, true);
    imgRight = image(this, "imgRight", {kDesignW - 6, 0, 6, kDesignH}, akTopRightBottom, true);
    imgBottom = image(this, "imgBottom", {0, kDesignH - 6, kDesignW, 6}, akLeftRightBottom, true);
    imgTopLeft = image(this, "imgTopLeft", {0, 0, 5, kCaptionH}, akTopLeft, false);
    imgTopRight = image(this, "imgTopRight", {kDesignW - 6, 0, 6, kCaptionH}, akTopRight, false);
    imgBottomLeft = image(this, "imgBottomLeft", {0, kDesignH - 9, 8, 9}, akBottomLeft, false);
    imgBottomRight = image(this, "imgBottomRight", {kDesignW - 9, kDesignH - 9, 9, 9}, akBottomRight, false);
    imgIco = image(this, "imgIco", {10, 7, 18, 18}, akTopLeft, true);
    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    SetFont(lblCaption, QStringLiteral("Arial"), 13, true);
    SetTextColor(lblCaption, Qt::white);
    // Presses and double clicks go to the top bar behind it.
    lblCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetBounds(lblCaption, {34, 8, 743 - 34 - 8, 17}, akLeftTopRight);
    btnMin = hinted(this, "btnMin", QString(), {743, 8, 17, 17}, akTopRight);
    btnRestore = hinted(this, "btnRestore", QString(), {766, 8, 17, 17}, akTopRight);
    btnMax = hinted(this, "btnMax", QString(), {766, 8, 17, 17}, akTopRight);
    btnClose = hinted(this, "btnClose", QString(), {789, 8, 17, 17}, akTopRight);
    btnMin->setAccessibleName(QStringLiteral("Minimize"));
    btnMax->setAccessibleName(QStringLiteral("Maximize"));
    btnRestore->setAccessibleName(QStringLiteral("Restore"));
    btnClose->setAccessibleName(QStringLiteral("Close window"));
    btnRestore->hide();
    for (TzelButton* b : {btnMin, btnMax, btnRestore, btnClose})
        b->setFocusPolicy(Qt::NoFocus);

    // Toolbar
    Image1 = image(this, "Image1", {5, 31, 809, 27}, akLeftTopRight, true);
    btnOptions = button(this, "btnOptions", QStringLiteral("Options"), {5, 31, 75, 26}, akTopLeft);
    Image2 = image(this, "Image2", {80, 31, 1, 26}, akTopLeft, true);
    btnHelp = button(this, "btnHelp", QStringLiteral("Help"), {739, 31, 75, 26}, akTopRight);
    for (TzelButton* b : {btnOptions, btnHelp}) {
        SetFont(b, QStringLiteral("Arial"), 12, true);
        SetTextColor(b, ColorFromBGR(3092271));
    }

    // Player
    pnlPlayer = new TMainPanel(this);
    pnlPlayer->setObjectName(QStringLiteral("pnlPlayer"));
    pnlPlayer->setAccessibleName(QStringLiteral("Player"));
    SetBounds(pnlPlayer, {10, 64, 798, 265}, akAll);
    pnlShot = new TMainPanel(this);
    pnlShot->setObjectName(QStringLiteral("pnlShot"));
    pnlShot->setAccessibleName(QStringLiteral("Still frame"));
    pnlShot->SetColor(Qt::black);
    SetBounds(pnlShot, {10, 64, 798, 265}, akAll);
    pnlShot->OnPaint = [this](QPainter& p) { PaintStill(p); };
    pnlShot->OnMouseDown = [this](QMouseEvent* e) { pnlShotMouseDown(e); };
    pnlShot->OnMouseMove = [this](QMouseEvent* e) { pnlShotMouseMove(e); };
    pnlShot->OnMouseUp = [this](QMouseEvent* e) { pnlShotMouseUp(e); };
    pnlShot->hide();

    // Timeline
    TrackBar = new TzelTrackBar(this);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setAccessibleName(QStringLiteral("Position"));
    TrackBar->SetMax(100);
    TrackBar->SetPosition(0);
    // Arrow keys step it while it has the focus; it draws no focus frame.
    TrackBar->setFocusPolicy(Qt::StrongFocus);
    SetBounds(TrackBar, {8, 336, 714, 16}, akLeftRightBottom);
    TrackBar->setEnabled(false);
    lblDuration = new QLabel(QStringLiteral("00:00:00.000"), this);
    lblDuration->setObjectName(QStringLiteral("lblDuration"));
    lblDuration->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetBounds(lblDuration, {725, 336, 64, 16}, akBottomRight);
    btnInfo = hinted(this, "btnInfo", QString(), {792, 335, 16, 16}, akBottomRight);
    btnInfo->setAccessibleName(QStringLiteral("Video information"));

    // Strip
    pnlView = new TzelPanel(this);
    pnlView->setObjectName(QStringLiteral("pnlView"));
    pnlView->SetColorBGR(15987699);
    pnlView->SetBorderBGR(1, 14671839);
    SetBounds(pnlView, {10, 357, 798, 123}, akLeftRightBottom);
    btnPriorMore = hinted(pnlView, "btnPriorMore", QStringLiteral("Last group"), {0, 0, 24, 123}, akTopLeft);
    btnNextMore = hinted(pnlView, "btnNextMore", QStringLiteral("Next group"), {774, 0, 24, 123}, akTopRight);
    ShotView = new TzelGroupView(pnlView);
    ShotView->setObjectName(QStringLiteral("ShotView"));
    ShotView->setAccessibleName(QStringLiteral("Frames"));
    ShotView->SetThumbWidth(128);
    ShotView->SetThumbHeight(72);
    ShotView->SetMultiSelect(true);
    ShotView->SetShowCaption(false);
    ShotView->SetShowGroup(false);
    ShotView->SetSpaceH(0);
    ShotView->SetSpaceV(20);
    ShotView->SetKind(TzelGroupView::sbHorizontal);
    SetFont(ShotView, QStringLiteral("Tahoma"), 15, false);
    SetBounds(ShotView, {28, 1, 742, 121}, akLeftRightBottom);
    lblProgress = new QLabel(pnlView);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    SetFont(lblProgress, QStringLiteral("Arial"), 11, false);
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->resize(120, 14);
    lblProgress->hide();

    // Tools
    gbTool = new TzelGroupBox(this);
    gbTool->setObjectName(QStringLiteral("gbTool"));
    gbTool->SetFrameColorBGR(12371657);
    SetBounds(gbTool, {64, 488, 686, 76}, akBottomLeft);
    Button1 = button(gbTool, "Button1", QStringLiteral("Open"), {16, 17, 82, 50}, akTopLeft);
    btnPlay = button(gbTool, "btnPlay", QStringLiteral("Play"), {104, 17, 82, 50}, akTopLeft);
    btnPause = button(gbTool, "btnPause", QStringLiteral("Pause"), {104, 17, 82, 50}, akTopLeft);
    btnPause->hide();
    btnMore = hinted(gbTool, "btnMore", QStringLiteral("More actions"), {182, 17, 20, 50}, akTopLeft);
    btnStart = button(gbTool, "btnStart", QStringLiteral("Start"), {212, 17, 53, 22}, akTopLeft);
    btnEnd = button(gbTool, "btnEnd", QStringLiteral("End"), {212, 45, 53, 22}, akTopLeft);
    auto timeEdit = [&](const char* name, const QString& accessible, const QRect& r) {
        auto* e = new TzelTimeEdit(gbTool);
        e->setObjectName(QString::fromLatin1(name));
        e->SetEditMask(QStringLiteral("99:99:99.999;1;_"));
        e->setAccessibleName(accessible);
        // The whole time fits the narrow edit only in the small dialog font.
        SetFont(e, QStringLiteral("Tahoma"), 11, false);
        e->setTextMargins(0, 0, 0, 0);
        SetBounds(e, r, akTopLeft);
        return e;
    };
    edtStart = timeEdit("edtStart", QStringLiteral("Start time"), {272, 17, 71, 22});
    edtEnd = timeEdit("edtEnd", QStringLiteral("End time"), {272, 45, 71, 22});
    btnCrop = button(gbTool, "btnCrop", QStringLiteral("Crop"), {352, 17, 82, 50}, akTopLeft);
    btnSetting = button(gbTool, "btnSetting", QStringLiteral("Setting"), {440, 17, 82, 50}, akTopLeft);
    btnConvert = button(gbTool, "btnConvert", QStringLiteral("Convert"), {528, 17, 82, 50}, akTopLeft);
    spToolbar = new TzelSeparator(gbTool, Qt::Vertical);
    spToolbar->setObjectName(QStringLiteral("spToolbar"));
    spToolbar->SetColorBGR(12371657);
    SetBounds(spToolbar, {618, 26, 1, 32}, akTopLeft);
    btnPriorFrame = hinted(gbTool, "btnPriorFrame", QStringLiteral("Last frame"), {628, 17, 20, 50}, akTopLeft);
    btnNextFrame = hinted(gbTool, "btnNextFrame", QStringLiteral("Next frame"), {651, 17, 20, 50}, akTopLeft);
    auto* box = new TMainPanel(gbTool);
    box->SetTransparent(true);
    box->OnPaint = [this](QPainter& p) { PaintBox1Paint(p); };
    PaintBox1 = box;
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    SetBounds(PaintBox1, {0, 74, 686, 3}, akTopLeft);

    // Non-visual
    auto timer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        return t;
    };
    tmTrackBar = timer("tmTrackBar", 500);
    tmClip = timer("tmClip", 1000);
    tmAutoNext = timer("tmAutoNext", 500);
    pmToolbar = new TzelPopupMenu(this);
    pmToolbar->setObjectName(QStringLiteral("pmToolbar"));
    pmShotView = new TzelPopupMenu(this);
    pmShotView->setObjectName(QStringLiteral("pmShotView"));
    pmiPlaySelect = pmToolbar->AddItem(QStringLiteral("Play selection"), 3);
    pmiLocateStart = pmToolbar->AddItem(QStringLiteral("Locate start time"), 1);
    pmiLocateEnd = pmToolbar->AddItem(QStringLiteral("Locate end time"), 2);
    pmHelp = new TzelPopupMenu(this);
    pmHelp->setObjectName(QStringLiteral("pmHelp"));
    pmiHelp = pmHelp->AddItem(QStringLiteral("Help Content"));
    pmiSupport = pmHelp->AddItem(QStringLiteral("Support Center"));
    // Links to the maker's other products: kept in the menu, never shown.
    pmiRelated = pmHelp->AddSubMenu(QStringLiteral("Related Software"))->menuAction();
    pmiRelated->setVisible(false);
    N1 = pmHelp->addSeparator();
    Option1 = pmHelp->AddItem(QStringLiteral("Options..."));
    Option1->setVisible(false);
    About1 = pmHelp->AddItem(QStringLiteral("About..."));
    pmiDelete = pmShotView->AddItem(QStringLiteral("Delete"), 4);
    pmiRestore = pmShotView->AddItem(QStringLiteral("Restore"));
    pmShotView->addSeparator();
    pmiStartTime = pmShotView->AddItem(QStringLiteral("Set as start frame"), 1);
    pmiEndTime = pmShotView->AddItem(QStringLiteral("Set as end frame"), 2);
    for (TzelPopupMenu* m : {pmToolbar, pmShotView})
        m->SetMenuColorBGR(16251129);
    ShotView->SetPopupMenu(pmShotView);
    setAcceptDrops(true);

    FEvents = new TPlayerEvents(this);
    connect(FEvents, &TPlayerEvents::PlayEnd, this, [this] { PlayEnd(); });
    connect(FEvents, &TPlayerEvents::SelectionEnd, this, [this] { SelectionEnd(); });
    connect(FEvents, &TPlayerEvents::DecodeProgress, this, [this](int done, int asked) {
        lblProgress->setText(done == 0 ? QStringLiteral("Decoding...")
                                       : QStringLiteral("%1 / %2").arg(done).arg(std::max(asked, done)));
        lblProgress->show();
        // Painted at once, though not more often than the eye follows.
        if (done == 0 || done >= asked || !FProgressPainted.isValid() || FProgressPainted.elapsed() >= 30) {
            lblProgress->repaint();
            FProgressPainted.start();
        }
        // The window repaints and its close button answers while the group
        // decodes, a few times a second; other input to it waits (see InputTap).
        if (FDecoding && (!FEventsTimer.isValid() || FEventsTimer.elapsed() >= 40)) {
            QCoreApplication::processEvents();
            FEventsTimer.start();
        }
    });
    connect(Button1, &TzelButton::clicked, this, [this] { acOpenExecute(); });
    connect(btnPlay, &TzelButton::clicked, this, [this] { acPlayExecute(); });
    connect(btnPause, &TzelButton::clicked, this, [this] { acPauseExecute(btnPause); });
    connect(btnMax, &TzelButton::clicked, this, [this] { Maximize(); });
    connect(btnRestore, &TzelButton::clicked, this, [this] { Restore(); });
    connect(btnMin, &TzelButton::clicked, this, [this] { showMinimized(); });
    // Timeline
    connect(TrackBar, &TzelTrackBar::OnMouseDown, this, [this](Qt::MouseButton b, const QPoint&) { TrackBarMouseDown(b); });
    connect(TrackBar, &TzelTrackBar::OnMouseUp, this, [this](Qt::MouseButton b, const QPoint&) { TrackBarMouseUp(b); });
    connect(TrackBar, &QSlider::valueChanged, this, [this] { TrackBarChange(); });
    connect(tmTrackBar, &QTimer::timeout, this, [this] { tmTrackBarTimer(); });
    connect(edtStart, &QLineEdit::textChanged, this, [this] { edtStartChange(); });
    connect(edtEnd, &QLineEdit::textChanged, this, [this] { edtStartChange(); });
    connect(tmClip, &QTimer::timeout, this, [this] { tmClipTimer(); });
    connect(btnStart, &TzelButton::clicked, this, [this] { acStartTimeExecute(btnStart); });
    connect(btnEnd, &TzelButton::clicked, this, [this] { acEndTimeExecute(btnEnd); });
    connect(btnMore, &TzelButton::clicked, this, [this] { btnMoreClick(); });
    connect(pmToolbar, &QMenu::aboutToShow, this, [this] { pmToolbarPopup(); });
    // The menu took the mouse: the button under it learns no leave of its own.
    connect(pmToolbar, &QMenu::aboutToHide, this, [this] {
        if (!btnMore->rect().contains(btnMore->mapFromGlobal(QCursor::pos()))) {
            btnMore->setAttribute(Qt::WA_UnderMouse, false);
            btnMore->update();
        }
    });
    connect(pmiPlaySelect, &QAction::triggered, this, [this] { acPlaySelectExecute(); });
    connect(pmiLocateStart, &QAction::triggered, this, [this] { acLocateStartExecute(pmiLocateStart); });
    connect(pmiLocateEnd, &QAction::triggered, this, [this] { acLocateEndExecute(); });
    // Strip and still view
    connect(ShotView, &TzelGroupView::OnSelectedChange, this, [this] { ShotViewSelectedChange(); });
    connect(ShotView, &TzelGroupView::OnDrawPhoto, this,
            [this](TzelPhoto* photo, QPainter* p, const QRectF& text, const QRectF& image) {
                ShotViewDrawPhoto(photo, p, text, image);
            });
    connect(ShotView, &TzelGroupView::OnKeyDown, this, [this](QKeyEvent* e) {
        if (e->key() == Qt::Key_Delete) {
            acDeleteExecute();
            e->accept();
        }
    });
    ShotView->SetThumbLoader([this](const QString& file, const QSize& box) { return LoadThumb(file, box); });
    connect(pmShotView, &QMenu::aboutToShow, this, [this] { pmShotViewPopup(); });
    connect(pmiDelete, &QAction::triggered, this, [this] { acDeleteExecute(); });
    connect(pmiRestore, &QAction::triggered, this, [this] { acRestoreExecute(); });
    connect(pmiStartTime, &QAction::triggered, this, [this] { acStartTimeExecute(pmiStartTime); });
    connect(pmiEndTime, &QAction::triggered, this, [this] { acEndTimeExecute(pmiEndTime); });
    connect(btnNextMore, &TzelButton::clicked, this, [this] { acNextMoreExecute(); });
    connect(btnPriorMore, &TzelButton::clicked, this, [this] { acPriorMoreExecute(); });
    connect(btnNextFrame, &TzelButton::clicked, this, [this] { acNextFrameExecute(); });
    connect(btnPriorFrame, &TzelButton::clicked, this, [this] { acPriorFrameExecute(); });
    connect(btnNextFrame, &TzelButton::OnMouseDown, this, [this] { StepButtonDown(0); });
    connect(btnPriorFrame, &TzelButton::OnMouseDown, this, [this] { StepButtonDown(1); });
    connect(btnNextFrame, &TzelButton::OnMouseUp, tmAutoNext, &QTimer::stop);
    connect(btnPriorFrame, &TzelButton::OnMouseUp, tmAutoNext, &QTimer::stop);
    connect(tmAutoNext, &QTimer::timeout, this, [this] { tmAutoNextTimer(); });
    FFlushTimer = new QTimer(this);
    FFlushTimer->setInterval(10);
    connect(FFlushTimer, &QTimer::timeout, this, [this] { FlushFrameFilesTimer(); });
    FInputTap = new TInputTap(this, [this](QObject* w, QEvent* e) { return InputTap(w, e); });
    qApp->installEventFilter(FInputTap);
    connect(btnClose, &TzelButton::clicked, this, [this] { close(); });
    // Commands that leave the window
    connect(btnConvert, &TzelButton::clicked, this, [this] { btnConvertClick(); });
    connect(btnCrop, &TzelButton::clicked, this, [this] { acCropExecute(btnCrop); });
    connect(btnSetting, &TzelButton::clicked, this, [this] { acSettingExecute(); });
    connect(btnOptions, &TzelButton::clicked, this, [this] { acOptionExecute(); });
    connect(Option1, &QAction::triggered, this, [this] { acOptionExecute(); });
    connect(btnHelp, &TzelButton::clicked, this, [this] { acHelpExecute(btnHelp); });
    connect(pmiHelp, &QAction::triggered, this, [this] { pmiHelpClick(); });
    connect(pmiSupport, &QAction::triggered, this, [this] { pmiSupportClick(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
    connect(btnInfo, &TzelButton::clicked, this, [this] { btnInfoEnter(); });
    connect(btnInfo, &TzelButton::OnMouseDown, this, [this] {
        if (FHint)
            FHint->HideHint();
    });
    btnInfo->installEventFilter(this);
    connect(this, &TBaseForm::MaximizedChanged, this, [this](bool maximized) {
        btnMax->setVisible(!maximized);
        btnRestore->setVisible(maximized);
    });

    FormCreate();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::FormDestroy()
{
    // The filter calls into this window: it goes before the window is half gone.
    delete FInputTap;
    FInputTap = nullptr;
    for (QTimer* t : {tmTrackBar, tmClip, tmAutoNext, FFlushTimer})
        t->stop();
    // The network never holds up closing: the report thread is dropped at once.
    StopInstallTrack(FInstallTrack);
    if (App)
        TApp::SaveSettingsSilently();
    // Threads draw for the project: they go first.
    FreePlayThread();
    FreeSeekThread();
    ShotView->Clear();
    FThumbs.clear();
    FProj.reset();
    FFrameBmp = QImage();
    FShotImage = QImage();
    FBackBuffer = QImage();
    delete FHint;
    FHint = nullptr;
    if (App)
        App->EmptyTempFolder();
}

void TMainForm::showEvent(QShowEvent* event)
{
    TBaseForm::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    if (App && VGConfig)
        FInstallTrack = StartInstallTrack();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == btnInfo) {
        if (event->type() == QEvent::FocusIn)
            btnInfoEnter();
        else if (event->type() == QEvent::FocusOut || event->type() == QEvent::Leave)
            btnInfoExit();
    }
    return TBaseForm::eventFilter(watched, event);
}

// ---- commands that leave the window ----------------------------------------

void TMainForm::btnConvertClick()
{
    if (!FProj)
        return;
    tmClipTimer();
    if (!FProj->HasValidRange()) {
        MsgBox(QStringLiteral("Please specify the video clipping time first."), 1, 4);
        edtStart->setFocus();
        return;
    }
    if (pnlPlayer->isVisible())
        acPauseExecute(btnConvert);
    if (ShowPublishForm(FProj.get(), this))
        ShowPreviewForm(FProj.get(), this);
}

void TMainForm::acCropExecute(QObject* sender)
{
    if (!FProj)
        return;
    if (pnlPlayer->isVisible())
        acPauseExecute(sender);
    if (FCurFrame && !FFrameBmp.isNull() && ShowCropForm(FProj.get(), &FFrameBmp, this))
        RefreshShotImage(true);
}

void TMainForm::acSettingExecute()
{
    if (!FProj)
        return;
    if (ShowSettingForm(FProj.get(), FFrameBmp.isNull() ? nullptr : &FFrameBmp, this))
        RefreshShotImage(true);
}

void TMainForm::acOptionExecute()
{
    if (!ShowOptionForm(FProj.get(), this))
        return;
    if (pnlPlayer->isVisible())
        pnlPlayer->update();
    else if (pnlShot->isVisible())
        pnlShot->update();
}

void TMainForm::acHelpExecute(QObject* sender)
{
    auto* control = qobject_cast<QWidget*>(sender);
    if (!control)
        return;
    pmHelp->popup(control->mapToGlobal(QPoint(0, control->height())));
}

void TMainForm::pmiHelpClick()
{
    if (App)
        OpenUrl(App->UserGuideUrl());
}

void TMainForm::pmiSupportClick()
{
    if (App)
        OpenUrl(App->SupportUrl());
}

void TMainForm::About1Click()
{
    ShowAboutForm(this);
}

QString TMainForm::GetInfoText() const
{
    if (!FProj)
        return {};
    // Four decimals, trailing zeros dropped: 29.97002997 shows as 29.97.
    const double fps = std::round(FProj->FrameRate * 10000.0) / 10000.0;
    return QStringLiteral("More info:\r\nSize: %1 x %2\r\nFPS: %3")
        .arg(FProj->VideoWidth)
        .arg(FProj->VideoHeight)
        .arg(QString::number(fps, 'g', 10));
}

void TMainForm::btnInfoEnter()
{
    if (!FProj || !FHint)
        return;
    const QString text = GetInfoText();
    const QSize size = FHint->GetHintSize(text);
    QPoint at = btnInfo->mapToGlobal(QPoint(btnInfo->width(), 0));
    const QScreen* screen = this->screen();
    const int screenRight = screen ? screen->geometry().right() + 1 : at.x() + size.width();
    if (screenRight < at.x() + size.width())
        at.rx() -= btnInfo->width() + size.width();
    FHint->ShowHintAt(at, text);
}

void TMainForm::btnInfoExit()
{
    if (FHint)
        FHint->HideHint();
}

QString TMainForm::ExeFolder() const { return App ? App->ExeFolder : GetExeFolder(); }

QString TMainForm::TempFolder() const
{
    if (App && !App->TempFolder.isEmpty())
        return IncludeTrailingSlash(App->TempFolder);
    return IncludeTrailingSlash(QDir::tempPath() + QStringLiteral("/GanterlyTemp"));
}

void TMainForm::FormCreate()
{
    TBaseForm::FormCreate();
    FHint = new TMHint();
    pnlPlayer->SetColor(Qt::white);
    pnlPlayer->OnPaint = [this](QPainter& p) { PaintStartScreen(p); };
    btnPause->setGeometry(btnPlay->geometry());
    pnlShot->setGeometry(pnlPlayer->geometry());
    CenterToolGroup();
    SetTrackBarQuietly(TrackBar->width() - 20, 0);
    MakeRoundRectForm(this, 9);
    PlaceProgressLabel();
    UpdateCaption();
    UpdateControls();
    const QString data = TApp::DataFolder();
    const QString sample = data + QStringLiteral("Sample.mp4");
    if (!QFileInfo::exists(sample) && QFileInfo::exists(ExeFolder() + QStringLiteral("Sample.mp4"))) {
        QDir().mkpath(data);
        CopyFileEx(ExeFolder() + QStringLiteral("Sample.mp4"), sample);
    }
    FOpenFolder = data;
    FOpenFileName = sample;
    // Centred on the screen at start.
    CenterInWorkArea();
}

void TMainForm::ApplySkin()
{
    const QString skin = App ? App->SkinFolder() : ExeFolder() + QStringLiteral("Skin/") + TApp::SkinName() + QLatin1Char('/');
    ApplyFrameSkin(skin, {imgTop, imgLeft, imgRight, imgBottom, imgTopLeft, imgTopRight, imgBottomLeft,
                          imgBottomRight, imgIco, btnClose, btnMax, btnRestore, btnMin});
    const qreal dpr = devicePixelRatioF();
    Image1->SetPicture(LoadSkinPicture(skin + QStringLiteral("ToolbarBack.png"), dpr));
    Image2->SetPicture(LoadSkinPicture(skin + QStringLiteral("ToolbarSep.png"), dpr));
    for (TzelButton* b : {btnOptions, btnHelp}) {
        ApplyButtonSkin(skin, b, QStringLiteral("ToolButton%1.png"));
        b->SetStretch(true);
    }
    // The menus' image list; its first place is unused, as the menus count from 1.
    QList<QPixmap> images{QPixmap()};
    for (int i = 1; i <= 4; ++i)
        images << LoadSkinPicture(skin + QStringLiteral("Menu%1.png").arg(i), dpr);
    pmToolbar->SetImages(images);
    pmShotView->SetImages(images);
    // Glyphs: alone on the buttons without a caption, above the caption of the tool buttons.
    const std::pair<TzelButton*, const char*> glyphs[] = {
        {Button1, "GlyphOpen.png"},           {btnPlay, "GlyphPlay.png"},         {btnPause, "GlyphPause.png"},
        {btnCrop, "GlyphCrop.png"},           {btnSetting, "GlyphSetting.png"},   {btnConvert, "GlyphConvert.png"},
        {btnMore, "GlyphMore.png"},           {btnPriorFrame, "GlyphPriorFrame.png"}, {btnNextFrame, "GlyphNextFrame.png"},
        {btnPriorMore, "GlyphPriorGroup.png"}, {btnNextMore, "GlyphNextGroup.png"}, {btnInfo, "GlyphInfo.png"}};
    for (const auto& [button, file] : glyphs)
        button->SetGlyph(LoadSkinPicture(skin + QLatin1String(file), dpr));
}

bool TMainForm::GetResizeMargins(TResizeMargins& m)
{
    m.Left = 8, m.Right = 8, m.Top = 4, m.Bottom = 8;
    m.TopLeftW = m.TopLeftH = m.BottomLeftW = m.BottomLeftH = 12;
    m.TopRightW = m.TopRightH = m.BottomRightW = m.BottomRightH = 12;
    return true;
}

bool TMainForm::IsCaptionAt(QPoint local)
{
    QWidget* w = childAt(local);
    if (!w)
        return local.y() < kCaptionH;
    return w == imgTop || w == imgTopLeft || w == imgTopRight || w == imgIco || w == lblCaption;
}

void TMainForm::CaptionDoubleClick()
{
    if (IsMaximized())
        Restore();
    else
        Maximize();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    const int oldMax = TrackBar->maximum(), oldPos = TrackBar->Position();
    TBaseForm::resizeEvent(event);
    MakeRoundRectForm(this, 9);
    CenterToolGroup();
    pnlShot->setGeometry(pnlPlayer->geometry());
    PlaceProgressLabel();
    UpdateCaption();
    SetTrackBarQuietly(TrackBar->width() - 20, oldMax > 0 ? double(oldPos) / oldMax : 0);
}

void TMainForm::CenterToolGroup()
{
    const int left = (width() - (imgLeft->width() + imgRight->width() + gbTool->width() + 1)) / 2 + imgLeft->width();
    gbTool->move(left, gbTool->y());
}

void TMainForm::SetTrackBarQuietly(int max, double ratio)
{
    const QSignalBlocker block(TrackBar);
    if (max != -1)
        TrackBar->SetMax(std::max(0, max));
    TrackBar->SetPosition(static_cast<int>(std::lround(TrackBar->maximum() * ratio)));
}

void TMainForm::PlaceProgressLabel()
{
    const int h = lblProgress->fontMetrics().height();
    lblProgress->resize(lblProgress->width(), h);
    lblProgress->move(ShotView->x() + ShotView->width() / 2 - lblProgress->width() / 2,
                      ShotView->y() + (ShotView->height() - SysScrollBarHeight()) / 2 - h / 2);
}

void TMainForm::UpdateCaption()
{
    QString title = TApp::ProductTitle();
    if (FProj) {
        const QString name = QFileInfo(FProj->VideoFileName).fileName();
        const QString text = title + QStringLiteral(" - ") + name;
        title = CompressStr(text, lblCaption->fontMetrics(), btnMin->x() - lblCaption->x() - 8);
    }
    lblCaption->setText(title);
    setWindowTitle(title);
}

void TMainForm::UpdateControls()
{
    const bool open = FProj != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{btnStart, btnEnd, edtStart, edtEnd})
        w->setEnabled(open && !FPlaySelection);
    for (QWidget* w : std::initializer_list<QWidget*>{btnPlay, btnPause, btnPriorMore, btnNextMore, btnCrop, btnSetting,
                                                      btnPriorFrame, btnNextFrame, btnConvert, btnMore, btnInfo})
        w->setEnabled(open);
}

void TMainForm::ResetView()
{
    SetNoChange(edtStart, QString());
    SetNoChange(edtEnd, QString());
    tmClip->stop();
    lblDuration->setText(QStringLiteral("00:00:00.000"));
    btnPlay->show();
    btnPause->hide();
    FStartScreen = true;
    pnlPlayer->SetColor(Qt::white);
    pnlPlayer->OnPaint = [this](QPainter& p) { PaintStartScreen(p); };
    pnlPlayer->show();
    pnlPlayer->update();
    pnlShot->hide();
    TrackBar->setEnabled(false);
    SetTrackBarQuietly(-1, 0);
    ClearStrip();
    UpdateCaption();
    UpdateControls();
}

void TMainForm::ClearStrip()
{
    ShotView->Clear();
    FGroupFirst = FGroupLast = 0;
    FCurFrame = nullptr;
    FDragElement = nullptr;
    FDragMoved = false;
    FFrameBmp = QImage();
    FShotImage = QImage();
}

void TMainForm::PaintStartScreen(QPainter& p)
{
    const QImage back(ExeFolder() + QStringLiteral("resource/StartBK.bmp"));
    if (!back.isNull())
        p.drawImage(QRect(0, 0, pnlPlayer->width(), back.height()), back);
    const QImage text(ExeFolder() + QStringLiteral("resource/StartText.png"));
    if (!text.isNull())
        p.drawImage(QPoint(50, 50), text);
}

void TMainForm::PaintPlayer(QPainter& p)
{
    if (!FBackBuffer.isNull())
        p.drawImage(0, 0, FBackBuffer);
}

QRect TMainForm::StillRect() const
{
    if (!FProj || FProj->VideoWidth < 1 || FProj->VideoHeight < 1)
        return {};
    const int pw = pnlShot->width(), ph = pnlShot->height();
    const QSize fit = GetFillSize(pw, ph, FProj->VideoWidth, FProj->VideoHeight, false);
    return {(pw - fit.width()) / 2, (ph - fit.height()) / 2, fit.width(), fit.height()};
}

void TMainForm::PaintStill(QPainter& p)
{
    if (!FCurFrame || !FProj)
        return;
    const QRect r = StillRect();
    if (!FShotImage.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, FShotImage);
    }
    if (FProj->UseCrop && VGConfig && VGConfig->ShowCropRc)
        DrawCropArea(p, r);
    DrawFrameTime(p, FCurFrame->PTS);
}

void TMainForm::DrawCropArea(QPainter& p, const QRect& rect)
{
    if (!FProj || FProj->VideoWidth < 1)
        return;
    const QRect crop = ScaleRect(FProj->CropRect.ToQRect(), double(rect.width()) / FProj->VideoWidth)
                           .translated(rect.topLeft())
                           .intersected(rect);
    if (crop.isEmpty())
        return;
    const QColor color = ColorFromBGR(VGConfig ? VGConfig->CropRcColor : 255);
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(color);
    p.drawRect(crop.adjusted(0, 0, -1, -1));
    p.drawText(QPoint(crop.left() + 1, crop.top() + 1 + p.fontMetrics().ascent()), QStringLiteral("Crop Area"));
    p.restore();
}

void TMainForm::DrawFrameTime(QPainter& p, int64_t time)
{
    const QString t = FormatPTS(time, 3);
    p.save();
    p.fillRect(QRect(QPoint(0, 0), p.fontMetrics().size(0, t)), Qt::white);
    p.setPen(Qt::black);
    p.drawText(QPoint(0, p.fontMetrics().ascent()), t);
    p.restore();
}

void TMainForm::PaintBox1Paint(QPainter& p)
{
    const int w = PaintBox1->width(), h = PaintBox1->height();
    p.fillRect(0, 0, w, h, gbTool->Color());
    const QColor mark = ColorFromBGR(12371657);
    p.fillRect(0, 0, 1, 2, mark);
    p.fillRect(w - 1, 0, 1, 2, mark);
}

void TMainForm::AdjustForDpi()
{
    // A fixed layout that does not depend on how the form was scaled.
    imgIco->move(10, 7);
    lblCaption->move(lblCaption->x(), 7);
    for (QWidget* b : std::initializer_list<QWidget*>{btnMin, btnMax, btnRestore, btnClose})
        b->move(b->x(), 8);
    Image1->setGeometry(Image1->x(), 31, Image1->width(), 27);
    for (QWidget* b : std::initializer_list<QWidget*>{btnOptions, btnHelp})
        b->setGeometry(b->x(), 31, b->width(), 26);
    Image2->move(Image2->x(), 31);
    const int ch = height();
    pnlView->setGeometry(pnlView->x(), ch - 123 - 90, pnlView->width(), 123);
    btnPriorMore->move(btnPriorMore->x(), 0);
    btnNextMore->move(pnlView->width() - btnNextMore->width(), 0);
    ShotView->setGeometry(btnPriorMore->width() + 4, 1, pnlView->width() - 56, 121);
    pnlPlayer->setGeometry(pnlPlayer->x(), 64, pnlPlayer->width(), ch - 305);
    TrackBar->setGeometry(TrackBar->x(), pnlPlayer->geometry().bottom() + 1 + 7, TrackBar->width(), 16);
    lblDuration->move(lblDuration->x(), TrackBar->y() - 1);
    btnInfo->move(btnInfo->x(), TrackBar->y() - 1);
    gbTool->setGeometry(gbTool->x(), ch - 76 - imgBottom->height(), gbTool->width(), 76);
    for (QWidget* b : std::initializer_list<QWidget*>{Button1, btnPlay, btnPause, btnCrop, btnSetting, btnConvert})
        b->setGeometry(b->x(), 17, b->width(), 50);
    for (QWidget* b : std::initializer_list<QWidget*>{btnMore, btnPriorFrame, btnNextFrame})
        b->move(b->x(), 17);
    spToolbar->setGeometry(spToolbar->x(), 26, spToolbar->width(), 32);
    btnStart->setGeometry(btnStart->x() - 5, 17, btnStart->width(), 22);
    btnEnd->setGeometry(btnEnd->x() - 5, 45, btnEnd->width(), 22);
    edtStart->setGeometry(edtStart->x() - 8, 16, edtStart->width() + 10, edtStart->height());
    edtEnd->setGeometry(edtEnd->x() - 8, 44, edtEnd->width() + 10, edtEnd->height());
}

// ---- opening and playback ------------------------------------------------------

void TMainForm::LoadDecoder()
{
    if (FDecoder)
        return;
    FDecoder = new TFFDecoder(this);
    FDecoder->LoadAVLib(ExeFolder() + QStringLiteral("resource/FFDLL/"));
}

void TMainForm::FreePlayThread()
{
    if (FPlayThread)
        FPlayThread->Free();
    FPlayThread = nullptr;
}

void TMainForm::FreeSeekThread()
{
    if (FSeekThread)
        FSeekThread->Free();
    FSeekThread = nullptr;
}

void TMainForm::acOpenExecute()
{
    const QStringList files = ExecOpenDialog(this, OpenFilter(), FOpenFolder, FOpenFileName);
    if (files.isEmpty())
        return;
    QApplication::processEvents();
    OpenVideo(files.first());
}

void TMainForm::OpenVideo(const QString& file)
{
    if (file.isEmpty())
        return;
    if (FDecoding) {
        // A file dropped just before a group began: opened once it is done.
        QTimer::singleShot(50, this, [this, file] { OpenVideo(file); });
        return;
    }
    FOpenFolder = IncludeTrailingSlash(QFileInfo(file).absolutePath());
    FOpenFileName = file;
    FreePlayThread();
    FreeSeekThread();
    for (QTimer* t : {tmTrackBar, tmClip, tmAutoNext})
        t->stop();
    FHint->HideHint();
    FTrackDragging = false;
    FPlaySelection = false;
    // The strip's photos refer to the old project's frames. The old project
    // (and its frame files) goes once the new video shows.
    ClearStrip();
    if (FProj) {
        FProj->OnFramePicture = nullptr;
        QTimer::singleShot(0, this, [old = std::shared_ptr<TVGProj>(FProj.release())] {});
    }

    FProj = std::make_unique<TVGProj>();
    FThumbs.clear();
    FFullFrame = nullptr;
    FFullPicture = QImage();
    FProj->OnFramePicture = [this](TVGFrame* frame, const TVideoPicture& picture) { KeepFramePicture(frame, picture); };
    FProj->VideoFileName = file;
    FProj->TempFolder = TempFolder();
    FProj->PictureCacheBytes = kPictureCacheBytes;
    QDir().mkpath(FProj->TempFolder);
    FProj->GifFileName = FProj->TempFolder + QStringLiteral("preview.gif");
    LoadDecoder();
    FProj->LibFolder = FDecoder->LibFolder();
    FDecoder->LoadFile(FProj->VideoFileName, QString());
    FProj->LoadStreamInfo(FDecoder);
    if (!FProj->HasVideo()) {
        FProj.reset();
        MsgBox(QStringLiteral("\"%1\" is not a valid video file.").arg(QFileInfo(file).fileName()), 1, 4);
        ResetView();
        return;
    }
    FDecoder->SetBitmapBitsPixel(FProj->VideoWidth % 4 == 0 ? 24 : 32);
    FProj->CropRect.Left = FProj->CropRect.Top = 0;
    FProj->CropRect.Right = FProj->VideoWidth;
    FProj->CropRect.Bottom = FProj->VideoHeight;
    FProj->StartPTS = 0;
    FProj->EndPTS = FProj->Duration;
    SetNoChange(edtStart, FormatPTS(FProj->StartPTS, 3));
    SetNoChange(edtEnd, FormatPTS(FProj->EndPTS, 3));
    lblDuration->setText(FormatPTS(FProj->Duration, 3));
    UpdateCaption();
    FCurPos = 0;
    FAtEnd = false;
    btnPlay->show();
    btnPause->hide();
    // The still view replaces the start screen before the group decodes, so
    // the progress shows over the right picture.
    FStartScreen = false;
    pnlPlayer->hide();
    pnlPlayer->OnPaint = [this](QPainter& p) { PaintPlayer(p); };
    pnlPlayer->SetColor(Qt::black);
    pnlShot->show();
    TrackBar->setEnabled(false);
    UpdateControls();
    DecodeGroupAt(Button1);
}

void TMainForm::PlayFrom(int64_t time)
{
    FreePlayThread();
    if (!FDecoder || !FProj)
        return;
    FPlayShown = false;
    FPlayThread = new TDecodePlayThread();
    FPlayThread->Decoder = FDecoder;
    FPlayThread->OnFrame = [this](TFFDecoder* d, QImage& b) { ShowVideoFrame(d, b); };
    FPlayThread->EndMessage = WM_PLAYEND;
    FPlayThread->NotifyWnd = FEvents;
    if (LocateVideoPTS(FDecoder, time)) {
        FPlayThread->StartPTS = FDecoder->CurrentPTS();
        FPlayThread->Resume();
    }
}

void TMainForm::acPlayExecute()
{
    if (!FProj)
        return;
    FreeSeekThread();
    tmTrackBar->stop();
    const int n = FProj->Frames.Count();
    const bool restart = !FCurFrame || (FAtEnd && n > 0 && FProj->Frames.Items(n - 1) == FCurFrame);
    PlayFrom(restart ? 0 : FCurFrame->PTS);
    pnlPlayer->show();
    pnlShot->hide();
    TrackBar->setEnabled(true);
    btnPlay->hide();
    btnPause->show();
    FAtEnd = false;
}

void TMainForm::StopPlay()
{
    if (FPlayThread) {
        FPlayThread->Terminate();
        // A thread that could not start showed nothing: the position stays.
        if (FPlayShown)
            FCurPos = FPlayThread->LastPTS;
        FreePlayThread();
    }
    // A seek still pending from a key step on the track bar ends here: the
    // decoder is the main thread's again and no timer resumes playback
    // behind the still view.
    FreeSeekThread();
    tmTrackBar->stop();
    FHint->HideHint();
    FTrackDragging = false;
    btnPlay->show();
    btnPause->hide();
    TrackBar->setEnabled(false);
    TrackBar->repaint();
    pnlPlayer->hide();
    pnlShot->show();
    FPlaySelection = false;
    UpdateControls();
}

void TMainForm::acPauseExecute(QObject* sender)
{
    if (!FProj)
        return;
    StopPlay();
    DecodeGroupAt(sender);
}

void TMainForm::PlayEnd()
{
    // Only the running thread's end counts, not one freed before its message came.
    if (!FPlayThread || !FPlayThread->AtEnd())
        return;
    if (btnPause->isVisible())
        acPauseExecute(FPlayThread);
    FAtEnd = true;
}

void TMainForm::ShowVideoFrame(TFFDecoder* decoder, QImage& bitmap)
{
    if (bitmap.width() == 0 || bitmap.height() == 0 || !FProj)
        return;
    FProj->DrawPreviewOverlays(bitmap);
    const int pw = pnlPlayer->width(), ph = pnlPlayer->height();
    const QSize fit = GetFillSize(pw, ph, bitmap.width(), bitmap.height(), false);
    const QRect r((pw - fit.width()) / 2, (ph - fit.height()) / 2, fit.width(), fit.height());
    // Kept from frame to frame in the format the raster engine draws fastest.
    if (FBackBuffer.size() != QSize(pw, ph))
        FBackBuffer = QImage(pw, ph, QImage::Format_RGB32);
    FBackBuffer.fill(Qt::black);
    {
        QPainter p(&FBackBuffer);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, bitmap);
        if (FProj->UseCrop && VGConfig && VGConfig->ShowCropRc)
            DrawCropArea(p, r);
        DrawFrameTime(p, decoder->CurrentPTS());
    }
    pnlPlayer->repaint();
    FCurPos = decoder->CurrentPTS();
    if (FPlayThread)
        FPlayShown = true;
    if (FPlayThread && FProj->Duration > 0)
        SetTrackBarQuietly(-1, double(FCurPos) / double(FProj->Duration));
    if (FPlaySelection && FCurPos >= FProj->EndPTS)
        CheckPostMessage(FEvents, WM_SELECTIONEND, 0, 0);
}

// ---- timeline --------------------------------------------------------------------

int64_t TMainForm::TrackBarTime() const
{
    if (!FProj || TrackBar->maximum() <= 0)
        return 0;
    return std::llround(double(TrackBar->Position()) / double(TrackBar->maximum()) * double(FProj->Duration));
}

void TMainForm::TrackBarMouseDown(Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !FProj)
        return;
    FTrackDragging = true;
    FreePlayThread();
}

void TMainForm::TrackBarChange()
{
    if (!FProj || !FDecoder)
        return;
    FreePlayThread();
    if (!FSeekThread) {
        FSeekThread = new TDecoderSeek();
        FSeekThread->Decoder = FDecoder;
        FSeekThread->OnFrame = [this](TFFDecoder* d, QImage& b) { ShowVideoFrame(d, b); };
        FSeekThread->Resume();
    }
    const int64_t t = TrackBarTime();
    FSeekThread->PostSeek(t);
    if (!FTrackDragging) {
        tmTrackBar->stop();
        tmTrackBar->start();
    }
    const QString text = FormatPTS(t, 3);
    const QSize size = FHint->GetHintSize(text);
    QPoint at = TrackBar->mapToGlobal(QPoint(0, -2));
    at.rx() += TrackBar->Position() - size.width();
    FHint->ShowHintAt(at, text);
}

void TMainForm::TrackBarMouseUp(Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !FTrackDragging)
        return;
    FHint->HideHint();
    FreeSeekThread();
    PlayFrom(TrackBarTime());
    FTrackDragging = false;
}

void TMainForm::tmTrackBarTimer()
{
    if (FDecoding)
        return;   // fires again when the group is done
    tmTrackBar->stop();
    FreeSeekThread();
    FHint->HideHint();
    // Only while the window still plays: a stop in between ended the seek.
    if (FProj && pnlPlayer->isVisible() && !FStartScreen)
        PlayFrom(TrackBarTime());
}

int64_t TMainForm::ParseTimeEdit(const QString& text)
{
    if (text == QStringLiteral("  :  :  .   ") || text.trimmed().isEmpty())
        return AV_NOPTS_VALUE;
    return StrToPTS(text, 3);
}

void TMainForm::edtStartChange()
{
    tmClip->stop();
    tmClip->start();
}

void TMainForm::tmClipTimer()
{
    if (FDecoding)
        return;
    tmClip->stop();
    if (!FProj)
        return;
    if (ApplyTimeEdits())
        ShotView->viewport()->update();
}

bool TMainForm::ApplyTimeEdits()
{
    if (!FProj)
        return false;
    const int64_t oldStart = FProj->StartPTS, oldEnd = FProj->EndPTS;
    auto apply = [this](const QString& text, int64_t& bound) {
        const int64_t t = ParseTimeEdit(text);
        if (t == bound)
            return;
        if (t == AV_NOPTS_VALUE)
            bound = AV_NOPTS_VALUE;
        else if (!SamePTS(t, bound))
            bound = std::min(t, FProj->Duration);
    };
    apply(edtStart->Text(), FProj->StartPTS);
    apply(edtEnd->Text(), FProj->EndPTS);
    const bool changed = FProj->StartPTS != oldStart || FProj->EndPTS != oldEnd;
    if (changed)
        FProj->SnapRange();
    // A time past the end was stored as the duration: the edit says so.
    for (auto [edit, bound] : {std::pair{edtStart, FProj->StartPTS}, std::pair{edtEnd, FProj->EndPTS}}) {
        if (bound != AV_NOPTS_VALUE && ParseTimeEdit(edit->Text()) > FProj->Duration)
            SetNoChange(edit, FormatPTS(bound, 3));
    }
    return changed;
}

// The frame a Start or End command takes: from the strip's menu the one
// selected thumbnail (none or several: the bound stays); otherwise the frame
// playback showed last, the frame a pending seek shows, the still frame, or 0.
void TMainForm::SetBoundFromFrame(int64_t& bound, TzelTimeEdit* edit, bool fromMenu)
{
    if (!fromMenu) {
        if (FPlayThread && FPlayShown)
            bound = FPlayThread->LastPTS;
        else if (FSeekThread || (FPlayThread && FCurFrame == nullptr))
            bound = FCurPos;   // the frame the player shows
        else
            bound = FCurFrame ? FCurFrame->PTS : 0;
    } else if (ShotView->GetSelCount() == 1) {
        bound = static_cast<TVGFrame*>(ShotView->GetSelPhoto(0)->Data)->PTS;
    }
    SetNoChange(edit, FormatPTS(bound, 3));
    ShotView->viewport()->update();
}

void TMainForm::acStartTimeExecute(QObject* sender)
{
    if (FProj)
        SetBoundFromFrame(FProj->StartPTS, edtStart, sender == pmiStartTime);
}

void TMainForm::acEndTimeExecute(QObject* sender)
{
    if (FProj)
        SetBoundFromFrame(FProj->EndPTS, edtEnd, sender == pmiEndTime);
}

void TMainForm::btnMoreClick()
{
    QPoint at = btnPlay->mapToGlobal(QPoint(0, btnPlay->height()));
    QScreen* scr = screen();
    if (scr && scr->geometry().bottom() + 1 < at.y() + 72)
        at = btnMore->mapToGlobal(QPoint(btnMore->width(), btnMore->height()));
    pmToolbar->popup(at);
}

void TMainForm::pmToolbarPopup()
{
    tmClipTimer();
    pmiPlaySelect->setEnabled(FProj && FProj->HasValidRange());
    pmiLocateStart->setEnabled(FProj && FProj->StartPTS != AV_NOPTS_VALUE);
    pmiLocateEnd->setEnabled(FProj && FProj->EndPTS != AV_NOPTS_VALUE);
}

void TMainForm::acPlaySelectExecute()
{
    if (!FProj || !FProj->HasValidRange())
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    FreeSeekThread();
    PlayFrom(FProj->StartPTS);
    pnlPlayer->show();
    pnlShot->hide();
    TrackBar->setEnabled(true);
    btnPlay->hide();
    btnPause->show();
    FAtEnd = false;
    FPlaySelection = true;
    UpdateControls();
}

void TMainForm::acLocateStartExecute(QObject* sender)
{
    if (!FProj || FProj->StartPTS == AV_NOPTS_VALUE)
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    FCurPos = FProj->StartPTS;
    DecodeGroupAt(sender);
}

void TMainForm::acLocateEndExecute()
{
    if (!FProj || FProj->EndPTS == AV_NOPTS_VALUE)
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    DecodeGroupEndingAt();
}

void TMainForm::SelectionEnd()
{
    // Frames shown before the first message was handled post more of them.
    if (FPlaySelection)
        acLocateEndExecute();
}

// ---- strip -----------------------------------------------------------------------

int TMainForm::GroupCount() const { return VGConfig ? std::max(1, VGConfig->DecodeNum) : 30; }

TzelPhoto* TMainForm::AddFramePhoto(TVGFrame* frame, int index)
{
    TzelPhoto* photo = index < 0 ? ShotView->AddPhoto(frame->BitmapFile) : ShotView->InsertPhoto(frame->BitmapFile, index);
    photo->Data = frame;
    const auto thumb = FThumbs.constFind(frame);
    if (thumb != FThumbs.constEnd())
        photo->SetThumbnail(*thumb);
    return photo;
}

// The thumbnails of new photos are read while their files are surely there:
// the disk budget may drop the files of frames paged past later.
void TMainForm::LoadThumbnails(int from, int to)
{
    for (int i = std::max(0, from); i < std::min(to, ShotView->PhotoCount()); ++i)
        ShotView->Photo(i)->Thumbnail();
}

QImage TMainForm::LoadThumb(const QString& file, const QSize& box)
{
    QImage img = TzelGroupView::LoadThumbnail(file, box);
    if (!img.isNull() || file.isEmpty() || !FProj || !FDecoder || FPlayThread || FSeekThread)
        return img;
    // The file was dropped: made again from the video while the decoder is free.
    for (int i = 0; i < FProj->Frames.Count(); ++i) {
        TVGFrame* f = FProj->Frames[i];
        if (f->BitmapFile == file) {
            if (FProj->EnsureFrameFile(f, FDecoder))
                img = TzelGroupView::LoadThumbnail(f->BitmapFile, box);
            break;
        }
    }
    return img;
}

void TMainForm::KeepFramePicture(TVGFrame* frame, const TVideoPicture& picture)
{
    const qreal dpr = ShotView->devicePixelRatioF();
    const QSize box(std::max(1, int(std::lround(ShotView->ThumbWidth() * dpr))),
                    std::max(1, int(std::lround(ShotView->ThumbHeight() * dpr))));
    // Filtered straight down from the decoded picture: no full-size RGB on
    // the way, and no file read back.
    QImage thumb = picture.Thumbnail(box);
    if (thumb.isNull())
        return;
    thumb.setDevicePixelRatio(dpr);
    FThumbs.insert(frame, thumb);
    if (FKeepFull) {
        FKeepFull = false;
        FFullFrame = frame;
        FFullPicture = picture.ToImage();
    }
}

// One group from the project, forward from `time` or backward up to it. The
// first picture it decodes is kept whole for the still view.
static bool ReportFrameFileError(TVGProj* proj);

QList<TVGFrame*> TMainForm::DecodeGroup(bool forward, int count, int64_t time)
{
    const TDecodingScope decoding(FDecoding);
    FEventsTimer.invalidate();   // events pass once as the group begins
    FKeepFull = true;
    FFullFrame = nullptr;
    FFullPicture = QImage();
    FProj->FrameFileError.clear();
    QList<TVGFrame*> list;
    if (forward)
        FProj->DecodeForward(FDecoder, count, FEvents, list, time);
    else
        FProj->DecodeBackward(FDecoder, count, FEvents, list, time);
    FKeepFull = false;
    lblProgress->hide();
    // The files that waited in memory are written once the window has
    // painted and settled, one a tick.
    if (FProj->HasWaitingFiles()) {
        FFlushTimer->setInterval(250);
        FFlushTimer->start();
    }
    return list;
}

void TMainForm::FlushFrameFilesTimer()
{
    // Playback and seeking show their frames on this thread: a write of
    // 6 to 24 MB would hold one up. The files wait until the player rests.
    if (FProj && (FPlayThread || FSeekThread)) {
        FFlushTimer->setInterval(250);
        return;
    }
    // One file a tick, so input and painting go between them.
    FFlushTimer->setInterval(10);
    if (!FProj || FDecoding || !FProj->FlushFrameFiles(1))
        FFlushTimer->stop();
    if (FProj && !FDecoding)
        ReportFrameFileError(FProj.get());
}

// A group decode that came back short because frame files could not be
// written says so once; the strip keeps what it had.
static bool ReportFrameFileError(TVGProj* proj)
{
    if (proj->FrameFileError.isEmpty())
        return false;
    MsgBox(proj->FrameFileError, 1, 4);
    proj->FrameFileError.clear();
    return true;
}

void TMainForm::UpdateGroupRange()
{
    const int n = ShotView->PhotoCount();
    FGroupFirst = n ? static_cast<TVGFrame*>(ShotView->Photo(0)->Data)->PTS : 0;
    FGroupLast = n ? static_cast<TVGFrame*>(ShotView->Photo(n - 1)->Data)->PTS : 0;
}

void TMainForm::FocusPhoto(TzelPhoto* photo, bool scrollToEnd, bool scrollToStart)
{
    if (photo) {
        ShotView->ClearSelected();
        ShotView->SetFocusedPhoto(photo);
        photo->SetSelected(true);
    }
    ShotView->UpdatePhotos();
    if (scrollToEnd)
        ShotView->SetScrollPos(std::numeric_limits<int>::max());
    if (scrollToStart)
        ShotView->SetScrollPos(0);
    ShotViewSelectedChange();
}

void TMainForm::DecodeGroupAt(QObject* sender)
{
    if (FDecoding || !FProj || !FDecoder)
        return;
    const int count = (sender == btnCrop || sender == btnConvert) ? 1 : GroupCount();
    const QList<TVGFrame*> list = DecodeGroup(true, count, FCurPos);
    if (list.isEmpty() && ReportFrameFileError(FProj.get()))
        return;
    ShotView->Clear();
    for (TVGFrame* frame : list)
        AddFramePhoto(frame, -1);
    UpdateGroupRange();
    LoadThumbnails(0, ShotView->PhotoCount());
    FocusPhoto(ShotView->PhotoCount() ? ShotView->Photo(0) : nullptr, false, true);
    ReportFrameFileError(FProj.get());
}

void TMainForm::AppendNextGroup(bool selectLast)
{
    if (FDecoding || !FProj || !FDecoder || ShotView->PhotoCount() == 0)
        return;
    const QList<TVGFrame*> list = DecodeGroup(true, GroupCount(), FGroupLast);
    const int before = ShotView->PhotoCount();
    for (TVGFrame* frame : list)
        if (frame->PTS > FGroupLast)
            AddFramePhoto(frame, -1);
    if (!list.isEmpty())
        UpdateGroupRange();
    LoadThumbnails(before, ShotView->PhotoCount());
    if (selectLast && ShotView->PhotoCount() > 0)
        FocusPhoto(ShotView->Photo(ShotView->PhotoCount() - 1), true, false);
    else
        ShotView->UpdatePhotos();
    ReportFrameFileError(FProj.get());
}

void TMainForm::PrependPriorGroup(bool selectFirst)
{
    if (FDecoding || !FProj || !FDecoder || ShotView->PhotoCount() == 0)
        return;
    const QList<TVGFrame*> list = DecodeGroup(false, GroupCount(), FGroupFirst);
    int added = 0;
    for (int i = int(list.size()) - 1; i >= 0; --i)
        if (list[i]->PTS < FGroupFirst) {
            AddFramePhoto(list[i], 0);
            ++added;
        }
    if (!list.isEmpty())
        UpdateGroupRange();
    LoadThumbnails(0, added);
    if (selectFirst && ShotView->PhotoCount() > 0) {
        FocusPhoto(ShotView->Photo(0), false, true);
    } else {
        // The photos in view stay in view although new ones came before them.
        ShotView->UpdatePhotos();
        ShotView->SetScrollPos(ShotView->ScrollPos() + added * ShotView->CellSize().width());
    }
    ReportFrameFileError(FProj.get());
}

void TMainForm::DecodeGroupEndingAt()
{
    if (FDecoding || !FProj || !FDecoder || FProj->EndPTS == AV_NOPTS_VALUE)
        return;
    const QList<TVGFrame*> list = DecodeGroup(false, GroupCount(), FProj->EndPTS + 1);
    if (list.isEmpty() && ReportFrameFileError(FProj.get()))
        return;
    ShotView->Clear();
    for (TVGFrame* frame : list)
        if (frame->PTS <= FProj->EndPTS)
            AddFramePhoto(frame, -1);
    UpdateGroupRange();
    LoadThumbnails(0, ShotView->PhotoCount());
    const int n = ShotView->PhotoCount();
    FocusPhoto(n ? ShotView->Photo(n - 1) : nullptr, true, false);
    ReportFrameFileError(FProj.get());
}

void TMainForm::RefreshShotImage(bool overlaysOnly)
{
    if (!FProj || !FCurFrame) {
        FFrameBmp = FShotImage = QImage();
        pnlShot->update();
        return;
    }
    if (!overlaysOnly || FFrameBmp.isNull()) {
        FProj->UseFrame(FCurFrame);
        // The decoder is the main thread's here: no thread plays or seeks.
        // A frame made again is kept whole on the way.
        const TVideoPicture* waiting = FCurFrame != FFullFrame ? FProj->WaitingPicture(FCurFrame) : nullptr;
        if (waiting) {
            // Still in memory: no file to read.
            FFullFrame = FCurFrame;
            FFullPicture = waiting->ToImage();
        } else if (FCurFrame != FFullFrame && !FPlayThread && !FSeekThread) {
            FKeepFull = !QFileInfo::exists(FCurFrame->BitmapFile);
            if (FKeepFull)
                FFullFrame = nullptr;
            FProj->EnsureFrameFile(FCurFrame, FDecoder);
            FKeepFull = false;
        }
        FFrameBmp = FCurFrame == FFullFrame && !FFullPicture.isNull() ? FFullPicture : QImage(FCurFrame->BitmapFile);
        if (FFrameBmp.isNull())
            MsgOut(QStringLiteral("The frame at ") + FormatPTS(FCurFrame->PTS, 3) + QStringLiteral(" cannot be read from \"")
                   + FCurFrame->BitmapFile + QStringLiteral("\""));
    }
    FShotImage = FFrameBmp.isNull() ? QImage() : FFrameBmp.convertToFormat(QImage::Format_RGB32);
    if (!FShotImage.isNull())
        FProj->DrawPreviewOverlays(FShotImage);
    pnlShot->repaint();
}

void TMainForm::ShotViewSelectedChange()
{
    TzelPhoto* photo = ShotView->FocusedPhoto();
    if (!photo || !FProj)
        return;
    auto* frame = static_cast<TVGFrame*>(photo->Data);
    // While the player runs (or a key step's seek waits) picking a frame moves playback there.
    if (FPlayThread || (FSeekThread && pnlPlayer->isVisible())) {
        FreeSeekThread();
        tmTrackBar->stop();
        PlayFrom(frame->PTS);
        return;
    }
    if (frame != FCurFrame) {
        FCurFrame = frame;
        RefreshShotImage(false);
    }
    if (FCurFrame && FProj->Duration > 0)
        SetTrackBarQuietly(-1, double(FCurFrame->PTS) / double(FProj->Duration));
}

void TMainForm::ShotViewDrawPhoto(TzelPhoto* photo, QPainter* p, const QRectF& textRect, const QRectF& imageRect)
{
    auto* frame = photo ? static_cast<TVGFrame*>(photo->Data) : nullptr;
    if (!frame || !FProj)
        return;
    p->save();
    p->setPen(palette().color(QPalette::WindowText));
    p->setFont(ShotView->font());
    p->drawText(textRect, Qt::AlignLeft | Qt::AlignTop, FormatPTS(frame->PTS, 3));
    if (UIApp) {
        if (frame->Deleted) {
            const QImage& mark = UIApp->DeleteFlagImage();
            const QSizeF s = mark.deviceIndependentSize();
            p->drawImage(QPointF(imageRect.right() - s.width(), imageRect.bottom() - s.height()), mark);
        }
        if (FProj->InRange(frame->PTS)) {
            const QImage& mark = UIApp->SelectFlagImage();
            p->drawImage(QPointF(imageRect.left(), imageRect.bottom() - mark.deviceIndependentSize().height()), mark);
        }
    }
    p->restore();
}

void TMainForm::acNextMoreExecute()
{
    if (!FProj)
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    AppendNextGroup(true);
}

void TMainForm::acPriorMoreExecute()
{
    if (!FProj)
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    PrependPriorGroup(true);
}

void TMainForm::StepFrame(bool forward)
{
    if (!FProj)
        return;
    if (pnlPlayer->isVisible())
        StopPlay();
    TzelPhoto* photo = ShotView->FocusedPhoto();
    if (!photo)
        return;
    TzelPhoto* next = forward ? photo->NextPhoto() : photo->PrevPhoto();
    if (!next) {
        if (forward)
            AppendNextGroup(false);
        else
            PrependPriorGroup(false);
        next = forward ? photo->NextPhoto() : photo->PrevPhoto();
    }
    if (!next)
        return;
    ShotView->ClearSelected();
    ShotView->SetFocusedPhoto(next);
    next->SetSelected(true);
    next->MakeVisible();
    ShotViewSelectedChange();
}

void TMainForm::acNextFrameExecute() { StepFrame(true); }

void TMainForm::acPriorFrameExecute() { StepFrame(false); }

void TMainForm::StepButtonDown(int direction)
{
    tmAutoNext->stop();
    tmAutoNext->setProperty("Tag", direction);
    tmAutoNext->setInterval(500);
    tmAutoNext->start();
}

void TMainForm::tmAutoNextTimer()
{
    if (FDecoding)
        return;
    tmAutoNext->setInterval(50);
    if (tmAutoNext->property("Tag").toInt() == 1)
        acPriorFrameExecute();
    else
        acNextFrameExecute();
}

void TMainForm::SetDeleted(bool deleted)
{
    bool changed = false;
    for (int i = 0; i < ShotView->GetSelCount(); ++i) {
        auto* frame = static_cast<TVGFrame*>(ShotView->GetSelPhoto(i)->Data);
        if (frame && frame->Deleted != deleted) {
            frame->Deleted = deleted;
            changed = true;
        }
    }
    if (changed)
        ShotView->viewport()->update();
}

void TMainForm::acDeleteExecute() { SetDeleted(true); }

void TMainForm::acRestoreExecute() { SetDeleted(false); }

void TMainForm::pmShotViewPopup()
{
    bool anyKept = false, anyDeleted = false;
    const int n = ShotView->GetSelCount();
    for (int i = 0; i < n; ++i) {
        auto* frame = static_cast<TVGFrame*>(ShotView->GetSelPhoto(i)->Data);
        (frame && frame->Deleted ? anyDeleted : anyKept) = true;
    }
    pmiDelete->setEnabled(anyKept);
    pmiRestore->setEnabled(anyDeleted);
    pmiStartTime->setEnabled(n == 1);
    pmiEndTime->setEnabled(n == 1);
}

// ---- dragging overlays in the still view ---------------------------------------------

void TMainForm::pnlShotMouseDown(QMouseEvent* e)
{
    if (!FCurFrame || !FProj || e->button() != Qt::LeftButton)
        return;
    const QRect r = StillRect();
    if (r.isEmpty())
        return;
    const double sx = double(r.width()) / FProj->VideoWidth, sy = double(r.height()) / FProj->VideoHeight;
    const QPoint pos = e->position().toPoint();
    const QPointF at((pos.x() - r.left()) / sx, (pos.y() - r.top()) / sy);
    FDragElement = FProj->ElementAt(at);
    FDragMoved = false;
    if (FDragElement) {
        FDownPoint = pos;
        FDragOrigin = QPoint(FDragElement->X, FDragElement->Y);
    }
}

void TMainForm::pnlShotMouseMove(QMouseEvent* e)
{
    if (!FDragElement || !FProj)
        return;
    const QPoint pos = e->position().toPoint();
    if (!FDragMoved) {
        const int dx = pos.x() - FDownPoint.x(), dy = pos.y() - FDownPoint.y();
        FDragMoved = dx * dx + dy * dy > 4;
        if (!FDragMoved)
            return;
    }
    const QRect r = StillRect();
    if (r.isEmpty())
        return;
    const double sx = double(r.width()) / FProj->VideoWidth, sy = double(r.height()) / FProj->VideoHeight;
    FDragElement->X = int(std::floor((pos.x() - FDownPoint.x()) / sx)) + FDragOrigin.x();
    FDragElement->Y = int(std::floor((pos.y() - FDownPoint.y()) / sy)) + FDragOrigin.y();
    RefreshShotImage(true);
}

void TMainForm::pnlShotMouseUp(QMouseEvent*)
{
    FDragElement = nullptr;
    FDragMoved = false;
}

// ---- keys and dropped files ------------------------------------------------------------

bool TMainForm::HandleWindowKey(QKeyEvent* e)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus->window() != this || qobject_cast<QLineEdit*>(focus) || focus == TrackBar))
        return false;
    if (!focus && !isActiveWindow())
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (e->key() == Qt::Key_O && mods == Qt::ControlModifier) {
        acOpenExecute();
        return true;
    }
    if (mods != Qt::NoModifier || !FProj)
        return false;
    switch (e->key()) {
    case Qt::Key_Space:
        if (btnPause->isVisible())
            acPauseExecute(btnPause);
        else
            acPlayExecute();
        return true;
    case Qt::Key_Left:
        acPriorFrameExecute();
        return true;
    case Qt::Key_Right:
        acNextFrameExecute();
        return true;
    default:
        return false;
    }
}


// The window's few keys are taken before the focused control uses them,
// except in the edits and on the track bar. While a group decodes, input to
// the window waits, but for its close button.
bool TMainForm::InputTap(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType() || !IsInputEvent(event->type()))
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != this)
        return false;
    if (FDecoding)
        return w != btnClose;
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* k = static_cast<QKeyEvent*>(event);
    QWidget* focus = QApplication::focusWidget();
    if (w != (focus ? focus : this))
        return false;
    if (k->isAutoRepeat() && k->key() == Qt::Key_Space)
        return false;
    return HandleWindowKey(k);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A group being decoded ends after its current frame.
    if (FDecoding && FProj)
        FProj->StopGroup = true;
    for (QTimer* t : {tmTrackBar, tmClip, tmAutoNext})
        t->stop();
    TBaseForm::closeEvent(event);
}

namespace {
QString DroppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            return url.toLocalFile();
    return {};
}
}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened after the drop ends, so the source application is not kept waiting.
    QTimer::singleShot(0, this, [this, file] { OpenVideo(file); });
}
