#include "SettingFrm.h"

#include "TzelButton.h"
#include "TzelEdit.h"
#include "UIUtils.h"
#include "VGConfig.h"
#include "VGEstimate.h"
#include "ZelAnchors.h"
#include "ZelButtonEdit.h"
#include "ZelCheckBox.h"
#include "ZelComboBox.h"
#include "ZelFlat.h"
#include "ZelNoChange.h"
#include "ZelPageControl.h"
#include "ZelPanel.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <cmath>

int LastSettingPage = 0;

const char* const TSettingForm::PictureFilter =
    "Image files|*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.tif;*.tiff;*.png;*.gif|All(*.*)|*.*";

namespace {
constexpr int kClientW = 502, kClientH = 365;

int IntDef(const QString& text, int def)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : def;
}

int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

QLabel* MakeLabel(QWidget* parent, const QString& caption, const QRect& r, const char* name = nullptr)
{
    auto* l = new QLabel(caption, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetBounds(l, r);
    return l;
}

// The controls take the name of the label before them, as a reader of the
// form would.
template <class T>
T* Named(T* control, const char* objectName, const QString& accessible)
{
    control->setObjectName(QString::fromLatin1(objectName));
    if (!accessible.isEmpty())
        control->setAccessibleName(accessible);
    return control;
}

TzelEdit* MakeEdit(QWidget* parent, const char* name, const QString& label, const QRect& r)
{
    auto* e = Named(new TzelEdit(parent), name, label);
    e->SetHint(label);
    SetBounds(e, r);
    return e;
}

TzelComboBox* MakeCombo(QWidget* parent, const char* name, const QString& label, TzelComboBox::TStyle style,
                        const QStringList& items, const QRect& r)
{
    auto* c = Named(new TzelComboBox(parent, style), name, label);
    c->addItems(items);
    SetBounds(c, r);
    return c;
}

// A panel whose owner paints on it after its own fill.
class TPaintPanel : public TzelPanel {
public:
    TPaintPanel(QWidget* parent, std::function<void()> onPaint) : TzelPanel(parent), FOnPaint(std::move(onPaint)) {}

protected:
    void paintEvent(QPaintEvent* e) override
    {
        TzelPanel::paintEvent(e);
        if (FOnPaint)
            FOnPaint();
    }

private:
    std::function<void()> FOnPaint;
};

// Small pictures of the text page's buttons, drawn at the screen's scale.
QPixmap Glyph(qreal dpr, const std::function<void(QPainter&)>& draw)
{
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pm;
}

// Lines of text aligned left (0), centred (2) or right (1).
QPixmap AlignGlyph(qreal dpr, int align)
{
    return Glyph(dpr, [align](QPainter& p) {
        p.setPen(QPen(ZelFlat::Slate, 1.5, Qt::SolidLine, Qt::RoundCap));
        const int widths[] = {12, 8, 12, 6};
        for (int i = 0; i < 4; ++i) {
            const int w = widths[i];
            const double x = align == 0 ? 2 : align == 1 ? 14 - w : 8 - w / 2.0;
            const double y = 3.5 + 3 * i;
            p.drawLine(QPointF(x, y), QPointF(x + w, y));
        }
    });
}
}  // namespace

TSettingForm::TSettingForm(QWidget* parent) : TBaseUIForm(parent)
{
    setObjectName(QStringLiteral("SettingForm"));
    resize(kClientW, kClientH);
    setMinimumSize(kClientW, kClientH);
    SetCaption(QStringLiteral("Output settings"));
    SetBounds(btnOkMe, {kClientW - 170, kClientH - 38, 71, 23}, akBottomRight);
    SetBounds(btnCancelMe, {kClientW - 91, kClientH - 38, 71, 23}, akBottomRight);

    PageControl1 = Named(new TzelPageControl(this), "PageControl1", QStringLiteral("Output settings pages"));
    SetBounds(PageControl1, {12, 40, kClientW - 24, kClientH - 40 - 48}, akAll);
    tsGeneral = PageControl1->AddPage(QStringLiteral("Genernal"), QStringLiteral("tsGeneral"));
    tsText = PageControl1->AddPage(QStringLiteral("Add Text"), QStringLiteral("tsText"));
    tsLogo = PageControl1->AddPage(QStringLiteral("Logo"), QStringLiteral("tsLogo"));
    tsFlip = PageControl1->AddPage(QStringLiteral("Flip && Rotate"), QStringLiteral("tsFlip"));
    tsSequence = PageControl1->AddPage(QStringLiteral("Sequence"), QStringLiteral("tsSequence"));
    // The pages have their size only once the page control lays them out;
    // the controls are placed in page coordinates of this size.
    const QSize page(kClientW - 24 - 2, kClientH - 40 - 48 - 26 - 2);
    for (QWidget* p : {tsGeneral, tsText, tsLogo, tsFlip, tsSequence})
        p->resize(page);

    // [0] Genernal
    gbSize = Named(new TzelGroupBox(QStringLiteral("Output size"), tsGeneral), "gbSize", {});
    SetBounds(gbSize, {12, 10, page.width() - 24, 64}, akLeftTopRight);
    MakeLabel(gbSize, QStringLiteral("Size"), {14, 28, 80, 22});
    edtW = MakeEdit(gbSize, "edtW", QStringLiteral("Size"), {100, 28, 64, 22});
    MakeLabel(gbSize, QStringLiteral("x"), {170, 28, 10, 22});
    edtH = MakeEdit(gbSize, "edtH", QStringLiteral("Size height"), {184, 28, 64, 22});
    cbSize = MakeCombo(gbSize, "cbSize", QStringLiteral("Output size"), TzelComboBox::csDropDownList,
                       {QStringLiteral("Original size"), QStringLiteral("1/2 Original size"),
                        QStringLiteral("1/4 Original size"), QStringLiteral("Custom")},
                       {264, 28, 170, 22});

    gbGif = Named(new TzelGroupBox(QStringLiteral("GIF settings"), tsGeneral), "gbGif", {});
    SetBounds(gbGif, {12, 84, page.width() - 24, 114}, akLeftTopRight);
    MakeLabel(gbGif, QStringLiteral("Frame rate"), {14, 26, 80, 22});
    cbFrameRate = MakeCombo(gbGif, "cbFrameRate", QStringLiteral("Frame rate"), TzelComboBox::csDropDown,
                            {QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("12"), QStringLiteral("15"),
                             QStringLiteral("20"), QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("30")},
                            {100, 26, 90, 22});
    MakeLabel(gbGif, QStringLiteral("fps"), {196, 26, 30, 22});
    MakeLabel(gbGif, QStringLiteral("GIF speed"), {14, 54, 80, 22});
    cbSpeed = MakeCombo(gbGif, "cbSpeed", QStringLiteral("GIF speed"), TzelComboBox::csDropDown,
                        {QStringLiteral("Keep Original"), QStringLiteral("20%"), QStringLiteral("50%"),
                         QStringLiteral("150%"), QStringLiteral("200%"), QStringLiteral("300%")},
                        {100, 54, 130, 22});
    MakeLabel(gbGif, QStringLiteral("Replay times"), {14, 82, 80, 22});
    cbLoop = MakeCombo(gbGif, "cbLoop", QStringLiteral("Replay times"), TzelComboBox::csDropDown,
                       {QStringLiteral("Infinite"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                        QStringLiteral("3")},
                       {100, 82, 130, 22});

    lblEstimate = MakeLabel(tsGeneral, QStringLiteral("Estimated size"), {26, 208, 86, 22}, "lblEstimate");
    lblEstimateValue = MakeLabel(tsGeneral, QStringLiteral("-"), {112, 208, page.width() - 140, 22}, "lblEstimateValue");
    lblEstimateValue->setAccessibleName(QStringLiteral("Estimated size"));
    {
        QFont bold = lblEstimateValue->font();
        bold.setBold(true);
        lblEstimateValue->setFont(bold);
    }

    // [1] Add Text
    lblTextList = MakeLabel(tsText, QStringLiteral("Text list"), {12, 6, 120, 18}, "lblTextList");
    lbText = Named(new QListWidget(tsText), "lbText", QStringLiteral("Text list"));
    SetBounds(lbText, {12, 26, 128, 164});
    btnAddText = Named(new TzelButton(QStringLiteral("+"), tsText), "btnAddText", {});
    btnAddText->SetHint(QStringLiteral("Add"));
    SetBounds(btnAddText, {12, 196, 26, 22});
    btnDelText = Named(new TzelButton(QStringLiteral("-"), tsText), "btnDelText", {});
    btnDelText->SetHint(QStringLiteral("Delete"));
    SetBounds(btnDelText, {42, 196, 26, 22});

    btnTextFont = Named(new TzelButton(tsText), "btnTextFont", {});
    btnTextFont->SetHint(QStringLiteral("Font"));
    SetBounds(btnTextFont, {156, 26, 26, 22});
    auto alignButton = [this](const char* name, const QString& hint, int x) {
        auto* b = Named(new TzelButton(tsText), name, {});
        b->SetHint(hint);
        b->setCheckable(true);
        b->setAutoExclusive(true);
        SetBounds(b, {x, 26, 26, 22});
        return b;
    };
    btnAlignLeft = alignButton("btnAlignLeft", QStringLiteral("Left"), 194);
    btnAlignCenter = alignButton("btnAlignCenter", QStringLiteral("Center"), 222);
    btnAlignRight = alignButton("btnAlignRight", QStringLiteral("Right"), 250);
    btnAlignLeft->setChecked(true);

    mmText = Named(new QPlainTextEdit(tsText), "mmText", QStringLiteral("Text"));
    mmText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmText->setTabChangesFocus(true);
    SetBounds(mmText, {156, 54, page.width() - 168, 136});
    lblTextX = MakeLabel(tsText, QStringLiteral("Position   X:"), {156, 196, 76, 22}, "lblTextX");
    edtTextX = MakeEdit(tsText, "edtTextX", QStringLiteral("Position   X:"), {232, 196, 64, 22});
    lblTextY = MakeLabel(tsText, QStringLiteral("Y:"), {308, 196, 16, 22}, "lblTextY");
    edtTextY = MakeEdit(tsText, "edtTextY", QStringLiteral("Y:"), {326, 196, 64, 22});
    edtTextX->SetMin(-99999);
    edtTextY->SetMin(-99999);
    const QString listStyle = QStringLiteral(
        "QListWidget, QPlainTextEdit { border: 1px solid #C3C9D2; border-radius: 3px; background: white; color: #464646; }"
        "QListWidget:focus, QPlainTextEdit:focus { border-color: #1FB5A8; }"
        "QListWidget::item:selected { background: #1FB5A8; color: white; }");
    lbText->setStyleSheet(listStyle);
    mmText->setStyleSheet(listStyle);

    // [2] Logo
    cbxLogo = Named(new TzelCheckBox(QStringLiteral("Use custom logo"), tsLogo), "cbxLogo", {});
    SetBounds(cbxLogo, {16, 14, 160, 22});
    pnlLogo = Named(new TzelPanel(tsLogo), "pnlLogo", QStringLiteral("Logo"));
    pnlLogo->SetTransparent(true);
    {
        // Its labels grey out with the edits when the logo is off.
        QPalette pal = pnlLogo->palette();
        pal.setColor(QPalette::Disabled, QPalette::WindowText, ZelFlat::TextDisabled);
        pnlLogo->setPalette(pal);
    }
    SetBounds(pnlLogo, {16, 46, page.width() - 32, 110}, akLeftTopRight);
    MakeLabel(pnlLogo, QStringLiteral("Logo"), {0, 0, 60, 22});
    edtLogo = Named(new TzelButtonEdit(pnlLogo), "edtLogo", QStringLiteral("Logo"));
    SetBounds(edtLogo, {70, 0, pnlLogo->width() - 70, 22}, akLeftTopRight);
    MakeLabel(pnlLogo, QStringLiteral("Size"), {0, 36, 60, 22});
    edtLogoW = MakeEdit(pnlLogo, "edtLogoW", QStringLiteral("Size"), {70, 36, 64, 22});
    MakeLabel(pnlLogo, QStringLiteral("x"), {140, 36, 10, 22});
    edtLogoH = MakeEdit(pnlLogo, "edtLogoH", QStringLiteral("Size height"), {154, 36, 64, 22});
    MakeLabel(pnlLogo, QStringLiteral("Position"), {0, 72, 60, 22});
    MakeLabel(pnlLogo, QStringLiteral("X:"), {70, 72, 16, 22});
    edtLogoX = MakeEdit(pnlLogo, "edtLogoX", QStringLiteral("Position X:"), {88, 72, 64, 22});
    MakeLabel(pnlLogo, QStringLiteral("Y:"), {160, 72, 16, 22});
    edtLogoY = MakeEdit(pnlLogo, "edtLogoY", QStringLiteral("Y:"), {178, 72, 64, 22});
    edtLogoX->SetMin(-99999);
    edtLogoY->SetMin(-99999);

    // [3] Flip && Rotate
    cbxFlipH = Named(new TzelCheckBox(QStringLiteral("Flip Horizontally"), tsFlip), "cbxFlipH", {});
    SetBounds(cbxFlipH, {16, 16, 136, 22});
    cbxFlipV = Named(new TzelCheckBox(QStringLiteral("Flip Vertically"), tsFlip), "cbxFlipV", {});
    SetBounds(cbxFlipV, {16, 44, 136, 22});
    MakeLabel(tsFlip, QStringLiteral("Rotate:"), {16, 80, 120, 18});
    cbRotate = MakeCombo(tsFlip, "cbRotate", QStringLiteral("Rotate:"), TzelComboBox::csDropDownList,
                         {QStringLiteral("None"), QStringLiteral("90 degrees"), QStringLiteral("180 degrees"),
                          QStringLiteral("270 degrees")},
                         {16, 100, 124, 22});
    pnlPreview = Named(new TPaintPanel(tsFlip, [this] { pnlPreviewPaint(); }), "pnlPreview", QStringLiteral("Preview"));
    pnlPreview->SetColor(Qt::black);
    SetBounds(pnlPreview, {page.width() - 307 - 14, 14, 307, 204}, akTopRight);

    // [4] Sequence
    rbOriginal = Named(new TzelRadioButton(QStringLiteral("Original"), tsSequence), "rbOriginal", {});
    SetBounds(rbOriginal, {24, 20, 240, 22});
    rbReverse = Named(new TzelRadioButton(QStringLiteral("Reverse Order"), tsSequence), "rbReverse", {});
    SetBounds(rbReverse, {24, 50, 240, 22});
    rbPingPong = Named(new TzelRadioButton(QStringLiteral("Ping-Pong Seamless Loop"), tsSequence), "rbPingPong", {});
    SetBounds(rbPingPong, {24, 80, 240, 22});
    rbOriginal->setChecked(true);

    // Events.
    connect(cbSize, &QComboBox::currentIndexChanged, this, [this] { cbSizeChange(); });
    for (QComboBox* c : {cbSpeed, cbLoop}) {
        c->installEventFilter(this);
        if (c->lineEdit())
            c->lineEdit()->installEventFilter(this);
    }
    connect(lbText, &QListWidget::currentRowChanged, this, [this] { lbTextClick(); });
    connect(btnAddText, &TzelButton::clicked, this, [this] { btnAddTextClick(); });
    connect(btnDelText, &TzelButton::clicked, this, [this] { btnDelTextClick(); });
    connect(btnTextFont, &TzelButton::clicked, this, [this] { btnTextFontClick(); });
    connect(edtLogo, &TzelButtonEdit::ButtonClick, this, [this] { edtLogoButtonClick(); });
    connect(cbxLogo, &QCheckBox::clicked, this, [this] { cbxLogoClick(); });
    connect(cbxFlipH, &QCheckBox::clicked, this, [this] { cbxFlipHClick(); });
    connect(cbxFlipV, &QCheckBox::clicked, this, [this] { cbxFlipHClick(); });
    connect(cbRotate, &QComboBox::currentIndexChanged, this, [this] { cbxFlipHClick(); });

    // Every change that alters the GIF asks for a new estimate.
    const auto estimate = [this] { RequestEstimate(); };
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{edtW, edtH, edtTextX, edtTextY, edtLogo, edtLogoW, edtLogoH,
                                                           edtLogoX, edtLogoY})
        connect(e, &QLineEdit::textChanged, this, estimate);
    for (QComboBox* c : {cbSize, cbFrameRate, cbSpeed, cbLoop, cbRotate})
        connect(c, &QComboBox::currentTextChanged, this, estimate);
    connect(mmText, &QPlainTextEdit::textChanged, this, estimate);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             btnAlignLeft, btnAlignCenter, btnAlignRight, cbxLogo, cbxFlipH, cbxFlipV, rbOriginal, rbReverse, rbPingPong})
        connect(b, &QAbstractButton::toggled, this, estimate);

    FEstimator = new TGifSizeEstimator(this);
    connect(FEstimator, &TGifSizeEstimator::Ready, this, [this](const TGifEstimate& e) { EstimateReady(e); });

    FTextFont = font();
    FTextColor = Qt::white;
    FormCreate();
}

TSettingForm::~TSettingForm()
{
    // The controls go after this body: none of their signals or focus
    // changes may reach the half-destroyed form.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    for (QComboBox* c : {cbSpeed, cbLoop}) {
        c->removeEventFilter(this);
        if (c->lineEdit())
            c->lineEdit()->removeEventFilter(this);
    }
    // FormDestroy: the new texts that OK did not hand to the project.
    for (int i = 0; i < lbText->count(); ++i) {
        TTextObj* obj = ItemObject(i);
        if (obj && (!FProj || FProj->Texts.IndexOf(obj) < 0))
            delete obj;
    }
    lbText->clear();
}

void TSettingForm::FormCreate()
{
    TBaseUIForm::FormCreate();
    const qreal dpr = devicePixelRatioF();
    btnAlignLeft->SetGlyph(AlignGlyph(dpr, 0));
    btnAlignCenter->SetGlyph(AlignGlyph(dpr, 2));
    btnAlignRight->SetGlyph(AlignGlyph(dpr, 1));
    SetTextFont(FTextFont, FTextColor);
    PageControl1->SetActivePageIndex(LastSettingPage);
}

void TSettingForm::AdjustForDpi()
{
    TBaseUIForm::AdjustForDpi();
    cbxLogo->resize(cbxLogo->width() + 12, cbxLogo->height());
    for (TzelEdit* e : {edtLogoX, edtLogoY})
        e->setGeometry(e->x() + 6, e->y(), e->width() - 6, e->height());
    edtTextX->move(edtTextX->x() + 5, edtTextX->y());
    lblTextY->move(lblTextY->x() + 4, lblTextY->y());
}

TTextObj* TSettingForm::ItemObject(int row) const
{
    QListWidgetItem* item = lbText->item(row);
    return item ? reinterpret_cast<TTextObj*>(item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

// ---- loading and saving -------------------------------------------------------------

void TSettingForm::LoadFromProject()
{
    if (!FProj)
        return;
    FLoading = true;
    const QSize out = FProj->GetOutputSize();
    edtW->SetValue(out.width());
    edtH->SetValue(out.height());
    SetNoChange(cbSize, static_cast<int>(FProj->SizeStyle));
    const bool custom = FProj->SizeStyle == ssCustom;
    edtW->setEnabled(custom);
    edtH->setEnabled(custom);
    cbFrameRate->setEditText(QString::number(FProj->GifFPS));
    SpeedToText(FProj->GifSpeed);
    if (FProj->GifLoop == -1)
        cbLoop->setCurrentIndex(0);
    else
        cbLoop->setEditText(QString::number(FProj->GifLoop));

    {
        const QSignalBlocker block(lbText);
        for (int i = 0; i < FProj->Texts.Count(); ++i) {
            auto* item = new QListWidgetItem(QStringLiteral("Text %1").arg(i + 1), lbText);
            item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(FProj->Texts[i])));
        }
    }
    if (FProj->Texts.Count() > 0) {
        {
            const QSignalBlocker block(lbText);
            lbText->setCurrentRow(0);
        }
        ShowTextItem(FProj->Texts[0]);
    } else {
        NewTextItem();
    }

    SetNoChange(cbxLogo, FProj->Logo.Enabled);
    SetChildrenEnabled(pnlLogo, FProj->Logo.Enabled);
    edtLogo->setText(FProj->Logo.ImageFileName);
    edtLogoW->SetValue(FProj->Logo.Width);
    edtLogoH->SetValue(FProj->Logo.Height);
    edtLogoX->SetValue(FProj->Logo.X);
    edtLogoY->SetValue(FProj->Logo.Y);

    SetNoChange(cbxFlipH, FProj->Flip == 1 || FProj->Flip == 3);
    SetNoChange(cbxFlipV, FProj->Flip == 2 || FProj->Flip == 3);
    SetNoChange(cbRotate, static_cast<int>(FProj->Rotation));
    if (FProj->Sequence == 1)
        rbReverse->setChecked(true);
    else if (FProj->Sequence == 2)
        rbPingPong->setChecked(true);
    else
        rbOriginal->setChecked(true);
    FLoading = false;
    RequestEstimate();
}

void TSettingForm::SaveToProject()
{
    if (!FProj)
        return;
    FProj->SizeStyle = static_cast<TSizeStyle>(std::clamp(cbSize->currentIndex(), 0, 3));
    if (FProj->SizeStyle == ssCustom) {
        FProj->CustomWidth = IntDef(edtW->text(), 0);
        FProj->CustomHeight = IntDef(edtH->text(), 0);
    }
    FProj->GifFPS = IntDef(cbFrameRate->currentText(), 0);
    FProj->GifSpeed = TextToSpeed();
    // A negative count other than -1 would reach the GIF as a bogus loop
    // count; it means endless, as leaving the box shows.
    FProj->GifLoop = std::max(-1, IntDef(cbLoop->currentText(), -1));

    StoreCurrentText();
    for (int i = 0; i < lbText->count(); ++i) {
        TTextObj* obj = ItemObject(i);
        if (obj && FProj->Texts.IndexOf(obj) < 0 && !obj->Text.trimmed().isEmpty())
            FProj->Texts.Add(obj);
    }

    FProj->Logo.Enabled = cbxLogo->isChecked();
    FProj->Logo.ImageFileName = edtLogo->text();
    FProj->Logo.Width = IntDef(edtLogoW->text(), 0);
    FProj->Logo.Height = IntDef(edtLogoH->text(), 0);
    FProj->Logo.X = IntDef(edtLogoX->text(), 0);
    FProj->Logo.Y = IntDef(edtLogoY->text(), 0);

    const bool h = cbxFlipH->isChecked(), v = cbxFlipV->isChecked();
    FProj->Flip = h && v ? 3 : h ? 1 : v ? 2 : 0;
    FProj->Rotation = static_cast<uint8_t>(std::clamp(cbRotate->currentIndex(), 0, 3));
    FProj->Sequence = rbReverse->isChecked() ? 1 : rbPingPong->isChecked() ? 2 : 0;
}

void TSettingForm::btnOkMeClick()
{
    SaveToProject();
    LastSettingPage = PageControl1->ActivePageIndex();
    TBaseUIForm::btnOkMeClick();
}

// ---- page 0 -----------------------------------------------------------------------------

void TSettingForm::cbSizeChange()
{
    const int index = cbSize->currentIndex();
    const bool custom = index == cbSize->count() - 1;
    edtW->setEnabled(custom);
    edtH->setEnabled(custom);
    if (custom || !FProj)
        return;
    // The crop as the conversion clips it to the video, else the video.
    const QSize base = FProj->BaseSize();
    const double f = TVGProj::ScaleFactorOf(static_cast<TSizeStyle>(index));
    edtW->SetValue(RoundHalfEven(base.width() * f));
    edtH->SetValue(RoundHalfEven(base.height() * f));
}

void TSettingForm::SpeedToText(double speed)
{
    if (std::abs(speed - 1.0) < 1e-12)
        SetNoChange(cbSpeed, 0);
    else
        SetNoChange(cbSpeed, QString::number(std::nearbyint(speed * 100), 'f', 0) + QLatin1Char('%'));
    if (!FLoading)
        RequestEstimate();
}

double TSettingForm::TextToSpeed() const
{
    QString text = cbSpeed->currentText();
    if (text.isEmpty() || text == cbSpeed->itemText(0))
        return 1.0;
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    const double speed = StrToFloatDefEx(text.trimmed(), 100) / 100.0;
    // A number beyond the double range reads as no number.
    return std::isfinite(speed) ? speed : 1.0;
}

void TSettingForm::cbSpeedExit() { SpeedToText(TextToSpeed()); }

void TSettingForm::cbLoopExit()
{
    bool ok = false;
    const int n = cbLoop->currentText().trimmed().toInt(&ok);
    if (!ok || n < 0)
        SetNoChange(cbLoop, 0);
    if (!FLoading)
        RequestEstimate();
}

bool TSettingForm::eventFilter(QObject* watched, QEvent* event)
{
    // A combo's own list taking the focus is no leaving of the box.
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == cbSpeed || (cbSpeed->lineEdit() && watched == cbSpeed->lineEdit()))
            cbSpeedExit();
        else if (watched == cbLoop || (cbLoop->lineEdit() && watched == cbLoop->lineEdit()))
            cbLoopExit();
    }
    return TBaseUIForm::eventFilter(watched, event);
}

// ---- page 1: texts ------------------------------------------------------------------------

void TSettingForm::SetTextFont(const QFont& font, const QColor& color)
{
    FTextFont = font;
    FTextColor = color;
    // The button shows an "A" over a bar of the text's colour.
    const QColor bar = color;
    btnTextFont->SetGlyph(Glyph(devicePixelRatioF(), [bar](QPainter& p) {
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.setPen(ZelFlat::Slate);
        p.drawText(QRectF(0, -1, 16, 13), Qt::AlignCenter, QStringLiteral("A"));
        p.setPen(QPen(ZelFlat::Border, 1));
        p.setBrush(bar);
        p.drawRect(QRectF(2.5, 12.5, 11, 3));
    }));
}

void TSettingForm::ShowTextItem(TTextObj* text)
{
    FCurText = text;
    const bool loading = FLoading;
    FLoading = true;
    if (text) {
        mmText->setPlainText(text->Text);
        QFont f;
        QColor c;
        text->AssignToFont(f, c);
        SetTextFont(f, c);
        edtTextX->SetValue(text->X);
        edtTextY->SetValue(text->Y);
        SetTextAlign(static_cast<uint8_t>(text->Alignment));
    } else {
        mmText->clear();
        edtTextX->setText(QStringLiteral("0"));
        edtTextY->setText(QStringLiteral("0"));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{mmText, edtTextX, edtTextY, btnTextFont, btnAlignLeft,
                                                       btnAlignCenter, btnAlignRight})
        w->setEnabled(text != nullptr);
    FLoading = loading;
}

void TSettingForm::StoreCurrentText()
{
    if (!FCurText)
        return;
    FCurText->AssignFromFont(FTextFont, FTextColor);
    FCurText->X = IntDef(edtTextX->text(), 0);
    FCurText->Y = IntDef(edtTextY->text(), 0);
    FCurText->Text = mmText->toPlainText();
    FCurText->Alignment = static_cast<TAlignment>(GetTextAlign());
}

uint8_t TSettingForm::GetTextAlign() const
{
    if (btnAlignLeft->isChecked())
        return 0;
    if (btnAlignRight->isChecked())
        return 1;
    return 2;
}

void TSettingForm::SetTextAlign(uint8_t align)
{
    (align == 0 ? btnAlignLeft : align == 1 ? btnAlignRight : btnAlignCenter)->setChecked(true);
}

void TSettingForm::NewTextItem()
{
    auto* obj = new TTextObj;
    obj->X = 0;
    obj->Y = 0;
    obj->Alignment = VG::taLeftJustify;
    if (VGConfig)
        VGConfig->ApplyDefaultFont(obj);
    auto* item = new QListWidgetItem(QStringLiteral("Text %1").arg(lbText->count() + 1), lbText);
    item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(obj)));
    {
        const QSignalBlocker block(lbText);
        lbText->setCurrentRow(lbText->count() - 1);
    }
    ShowTextItem(obj);
    if (!FLoading)
        RequestEstimate();
}

void TSettingForm::btnAddTextClick()
{
    StoreCurrentText();
    NewTextItem();
}

void TSettingForm::lbTextClick()
{
    StoreCurrentText();
    if (lbText->currentRow() >= 0)
        ShowTextItem(ItemObject(lbText->currentRow()));
}

void TSettingForm::btnDelTextClick()
{
    const int row = lbText->currentRow();
    if (row < 0)
        return;
    TTextObj* obj = ItemObject(row);
    // The edits of the item going are not stored anywhere.
    FCurText = nullptr;
    if (FProj && FProj->Texts.IndexOf(obj) >= 0)
        FProj->Texts.Remove(obj);
    else
        delete obj;
    {
        const QSignalBlocker block(lbText);
        delete lbText->takeItem(row);
        if (lbText->count() > 0)
            lbText->setCurrentRow(std::min(row, lbText->count() - 1));
    }
    ShowTextItem(lbText->currentRow() >= 0 ? ItemObject(lbText->currentRow()) : nullptr);
    RequestEstimate();
}

void TSettingForm::btnTextFontClick()
{
    QFont f = FTextFont;
    QColor c = FTextColor;
    if (ExecFontDialog(f, c, this)) {
        SetTextFont(f, c);
        RequestEstimate();
    }
}

// ---- page 2: logo --------------------------------------------------------------------------

void TSettingForm::cbxLogoClick() { SetChildrenEnabled(pnlLogo, cbxLogo->isChecked()); }

void TSettingForm::edtLogoButtonClick()
{
    const QFileInfo current(edtLogo->text());
    const QStringList files = ExecOpenDialog(this, QString::fromLatin1(PictureFilter),
                                             edtLogo->text().isEmpty() ? QString() : current.absolutePath() + QLatin1Char('/'),
                                             current.fileName());
    if (files.isEmpty())
        return;
    const QString file = files.first();
    const QSize size = GPImageSize(file);
    if (!size.isValid() || size.isEmpty()) {
        // Taking it would leave a logo that never draws, with sizes of nothing.
        MsgBox(QStringLiteral("\"%1\" is not a picture that can be read.").arg(QDir::toNativeSeparators(file)), 1, 3);
        return;
    }
    FLogoCacheFile.clear();
    edtLogo->setText(file);
    edtLogoW->SetValue(size.width());
    edtLogoH->SetValue(size.height());
    if (FProj)
        FProj->ResetLogoImage();
}

// ---- page 3: flip and rotate preview ----------------------------------------------------

void TSettingForm::PreparePreview(const QImage* frame)
{
    if (!frame || frame->isNull())
        return;
    QImage temp;
    const QImage* src = frame;
    if (frame->depth() == 32) {
        temp = Bitmap32to24(*frame, false);
        src = &temp;
    }
    const QRect crop = FProj && FProj->UseCrop ? FProj->CropRect.ToQRect() : QRect();
    if (FProj && FProj->UseCrop && IsValidRect(crop)) {
        FPreviewSrc = QImage(crop.width(), crop.height(), QImage::Format_RGB888);
        FPreviewSrc.fill(Qt::black);
        BmpBitBlt24(FPreviewSrc, 0, 0, FPreviewSrc.width(), FPreviewSrc.height(), *src, crop.left(), crop.top());
    } else {
        FPreviewSrc = ScanLineCopyBmpBit24(*src);
    }
    FPreviewBmp = QImage();
}

void TSettingForm::BuildPreviewBmp()
{
    const int rotation = cbRotate->currentIndex();
    FPreviewBmp = rotation <= 0 ? ScanLineCopyBmpBit24(FPreviewSrc) : RotateBitmap24(FPreviewSrc, rotation);
    if (cbxFlipH->isChecked())
        FlipHorizontal24(FPreviewBmp);
    if (cbxFlipV->isChecked())
        FlipVertical24(FPreviewBmp);
}

void TSettingForm::cbxFlipHClick()
{
    if (FPreviewSrc.isNull())
        return;
    FPreviewBmp = QImage();
    BuildPreviewBmp();
    pnlPreview->update();
}

QImage TSettingForm::PreviewPicture()
{
    if (FPreviewSrc.isNull())
        return {};
    if (cbxFlipH->isChecked() || cbxFlipV->isChecked() || cbRotate->currentIndex() > 0) {
        if (FPreviewBmp.isNull())
            BuildPreviewBmp();
        return FPreviewBmp;
    }
    return FPreviewSrc;
}

void TSettingForm::pnlPreviewPaint()
{
    const QImage picture = PreviewPicture();
    if (picture.isNull())
        return;
    QPainter p(pnlPreview);
    DrawCenter(p, pnlPreview->rect(), picture);
}

// ---- the size estimate ------------------------------------------------------------------

TOutputChoice TSettingForm::CurrentChoice() const
{
    TOutputChoice c;
    if (FProj)
        c = FProj->OutputChoice();
    c.SizeStyle = static_cast<TSizeStyle>(std::clamp(cbSize->currentIndex(), 0, 3));
    if (c.SizeStyle == ssCustom) {
        c.CustomWidth = IntDef(edtW->text(), 0);
        c.CustomHeight = IntDef(edtH->text(), 0);
    }
    c.GifFPS = IntDef(cbFrameRate->currentText(), 0);
    c.GifSpeed = TextToSpeed();
    c.GifLoop = std::max(-1, IntDef(cbLoop->currentText(), -1));
    // Every item as OK would leave it: the one being edited with its edits.
    c.Texts.clear();
    for (int i = 0; i < lbText->count(); ++i) {
        const TTextObj* obj = ItemObject(i);
        if (!obj)
            continue;
        TTextObj t = *obj;
        if (obj == FCurText) {
            t.AssignFromFont(FTextFont, FTextColor);
            t.X = IntDef(edtTextX->text(), 0);
            t.Y = IntDef(edtTextY->text(), 0);
            t.Text = mmText->toPlainText();
            t.Alignment = static_cast<TAlignment>(GetTextAlign());
        }
        const bool inProject = FProj && FProj->Texts.IndexOf(obj) >= 0;
        if (inProject || !t.Text.trimmed().isEmpty())
            c.Texts.push_back(t);
    }
    c.Logo.Enabled = cbxLogo->isChecked();
    c.Logo.ImageFileName = edtLogo->text();
    c.Logo.Width = IntDef(edtLogoW->text(), 0);
    c.Logo.Height = IntDef(edtLogoH->text(), 0);
    c.Logo.X = IntDef(edtLogoX->text(), 0);
    c.Logo.Y = IntDef(edtLogoY->text(), 0);
    c.LogoImage = QImage();
    if (c.Logo.Enabled && FProj && c.Logo.ImageFileName != FProj->Logo.ImageFileName) {
        if (c.Logo.ImageFileName != FLogoCacheFile) {
            FLogoCacheFile = c.Logo.ImageFileName;
            FLogoCache = QFileInfo(FLogoCacheFile).isFile() ? QImage(FLogoCacheFile) : QImage();
        }
        c.LogoImage = FLogoCache;
    }
    const bool h = cbxFlipH->isChecked(), v = cbxFlipV->isChecked();
    c.Flip = h && v ? 3 : h ? 1 : v ? 2 : 0;
    c.Rotation = static_cast<uint8_t>(std::clamp(cbRotate->currentIndex(), 0, 3));
    c.Sequence = rbReverse->isChecked() ? 1 : rbPingPong->isChecked() ? 2 : 0;
    return c;
}

void TSettingForm::RequestEstimate()
{
    if (FLoading || !FProj || !FEstimator)
        return;
    FLastEstimateFlag = FProj->ConversionFlag(CurrentChoice());
    ++FEstimateRequests;
    lblEstimateValue->setText(QStringLiteral("estimating..."));
    FEstimator->Request(FLastEstimateFlag);
}

void TSettingForm::EstimateReady(const TGifEstimate& estimate)
{
    if (estimate.Ok) {
        lblEstimateValue->setText(EstimateText(estimate.Bytes, estimate.Frames));
        lblEstimateValue->setToolTip({});
    } else {
        lblEstimateValue->setText(QStringLiteral("-"));
        lblEstimateValue->setToolTip(estimate.Error);
    }
}

QString TSettingForm::EstimateText(int64_t bytes, int64_t frames)
{
    QString size;
    if (bytes < 1024)
        size = QStringLiteral("%1 bytes").arg(bytes);
    else if (bytes < 1024 * 1024)
        size = QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    else
        size = QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    return QStringLiteral("%1 (%2 %3)").arg(size).arg(frames).arg(frames == 1 ? QStringLiteral("frame") : QStringLiteral("frames"));
}

// ---- entry ----------------------------------------------------------------------------------

bool ShowSettingForm(TVGProj* proj, const QImage* frame, QWidget* over)
{
    TSettingForm form(over);
    // Centred on the window it is opened over.
    if (over) {
        QRect r(QPoint(), form.size());
        r.moveCenter(over->window()->geometry().center());
        form.move(r.topLeft());
    }
    form.SetProject(proj);
    form.PreparePreview(frame);
    form.LoadFromProject();
    return form.ShowModal() == mrOk;
}
