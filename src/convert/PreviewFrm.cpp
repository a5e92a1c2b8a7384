#include "PreviewFrm.h"

#include "GifPlayer.h"
#include "TzelButton.h"
#include "VGApp.h"
#include "VGProj.h"
#include "ZelAnchors.h"
#include "ZelColorEdit.h"
#include "ZelFile.h"
#include "ZelImage.h"
#include "ZelPanel.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>

namespace {
constexpr int kClientW = 624, kClientH = 447;
// Room around the picture: the panel's margin inside, and the window's
// frame, buttons and panel outside.
constexpr int kPanelMargin = 48, kExtraW = 93, kExtraH = 159;
}  // namespace

TPreviewForm::TPreviewForm(QWidget* parent) : TBaseUIForm(parent)
{
    setObjectName(QStringLiteral("PreviewForm"));
    resize(kClientW, kClientH);
    setMinimumWidth(486);
    SetCaption(QStringLiteral("Preview GIF"));
    btnMax->show();

    pnlGIF = new TzelPanel(this);
    pnlGIF->setObjectName(QStringLiteral("pnlGIF"));
    pnlGIF->setAccessibleName(QStringLiteral("GIF"));
    pnlGIF->SetColor(Qt::white);
    pnlGIF->SetBorderBGR(1, 14671839);
    pnlGIF->SetRadius(6);
    SetBounds(pnlGIF, {14, 43, kClientW - 28, kClientH - 43 - 50}, akAll);
    pnlGIF->installEventFilter(this);

    Image1 = new TzelImage(pnlGIF);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("GIF picture"));
    Image1->SetStretch(true);

    const int row = kClientH - 38;
    Label1 = new QLabel(QStringLiteral("BK Color"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetBounds(Label1, {16, row, 48, 23}, akBottomLeft);
    ceBK = new TzelColorEdit(this);
    ceBK->setObjectName(QStringLiteral("ceBK"));
    ceBK->setAccessibleName(QStringLiteral("BK Color"));
    ceBK->SetSelectedColor(Qt::white);
    SetBounds(ceBK, {64, row, ceBK->sizeHint().width(), 23}, akBottomLeft);
    Label1->setBuddy(ceBK);
    connect(ceBK, &TzelColorEdit::ColorChanged, this, &TPreviewForm::ceBKChange);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setAccessibleName(QStringLiteral("GIF information"));
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette grey = lblInfo->palette();
    grey.setColor(QPalette::WindowText, ColorFromBGR(0x857565));
    lblInfo->setPalette(grey);
    lblInfo->installEventFilter(this);

    SetBounds(btnCancelMe, {kClientW - 91, row, 71, 23}, akBottomRight);
    btnFolder = new TzelButton(QStringLiteral("Open Output Folder"), this);
    btnFolder->setObjectName(QStringLiteral("btnFolder"));
    SetBounds(btnFolder, {kClientW - 91 - 6 - 112, row, 112, 23}, akBottomRight);
    btnFolder->setEnabled(false);
    connect(btnFolder, &TzelButton::clicked, this, [this] { btnFolderClick(); });
    SetBounds(btnOkMe, {btnFolder->x() - 6 - 86, row, 86, 23}, akBottomRight);
    // Two short lines beside the colour box: size and frames, time and bytes.
    const int infoX = ceBK->x() + ceBK->width() + 8;
    SetBounds(lblInfo, {infoX, row - 4, btnOkMe->x() - 8 - infoX, 31}, akLeftRightBottom);

    // Tab order along the bottom row, left to right.
    setTabOrder(ceBK, btnOkMe);
    setTabOrder(btnOkMe, btnFolder);
    setTabOrder(btnFolder, btnCancelMe);

    FPlayer = new TGifPlayer(this);
    connect(FPlayer, &TGifPlayer::FrameChanged, this, [this] { ShowFrame(); });

    FormCreate();
}

TPreviewForm::~TPreviewForm() = default;

// The language file names the base's OK and Cancel; here they save and close.
void TPreviewForm::ApplyLanguage()
{
    TBaseUIForm::ApplyLanguage();
    btnOkMe->SetCaption(QStringLiteral("Save GIF File"));
    btnCancelMe->SetCaption(QStringLiteral("Close"));
}

void TPreviewForm::ApplySkin()
{
    TBaseUIForm::ApplySkin();
    // Open Output Folder looks like Save GIF File.
    const QString skin = App ? App->SkinFolder() : QString();
    if (skin.isEmpty())
        return;
    ApplyButtonSkin(skin, btnFolder, QStringLiteral("Button%1.png"));
    btnFolder->SetStretch(true);
    btnFolder->setPalette(btnOkMe->palette());
}

void TPreviewForm::AdjustForDpi()
{
    TBaseUIForm::AdjustForDpi();
    Label1->move(Label1->x() - 12, Label1->y());
}

bool TPreviewForm::GetResizeMargins(TResizeMargins& m)
{
    m.Left = m.Right = m.Bottom = 8;
    m.Top = 4;
    m.TopLeftW = m.TopLeftH = m.TopRightW = m.TopRightH = 12;
    m.BottomLeftW = m.BottomLeftH = m.BottomRightW = m.BottomRightH = 12;
    return true;
}

void TPreviewForm::SetProj(TVGProj* proj)
{
    FProj = proj;
    FSaveFolder.clear();
    FSaveFileName.clear();
    if (!proj || proj->VideoFileName.isEmpty())
        return;
    const QFileInfo video(proj->VideoFileName);
    FSaveFolder = IncludeTrailingSlash(video.absolutePath());
    FSaveFileName = FSaveFolder + video.completeBaseName() + QStringLiteral(".gif");
}

bool TPreviewForm::LoadGif()
{
    const QString file = FProj ? FProj->GifFileName : QString();
    if (!FPlayer->Open(file)) {
        MsgBox(QStringLiteral("Cannot show the GIF file \"%1\": %2").arg(file, FPlayer->Error()), 1, 4, 1);
        return false;
    }
    FGifWidth = FPlayer->Size().width();
    FGifHeight = FPlayer->Size().height();
    FInfoParts = GifInfoParts(ReadGifInfo(file));
    const QString info = FInfoParts.join(QStringLiteral(" \u00B7 "));
    lblInfo->setToolTip(info);
    lblInfo->setAccessibleDescription(info);
    ShowInfo();

    const QRect area = GetWorkArea();
    const int w = std::min(std::max(width(), FGifWidth + kExtraW), area.width());
    const int h = std::min(std::max(height(), FGifHeight + kExtraH), area.height());
    resize(w, h);
    CenterInWorkArea();
    LayoutGif();
    return true;
}

// The picture fitted into the panel less its margin, never enlarged, centred.
void TPreviewForm::LayoutGif()
{
    const QSize fit = GetFillSize(pnlGIF->width() - kPanelMargin, pnlGIF->height() - kPanelMargin, FGifWidth,
                                  FGifHeight, true);
    Image1->resize(fit);
    SetCenter(Image1);
    ShowFrame();
}

// The frame on show, smoothly scaled once to the pixels it covers.
void TPreviewForm::ShowFrame()
{
    const QImage& frame = FPlayer->Image();
    if (frame.isNull() || Image1->width() <= 0 || Image1->height() <= 0) {
        Image1->SetPicture(QPixmap());
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(Image1->size()) * dpr).toSize();
    QImage shown = frame.size() == pixels ? frame
                                          : frame.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap pix = QPixmap::fromImage(std::move(shown));
    pix.setDevicePixelRatio(dpr);
    Image1->SetPicture(pix);
}

// Each line shortened to the label's width when the window is narrow; the
// whole text stays in the tooltip.
void TPreviewForm::ShowInfo()
{
    const QString sep = QStringLiteral(" \u00B7 ");
    QStringList lines;
    for (int i = 0; i < FInfoParts.size(); i += 2)
        lines << CompressStr(FInfoParts.mid(i, 2).join(sep), lblInfo->fontMetrics(), lblInfo->width());
    lblInfo->setText(lines.join(QLatin1Char('\n')));
}

void TPreviewForm::ceBKChange(const QColor& color) { pnlGIF->SetColor(color); }

void TPreviewForm::btnOkMeClick()
{
    const QString target = ExecSaveDialog(this, QStringLiteral("GIF files|*.gif"), FSaveFolder, FSaveFileName,
                                          QStringLiteral(".gif"));
    if (target.isEmpty() || !FProj)
        return;
    FSaveFolder = IncludeTrailingSlash(QFileInfo(target).absolutePath());
    FSaveFileName = target;
    // A copy is written beside the target and renamed over it only when
    // whole, so a failure never leaves a half-written GIF of that name.
    try {
        CopyFileAtomic(FProj->GifFileName, target);
    } catch (const EZelError& e) {
        MsgBox(QStringLiteral("The GIF file \"%1\" could not be saved.\r\n%2").arg(target, e.Message), 1, 4, 1);
        return;
    }
    FSavedFile = target;
    btnFolder->setEnabled(true);
}

void TPreviewForm::btnFolderClick()
{
    if (!FSavedFile.isEmpty() && !OpenFileDir(FSavedFile))
        MsgBox(QStringLiteral("Cannot open the folder \"%1\".").arg(QFileInfo(FSavedFile).absolutePath()), 1, 3, 1);
}

void TPreviewForm::closeEvent(QCloseEvent* event)
{
    if (!btnFolder->isEnabled() && MsgBox(QStringLiteral("Close without saving gif file?"), 2, 2, 1) != IDOK) {
        event->ignore();
        return;
    }
    TBaseUIForm::closeEvent(event);
}

void TPreviewForm::showEvent(QShowEvent* event)
{
    TBaseUIForm::showEvent(event);
    FPlayer->Start();
}

void TPreviewForm::hideEvent(QHideEvent* event)
{
    FPlayer->Stop();
    TBaseUIForm::hideEvent(event);
}

// Nobody watches a minimised window play.
void TPreviewForm::changeEvent(QEvent* event)
{
    TBaseUIForm::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isVisible())
        return;
    if (isMinimized())
        FPlayer->Stop();
    else
        FPlayer->Start();
}

bool TPreviewForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == pnlGIF)
            LayoutGif();
        else if (watched == lblInfo)
            ShowInfo();
    }
    return TBaseUIForm::eventFilter(watched, event);
}

void ShowPreviewForm(TVGProj* proj, QWidget* over)
{
    if (!proj)
        return;
    TPreviewForm form;
    if (over && over->screen())
        form.setScreen(over->screen());
    form.SetProj(proj);
    if (!form.LoadGif())
        return;
    form.ShowModal();
}
