// The output settings dialog driven as a user would: typing into its boxes
// and leaving them with Tab, clicking its buttons and tabs, answering its
// font and picture dialogs; then what OK or Cancel left in the project.

#include "TestSupport.h"

#include "SettingFrm.h"
#include "TzelButton.h"
#include "TzelEdit.h"
#include "UIUtils.h"
#include "VGApp.h"
#include "VGConfig.h"
#include "VGConvert.h"
#include "VGProj.h"
#include "VGUIApp.h"
#include "ZelButtonEdit.h"
#include "ZelCheckBox.h"
#include "ZelComboBox.h"
#include "ZelPageControl.h"
#include "ZelPanel.h"
#include "ZelWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTransform>
#include <gtest/gtest.h>
#include <memory>

namespace {

TApp* gApp = nullptr;

class SettingFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gApp = StartWindowTestApp(); }
    static void TearDownTestSuite() { StopWindowTestApp(gApp); }
    void SetUp() override
    {
        TestMsgBox::Clear();
        config = std::make_unique<TVGConfig>();
        config->FontName = QStringLiteral("Arial");
        config->FontSize = 14;
        config->FontColor = 0xFFFFFF;
        savedConfig = VGConfig;
        VGConfig = config.get();
        LastSettingPage = 0;
        proj = std::make_unique<TVGProj>();
        proj->VideoWidth = 25;
        proj->VideoHeight = 27;
        proj->SizeStyle = ssHalf;
        proj->GifFPS = 8;
        proj->GifSpeed = 1.0;
        proj->GifLoop = -1;
    }
    void TearDown() override
    {
        form.reset();
        proj.reset();
        VGConfig = savedConfig;
        SetFontDialogHandler({});
        SetOpenDialogHandler({});
    }

    void Open(const QImage* frame = nullptr)
    {
        form = std::make_unique<TSettingForm>();
        form->SetProject(proj.get());
        form->PreparePreview(frame);
        form->LoadFromProject();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
        form->activateWindow();
    }
    void ShowPage(int index)
    {
        QTabBar* bar = form->PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        ASSERT_EQ(form->PageControl1->currentIndex(), index);
    }
    // Replaces what a box shows by typing, then leaves it with Tab.
    void TypeAndLeave(QWidget* box, const QString& text)
    {
        QWidget* target = box;
        if (auto* combo = qobject_cast<QComboBox*>(box))
            target = combo->lineEdit();
        target->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(PumpUntil([&] { return target->hasFocus(); }, 2000));
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_Delete);
        QTest::keyClicks(target, text);
        QTest::keyClick(target, Qt::Key_Tab);
        ASSERT_TRUE(PumpUntil([&] { return !target->hasFocus(); }, 2000));
    }
    void TypeMemo(const QString& text)
    {
        form->mmText->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(form->mmText, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(form->mmText, Qt::Key_Delete);
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(form->mmText, Qt::Key_Return);
            QTest::keyClicks(form->mmText, lines[i]);
        }
    }
    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QRect(QPoint(), w->size()).center()); }
    int ClickOk()
    {
        Click(form->btnOkMe);
        return form->ModalResult();
    }
    QStringList ItemCaptions() const
    {
        QStringList names;
        for (int i = 0; i < form->lbText->count(); ++i)
            names << form->lbText->item(i)->text();
        return names;
    }
    TTextObj* AddProjectText(const QString& text, int x = 0)
    {
        TTextObj* t = proj->Texts.Add();
        t->Text = text;
        t->X = x;
        t->FontName = QStringLiteral("Arial");
        t->FontSize = 10;
        return t;
    }

    std::unique_ptr<TVGConfig> config;
    TVGConfig* savedConfig = nullptr;
    std::unique_ptr<TVGProj> proj;
    std::unique_ptr<TSettingForm> form;
};

// ---- texts --------------------------------------------------------------------------

TEST_F(SettingFormTest, ANewClipOpensWithOneDefaultTextThatABlankMemoDoesNotAdd)
{
    Open();
    ShowPage(1);
    EXPECT_EQ(ItemCaptions(), QStringList{QStringLiteral("Text 1")});
    EXPECT_EQ(form->TextFont().family(), QStringLiteral("Arial"));
    EXPECT_EQ(form->TextFont().pixelSize(), 28);   // drawn at twice the size on the source frame
    EXPECT_EQ(form->TextColor(), QColor(Qt::white));
    EXPECT_TRUE(form->btnAlignLeft->isChecked());
    TypeMemo(QStringLiteral("   "));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->Texts.Count(), 0);
}

TEST_F(SettingFormTest, TypedTextWithFontAlignmentAndPositionReachesTheProjectOnOk)
{
    SetFontDialogHandler([](QFont& font, QColor& color, QWidget*) {
        font = QFont(QStringLiteral("Courier"));
        font.setPixelSize(40);
        font.setBold(true);
        color = QColor(255, 0, 0);
        return true;
    });
    Open();
    ShowPage(1);
    TypeMemo(QStringLiteral("Hello\nworld"));
    Click(form->btnTextFont);
    Click(form->btnAlignRight);
    EXPECT_TRUE(form->btnAlignRight->isChecked());
    EXPECT_FALSE(form->btnAlignLeft->isChecked());
    TypeAndLeave(form->edtTextX, QStringLiteral("-15"));
    TypeAndLeave(form->edtTextY, QStringLiteral("7"));
    EXPECT_EQ(ClickOk(), mrOk);
    ASSERT_EQ(proj->Texts.Count(), 1);
    const TTextObj* t = proj->Texts[0];
    EXPECT_EQ(t->Text, QStringLiteral("Hello\nworld"));
    EXPECT_EQ(t->FontName, QStringLiteral("Courier"));
    EXPECT_EQ(t->FontSize, 20);
    EXPECT_TRUE(t->FontStyles.testFlag(fsBold));
    EXPECT_EQ(t->FontColor, 0x0000FFu);
    EXPECT_EQ(t->Alignment, VG::taRightJustify);
    EXPECT_EQ(t->X, -15);
    EXPECT_EQ(t->Y, 7);
}

TEST_F(SettingFormTest, CancelledFontDialogAndCancelLeaveEverythingAsItWas)
{
    int asked = 0;
    SetFontDialogHandler([&](QFont& font, QColor&, QWidget*) {
        ++asked;
        font.setPixelSize(80);
        return false;
    });
    TTextObj* t = AddProjectText(QStringLiteral("keep"));
    Open();
    ShowPage(1);
    Click(form->btnTextFont);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form->TextFont().pixelSize(), 20);
    TypeMemo(QStringLiteral("changed"));
    Click(form->btnCancelMe);
    EXPECT_EQ(form->ModalResult(), mrCancel);
    ASSERT_EQ(proj->Texts.Count(), 1);
    EXPECT_EQ(t->Text, QStringLiteral("keep"));
}

TEST_F(SettingFormTest, DeletingAProjectTextIsAtOnceAndNamesAreNotRenumbered)
{
    AddProjectText(QStringLiteral("first"));
    TTextObj* second = AddProjectText(QStringLiteral("second"), 5);
    Open();
    ShowPage(1);
    EXPECT_EQ(ItemCaptions(), (QStringList{QStringLiteral("Text 1"), QStringLiteral("Text 2")}));
    EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("first"));
    TypeMemo(QStringLiteral("edits of the one going"));
    Click(form->btnDelText);
    ASSERT_EQ(proj->Texts.Count(), 1);
    EXPECT_EQ(proj->Texts[0], second);
    // The same row again: now the second text.
    EXPECT_EQ(form->lbText->currentRow(), 0);
    EXPECT_EQ(form->CurrentText(), second);
    EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("second"));
    EXPECT_EQ(form->edtTextX->text(), QStringLiteral("5"));

    Click(form->btnAddText);
    EXPECT_EQ(ItemCaptions(), (QStringList{QStringLiteral("Text 2"), QStringLiteral("Text 2")}));
    EXPECT_EQ(form->lbText->currentRow(), 1);
    EXPECT_TRUE(form->mmText->toPlainText().isEmpty());
    TypeMemo(QStringLiteral("new one"));

    // Cancel: the deletion stays, the new text is not added.
    Click(form->btnCancelMe);
    ASSERT_EQ(proj->Texts.Count(), 1);
    EXPECT_EQ(proj->Texts[0]->Text, QStringLiteral("second"));
}

TEST_F(SettingFormTest, ChoosingAnotherItemStoresTheEditsAtOnceEvenOnCancel)
{
    TTextObj* first = AddProjectText(QStringLiteral("first"));
    AddProjectText(QStringLiteral("second"));
    Open();
    ShowPage(1);
    TypeMemo(QStringLiteral("edited"));
    Click(form->btnAlignCenter);
    QTest::mouseClick(form->lbText->viewport(), Qt::LeftButton, {},
                      form->lbText->visualItemRect(form->lbText->item(1)).center());
    EXPECT_EQ(form->mmText->toPlainText(), QStringLiteral("second"));
    EXPECT_TRUE(form->btnAlignLeft->isChecked());
    Click(form->btnCancelMe);
    EXPECT_EQ(first->Text, QStringLiteral("edited"));
    EXPECT_EQ(first->Alignment, VG::taCenter);
}

TEST_F(SettingFormTest, DeletingEveryItemDisablesTheEditorsAndOkAddsNothing)
{
    Open();
    ShowPage(1);
    Click(form->btnDelText);
    EXPECT_EQ(form->lbText->count(), 0);
    EXPECT_EQ(form->CurrentText(), nullptr);
    EXPECT_FALSE(form->mmText->isEnabled());
    EXPECT_FALSE(form->btnTextFont->isEnabled());
    EXPECT_FALSE(form->btnAlignCenter->isEnabled());
    EXPECT_EQ(form->edtTextX->text(), QStringLiteral("0"));
    Click(form->btnDelText);   // nothing selected: nothing happens
    Click(form->btnAddText);
    EXPECT_EQ(ItemCaptions(), QStringList{QStringLiteral("Text 1")});
    EXPECT_TRUE(form->mmText->isEnabled());
    TypeMemo(QStringLiteral("x"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->Texts.Count(), 1);
}

// ---- size, speed, replay ------------------------------------------------------------

TEST_F(SettingFormTest, SizeStylesShowTheBaseScaledHalfToEvenAndCustomKeepsTheNumbers)
{
    proj->CustomWidth = 99;
    proj->CustomHeight = 98;
    Open();
    EXPECT_EQ(form->edtW->text(), QStringLiteral("12"));   // 12.5 -> 12
    EXPECT_EQ(form->edtH->text(), QStringLiteral("14"));   // 13.5 -> 14
    EXPECT_FALSE(form->edtW->isEnabled());
    form->cbSize->setCurrentIndex(0);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("25"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("27"));
    form->cbSize->setCurrentIndex(2);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("6"));    // 6.25
    EXPECT_EQ(form->edtH->text(), QStringLiteral("7"));    // 6.75
    // Not custom: the stored custom size stays.
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->SizeStyle, ssQuarter);
    EXPECT_EQ(proj->CustomWidth, 99);
    EXPECT_EQ(proj->CustomHeight, 98);

    proj->SizeStyle = ssHalf;
    Open();
    form->cbSize->setCurrentIndex(3);
    EXPECT_TRUE(form->edtW->isEnabled());
    EXPECT_TRUE(form->edtH->isEnabled());
    EXPECT_EQ(form->edtW->text(), QStringLiteral("12"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("14"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->SizeStyle, ssCustom);
    EXPECT_EQ(proj->CustomWidth, 12);
    EXPECT_EQ(proj->CustomHeight, 14);
}

TEST_F(SettingFormTest, TheBaseIsTheCropWhenCropping)
{
    proj->UseCrop = true;
    proj->CropRect = {3, 1, 14, 10};   // 11 x 9
    Open();
    EXPECT_EQ(form->edtW->text(), QStringLiteral("6"));    // 5.5 -> 6
    EXPECT_EQ(form->edtH->text(), QStringLiteral("4"));    // 4.5 -> 4
    form->cbSize->setCurrentIndex(0);
    EXPECT_EQ(form->edtW->text(), QStringLiteral("11"));
    EXPECT_EQ(form->edtH->text(), QStringLiteral("9"));
}

TEST_F(SettingFormTest, SpeedTextsAreReadAndNormalisedWhenTheBoxIsLeft)
{
    struct Case { QString typed; double stored; QString shownAfter; };
    const Case cases[] = {
        {QStringLiteral("150%"), 1.5, QStringLiteral("150%")},
        {QStringLiteral("75"), 0.75, QStringLiteral("75%")},
        {QStringLiteral("Keep Original"), 1.0, QStringLiteral("Keep Original")},
        {QStringLiteral("100%"), 1.0, QStringLiteral("Keep Original")},
        {QStringLiteral("fast"), 1.0, QStringLiteral("Keep Original")},
        {QStringLiteral("33.3%"), 0.33, QStringLiteral("33%")},
        {QStringLiteral("1e999%"), 1.0, QStringLiteral("Keep Original")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Open();
        TypeAndLeave(form->cbSpeed, c.typed);
        EXPECT_EQ(form->cbSpeed->currentText(), c.shownAfter);
        EXPECT_EQ(ClickOk(), mrOk);
        EXPECT_NEAR(proj->GifSpeed, c.stored, 1e-9);
    }
    // 150 without the percent sign, straight to OK.
    Open();
    form->cbSpeed->lineEdit()->setFocus();
    QTest::keyClick(form->cbSpeed->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form->cbSpeed->lineEdit(), Qt::Key_Delete);
    form->cbSpeed->setEditText(QStringLiteral("150"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_DOUBLE_EQ(proj->GifSpeed, 1.5);
    // A project speed shows as a percentage.
    proj->GifSpeed = 2.5;
    Open();
    EXPECT_EQ(form->cbSpeed->currentText(), QStringLiteral("250%"));
}

TEST_F(SettingFormTest, ReplayCountsBelowZeroOrNoNumberBecomeInfinite)
{
    for (const QString& typed : {QStringLiteral("-2"), QStringLiteral("twice"), QStringLiteral("")}) {
        SCOPED_TRACE(typed.toStdString());
        proj->GifLoop = 3;
        Open();
        EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("3"));
        TypeAndLeave(form->cbLoop, typed);
        EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("Infinite"));
        EXPECT_EQ(ClickOk(), mrOk);
        EXPECT_EQ(proj->GifLoop, -1);
    }
    Open();
    TypeAndLeave(form->cbLoop, QStringLiteral("0"));
    EXPECT_EQ(form->cbLoop->currentText(), QStringLiteral("0"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->GifLoop, 0);
    // -2 straight to OK, without leaving the box, is no bogus count either.
    Open();
    form->cbLoop->setEditText(QStringLiteral("-2"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->GifLoop, -1);
}

TEST_F(SettingFormTest, FrameRateAndNumbersThatDoNotParseTakeTheirDefaults)
{
    Open();
    EXPECT_EQ(form->cbFrameRate->currentText(), QStringLiteral("8"));
    TypeAndLeave(form->cbFrameRate, QStringLiteral("12"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->GifFPS, 12);
    Open();
    form->cbFrameRate->setEditText(QStringLiteral("lots"));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->GifFPS, 0);
}

// ---- logo -----------------------------------------------------------------------------

TEST_F(SettingFormTest, TheLogoPageTakesAPictureThroughTheDialogAndItsSize)
{
    const QString dir = MakeTempDir(QStringLiteral("settinglogo"));
    const QString png = dir + QStringLiteral("logo.png");
    {
        QImage red(30, 20, QImage::Format_ARGB32);
        red.fill(Qt::red);
        red.save(png);
    }
    const QString bad = dir + QStringLiteral("notapicture.png");
    WriteText(bad, "no picture here");
    QString filterSeen;
    QString answer = png;
    SetOpenDialogHandler([&](QWidget*, const QString& filter, const QString&, const QString&) {
        filterSeen = filter;
        return QStringList{answer};
    });
    proj->Logo.X = 4;
    proj->Logo.Y = 5;
    Open();
    ShowPage(2);
    EXPECT_FALSE(form->cbxLogo->isChecked());
    EXPECT_FALSE(form->edtLogo->isEnabled());
    EXPECT_FALSE(form->edtLogoX->isEnabled());
    Click(form->cbxLogo);
    EXPECT_TRUE(form->edtLogo->isEnabled());
    EXPECT_TRUE(form->edtLogoY->isEnabled());
    Click(form->edtLogo->Button());
    EXPECT_EQ(filterSeen, QStringLiteral(
        "Image files|*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.tif;*.tiff;*.png;*.gif|All(*.*)|*.*"));
    EXPECT_EQ(form->edtLogo->text(), png);
    EXPECT_EQ(form->edtLogoW->text(), QStringLiteral("30"));
    EXPECT_EQ(form->edtLogoH->text(), QStringLiteral("20"));
    EXPECT_EQ(form->edtLogoX->text(), QStringLiteral("4"));

    // The estimate is asked with the picked logo, drawn where the output has it.
    {
        const TVGConvertFlag& f = form->LastEstimateFlag();
        ASSERT_TRUE(f.OnDrawOverlay);
        QImage out(12, 14, QImage::Format_RGB32);
        out.fill(Qt::black);
        QPainter p(&out);
        f.OnDrawOverlay(&p, out.width(), out.height());
        p.end();
        EXPECT_EQ(QColor(out.pixel(6, 6)), QColor(Qt::red));
        EXPECT_EQ(QColor(out.pixel(1, 1)), QColor(Qt::black));
        EXPECT_FALSE(proj->Logo.Enabled);   // not stored yet
    }

    // A file that is no picture is refused with a message; nothing changes.
    answer = bad;
    Click(form->edtLogo->Button());
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(QStringLiteral("notapicture.png")));
    EXPECT_EQ(form->edtLogo->text(), png);
    EXPECT_EQ(form->edtLogoW->text(), QStringLiteral("30"));

    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_TRUE(proj->Logo.Enabled);
    EXPECT_EQ(proj->Logo.ImageFileName, png);
    EXPECT_EQ(proj->Logo.Width, 30);
    EXPECT_EQ(proj->Logo.Height, 20);
    EXPECT_EQ(proj->Logo.X, 4);
    EXPECT_EQ(proj->Logo.Y, 5);
}

// ---- flip and rotate ----------------------------------------------------------------

// Every pixel a colour of its own position.
QImage PositionPicture(int w, int h, QImage::Format format)
{
    QImage img(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor(20 * x + 10, 30 * y + 5, 77));
    return img;
}

TEST_F(SettingFormTest, PreviewIsTheCropTurnedThenFlippedLeftRightThenTopBottom)
{
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        SCOPED_TRACE(int(format));
        const QImage frame = PositionPicture(8, 6, format);
        proj->VideoWidth = 8;
        proj->VideoHeight = 6;
        proj->UseCrop = true;
        proj->CropRect = {2, 1, 6, 4};   // 4 x 3
        Open(&frame);
        const QImage crop = frame.copy(2, 1, 4, 3).convertToFormat(QImage::Format_RGB888);
        EXPECT_EQ(form->PreviewPicture(), crop);
        ShowPage(3);
        form->cbRotate->setCurrentIndex(1);
        Click(form->cbxFlipH);
        Click(form->cbxFlipV);
        // Qt's own turn (clockwise on screen) and mirrors as the oracle.
        const QImage expected = crop.transformed(QTransform().rotate(90)).mirrored(true, false).mirrored(false, true);
        const QImage shown = form->PreviewPicture();
        ASSERT_EQ(shown.size(), QSize(3, 4));
        EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB888), expected.convertToFormat(QImage::Format_RGB888));
        // Only the horizontal flip: a different picture, so the order is real.
        Click(form->cbxFlipV);
        EXPECT_EQ(form->PreviewPicture().convertToFormat(QImage::Format_RGB888),
                  crop.transformed(QTransform().rotate(90)).mirrored(true, false).convertToFormat(QImage::Format_RGB888));
        // The panel shows it, centred and enlarged to nothing: the middle is the picture, the corner black.
        const QImage panel = form->pnlPreview->grab().toImage();
        EXPECT_EQ(QColor(panel.pixel(2, 2)), QColor(Qt::black));
        EXPECT_NE(QColor(panel.pixel(panel.width() / 2, panel.height() / 2)), QColor(Qt::black));
        // Flip and rotation reach the project on OK.
        Click(form->cbxFlipV);
        EXPECT_EQ(ClickOk(), mrOk);
        EXPECT_EQ(proj->Flip, 3);
        EXPECT_EQ(proj->Rotation, 1);
        proj->Flip = 0;
        proj->Rotation = 0;
    }
}

TEST_F(SettingFormTest, WithoutAFrameThePreviewStaysBlackAndTheChoicesAreStillStored)
{
    proj->Flip = 2;
    proj->Rotation = 3;
    Open();
    EXPECT_FALSE(form->cbxFlipH->isChecked());
    EXPECT_TRUE(form->cbxFlipV->isChecked());
    EXPECT_EQ(form->cbRotate->currentIndex(), 3);
    ShowPage(3);
    Click(form->cbxFlipH);
    EXPECT_TRUE(form->PreviewPicture().isNull());
    const QImage panel = form->pnlPreview->grab().toImage();
    EXPECT_EQ(QColor(panel.pixel(panel.width() / 2, panel.height() / 2)), QColor(Qt::black));
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(proj->Flip, 3);
    EXPECT_EQ(proj->Rotation, 3);
}

TEST_F(SettingFormTest, AnInvalidCropPreviewsTheWholeFrame)
{
    const QImage frame = PositionPicture(8, 6, QImage::Format_RGB888);
    proj->UseCrop = true;
    proj->CropRect = {5, 5, 2, 2};
    Open(&frame);
    EXPECT_EQ(form->PreviewPicture(), frame);
}

// ---- sequence, pages, closing ---------------------------------------------------------

TEST_F(SettingFormTest, SequenceRadiosLoadAndStore)
{
    const struct { uint8_t stored; int loaded; uint8_t savedAfterClick; } cases[] = {{1, 1, 2}, {2, 2, 0}, {7, 0, 1}};
    for (const auto& c : cases) {
        proj->Sequence = c.stored;
        Open();
        TzelRadioButton* radios[] = {form->rbOriginal, form->rbReverse, form->rbPingPong};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(radios[i]->isChecked(), i == c.loaded) << int(c.stored);
        ShowPage(4);
        Click(radios[c.savedAfterClick]);
        EXPECT_EQ(ClickOk(), mrOk);
        EXPECT_EQ(proj->Sequence, c.savedAfterClick);
    }
}

TEST_F(SettingFormTest, TheLastPageIsRememberedOnOkOnly)
{
    Open();
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
    ShowPage(2);
    EXPECT_EQ(ClickOk(), mrOk);
    EXPECT_EQ(LastSettingPage, 2);
    Open();
    EXPECT_EQ(form->PageControl1->currentIndex(), 2);
    ShowPage(4);
    Click(form->btnCancelMe);
    EXPECT_EQ(LastSettingPage, 2);
    Open();
    ShowPage(3);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(form->ModalResult(), mrCancel);
    EXPECT_EQ(LastSettingPage, 2);
    Open();
    EXPECT_EQ(form->PageControl1->currentIndex(), 2);
}

TEST_F(SettingFormTest, ShowSettingFormAnswersWhetherItEndedWithOk)
{
    QWidget over;
    over.setGeometry(100, 80, 800, 600);
    over.show();
    for (bool ok : {true, false}) {
        QRect placed;
        QTimer::singleShot(50, [ok, &placed] {
            if (auto* f = ShownWindow<TSettingForm>()) {
                placed = f->geometry();
                QTest::mouseClick(ok ? f->btnOkMe : f->btnCancelMe, Qt::LeftButton);
            }
        });
        EXPECT_EQ(ShowSettingForm(proj.get(), nullptr, &over), ok);
        EXPECT_EQ(placed.center(), over.geometry().center());
    }
}

TEST_F(SettingFormTest, EveryControlIsNamedForAccessibility)
{
    Open();
    for (QWidget* page : {form->tsGeneral, form->tsText, form->tsLogo, form->tsFlip, form->tsSequence}) {
        for (QWidget* w : page->findChildren<QWidget*>()) {
            // The form's own controls, not the parts Qt builds inside them.
            if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            if (!w->focusPolicy() && !qobject_cast<QAbstractButton*>(w))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(form->Caption(), QStringLiteral("Output settings"));
    EXPECT_EQ(form->size(), QSize(502, 365));
}

// ---- the size estimate ------------------------------------------------------------------

TEST_F(SettingFormTest, EstimatesAreAskedWithTheDialogsValuesAndCancelLeavesTheProject)
{
    Open();
    const int before = form->EstimateRequests();
    EXPECT_GE(before, 1);   // one on opening
    form->cbSize->setCurrentIndex(3);
    TypeAndLeave(form->edtW, QStringLiteral("40"));
    TypeAndLeave(form->cbSpeed, QStringLiteral("200%"));
    TypeAndLeave(form->cbLoop, QStringLiteral("2"));
    TypeAndLeave(form->cbFrameRate, QStringLiteral("15"));
    ShowPage(3);
    form->cbRotate->setCurrentIndex(2);
    Click(form->cbxFlipV);
    ShowPage(4);
    Click(form->rbPingPong);
    ShowPage(1);
    TypeMemo(QStringLiteral("Hi"));
    EXPECT_GT(form->EstimateRequests(), before + 8);
    const TVGConvertFlag& f = form->LastEstimateFlag();
    EXPECT_EQ(f.ScaleFactor, -1.0);
    EXPECT_EQ(f.CustomWidth, 40);
    EXPECT_EQ(f.CustomHeight, 14);
    EXPECT_DOUBLE_EQ(f.GifSpeed, 2.0);
    EXPECT_EQ(f.GifLoop, 2);
    EXPECT_EQ(f.GifFPS, 15);
    EXPECT_EQ(f.Rotation, 2);
    EXPECT_EQ(f.Flip, 2);
    EXPECT_EQ(f.Sequence, 2);
    ASSERT_TRUE(f.OnDrawOverlay);   // the typed text is drawn
    QImage out(40, 14, QImage::Format_RGB32);
    out.fill(Qt::black);
    {
        QPainter p(&out);
        f.OnDrawOverlay(&p, out.width(), out.height());
    }
    EXPECT_NE(out, [] { QImage b(40, 14, QImage::Format_RGB32); b.fill(Qt::black); return b; }());
    // While the estimate runs the box says so, never showing a stale number;
    // then it answers (this project has no real video: a dash with the reason).
    EXPECT_EQ(form->lblEstimateValue->text(), QStringLiteral("estimating..."));
    EXPECT_TRUE(PumpUntil([&] { return form->lblEstimateValue->text() != QStringLiteral("estimating..."); }, 5000));
    EXPECT_EQ(form->lblEstimateValue->text(), QStringLiteral("-"));
    EXPECT_FALSE(form->lblEstimateValue->toolTip().isEmpty());

    Click(form->btnCancelMe);
    EXPECT_EQ(proj->SizeStyle, ssHalf);
    EXPECT_EQ(proj->GifFPS, 8);
    EXPECT_EQ(proj->Rotation, 0);
    EXPECT_EQ(proj->Sequence, 0);
    EXPECT_EQ(proj->Texts.Count(), 0);
}

TEST(SettingEstimate, SizesReadAsPeopleWriteThem)
{
    EXPECT_EQ(TSettingForm::EstimateText(1258291, 45), QStringLiteral("1.2 MB (45 frames)"));
    EXPECT_EQ(TSettingForm::EstimateText(2048, 1), QStringLiteral("2.0 KB (1 frame)"));
    EXPECT_EQ(TSettingForm::EstimateText(900, 3), QStringLiteral("900 bytes (3 frames)"));
}

// ---- the model's record from choices not yet stored ----------------------------------------

TEST(OutputChoice, TheProjectsOwnChoicesGiveTheProjectsRecord)
{
    TVGProj proj;
    proj.VideoWidth = 100;
    proj.VideoHeight = 80;
    proj.SizeStyle = ssQuarter;
    proj.GifFPS = 12;
    proj.GifSpeed = 0.5;
    proj.GifLoop = 3;
    proj.Flip = 1;
    proj.Rotation = 3;
    proj.Sequence = 1;
    const TVGConvertFlag a = proj.ConversionFlag();
    const TVGConvertFlag b = proj.ConversionFlag(proj.OutputChoice());
    EXPECT_EQ(a.ScaleFactor, b.ScaleFactor);
    EXPECT_EQ(a.GifFPS, b.GifFPS);
    EXPECT_EQ(a.GifSpeed, b.GifSpeed);
    EXPECT_EQ(a.GifLoop, b.GifLoop);
    EXPECT_EQ(a.Flip, b.Flip);
    EXPECT_EQ(a.Rotation, b.Rotation);
    EXPECT_EQ(a.Sequence, b.Sequence);
    EXPECT_EQ(bool(a.OnDrawOverlay), bool(b.OnDrawOverlay));
}

TEST(OutputChoice, ChosenTextsAreDrawnScaledByTheChosenSizeAndTheProjectIsUntouched)
{
    TVGProj proj;
    proj.VideoWidth = 200;
    proj.VideoHeight = 100;
    proj.SizeStyle = ssOriginal;
    TOutputChoice c = proj.OutputChoice();
    c.SizeStyle = ssCustom;
    c.CustomWidth = 100;    // half across
    c.CustomHeight = 100;   // full down
    TTextObj t;
    t.Text = QStringLiteral("M");
    t.FontName = QStringLiteral("Arial");
    t.FontSize = 10;
    t.FontColor = 0xFFFFFF;
    t.X = 120;
    t.Y = 40;
    c.Texts.push_back(t);
    const TVGConvertFlag f = proj.ConversionFlag(c);
    EXPECT_EQ(proj.Texts.Count(), 0);
    ASSERT_TRUE(f.OnDrawOverlay);
    QImage out(100, 100, QImage::Format_RGB32);
    out.fill(Qt::black);
    {
        QPainter p(&out);
        f.OnDrawOverlay(&p, 100, 100);
    }
    // Drawn from (60, 40): nothing left of 60 or above 40.
    QRect lit;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (qGray(out.pixel(x, y)) > 128)
                lit |= QRect(x, y, 1, 1);
    ASSERT_FALSE(lit.isEmpty());
    EXPECT_GE(lit.left(), 59);
    EXPECT_LE(lit.left(), 64);
    EXPECT_GE(lit.top(), 40);
}

TEST(UIUtils, SetChildrenEnabledReachesEveryDepthButNotTheContainer)
{
    QWidget container;
    auto* inner = new QWidget(&container);
    auto* deep = new QLineEdit(inner);
    auto* direct = new QLineEdit(&container);
    SetChildrenEnabled(&container, false);
    EXPECT_TRUE(container.isEnabled());
    EXPECT_FALSE(inner->isEnabled());
    EXPECT_FALSE(deep->isEnabled());
    EXPECT_FALSE(direct->isEnabled());
    SetChildrenEnabled(&container, true);
    EXPECT_TRUE(deep->isEnabled());
    EXPECT_TRUE(direct->isEnabled());
}

}  // namespace
