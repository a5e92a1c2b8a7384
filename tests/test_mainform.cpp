// The main window driven as a user would: the start screen, opening a clip
// through the open-dialog seam, the strip and still view read back by the
// frame index the fixture clips show, and a file without video.

#include "MainWindowFixture.h"

#include "FixtureVideo.h"
#include "FFDecoder.h"
#include "MainFrm.h"
#include "TzelButton.h"
#include "TzelGroupView.h"
#include "VGApp.h"
#include "VGFrames.h"
#include "VGProj.h"
#include "ZelImage.h"
#include "ZelMaskEdit.h"
#include "ZelTrackBar.h"
#include "ZelWindow.h"
#include "Zelfunction.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct TDialogCall {
    QString filter, folder, fileName;
    int count = 0;
};

class MainFormTest : public MainWindowTest {
protected:
    static void SetUpTestSuite()
    {
        MainWindowTest::SetUpTestSuite();
        const QString dir = MakeTempDir(QStringLiteral("mainform"));
        gClip = dir + QStringLiteral("clip.mp4");
        TFixtureVideo v;
        v.Path = gClip;
        v.FrameCount = 50;
        ASSERT_TRUE(WriteFixtureVideo(v));
        gAudio = dir + QStringLiteral("tone.m4a");
        ASSERT_TRUE(WriteFixtureAudio(gAudio, 1.0, false));
    }
    // The open command answered with `file` (empty: cancelled).
    void Open(const QString& file)
    {
        SetOpenDialogHandler([this, file](QWidget*, const QString& filter, const QString& folder, const QString& name) {
            call.filter = filter, call.folder = folder, call.fileName = name;
            ++call.count;
            return file.isEmpty() ? QStringList() : QStringList{file};
        });
        QTest::mouseClick(form->Button1, Qt::LeftButton);
    }
    void ExpectStartScreen()
    {
        EXPECT_EQ(form->Proj(), nullptr);
        EXPECT_EQ(form->lblCaption->text(), TApp::ProductTitle());
        EXPECT_EQ(form->lblDuration->text(), QStringLiteral("00:00:00.000"));
        EXPECT_EQ(form->edtStart->Text(), QStringLiteral("  :  :  .   "));
        EXPECT_EQ(form->edtEnd->Text(), QStringLiteral("  :  :  .   "));
        EXPECT_TRUE(form->pnlPlayer->isVisible());
        EXPECT_FALSE(form->pnlShot->isVisible());
        EXPECT_TRUE(form->btnPlay->isVisible());
        EXPECT_FALSE(form->btnPause->isVisible());
        EXPECT_EQ(form->ShotView->PhotoCount(), 0);
        for (QWidget* w : std::initializer_list<QWidget*>{form->btnStart, form->btnEnd, form->edtStart, form->edtEnd,
                                                          form->btnPlay, form->btnPriorMore, form->btnNextMore, form->btnCrop,
                                                          form->btnSetting, form->btnPriorFrame, form->btnNextFrame,
                                                          form->btnConvert, form->btnMore, form->btnInfo, form->TrackBar})
            EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        for (QWidget* w : std::initializer_list<QWidget*>{form->Button1, form->btnOptions, form->btnHelp})
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    static int IndexOfFile(const QString& file) { return ReadFixtureIndex(QImage(file)); }

    static inline QString gClip, gAudio;
    TDialogCall call;
};

TEST_F(MainFormTest, StartScreenLayoutAndNames)
{
    ExpectStartScreen();
    EXPECT_EQ(form->size(), QSize(820, 570));
    EXPECT_EQ(form->btnPause->geometry(), form->btnPlay->geometry());
    EXPECT_EQ(form->pnlShot->geometry(), form->pnlPlayer->geometry());
    EXPECT_EQ(form->TrackBar->maximum(), form->TrackBar->width() - 20);
    // The tool group sits in the middle between the frame's edges.
    const int left = form->gbTool->x() - form->imgLeft->width();
    const int right = form->width() - form->imgRight->width() - form->gbTool->geometry().right() - 1;
    EXPECT_LE(std::abs(left - right), 1);
    EXPECT_EQ(form->btnMin->accessibleName(), QStringLiteral("Minimize"));
    EXPECT_EQ(form->btnMax->accessibleName(), QStringLiteral("Maximize"));
    EXPECT_EQ(form->btnRestore->accessibleName(), QStringLiteral("Restore"));
    EXPECT_EQ(form->btnClose->accessibleName(), QStringLiteral("Close window"));
    EXPECT_EQ(form->TrackBar->accessibleName(), QStringLiteral("Position"));
    EXPECT_EQ(form->edtStart->accessibleName(), QStringLiteral("Start time"));
    EXPECT_EQ(form->edtEnd->accessibleName(), QStringLiteral("End time"));
    EXPECT_EQ(form->ShotView->accessibleName(), QStringLiteral("Frames"));
    EXPECT_EQ(form->pnlPlayer->accessibleName(), QStringLiteral("Player"));
    EXPECT_EQ(form->pnlShot->accessibleName(), QStringLiteral("Still frame"));
    EXPECT_EQ(form->btnInfo->accessibleName(), QStringLiteral("Video information"));
    EXPECT_EQ(form->btnNextMore->accessibleName(), QStringLiteral("Next group"));
    EXPECT_EQ(form->btnPriorFrame->accessibleName(), QStringLiteral("Last frame"));
    EXPECT_EQ(form->Button1->accessibleName(), QStringLiteral("Open"));

    // Anchors: the player grows with the window, the strip and tools stay at the bottom.
    form->resize(1000, 700);
    EXPECT_EQ(form->pnlPlayer->geometry(), QRect(10, 64, 978, 395));
    EXPECT_EQ(form->pnlShot->geometry(), form->pnlPlayer->geometry());
    EXPECT_EQ(form->btnHelp->x(), 739 + 180);
    EXPECT_EQ(form->pnlView->y(), 357 + 130);
    EXPECT_EQ(form->TrackBar->maximum(), form->TrackBar->width() - 20);
}

TEST_F(MainFormTest, OpenShowsFirstFrameAndGroupAndCancelChangesNothing)
{
    Open(gClip);
    EXPECT_EQ(call.count, 1);
    EXPECT_EQ(call.filter, TMainForm::OpenFilter());
    EXPECT_EQ(call.folder, TApp::DataFolder());
    EXPECT_EQ(call.fileName, TApp::DataFolder() + QStringLiteral("Sample.mp4"));
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
    EXPECT_EQ(ReadFixtureIndex(form->FrameBmp()), 0);
    ASSERT_EQ(form->ShotView->PhotoCount(), 30);
    form->Proj()->FlushFrameFiles();
    for (int i = 0; i < 30; ++i) {
        auto* frame = static_cast<TVGFrame*>(form->ShotView->Photo(i)->Data);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(IndexOfFile(frame->BitmapFile), i) << "thumbnail " << i;
    }
    EXPECT_TRUE(form->ShotView->Photo(0)->Selected());
    EXPECT_EQ(form->Proj()->StartPTS, 0);
    EXPECT_EQ(form->Proj()->EndPTS, form->Proj()->Duration);
    EXPECT_EQ(form->edtStart->Text(), QStringLiteral("00:00:00.000"));
    EXPECT_EQ(form->edtEnd->Text(), FormatPTS(form->Proj()->Duration, 3));
    EXPECT_EQ(form->lblDuration->text(), FormatPTS(form->Proj()->Duration, 3));
    EXPECT_EQ(form->lblCaption->text(), TApp::ProductTitle() + QStringLiteral(" - clip.mp4"));
    EXPECT_FALSE(form->pnlPlayer->isVisible());
    EXPECT_TRUE(form->pnlShot->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{form->btnStart, form->edtEnd, form->btnPlay, form->btnConvert,
                                                      form->btnNextMore, form->btnInfo})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(form->TrackBar->isEnabled());

    TVGProj* before = form->Proj();
    Open(QString());
    EXPECT_EQ(call.count, 2);
    EXPECT_EQ(form->Proj(), before);
    EXPECT_EQ(form->ShotView->PhotoCount(), 30);
    EXPECT_EQ(ReadFixtureIndex(form->FrameBmp()), 0);
}

TEST_F(MainFormTest, FileWithoutVideoGivesMessageAndStartScreen)
{
    Open(gClip);
    ASSERT_NE(form->Proj(), nullptr);
    Open(gAudio);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].text, QStringLiteral("\"tone.m4a\" is not a valid video file."));
    EXPECT_EQ(TestMsgBox::Seen()[0].buttons, 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 4);
    ExpectStartScreen();
    EXPECT_TRUE(form->FrameBmp().isNull());

    // A file that is no media at all is refused the same way.
    const QString junk = MakeTempDir(QStringLiteral("junk")) + QStringLiteral("notes.mp4");
    WriteText(junk, "plain text, no video");
    Open(junk);
    ASSERT_EQ(TestMsgBox::Seen().size(), 2);
    EXPECT_EQ(TestMsgBox::Seen()[1].text, QStringLiteral("\"notes.mp4\" is not a valid video file."));
    ExpectStartScreen();
}

TEST_F(MainFormTest, LongFileNameIsShortenedBeforeTheCaptionButtons)
{
    const QString dir = MakeTempDir(QStringLiteral("long"));
    const QString file = dir + QString(120, QLatin1Char('n')) + QStringLiteral(".mp4");
    ASSERT_TRUE(QFile::copy(gClip, file));
    Open(file);
    ASSERT_NE(form->Proj(), nullptr);
    const QString title = form->lblCaption->text();
    EXPECT_TRUE(title.startsWith(TApp::ProductTitle() + QStringLiteral(" - n")));
    EXPECT_TRUE(title.endsWith(QStringLiteral("...")) || title.endsWith(QChar(0x2026))) << title.toStdString();
    EXPECT_LE(form->lblCaption->fontMetrics().horizontalAdvance(title),
              form->btnMin->x() - form->lblCaption->x() - 8);
}

TEST_F(MainFormTest, PlayThenPauseRefillsTheStripFromThePausedFrame)
{
    Open(gClip);
    ASSERT_NE(form->Proj(), nullptr);
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    EXPECT_TRUE(form->IsPlaying());
    EXPECT_TRUE(form->btnPause->isVisible());
    EXPECT_TRUE(form->TrackBar->isEnabled());
    // Let some frames go by (25 fps), then pause.
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= 400000; }, 10000));
    QTest::mouseClick(form->btnPause, Qt::LeftButton);
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_TRUE(form->pnlShot->isVisible());
    const int still = ReadFixtureIndex(form->FrameBmp());
    EXPECT_GE(still, 10);
    EXPECT_EQ(form->CurFrame()->PTS, form->CurPos());
    ASSERT_GT(form->ShotView->PhotoCount(), 0);
    auto* first = static_cast<TVGFrame*>(form->ShotView->Photo(0)->Data);
    form->Proj()->FlushFrameFiles();
    EXPECT_EQ(IndexOfFile(first->BitmapFile), still);
}

// The window as a player: bitmap depth, the end of the video, keys, dropping a file.
class MainFormPlayTest : public MainWindowTest {};

TEST_F(MainFormPlayTest, BitmapDepthFollowsTheVideoWidth)
{
    // 174 is even but no multiple of 4: rows of 24-bit pixels would need padding.
    Open(Clip(40, 174));
    ASSERT_NE(form->Proj(), nullptr);
    ASSERT_NE(Decoder(), nullptr);
    EXPECT_EQ(form->Proj()->VideoWidth, 174);
    EXPECT_EQ(Decoder()->BitmapBitsPixel(), 32);
    EXPECT_EQ(StillIndex(), 0);
    ExpectConsecutive(0);
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= 200000; }, 10000));
    QTest::mouseClick(form->btnPause, Qt::LeftButton);
    EXPECT_EQ(StillIndex(), PhotoIndex(0));

    Open(Clip(40, 160));
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_EQ(Decoder()->BitmapBitsPixel(), 24);
    EXPECT_EQ(StillIndex(), 0);
    ExpectConsecutive(0);
}

TEST_F(MainFormPlayTest, PlayingToTheEndAndPlayingAgain)
{
    Open(Clip(40));
    ASSERT_NE(form->Proj(), nullptr);
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    EXPECT_FALSE(form->AtEnd());
    ASSERT_TRUE(PumpUntil([&] { return form->AtEnd(); }, 20000));
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_TRUE(form->pnlShot->isVisible());
    EXPECT_TRUE(form->btnPlay->isVisible());
    EXPECT_FALSE(form->btnPause->isVisible());
    // The strip is refilled from the last frame shown: the last of the video.
    EXPECT_EQ(StillIndex(), 39);
    ASSERT_EQ(Photos(), 1);
    EXPECT_EQ(PhotoIndex(0), 39);
    const TVGFrames& frames = form->Proj()->Frames;
    EXPECT_EQ(form->CurFrame(), frames.Items(frames.Count() - 1));

    // Play again from the last frame decoded: from the start.
    const int64_t last = form->CurPos();
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    EXPECT_FALSE(form->AtEnd());
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() != last; }, 10000));
    EXPECT_LT(form->CurPos(), 200000) << "restarted from 0";
    ASSERT_TRUE(PumpUntil([&] { return form->AtEnd(); }, 20000));

    // After picking another frame, Play starts at that frame.
    QTest::mouseClick(form->btnPriorMore, Qt::LeftButton);
    ASSERT_GT(Photos(), 5);
    ClickPhoto(2);
    const int picked = StillIndex();
    ASSERT_LT(picked, 39);
    EXPECT_TRUE(form->AtEnd());
    const int64_t from = form->CurFrame()->PTS;
    const int64_t before = form->CurPos();
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() != before; }, 10000));
    EXPECT_GE(form->CurPos(), from);
    EXPECT_LT(form->CurPos(), from + 200000);
}

TEST_F(MainFormPlayTest, KeysPlayStepAndOpen)
{
    Open(Clip(100));
    ASSERT_NE(form->Proj(), nullptr);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ShotView->setFocus();

    // Right at the last thumbnail pages on, as the step button does.
    ClickPhoto(29);
    ASSERT_EQ(StillIndex(), 29);
    QTest::keyClick(form->ShotView, Qt::Key_Right);
    EXPECT_EQ(Photos(), 59);
    EXPECT_EQ(StillIndex(), 30);
    QTest::keyClick(form->ShotView, Qt::Key_Left);
    EXPECT_EQ(StillIndex(), 29);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{29});

    // Space plays and pauses, with the strip or the window focused.
    QTest::keyClick(form->ShotView, Qt::Key_Space);
    EXPECT_TRUE(form->IsPlaying());
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= Frame(29)->PTS + 80000; }, 10000));
    form->setFocus();
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_TRUE(form->pnlShot->isVisible());
    const int paused = StillIndex();
    EXPECT_GT(paused, 29);
    QTest::keyClick(form.get(), Qt::Key_Right);
    EXPECT_EQ(StillIndex(), paused + 1);

    // In an edit, the keys are the edit's.
    form->edtStart->setFocus();
    QTest::keyClick(form->edtStart, Qt::Key_Home);
    QTest::keyClick(form->edtStart, Qt::Key_Right);
    QTest::keyClick(form->edtStart, Qt::Key_Space);
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_EQ(StillIndex(), paused + 1);

    // Ctrl+O runs the open command.
    form->ShotView->setFocus();
    const QString other = Clip(40, 160);
    dialogCalls = 0;
    SetOpenDialogHandler([&](QWidget*, const QString&, const QString&, const QString&) {
        ++dialogCalls;
        return QStringList{other};
    });
    QTest::keyClick(form->ShotView, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogCalls, 1);
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_EQ(form->Proj()->VideoFileName, other);
    EXPECT_EQ(Photos(), 30);
}

TEST_F(MainFormPlayTest, DroppingAFileOpensIt)
{
    const QString clip = Clip(40);
    auto drop = [&](const QString& file) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = form->pnlPlayer->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        EXPECT_TRUE(enter.isAccepted()) << "a file is welcome";
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &dropped);
        PumpUntil([] { return false; }, 100);
    };
    drop(clip);
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_EQ(form->Proj()->VideoFileName, clip);
    EXPECT_EQ(dialogCalls, 0) << "no dialog for a dropped file";
    EXPECT_EQ(StillIndex(), 0);
    EXPECT_EQ(Photos(), 30);

    // Dropped while playing: the new video replaces the playing one.
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(form->IsPlaying());
    const QString other = Clip(100);
    drop(other);
    EXPECT_FALSE(form->IsPlaying());
    ASSERT_NE(form->Proj(), nullptr);
    EXPECT_EQ(form->Proj()->VideoFileName, other);
    EXPECT_EQ(StillIndex(), 0);

    // A file that is no video: the message and the start screen.
    const QString junk = MakeTempDir(QStringLiteral("dropjunk")) + QStringLiteral("junk.mp4");
    WriteText(junk, "no video here");
    drop(junk);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].text, QStringLiteral("\"junk.mp4\" is not a valid video file."));
    EXPECT_EQ(form->Proj(), nullptr);
    EXPECT_EQ(Photos(), 0);
}

}  // namespace
