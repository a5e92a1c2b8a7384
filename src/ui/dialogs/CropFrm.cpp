#include "CropFrm.h"

#include "TzelButton.h"
#include "TzelDrawCrop.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelAnchors.h"
#include "ZelCheckBox.h"
#include "ZelFlat.h"
#include "ZelNoChange.h"
#include "ZelNumEdit.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int kClientW = 655, kClientH = 484;
constexpr int kMinW = 570, kMinH = 430;

// A typed number as an integer: rounded, 0 when it is none, and held inside
// the int range so that sums of edges cannot overflow.
int64_t EditInt(const TzelNumericEdit* e)
{
    const double v = e->Value();
    if (!std::isfinite(v))
        return 0;
    constexpr double lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(std::llround(std::clamp(v, lo, hi)));
}
}  // namespace

void TCropShotPanel::paintEvent(QPaintEvent* e)
{
    TzelPanel::paintEvent(e);
    if (OnPaint) {
        QPainter p(this);
        OnPaint(p);
    }
}

void TCropShotPanel::resizeEvent(QResizeEvent* e)
{
    TzelPanel::resizeEvent(e);
    if (OnResize)
        OnResize();
}

TCropForm::TCropForm(QWidget* parent) : TBaseUIForm(parent)
{
    setObjectName(QStringLiteral("CropForm"));
    resize(kClientW, kClientH);
    setMinimumSize(kMinW, kMinH);
    SetCaption(QStringLiteral("Crop Video"));
    btnMin->show();
    btnMax->show();

    pnlShot = new TCropShotPanel(this);
    pnlShot->setObjectName(QStringLiteral("pnlShot"));
    pnlShot->setAccessibleName(QStringLiteral("Frame picture"));
    pnlShot->SetColorBGR(15987699);
    pnlShot->SetBorder(1, Qt::black);
    pnlShot->SetRadius(4);
    SetBounds(pnlShot, {22, 41, 610, 343}, akAll);

    cbxCrop = new TzelCheckBox(QStringLiteral("Use crop"), this);
    cbxCrop->setObjectName(QStringLiteral("cbxCrop"));
    SetBounds(cbxCrop, {22, 392, 120, 18}, akBottomLeft);

    rbGroup = new TzelGroupBox(this);
    rbGroup->setObjectName(QStringLiteral("rbGroup"));
    rbGroup->setAccessibleName(QStringLiteral("Crop rectangle"));
    SetBounds(rbGroup, {22, 414, 525, 56}, akLeftRightBottom);
    // The labels grey with their edits while the crop is off.
    QPalette groupPal = rbGroup->palette();
    groupPal.setColor(QPalette::Disabled, QPalette::WindowText, ZelFlat::TextDisabled);
    rbGroup->setPalette(groupPal);

    // Each edit after its label, which also names it.
    auto field = [this](QLabel*& label, TzelNumericEdit*& edit, const char* labelName, const char* editName,
                        const QString& text, int x, int labelW) {
        label = new QLabel(text, rbGroup);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        SetBounds(label, {x, 19, labelW, 22});
        edit = new TzelNumericEdit(rbGroup);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->SetDisplayFormat(QStringLiteral("#0"));
        edit->setAccessibleName(text);
        label->setBuddy(edit);
        SetBounds(edit, {x + labelW + 4, 19, 60, 22});
    };
    field(lblX, edtCropX, "lblX", "edtCropX", QStringLiteral("X"), 14, 12);
    field(lblY, edtCropY, "lblY", "edtCropY", QStringLiteral("Y"), 108, 12);
    field(lblWidth, edtCropW, "lblWidth", "edtCropW", QStringLiteral("Width"), 202, 34);
    field(lblHeight, edtCropH, "lblHeight", "edtCropH", QStringLiteral("Height"), 318, 38);

    // OK above Cancel, at the right of the edit group.
    SetBounds(btnOkMe, {kClientW - 22 - 71, 414, 71, 23}, akBottomRight);
    SetBounds(btnCancelMe, {kClientW - 22 - 71, 447, 71, 23}, akBottomRight);

    dcCrop = new TzelDrawCrop(this);
    dcCrop->setObjectName(QStringLiteral("dcCrop"));
    dcCrop->SetLineColor2(Qt::white);
    dcCrop->SetDragPointRadius(3);
    dcCrop->SetLineStyle(TzelDrawCrop::lsSingle);
    dcCrop->SetCropStyle(TzelDrawCrop::csClear);
    dcCrop->SetSolidColor(Qt::blue);
    dcCrop->SetSolidTransValue(80);
    dcCrop->SetMode(TzelDrawCrop::dmCrop);
    dcCrop->Restricts().LoadRc(QRect());

    // The base made OK and Cancel first: the keyboard reaches them last.
    setTabOrder(cbxCrop, edtCropX);
    setTabOrder(edtCropH, btnOkMe);
    setTabOrder(btnOkMe, btnCancelMe);

    pnlShot->OnPaint = [this](QPainter& p) { pnlShotPaint(p); };
    pnlShot->OnResize = [this] { pnlShotResize(); };
    connect(cbxCrop, &QCheckBox::toggled, this, [this] { cbxCropClick(); });
    connect(dcCrop, &TzelDrawCrop::OnRectChanged, this, [this](const QRect& r) { dcCropRectChanged(r); });
    for (TzelNumericEdit* e : {edtCropX, edtCropY, edtCropW, edtCropH})
        connect(e, &QLineEdit::textChanged, this, [this] { edtCropXChange(); });

    FormCreate();
}

TCropForm::~TCropForm()
{
    // The editor's overlay lives on the panel: detach it while both exist.
    dcCrop->SetControl(nullptr);
}

void TCropForm::FormCreate()
{
    TBaseUIForm::FormCreate();
    const QColor c = ColorFromBGR(VGConfig ? VGConfig->CropRcColor : 0x0000FF);
    dcCrop->SetLineColor(c);
    dcCrop->SetDragPointColor(c);
    dcCrop->SetDragPointFrame(c);
}

bool TCropForm::GetResizeMargins(TResizeMargins& m)
{
    m.Left = 8;
    m.Right = 8;
    m.Top = 4;
    m.Bottom = 8;
    m.TopLeftW = m.TopLeftH = m.BottomLeftW = m.BottomLeftH = 12;
    m.TopRightW = m.TopRightH = m.BottomRightW = m.BottomRightH = 12;
    return true;
}

void TCropForm::Bind(TVGProj* proj, const QImage* frame)
{
    FProj = proj;
    FFrameBitmap = frame;
}

QRect TCropForm::VideoRect() const
{
    return FProj ? QRect(0, 0, std::max(0, FProj->VideoWidth), std::max(0, FProj->VideoHeight)) : QRect();
}

QRect TCropForm::GetDisplayRect() const
{
    const QRect video = VideoRect();
    const QSize fit = GetFillSize(pnlShot->width() - 36, pnlShot->height() - 36, video.width(), video.height(), false);
    const int left = (pnlShot->width() - fit.width()) / 2;
    const int top = (pnlShot->height() - fit.height()) / 2;
    return QRect(left, top, fit.width(), fit.height());
}

void TCropForm::ShowCropRect(const QRect& videoRect)
{
    const QRect d = GetDisplayRect();
    dcCrop->Restricts().LoadRc(d);
    // A panel too small to show the picture has no scale: nothing to edit.
    if (d.isEmpty() || VideoRect().isEmpty()) {
        dcCrop->SetControl(nullptr);
        pnlShot->update();
        return;
    }
    const double scale = double(d.width()) / VideoRect().width();
    dcCrop->SetCropRect(ScaleRect(videoRect, scale, 0).translated(d.topLeft()));
    dcCrop->SetControl(pnlShot);
    // The rectangle takes the keyboard after the edits, before OK.
    if (QWidget* overlay = dcCrop->Overlay()) {
        setTabOrder(edtCropH, overlay);
        setTabOrder(overlay, btnOkMe);
    }
    pnlShot->update();
}

QRect TCropForm::ReadCropEdits() const
{
    const QRect video = VideoRect();
    const int64_t x = EditInt(edtCropX), y = EditInt(edtCropY);
    const int64_t r = x + EditInt(edtCropW), b = y + EditInt(edtCropH);
    // Edges held just outside the video before they make a QRect: huge typed
    // numbers clip like any others.
    auto hold = [](int64_t v, int extent) { return int(std::clamp<int64_t>(v, -1, int64_t(extent) + 1)); };
    const int l = hold(x, video.width()), t = hold(y, video.height());
    const int rr = hold(r, video.width()), bb = hold(b, video.height());
    if (rr <= l || bb <= t)
        return QRect();
    return Intersection(QRect(l, t, rr - l, bb - t), video);
}

void TCropForm::WriteCropEdits(const QRect& r)
{
    SetNoChange(edtCropX, r.left());
    SetNoChange(edtCropY, r.top());
    SetNoChange(edtCropW, r.width());
    SetNoChange(edtCropH, r.height());
}

void TCropForm::LoadFromProject()
{
    if (!FProj)
        return;
    SetNoChange(cbxCrop, FProj->UseCrop);
    const TRect& c = FProj->CropRect;
    SetNoChange(edtCropX, c.Left);
    SetNoChange(edtCropY, c.Top);
    SetNoChange(edtCropW, c.Width());
    SetNoChange(edtCropH, c.Height());
    rbGroup->setEnabled(FProj->UseCrop);
    if (FProj->UseCrop)
        ShowCropRect(ReadCropEdits());
    else
        dcCrop->SetControl(nullptr);
}

void TCropForm::SaveToProject()
{
    if (!FProj)
        return;
    FProj->UseCrop = cbxCrop->isChecked();
    FProj->CropRect = TRect::FromQRect(ReadCropEdits());
}

void TCropForm::btnOkMeClick()
{
    // A crop switched on must leave a picture: a rectangle wholly off the
    // video would only fail later, at conversion.
    if (FProj && cbxCrop->isChecked() && ReadCropEdits().isEmpty()) {
        MsgBox(QStringLiteral("The crop area is empty or lies outside the video (%1 x %2). "
                              "Please enter a rectangle inside the video.")
                   .arg(FProj->VideoWidth)
                   .arg(FProj->VideoHeight),
               1, 3);
        return;
    }
    SaveToProject();
    TBaseUIForm::btnOkMeClick();
}

void TCropForm::cbxCropClick()
{
    const bool on = cbxCrop->isChecked();
    rbGroup->setEnabled(on);
    if (on)
        ShowCropRect(ReadCropEdits());
    else
        dcCrop->SetControl(nullptr);
    pnlShot->update();
}

void TCropForm::pnlShotPaint(QPainter& p)
{
    if (!FFrameBitmap || FFrameBitmap->isNull())
        return;
    const QRect d = GetDisplayRect();
    if (d.isEmpty())
        return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(d, *FFrameBitmap);
}

void TCropForm::pnlShotResize()
{
    // The rectangle stays on the same part of the rescaled picture.
    if (cbxCrop && cbxCrop->isChecked() && FProj)
        ShowCropRect(ReadCropEdits());
}

void TCropForm::dcCropRectChanged(const QRect& rect)
{
    const TRestrictRect& rs = dcCrop->Restricts();
    const int shown = rs.Right() - rs.Left();
    if (shown <= 0 || VideoRect().isEmpty())
        return;
    const QRect local = rect.translated(-rs.Left(), -rs.Top());
    const QRect video = ScaleRect(local, double(VideoRect().width()) / shown, 0);
    WriteCropEdits(Intersection(video, VideoRect()));
}

void TCropForm::edtCropXChange()
{
    // Only a crop that is switched on shows its rectangle.
    if (cbxCrop->isChecked())
        ShowCropRect(ReadCropEdits());
}

bool ShowCropForm(TVGProj* proj, const QImage* frame, QWidget* over)
{
    if (!proj || !proj->HasVideo()) {
        MsgOut(QStringLiteral("crop dialog not opened: no video"));
        return false;
    }
    TCropForm form(over);
    form.Bind(proj, frame);
    form.LoadFromProject();
    if (over) {
        const QWidget* top = over->window();
        form.move(top->geometry().center() - QPoint(form.width() / 2, form.height() / 2));
    }
    return form.ShowModal() == mrOk;
}
