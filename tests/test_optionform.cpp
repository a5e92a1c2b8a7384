// The options dialog driven with the mouse and the keyboard: the settings
// shown, OK writing them and the settings file (read back by a fresh settings
// object), Cancel writing nothing, text that does not parse, and handing the
// defaults to the open clip.

#include "TestSupport.h"

#include "OptionFrm.h"
#include "TzelButton.h"
#include "VGConfig.h"
#include "VGProj.h"
#include "ZelCheckBox.h"
#include "ZelColorEdit.h"
#include "ZelComboBox.h"
#include "ZelFontCombo.h"
#include "ZelNumEdit.h"
#include "ZelWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

class OptionFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestMsgBox::Clear();
        TestMsgBox::Answer(1);
        dir = MakeTempDir(QStringLiteral("options"));
        config = std::make_unique<TVGConfig>();
        config->FileName = dir + QStringLiteral("ConfigSet.vgset");
        saved = VGConfig;
        VGConfig = config.get();
    }
    void TearDown() override
    {
        VGConfig = saved;
        SetColorDialogHandler({});
    }

    std::unique_ptr<TOptionForm> Open()
    {
        auto f = std::make_unique<TOptionForm>();
        f->LoadFromConfig();
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f.get()));
        return f;
    }

    // Replaces the text of a line edit or an editable combo box by typing,
    // then leaves it with Tab as a user would.
    static void Type(QWidget* w, const QString& text)
    {
        QLineEdit* e = qobject_cast<QLineEdit*>(w);
        if (auto* c = qobject_cast<QComboBox*>(w))
            e = c->lineEdit();
        ASSERT_NE(e, nullptr);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Tab);
    }

    // A fresh settings object read from the file written.
    std::unique_ptr<TVGConfig> ReadBack() const
    {
        auto c = std::make_unique<TVGConfig>();
        c->FileName = config->FileName;
        c->LoadConfig();
        return c;
    }

    QString dir;
    std::unique_ptr<TVGConfig> config;
    TVGConfig* saved = nullptr;
};

// The dialog ShowOptionForm runs, once it shows.
TOptionForm* Running() { return ShownWindow<TOptionForm>(); }

}  // namespace

TEST_F(OptionFormTest, FormAsDesignedAndNamedForAccessibility)
{
    auto f = Open();
    EXPECT_EQ(f->Caption(), QStringLiteral("Options"));
    EXPECT_EQ(f->size(), QSize(495, 513));
    EXPECT_EQ(f->minimumSize(), f->maximumSize());
    EXPECT_EQ(f->HitTest(QPoint(2, 200)), HTCLIENT);   // not resizable
    EXPECT_FALSE(f->btnMax->isVisible());
    const QList<QPair<QWidget*, const char*>> named = {
        {f->ceCrop, "Area color"}, {f->cbSize, "Size style"}, {f->cbFrameRate, "Frame rate"},
        {f->cbSpeed, "GIF speed"}, {f->cbLoop, "Replay times"}, {f->cbFont, "Name"}, {f->cbFontSize, "Size"},
        {f->cbColor, "Color"}, {f->edtMax, "Max frame count"}, {f->edtDecode, "Decode frame count"}};
    for (const auto& [w, name] : named)
        EXPECT_EQ(w->accessibleName(), QString::fromLatin1(name)) << w->objectName().toStdString();
    // Groups stacked top to bottom, none clipped by the next or by the buttons.
    EXPECT_LT(f->gbCrop->geometry().bottom(), f->gbGif->y());
    EXPECT_LT(f->gbGif->geometry().bottom(), f->gbFont->y());
    EXPECT_LT(f->gbFont->geometry().bottom(), f->gbOther->y());
    EXPECT_LT(f->gbOther->geometry().bottom(), f->btnOkMe->y());
    EXPECT_LT(f->cbxApply->geometry().right(), f->btnOkMe->x());
    f->cbxApply->setFocus();
    QTest::keyClick(f->cbxApply, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f->btnOkMe);
    // The size list offers the three fixed styles only.
    ASSERT_EQ(f->cbSize->count(), 3);
    EXPECT_FALSE(f->cbSize->isEditable());
    EXPECT_EQ(f->cbSize->itemText(2), QStringLiteral("1/4 Original size"));
}

TEST_F(OptionFormTest, LoadsEverySetting)
{
    config->CropRcColor = 0x00FF00;
    config->ShowCropRc = false;
    config->SizeStyle = ssQuarter;
    config->GifFPS = 15;
    config->GifSpeed = 0.5;
    config->GifLoop = -1;
    config->FontSize = 28;
    config->FontColor = 0xFF0000;   // blue
    config->FontStyles = fsItalic | fsUnderline;
    config->GifMaxFrame = 250;
    config->DecodeNum = 12;
    auto f = Open();
    EXPECT_EQ(f->ceCrop->SelectedColor(), QColor(0, 255, 0));
    EXPECT_FALSE(f->cbxShowCrop->isChecked());
    EXPECT_EQ(f->cbSize->currentIndex(), 2);
    EXPECT_EQ(f->cbFrameRate->currentText(), QStringLiteral("15"));
    EXPECT_EQ(f->cbSpeed->currentText(), QStringLiteral("50%"));
    EXPECT_EQ(f->cbLoop->currentText(), QStringLiteral("Infinite"));
    EXPECT_EQ(f->cbFontSize->currentText(), QStringLiteral("28"));
    EXPECT_EQ(f->cbColor->SelectedColor(), QColor(0, 0, 255));
    EXPECT_FALSE(f->cbxBold->isChecked());
    EXPECT_TRUE(f->cbxItalic->isChecked());
    EXPECT_EQ(f->edtMax->text(), QStringLiteral("250"));
    EXPECT_EQ(f->edtDecode->text(), QStringLiteral("12"));
    config->GifSpeed = 1.0;
    config->GifLoop = 3;
    f->LoadFromConfig();
    EXPECT_EQ(f->cbSpeed->currentText(), QStringLiteral("Keep Original"));
    EXPECT_EQ(f->cbLoop->currentText(), QStringLiteral("3"));
}

TEST_F(OptionFormTest, OkWritesTheSettingsAndTheFileAsTyped)
{
    SetColorDialogHandler([](QColor& c, QWidget*) {
        c = QColor(0, 0, 255);
        return true;
    });
    auto f = Open();
    QTest::mouseClick(f->ceCrop, Qt::LeftButton);
    QTest::mouseClick(f->cbxShowCrop, Qt::LeftButton);
    f->cbSize->setFocus();
    QTest::keyClick(f->cbSize, Qt::Key_Up);   // from 1/2 to Original
    Type(f->cbFrameRate, QStringLiteral("20"));
    Type(f->cbSpeed, QStringLiteral("150"));
    EXPECT_EQ(f->cbSpeed->currentText(), QStringLiteral("150%"));   // leaving the box normalises it
    Type(f->cbLoop, QStringLiteral("2"));
    Type(f->cbFontSize, QStringLiteral("36"));
    QTest::mouseClick(f->cbxBold, Qt::LeftButton);
    QTest::mouseClick(f->cbxItalic, Qt::LeftButton);
    Type(f->edtMax, QStringLiteral("500"));
    Type(f->edtDecode, QStringLiteral("0"));   // not checked: stored as typed
    ASSERT_FALSE(QFileInfo::exists(config->FileName));
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(f->ModalResult(), mrOk);

    EXPECT_EQ(config->CropRcColor, 0xFF0000);
    EXPECT_FALSE(config->ShowCropRc);
    EXPECT_EQ(config->SizeStyle, ssOriginal);
    EXPECT_EQ(config->GifFPS, 20);
    EXPECT_DOUBLE_EQ(config->GifSpeed, 1.5);
    EXPECT_EQ(config->GifLoop, 2);
    EXPECT_EQ(config->FontSize, 36);
    EXPECT_EQ(config->FontStyles, fsBold | fsItalic);
    EXPECT_EQ(config->GifMaxFrame, 500);
    EXPECT_EQ(config->DecodeNum, 0);

    ASSERT_TRUE(QFileInfo::exists(config->FileName));
    auto back = ReadBack();
    EXPECT_EQ(back->CropRcColor, 0xFF0000);
    EXPECT_FALSE(back->ShowCropRc);
    EXPECT_EQ(back->SizeStyle, ssOriginal);
    EXPECT_EQ(back->GifFPS, 20);
    EXPECT_DOUBLE_EQ(back->GifSpeed, 1.5);
    EXPECT_EQ(back->GifLoop, 2);
    EXPECT_EQ(back->FontName, config->FontName);
    EXPECT_EQ(back->FontSize, 36);
    EXPECT_EQ(back->FontStyles, fsBold | fsItalic);
    EXPECT_EQ(back->GifMaxFrame, 500);
    EXPECT_EQ(back->DecodeNum, 0);
}

TEST_F(OptionFormTest, CancelCloseAndEscWriteNothing)
{
    for (int how = 0; how < 3; ++how) {
        auto f = Open();
        Type(f->cbFrameRate, QStringLiteral("24"));
        QTest::mouseClick(f->cbxBold, Qt::LeftButton);
        if (how == 0)
            QTest::mouseClick(f->btnCancelMe, Qt::LeftButton);
        else if (how == 1)
            QTest::mouseClick(f->btnCloseMe, Qt::LeftButton);
        else
            QTest::keyClick(f.get(), Qt::Key_Escape);
        EXPECT_FALSE(f->isVisible()) << how;
        EXPECT_NE(f->ModalResult(), mrOk) << how;
        EXPECT_EQ(config->GifFPS, 8) << how;
        EXPECT_FALSE(config->FontStyles.testFlag(fsBold)) << how;
        EXPECT_FALSE(QFileInfo::exists(config->FileName)) << how;
    }
}

TEST_F(OptionFormTest, TextThatDoesNotParseBecomesTheDefault)
{
    config->FontStyles = fsBold | fsUnderline | fsStrikeOut;
    auto f = Open();
    Type(f->cbFontSize, QStringLiteral("abc"));
    Type(f->cbFrameRate, QStringLiteral("fast"));
    Type(f->cbSpeed, QStringLiteral("quick"));
    EXPECT_EQ(f->cbSpeed->currentText(), QStringLiteral("Keep Original"));
    Type(f->cbLoop, QStringLiteral("forever"));
    EXPECT_EQ(f->cbLoop->currentText(), QStringLiteral("Infinite"));
    // A negative count is no replay count either.
    Type(f->cbLoop, QStringLiteral("-5"));
    EXPECT_EQ(f->cbLoop->currentText(), QStringLiteral("Infinite"));
    // Letters do not get into the number edits.
    Type(f->edtMax, QStringLiteral("x"));
    EXPECT_EQ(f->edtMax->text(), QStringLiteral("0"));
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(config->FontSize, 16);
    EXPECT_EQ(config->GifFPS, 0);
    EXPECT_DOUBLE_EQ(config->GifSpeed, 1.0);
    EXPECT_EQ(config->GifLoop, -1);
    EXPECT_EQ(config->GifMaxFrame, 0);
    // Only bold and italic are the dialog's: underline and strike-out go.
    EXPECT_EQ(config->FontStyles, TFontStyles(fsBold));
}

TEST_F(OptionFormTest, SpeedTextBothWays)
{
    auto f = Open();
    struct Case { const char* text; double speed; };
    for (const Case& c : {Case{"150%", 1.5}, Case{"150", 1.5}, Case{"Keep Original", 1.0}, Case{"", 1.0},
                          Case{"75", 0.75}, Case{"12,5%", 0.125}, Case{"abc%", 1.0}}) {
        f->cbSpeed->setEditText(QString::fromLatin1(c.text));
        EXPECT_DOUBLE_EQ(f->TextToSpeed(), c.speed) << c.text;
    }
    for (const auto& [speed, text] : {std::pair{1.0, "Keep Original"}, std::pair{0.2, "20%"}, std::pair{3.0, "300%"},
                                      std::pair{0.333, "33%"}, std::pair{1.256, "126%"}}) {
        f->SpeedToText(speed);
        EXPECT_EQ(f->cbSpeed->currentText(), QString::fromLatin1(text)) << speed;
    }
}

TEST_F(OptionFormTest, AStyleTheListLacksIsKept)
{
    config->SizeStyle = ssCustom;
    auto f = Open();
    EXPECT_EQ(f->cbSize->currentIndex(), -1);
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(config->SizeStyle, ssCustom);
}

TEST_F(OptionFormTest, ASaveThatFailsIsToldAndTheValuesHoldForTheRun)
{
    // The settings folder is a file: the settings file cannot be written.
    WriteText(dir + QStringLiteral("blocked"), "x");
    config->FileName = dir + QStringLiteral("blocked/ConfigSet.vgset");
    auto f = Open();
    Type(f->cbFrameRate, QStringLiteral("12"));
    QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_EQ(config->GifFPS, 12);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(TestMsgBox::Seen()[0].text.contains(QStringLiteral("could not be saved")));
}

TEST_F(OptionFormTest, ApplyingTheDefaultsResetsTheClipsFontsAndTimingOnly)
{
    TVGProj proj;
    proj.VideoWidth = 320;
    proj.VideoHeight = 240;
    proj.CustomWidth = 111;
    proj.Flip = 3;
    proj.Rotation = 1;
    proj.Sequence = 2;
    proj.Logo.Enabled = true;
    proj.Logo.X = 7;
    for (int i = 0; i < 3; ++i) {
        TTextObj* t = proj.Texts.Add();
        t->Text = QStringLiteral("text %1").arg(i);
        t->X = 10 * i;
        t->Y = 20 * i;
        t->Alignment = VG::taCenter;
        t->FontName = QStringLiteral("Courier");
        t->FontSize = 9;
        t->FontStyles = fsUnderline;
        t->FontColor = 0x123456;
    }
    QTimer::singleShot(0, [] {
        TOptionForm* f = Running();
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->cbxApply->isEnabled());
        EXPECT_FALSE(f->cbxApply->isChecked());
        Type(f->cbFrameRate, QStringLiteral("4"));
        Type(f->cbLoop, QStringLiteral("1"));
        Type(f->cbFontSize, QStringLiteral("40"));
        QTest::mouseClick(f->cbxItalic, Qt::LeftButton);
        QTest::mouseClick(f->cbxApply, Qt::LeftButton);
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    });
    ASSERT_TRUE(ShowOptionForm(&proj));
    EXPECT_EQ(proj.GifFPS, 4);
    EXPECT_EQ(proj.GifLoop, 1);
    EXPECT_EQ(proj.SizeStyle, config->SizeStyle);
    for (int i = 0; i < 3; ++i) {
        const TTextObj* t = proj.Texts[i];
        EXPECT_EQ(t->FontName, config->FontName);
        EXPECT_EQ(t->FontSize, 40);
        EXPECT_EQ(t->FontStyles, TFontStyles(fsItalic));
        EXPECT_EQ(t->FontColor, uint32_t(config->FontColor));
        EXPECT_EQ(t->Text, QStringLiteral("text %1").arg(i));
        EXPECT_EQ(t->X, 10 * i);
        EXPECT_EQ(t->Y, 20 * i);
        EXPECT_EQ(t->Alignment, VG::taCenter);
    }
    EXPECT_EQ(proj.CustomWidth, 111);
    EXPECT_EQ(proj.Flip, 3);
    EXPECT_EQ(proj.Rotation, 1);
    EXPECT_EQ(proj.Sequence, 2);
    EXPECT_TRUE(proj.Logo.Enabled);
    EXPECT_EQ(proj.Logo.X, 7);

    // The box starts cleared on the next opening; OK without it leaves the clip.
    QTimer::singleShot(0, [] {
        TOptionForm* f = Running();
        ASSERT_NE(f, nullptr);
        EXPECT_FALSE(f->cbxApply->isChecked());
        Type(f->cbFrameRate, QStringLiteral("24"));
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    });
    ASSERT_TRUE(ShowOptionForm(&proj));
    EXPECT_EQ(config->GifFPS, 24);
    EXPECT_EQ(proj.GifFPS, 4);
}

TEST_F(OptionFormTest, WithoutAClipTheApplyBoxIsDisabledAndOkChangesOnlyTheSettings)
{
    QTimer::singleShot(0, [] {
        TOptionForm* f = Running();
        ASSERT_NE(f, nullptr);
        EXPECT_FALSE(f->cbxApply->isEnabled());
        QTest::mouseClick(f->cbxApply, Qt::LeftButton);
        EXPECT_FALSE(f->cbxApply->isChecked());
        Type(f->cbFrameRate, QStringLiteral("15"));
        QTest::mouseClick(f->btnOkMe, Qt::LeftButton);
    });
    EXPECT_TRUE(ShowOptionForm(nullptr));
    EXPECT_EQ(config->GifFPS, 15);
    EXPECT_TRUE(QFileInfo::exists(config->FileName));

    QTimer::singleShot(0, [] {
        TOptionForm* f = Running();
        ASSERT_NE(f, nullptr);
        QTest::keyClick(f, Qt::Key_Escape);
    });
    EXPECT_FALSE(ShowOptionForm(nullptr));
}
