// The main window's commands that leave it: Convert's checks, the Help menu,
// the video information box, the frame's gestures and what destruction
// leaves behind.

#include "MainWindowFixture.h"

#include "MHintWindow.h"
#include "ZelMaskEdit.h"
#include "ZelPopupMenu.h"

#include <QLabel>
#include "VGConfig.h"
#include "ZelNoChange.h"
#include "Zelfunction.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>

namespace {

// The window's commands reach the application object (addresses, folders).
class MainCommandsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        App = gApp;
        MainWindowTest::SetUp();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        App = nullptr;
    }
};

TEST_F(MainCommandsTest, ConvertWithoutAClipRangeSaysSoAndGoesToTheStartTime)
{
    Open(Clip(50));
    ASSERT_NE(form->Proj(), nullptr);
    form->edtEnd->setFocus();
    // The start time typed away: the range is no longer valid.
    form->edtStart->selectAll();
    form->edtStart->del();
    TestMsgBox::Clear();
    QTest::mouseClick(form->btnConvert, Qt::LeftButton);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].text, QStringLiteral("Please specify the video clipping time first."));
    EXPECT_EQ(TestMsgBox::Seen()[0].buttons, 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 4);
    EXPECT_TRUE(form->edtStart->hasFocus());

    // Start after end is no range either, and playback goes on meanwhile.
    SetNoChange(form->edtStart, QStringLiteral("00:00:01.600"));
    SetNoChange(form->edtEnd, QStringLiteral("00:00:00.400"));
    form->ApplyTimeEdits();
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(form->IsPlaying());
    TestMsgBox::Clear();
    QTest::mouseClick(form->btnConvert, Qt::LeftButton);
    EXPECT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_TRUE(form->IsPlaying());
    form->StopPlay();
}

TEST_F(MainCommandsTest, VideoInformationRoundsTheRateAndOpensLeftNearTheScreenEdge)
{
    EXPECT_TRUE(form->GetInfoText().isEmpty());
    Open(Clip(30, 160, 30000, 1001));
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_EQ(form->GetInfoText(), QStringLiteral("More info:\r\nSize: 160 x 120\r\nFPS: 29.97"));
    Open(Clip(30, 160, 25, 1));
    EXPECT_EQ(form->GetInfoText(), QStringLiteral("More info:\r\nSize: 160 x 120\r\nFPS: 25"));

    // Focus on the button shows the box.
    const QRect screen = form->screen()->geometry();
    form->btnInfo->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return form->Hint()->IsShowing(); }, 2000));
    // A press on the button hides it.
    QTest::mousePress(form->btnInfo, Qt::LeftButton);
    EXPECT_FALSE(form->Hint()->IsShowing());
    QTest::mouseRelease(form->btnInfo, Qt::LeftButton);

    // Near the right edge of the screen it opens to the left of the button.
    form->setFocus();
    form->btnInfoExit();
    form->move(screen.right() - form->width() + 1, form->y());
    QApplication::processEvents();
    form->btnInfoEnter();
    ASSERT_TRUE(form->Hint()->IsShowing());
    const QSize size = form->Hint()->GetHintSize(form->GetInfoText());
    const QPoint at = form->btnInfo->mapToGlobal(QPoint(form->btnInfo->width(), 0));
    ASSERT_GT(at.x() + size.width(), screen.right() + 1);
    EXPECT_EQ(form->Hint()->Window()->pos(), QPoint(at.x() - form->btnInfo->width() - size.width(), at.y()));
    form->btnInfoExit();
    EXPECT_FALSE(form->Hint()->IsShowing());
}

TEST_F(MainCommandsTest, HelpMenuOpensUnderItsButtonWithTheGuideAndTheSupportPages)
{
    QStringList opened;
    SetOpenUrlHandler([&](const QString& url) {
        opened << url;
        return true;
    });
    QStringList shown;
    QPoint menuAt;
    auto run = [&](QAction* pick) {
        return RunMenu(form->pmHelp, [&] { QTest::mouseClick(form->btnHelp, Qt::LeftButton); }, [&](QMenu* m) {
            shown.clear();
            for (QAction* a : m->actions())
                if (a->isVisible())
                    shown << (a->isSeparator() ? QStringLiteral("-") : a->text());
            menuAt = m->pos();
            return pick;
        });
    };
    ASSERT_TRUE(run(form->pmiHelp));
    EXPECT_EQ(shown, (QStringList{"Help Content", "Support Center", "-", "About..."}));
    // Under the button (the screen may push it sideways).
    EXPECT_EQ(menuAt.y(), form->btnHelp->mapToGlobal(QPoint(0, form->btnHelp->height())).y());
    ASSERT_TRUE(run(form->pmiSupport));
    EXPECT_EQ(opened, (QStringList{gApp->UserGuideUrl(), gApp->SupportUrl()}));
    // The hidden entries stay in their places.
    const QList<QAction*> all = form->pmHelp->actions();
    ASSERT_EQ(all.size(), 6);
    EXPECT_EQ(all[2]->text(), QStringLiteral("Related Software"));
    EXPECT_EQ(all[4]->text(), QStringLiteral("Options..."));
    EXPECT_FALSE(all[2]->isVisible());
    EXPECT_FALSE(all[4]->isVisible());
    SetOpenUrlHandler({});
}

TEST_F(MainCommandsTest, DoubleClickOnTheTitleMaximisesToTheWorkAreaAndBack)
{
    const QRect normal = form->geometry();
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, form->lblCaption->geometry().center());
    ASSERT_TRUE(PumpUntil([&] { return form->IsMaximized(); }, 2000));
    QApplication::processEvents();
    EXPECT_EQ(form->geometry(), form->GetWorkArea());
    EXPECT_TRUE(form->btnRestore->isVisible());
    EXPECT_FALSE(form->btnMax->isVisible());
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, form->lblCaption->geometry().center());
    ASSERT_TRUE(PumpUntil([&] { return !form->IsMaximized(); }, 2000));
    EXPECT_EQ(form->geometry(), normal);
    EXPECT_TRUE(form->btnMax->isVisible());
    // The buttons do the same.
    QTest::mouseClick(form->btnMax, Qt::LeftButton);
    EXPECT_TRUE(form->IsMaximized());
    QTest::mouseClick(form->btnRestore, Qt::LeftButton);
    EXPECT_FALSE(form->IsMaximized());
}

TEST_F(MainCommandsTest, DestructionSavesTheSettingsAndEmptiesTheWorkingFolder)
{
    const QString settings = MakeTempDir(QStringLiteral("settings")) + QStringLiteral("ConfigSet.vgset");
    TVGConfig* saved = VGConfig;
    VGConfig = new TVGConfig;
    VGConfig->FileName = settings;
    Open(Clip(40));
    ASSERT_NE(form->Proj(), nullptr);
    const QString temp = gApp->TempFolder;
    WriteText(temp + QStringLiteral("leftover.gif"), "GIF89a");
    WriteText(temp + QStringLiteral("sub/inner.bmp"), "BM");
    ASSERT_FALSE(QDir(temp).isEmpty());
    form.reset();
    EXPECT_TRUE(QFileInfo(temp).isDir());
    EXPECT_TRUE(QDir(temp).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists(settings));
    delete VGConfig;
    VGConfig = saved;
}

}  // namespace
