#include "MainFrm.h"

#include "DecodePlayer.h"
#include "FFDecoder.h"
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

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <cmath>

void TMainPanel::paintEvent(QPaintEvent* e)
{
    TzelPanel::paintEvent(e);
    if (OnPaint) {
        QPainter p(this);
        OnPaint(p);
    }
}

namespace {
constexpr int kDesignW = 820, kDesignH = 570, kCaptionH = 31;

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
    pnlShot->hide();

    // Timeline
    TrackBar = new TzelTrackBar(this);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setAccessibleName(QStringLiteral("Position"));
    TrackBar->SetMax(100);
    TrackBar->SetPosition(0);
    TrackBar->setFocusPolicy(Qt::NoFocus);
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

    FEvents = new TPlayerEvents(this);
    connect(FEvents, &TPlayerEvents::PlayEnd, this, [this] { PlayEnd(); });
    connect(FEvents, &TPlayerEvents::DecodeProgress, this, [this](int done, int asked) {
        lblProgress->setText(done == 0 ? QStringLiteral("Decoding...") : QStringLiteral("%1 / %2").arg(done).arg(asked));
        lblProgress->show();
        lblProgress->repaint();
    });
    connect(Button1, &TzelButton::clicked, this, [this] { acOpenExecute(); });
    connect(btnPlay, &TzelButton::clicked, this, [this] { acPlayExecute(); });
    connect(btnPause, &TzelButton::clicked, this, [this] { acPauseExecute(btnPause); });
    connect(btnMax, &TzelButton::clicked, this, [this] { Maximize(); });
    connect(btnRestore, &TzelButton::clicked, this, [this] { Restore(); });
    connect(btnMin, &TzelButton::clicked, this, [this] { showMinimized(); });
    connect(btnClose, &TzelButton::clicked, this, [this] { close(); });
    connect(this, &TBaseForm::MaximizedChanged, this, [this](bool maximized) {
        btnMax->setVisible(!maximized);
        btnRestore->setVisible(maximized);
    });

    FormCreate();
}

TMainForm::~TMainForm()
{
    // Threads draw for the project: they go first.
    if (FPlayThread)
        FPlayThread->Free();
    if (FSeekThread)
        FSeekThread->Free();
    FPlayThread = nullptr;
    FSeekThread = nullptr;
    ShotView->Clear();
    FProj.reset();
    delete FHint;
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
    FCurFrame = nullptr;
    FFrameBmp = QImage();
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

void TMainForm::PaintStill(QPainter& p)
{
    if (FFrameBmp.isNull())
        return;
    const QSize fit = GetFillSize(pnlShot->width(), pnlShot->height(), FFrameBmp.width(), FFrameBmp.height(), false);
    const QRect r((pnlShot->width() - fit.width()) / 2, (pnlShot->height() - fit.height()) / 2, fit.width(), fit.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(r, FFrameBmp);
}

void TMainForm::PaintBox1Paint(QPainter& p)
{
    const int w = PaintBox1->width(), h = PaintBox1->height();
    p.fillRect(0, 0, w, h, gbTool->Color());
    const QColor mark = ColorFromBGR(12371657);
    p.fillRect(0, 0, 1, 2, mark);
    p.fillRect(w - 1, 0, 1, 2, mark);
}

void TMainForm::LoadDecoder()
{
    if (FDecoder)
        return;
    FDecoder = new TFFDecoder(this);
    FDecoder->LoadAVLib(ExeFolder() + QStringLiteral("resource/FFDLL/"));
}

void TMainForm::acOpenExecute()
{
    const QStringList files = ExecOpenDialog(this, OpenFilter(), FOpenFolder, FOpenFileName);
    if (files.isEmpty())
        return;
    QApplication::processEvents();
    if (FPlayThread)
        FPlayThread->Free();
    FPlayThread = nullptr;
    if (FSeekThread)
        FSeekThread->Free();
    FSeekThread = nullptr;
    // The strip's photos refer to the old project's frames.
    ClearStrip();
    FProj.reset();

    FProj = std::make_unique<TVGProj>();
    FProj->VideoFileName = files.first();
    FProj->TempFolder = TempFolder();
    QDir().mkpath(FProj->TempFolder);
    FProj->GifFileName = FProj->TempFolder + QStringLiteral("preview.gif");
    LoadDecoder();
    FProj->LibFolder = FDecoder->LibFolder();
    FDecoder->LoadFile(FProj->VideoFileName, QString());
    FProj->LoadStreamInfo(FDecoder);
    if (!FProj->HasVideo()) {
        FProj.reset();
        MsgBox(QStringLiteral("\"%1\" is not a valid video file.").arg(QFileInfo(files.first()).fileName()), 1, 4);
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
    DecodeGroupAt(Button1);
    FStartScreen = false;
    pnlPlayer->hide();
    pnlPlayer->OnPaint = [this](QPainter& p) { PaintPlayer(p); };
    pnlPlayer->SetColor(Qt::black);
    pnlShot->show();
    TrackBar->setEnabled(false);
    UpdateControls();
}

void TMainForm::DecodeGroupAt(QObject* sender)
{
    if (!FProj || !FDecoder)
        return;
    ClearStrip();
    const int count = VGConfig ? std::max(1, VGConfig->DecodeNum) : 30;
    QList<TVGFrame*> list;
    FProj->DecodeForward(FDecoder, count, FEvents, list, FCurPos);
    lblProgress->hide();
    (void)sender;
    for (TVGFrame* frame : list) {
        TzelPhoto* photo = ShotView->AddPhoto(frame->BitmapFile);
        photo->Data = frame;
    }
    if (!list.isEmpty()) {
        FGroupFirst = list.first()->PTS;
        FGroupLast = list.last()->PTS;
        ShotView->Photo(0)->SetSelected(true);
        ShowStill(list.first());
    }
}

void TMainForm::ShowStill(TVGFrame* frame)
{
    FCurFrame = frame;
    FFrameBmp = frame ? QImage(frame->BitmapFile) : QImage();
    pnlShot->update();
}

void TMainForm::PlayFrom(int64_t time)
{
    if (FPlayThread)
        FPlayThread->Free();
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
    if (FSeekThread)
        FSeekThread->Free();
    FSeekThread = nullptr;
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
        FCurPos = FPlayThread->LastPTS;
        FPlayThread->Free();
        FPlayThread = nullptr;
    }
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
    StopPlay();
    DecodeGroupAt(sender);
}

void TMainForm::PlayEnd()
{
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
    if (FBackBuffer.size() != QSize(pw, ph))
        FBackBuffer = QImage(pw, ph, QImage::Format_RGB888);
    FBackBuffer.fill(Qt::black);
    {
        QPainter p(&FBackBuffer);
        p.drawImage(r, bitmap);
        p.setBackgroundMode(Qt::OpaqueMode);
        p.setBackground(Qt::white);
        p.setPen(Qt::black);
        const QString t = FormatPTS(decoder->CurrentPTS(), 3);
        p.fillRect(QRect(QPoint(0, 0), p.fontMetrics().size(0, t)), Qt::white);
        p.drawText(QPoint(0, p.fontMetrics().ascent()), t);
    }
    pnlPlayer->repaint();
    FCurPos = decoder->CurrentPTS();
    if (FPlayThread && FProj->Duration > 0)
        SetTrackBarQuietly(-1, double(FCurPos) / double(FProj->Duration));
    if (FPlaySelection && FCurPos >= FProj->EndPTS)
        CheckPostMessage(FEvents, WM_SELECTIONEND, 0, 0);
}
