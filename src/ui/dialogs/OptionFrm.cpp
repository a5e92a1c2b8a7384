#include "OptionFrm.h"

#include "TzelButton.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelAnchors.h"
#include "ZelCheckBox.h"
#include "ZelColorEdit.h"
#include "ZelComboBox.h"
#include "ZelFontCombo.h"
#include "ZelNoChange.h"
#include "ZelNumEdit.h"
#include "ZelPanel.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <limits>

namespace {
constexpr int kClientW = 495, kClientH = 513;

// An integer typed into a box, or the default when the text is none.
int IntDef(const QString& text, int def)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : def;
}

// A number edit read as an integer: rounded and kept in the int range.
int EditInt(const TzelNumericEdit* e)
{
    const double v = e->Value();
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, double(std::numeric_limits<int>::min()),
                                                   double(std::numeric_limits<int>::max()))));
}
}  // namespace

TOptionForm::TOptionForm(QWidget* parent) : TBaseUIForm(parent)
{
    setObjectName(QStringLiteral("OptionForm"));
    setMinimumSize(kClientW, kClientH);
    setMaximumSize(kClientW, kClientH);
    resize(kClientW, kClientH);
    SetCaption(QStringLiteral("Options"));

    auto group = [this](const char* name, const QString& caption, int y, int h) {
        auto* g = new TzelGroupBox(caption, this);
        g->setObjectName(QString::fromLatin1(name));
        SetBounds(g, {20, y, kClientW - 40, h});
        return g;
    };
    // A label, and the control after it named by the label's text.
    auto label = [](QWidget* parent, const QString& text, const QRect& r, QWidget* names = nullptr) {
        auto* l = new QLabel(text, parent);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        SetBounds(l, r);
        if (names) {
            names->setAccessibleName(text);
            l->setBuddy(names);
        }
        return l;
    };
    auto combo = [](QWidget* parent, const char* name, TzelComboBox::TStyle style, const QStringList& items, const QRect& r) {
        auto* c = new TzelComboBox(parent, style);
        c->setObjectName(QString::fromLatin1(name));
        c->addItems(items);
        // Typed text stays text: Enter does not add it to the list.
        c->setInsertPolicy(QComboBox::NoInsert);
        SetBounds(c, r);
        return c;
    };
    auto check = [](QWidget* parent, const char* name, const QString& caption, const QRect& r) {
        auto* c = new TzelCheckBox(caption, parent);
        c->setObjectName(QString::fromLatin1(name));
        SetBounds(c, r);
        return c;
    };
    auto colour = [](QWidget* parent, const char* name, const QRect& r) {
        auto* c = new TzelColorEdit(parent);
        c->setObjectName(QString::fromLatin1(name));
        SetBounds(c, r);
        return c;
    };
    auto number = [](QWidget* parent, const char* name, const QRect& r) {
        auto* e = new TzelNumericEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->SetDisplayFormat(QStringLiteral("#0"));
        SetBounds(e, r);
        return e;
    };

    gbCrop = group("gbCrop", QStringLiteral("Crop settings"), 42, 60);
    ceCrop = colour(gbCrop, "ceCrop", {110, 24, 130, 22});
    label(gbCrop, QStringLiteral("Area color"), {16, 24, 90, 22}, ceCrop);
    cbxShowCrop = check(gbCrop, "cbxShowCrop", QStringLiteral("Show crop area"), {256, 26, 180, 18});

    gbGif = group("gbGif", QStringLiteral("Default GIF settings"), 112, 94);
    cbSize = combo(gbGif, "cbSize", TzelComboBox::csDropDownList,
                   {QStringLiteral("Original size"), QStringLiteral("1/2 Original size"), QStringLiteral("1/4 Original size")},
                   {110, 24, 130, 22});
    label(gbGif, QStringLiteral("Size style"), {16, 24, 90, 22}, cbSize);
    cbFrameRate = combo(gbGif, "cbFrameRate", TzelComboBox::csDropDown,
                        {QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("12"), QStringLiteral("15"),
                         QStringLiteral("20"), QStringLiteral("24")},
                        {340, 24, 66, 22});
    label(gbGif, QStringLiteral("Frame rate"), {256, 24, 80, 22}, cbFrameRate);
    label(gbGif, QStringLiteral("fps"), {410, 24, 30, 22});
    cbSpeed = combo(gbGif, "cbSpeed", TzelComboBox::csDropDown,
                    {QStringLiteral("Keep Original"), QStringLiteral("20%"), QStringLiteral("50%"), QStringLiteral("150%"),
                     QStringLiteral("200%"), QStringLiteral("300%")},
                    {110, 58, 130, 22});
    label(gbGif, QStringLiteral("GIF speed"), {16, 58, 90, 22}, cbSpeed);
    cbLoop = combo(gbGif, "cbLoop", TzelComboBox::csDropDown,
                   {QStringLiteral("Infinite"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
                   {340, 58, 96, 22});
    label(gbGif, QStringLiteral("Replay times"), {256, 58, 80, 22}, cbLoop);

    gbFont = group("gbFont", QStringLiteral("Text font"), 216, 94);
    cbFont = new TzelFontComboBox(gbFont);
    cbFont->setObjectName(QStringLiteral("cbFont"));
    SetBounds(cbFont, {110, 24, 210, 22});
    label(gbFont, QStringLiteral("Name"), {16, 24, 90, 22}, cbFont);
    QStringList sizes;
    for (int s : {8, 10, 12, 14, 16, 18, 20, 22, 24, 28, 32, 36, 40, 48, 56, 64, 72, 80})
        sizes << QString::number(s);
    cbFontSize = combo(gbFont, "cbFontSize", TzelComboBox::csDropDown, sizes, {376, 24, 60, 22});
    label(gbFont, QStringLiteral("Size"), {336, 24, 36, 22}, cbFontSize);
    cbColor = colour(gbFont, "cbColor", {110, 58, 130, 22});
    label(gbFont, QStringLiteral("Color"), {16, 58, 90, 22}, cbColor);
    cbxBold = check(gbFont, "cbxBold", QStringLiteral("Bold"), {256, 60, 80, 18});
    cbxItalic = check(gbFont, "cbxItalic", QStringLiteral("Italic"), {340, 60, 80, 18});

    gbOther = group("gbOther", QStringLiteral("Other"), 320, 104);
    edtMax = number(gbOther, "edtMax", {130, 24, 70, 22});
    label(gbOther, QStringLiteral("Max frame count"), {16, 24, 110, 22}, edtMax);
    edtDecode = number(gbOther, "edtDecode", {366, 24, 70, 22});
    label(gbOther, QStringLiteral("Decode frame count"), {236, 24, 126, 22}, edtDecode);
    lblNote = new QLabel(QStringLiteral("*More frames will cause more memory \nusage during conversion."), gbOther);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Red on every screen, not only on scaled ones: the warning should read
    // the same everywhere.
    QPalette red = lblNote->palette();
    red.setColor(QPalette::WindowText, ColorFromBGR(255));
    lblNote->setPalette(red);
    SetBounds(lblNote, {16, 58, 388, 32});

    cbxApply = check(this, "cbxApply", QStringLiteral("Apply default settings to current conversion"), {20, 470, 296, 18});
    SetBounds(btnOkMe, {kClientW - 20 - 71 - 8 - 71, 468, 71, 23});
    SetBounds(btnCancelMe, {kClientW - 20 - 71, 468, 71, 23});

    // The base made OK and Cancel first: the keyboard reaches them last.
    setTabOrder(cbxApply, btnOkMe);
    setTabOrder(btnOkMe, btnCancelMe);

    connect(cbSpeed->lineEdit(), &QLineEdit::editingFinished, this, [this] { cbSpeedExit(); });
    connect(cbLoop->lineEdit(), &QLineEdit::editingFinished, this, [this] { cbLoopExit(); });

    FormCreate();
}

void TOptionForm::AdjustForDpi()
{
    TBaseUIForm::AdjustForDpi();
    // Scaled fonts need the room: the note's last word would wrap away.
    lblNote->resize(lblNote->width() + 32, lblNote->height());
    QPalette red = lblNote->palette();
    red.setColor(QPalette::WindowText, ColorFromBGR(255));
    lblNote->setPalette(red);
}

void TOptionForm::SpeedToText(double speed)
{
    if (std::abs(speed - 1.0) < 1e-12) {
        SetNoChange(cbSpeed, 0);
        return;
    }
    const double percent = std::isfinite(speed) ? std::clamp(speed * 100.0, -2e9, 2e9) : 100.0;
    SetNoChange(cbSpeed, QString::number(std::lround(percent)) + QLatin1Char('%'));
}

double TOptionForm::TextToSpeed() const
{
    QString t = cbSpeed->currentText().trimmed();
    if (t.isEmpty() || t == cbSpeed->itemText(0))
        return 1.0;
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    return StrToFloatDefEx(t, 100.0) / 100.0;
}

void TOptionForm::cbSpeedExit() { SpeedToText(TextToSpeed()); }

int TOptionForm::LoopFromText() const
{
    const int loop = IntDef(cbLoop->currentText(), -1);
    return loop >= 0 ? loop : -1;
}

void TOptionForm::cbLoopExit()
{
    if (LoopFromText() < 0)
        SetNoChange(cbLoop, 0);
}

void TOptionForm::LoadFromConfig()
{
    if (!VGConfig)
        return;
    const TVGConfig& c = *VGConfig;
    SetNoChange(ceCrop, c.CropRcColor);
    SetNoChange(cbxShowCrop, c.ShowCropRc);
    SetNoChange(cbSize, int(c.SizeStyle) < cbSize->count() ? int(c.SizeStyle) : -1);
    SetNoChange(cbFrameRate, QString::number(c.GifFPS));
    SpeedToText(c.GifSpeed);
    SetNoChange(cbLoop, c.GifLoop == -1 ? cbLoop->itemText(0) : QString::number(c.GifLoop));
    SetNoChange(cbFont, c.FontName);
    SetNoChange(cbFontSize, QString::number(c.FontSize));
    SetNoChange(cbColor, c.FontColor);
    SetNoChange(cbxBold, c.FontStyles.testFlag(fsBold));
    SetNoChange(cbxItalic, c.FontStyles.testFlag(fsItalic));
    SetNoChange(edtMax, c.GifMaxFrame);
    SetNoChange(edtDecode, c.DecodeNum);
}

void TOptionForm::SaveToConfig()
{
    if (!VGConfig)
        return;
    TVGConfig& c = *VGConfig;
    c.CropRcColor = ceCrop->SelectedColorBGR();
    c.ShowCropRc = cbxShowCrop->isChecked();
    // A style the list does not hold (a custom one from the file) stays.
    if (cbSize->currentIndex() >= 0)
        c.SizeStyle = static_cast<TSizeStyle>(cbSize->currentIndex());
    c.GifFPS = IntDef(cbFrameRate->currentText(), 0);
    c.GifSpeed = TextToSpeed();
    c.GifLoop = LoopFromText();
    c.FontName = cbFont->FontName();
    c.FontSize = IntDef(cbFontSize->currentText(), 16);
    c.FontColor = cbColor->SelectedColorBGR();
    c.FontStyles = {};
    if (cbxBold->isChecked())
        c.FontStyles |= fsBold;
    if (cbxItalic->isChecked())
        c.FontStyles |= fsItalic;
    c.GifMaxFrame = EditInt(edtMax);
    c.DecodeNum = EditInt(edtDecode);
    try {
        if (!c.SaveConfig(true))
            MsgOut(QStringLiteral("Settings not saved: the document would not read back"));
    } catch (const EZelError& e) {
        // The new values hold for this run; the user should know they will
        // not survive it.
        MsgOut(QStringLiteral("Settings not saved: ") + e.Message);
        MsgBox(QStringLiteral("The settings could not be saved to \"%1\": %2").arg(c.FileName, e.Message), 1, 3);
    }
}

void TOptionForm::btnOkMeClick()
{
    SaveToConfig();
    TBaseUIForm::btnOkMeClick();
}

bool ShowOptionForm(TVGProj* proj, QWidget* over)
{
    TOptionForm form(over);
    form.LoadFromConfig();
    SetNoChange(form.cbxApply, false);
    form.cbxApply->setEnabled(proj != nullptr);
    if (over) {
        const QWidget* top = over->window();
        form.move(top->geometry().center() - QPoint(form.width() / 2, form.height() / 2));
    }
    const bool ok = form.ShowModal() == mrOk;
    if (ok && proj && form.cbxApply->isChecked())
        proj->ApplyDefaults();
    return ok;
}
