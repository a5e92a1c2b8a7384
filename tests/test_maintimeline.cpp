// The main window's time axis driven as a user would: typed start and end
// times (snapping, clamping, emptying), the "More actions" menu, playing the
// selection to its end frame, dragging the track bar through the seek thread
// and key steps on it. The frame index drawn into every fixture frame tells
// which frame the player and the still view really show.

#include "MainWindowFixture.h"

#include "ZelMaskEdit.h"
#include "ZelPopupMenu.h"
#include "ZelTrackBar.h"
#include "Zelfunction.h"
#include "MHintWindow.h"

#include <cmath>

namespace {

class MainTimelineTest : public MainWindowTest {
protected:
    // Types a time into a mask edit from its first place: digits only, the
    // literals are skipped by the mask.
    static void Type(TzelTimeEdit* edit, const QString& time)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Home);
        QString digits = time;
        digits.remove(QLatin1Char(':')).remove(QLatin1Char('.'));
        QTest::keyClicks(edit, digits);
    }
    static void Empty(TzelTimeEdit* edit)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
    }
    // Waits for the typed times to be taken in.
    bool WaitClip()
    {
        return PumpUntil([&] { return !form->tmClip->isActive(); }, 10000);
    }
    // The "More actions" menu as a click on its button opens it.
    bool RunMoreMenu(const std::function<QAction*(QMenu*)>& inspect)
    {
        return RunMenu(form->pmToolbar, [&] { QTest::mouseClick(form->btnMore, Qt::LeftButton); }, inspect);
    }
    int64_t TrackBarTime() const
    {
        return std::llround(double(form->TrackBar->Position()) / form->TrackBar->maximum() * double(form->Proj()->Duration));
    }
    // The frame index of the picture in the player panel (-1 unreadable).
    int PlayerIndex() const
    {
        const QImage shot = form->pnlPlayer->grab().toImage();
        const TVGProj* p = form->Proj();
        const QSize fit = GetFillSize(shot.width(), shot.height(), p->VideoWidth, p->VideoHeight, false);
        const QRect r((shot.width() - fit.width()) / 2, (shot.height() - fit.height()) / 2, fit.width(), fit.height());
        return ReadFixtureIndex(shot.copy(r).scaled(p->VideoWidth, p->VideoHeight, Qt::IgnoreAspectRatio,
                                                    Qt::SmoothTransformation));
    }
    void PressTrackBarAt(int value)
    {
        QTest::mousePress(form->TrackBar, Qt::LeftButton, {},
                          QPoint(int(std::lround(form->TrackBar->ThumbCenterX(value))), form->TrackBar->height() / 2));
    }
    void MoveTrackBarTo(int value)
    {
        QTest::mouseMove(form->TrackBar, QPoint(int(std::lround(form->TrackBar->ThumbCenterX(value))), form->TrackBar->height() / 2));
    }
    static constexpr int64_t kFrame = 40000;   // 25 fps
};

TEST_F(MainTimelineTest, TypedTimesSnapClampAndEmptyOut)
{
    // 29.97 fps: frame times are not whole milliseconds.
    Open(Clip(50, 160, 30000, 1001));
    TVGProj* proj = form->Proj();
    ASSERT_NE(proj, nullptr);
    ASSERT_EQ(Photos(), 30);
    const int64_t frame1 = Frame(1)->PTS;
    ASSERT_NE(frame1 % 1000, 0);

    QElapsedTimer typed;
    Type(form->edtStart, FormatPTS(frame1, 3));
    typed.start();
    EXPECT_EQ(form->edtStart->Text(), FormatPTS(frame1, 3));
    EXPECT_TRUE(form->tmClip->isActive());
    EXPECT_EQ(proj->StartPTS, 0) << "taken in only a second after the last change";
    ASSERT_TRUE(WaitClip());
    EXPECT_GE(typed.elapsed(), 900);
    EXPECT_EQ(proj->StartPTS, frame1) << "the same millisecond as a decoded frame takes its exact time";

    // A time between frames stays as typed.
    Type(form->edtStart, QStringLiteral("00:00:00.010"));
    ASSERT_TRUE(WaitClip());
    EXPECT_EQ(proj->StartPTS, 10000);

    // Past the duration: the duration; typed again as shown: kept exactly.
    const int64_t duration = proj->Duration;
    Type(form->edtEnd, QStringLiteral("00:01:00.000"));
    ASSERT_TRUE(WaitClip());
    EXPECT_EQ(proj->EndPTS, duration);
    Type(form->edtEnd, FormatPTS(duration, 3));
    ASSERT_TRUE(WaitClip());
    EXPECT_EQ(proj->EndPTS, duration);

    Empty(form->edtStart);
    EXPECT_EQ(form->edtStart->Text(), QStringLiteral("  :  :  .   "));
    ASSERT_TRUE(WaitClip());
    EXPECT_EQ(proj->StartPTS, AV_NOPTS_VALUE);
    EXPECT_FALSE(proj->HasValidRange());

    // End from the still frame.
    ClickPhoto(5);
    QTest::mouseClick(form->btnEnd, Qt::LeftButton);
    EXPECT_EQ(proj->EndPTS, Frame(5)->PTS);
    EXPECT_EQ(form->edtEnd->Text(), FormatPTS(Frame(5)->PTS, 3));
    QTest::mouseClick(form->btnStart, Qt::LeftButton);
    EXPECT_EQ(proj->StartPTS, Frame(5)->PTS);
    EXPECT_FALSE(form->tmClip->isActive()) << "a time written by the window is no edit";
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
}

TEST_F(MainTimelineTest, StartAfterEndIsTakenAndPlaySelectionDisabled)
{
    Open(Clip(50));
    TVGProj* proj = form->Proj();
    ASSERT_NE(proj, nullptr);
    ASSERT_NE(form->pmToolbar, nullptr);
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) -> QAction* {
        EXPECT_TRUE(form->pmiPlaySelect->isEnabled());
        EXPECT_TRUE(form->pmiLocateStart->isEnabled());
        EXPECT_TRUE(form->pmiLocateEnd->isEnabled());
        return nullptr;
    }));

    // Typed and not yet taken in: the menu takes them in before it shows.
    Type(form->edtStart, QStringLiteral("00:00:01.000"));
    Type(form->edtEnd, QStringLiteral("00:00:00.500"));
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) -> QAction* {
        EXPECT_FALSE(form->pmiPlaySelect->isEnabled());
        EXPECT_TRUE(form->pmiLocateStart->isEnabled());
        EXPECT_TRUE(form->pmiLocateEnd->isEnabled());
        return nullptr;
    }));
    EXPECT_EQ(proj->StartPTS, 1000000);
    EXPECT_EQ(proj->EndPTS, 500000);
    EXPECT_FALSE(form->tmClip->isActive());
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());

    Empty(form->edtStart);
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) -> QAction* {
        EXPECT_FALSE(form->pmiPlaySelect->isEnabled());
        EXPECT_FALSE(form->pmiLocateStart->isEnabled());
        EXPECT_TRUE(form->pmiLocateEnd->isEnabled());
        return nullptr;
    }));

    // Locate the end: the group ending at the end frame, which is selected.
    Type(form->edtStart, QStringLiteral("00:00:00.200"));
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) -> QAction* {
        EXPECT_TRUE(form->pmiPlaySelect->isEnabled());
        return form->pmiLocateEnd;
    }));
    ASSERT_GT(Photos(), 0);
    EXPECT_EQ(PhotoIndex(Photos() - 1), 12);
    ExpectConsecutive(12 - Photos() + 1);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{Photos() - 1});
    EXPECT_EQ(StillIndex(), 12);

    // Locate the start: the group beginning at the start frame.
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) { return form->pmiLocateStart; }));
    ASSERT_EQ(Photos(), 30);
    ExpectConsecutive(5);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{0});
    EXPECT_EQ(StillIndex(), 5);
}

TEST_F(MainTimelineTest, PlaySelectionStopsAtTheEndFrame)
{
    Open(Clip(50));
    TVGProj* proj = form->Proj();
    ASSERT_NE(proj, nullptr);
    Type(form->edtStart, QStringLiteral("00:00:00.400"));
    Type(form->edtEnd, QStringLiteral("00:00:00.800"));
    ASSERT_TRUE(RunMoreMenu([&](QMenu*) { return form->pmiPlaySelect; }));
    EXPECT_EQ(proj->StartPTS, 10 * kFrame);
    EXPECT_EQ(proj->EndPTS, 20 * kFrame);
    EXPECT_TRUE(form->PlaySelection());
    EXPECT_TRUE(form->IsPlaying());
    EXPECT_TRUE(form->btnPause->isVisible());
    EXPECT_TRUE(form->pnlPlayer->isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{form->btnStart, form->btnEnd, form->edtStart, form->edtEnd})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    int64_t first = -1;
    ASSERT_TRUE(PumpUntil([&] {
        if (first < 0 && form->IsPlaying() && form->CurPos() != 0)
            first = form->CurPos();
        return !form->PlaySelection() && !form->IsPlaying();
    }, 20000));
    EXPECT_EQ(first, 10 * kFrame) << "playback starts at the start frame";
    EXPECT_TRUE(form->pnlShot->isVisible());
    EXPECT_TRUE(form->btnPlay->isVisible());
    EXPECT_EQ(StillIndex(), 20);
    ASSERT_NE(form->CurFrame(), nullptr);
    EXPECT_EQ(form->CurFrame()->PTS, proj->EndPTS);
    ASSERT_GT(Photos(), 0);
    EXPECT_EQ(PhotoIndex(Photos() - 1), 20);
    EXPECT_EQ(SelectedPhotos(), std::vector<int>{Photos() - 1});
    ExpectConsecutive(20 - Photos() + 1);
    for (QWidget* w : std::initializer_list<QWidget*>{form->btnStart, form->btnEnd, form->edtStart, form->edtEnd})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(MainTimelineTest, DraggingTheTrackBarSeeksAndPlaysFromTheRelease)
{
    Open(Clip(100));
    ASSERT_NE(form->Proj(), nullptr);
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= 4 * kFrame; }, 10000));
    ASSERT_TRUE(form->TrackBar->isEnabled());

    PressTrackBarAt(form->TrackBar->Position());
    EXPECT_FALSE(form->IsPlaying()) << "the press stops the picture";
    EXPECT_TRUE(form->btnPause->isVisible()) << "and the window stays in the playing state";
    const int max = form->TrackBar->maximum();
    for (int step = 1; step <= 4; ++step) {
        MoveTrackBarTo(max * step / 5);
        const int64_t t = TrackBarTime();
        EXPECT_FALSE(form->IsPlaying());
        // The seek thread shows the exact frame under the thumb.
        ASSERT_TRUE(PumpUntil([&] { return std::llabs(form->CurPos() - t) < kFrame; }, 10000))
            << "step " << step << ": wanted " << t << ", shown " << form->CurPos();
        ASSERT_TRUE(PumpUntil([&] { return PlayerIndex() == int(form->CurPos() / kFrame); }, 5000))
            << "step " << step << ": the player shows frame " << PlayerIndex();
        ASSERT_NE(form->Hint(), nullptr);
        EXPECT_TRUE(form->Hint()->IsShowing());
        EXPECT_NEAR(form->Hint()->Window()->x() + form->Hint()->Window()->width(),
                    form->TrackBar->mapToGlobal(QPoint(0, -2)).x() + form->TrackBar->Position(), 2)
            << "the time hint follows the thumb";
    }

    const int64_t released = TrackBarTime();
    QTest::mouseRelease(form->TrackBar, Qt::LeftButton, {},
                        QPoint(int(std::lround(form->TrackBar->ThumbCenterX(form->TrackBar->Position()))), 8));
    EXPECT_TRUE(form->IsPlaying());
    EXPECT_FALSE(form->Hint()->IsShowing());
    int64_t lowest = INT64_MAX;
    ASSERT_TRUE(PumpUntil([&] {
        lowest = std::min(lowest, form->CurPos());
        return form->CurPos() >= released + 5 * kFrame;
    }, 15000));
    EXPECT_GE(lowest, released - kFrame) << "playback goes on from the released place";
}

TEST_F(MainTimelineTest, KeyStepsOnTheTrackBarResumePlaybackOnce)
{
    Open(Clip(100));
    ASSERT_NE(form->Proj(), nullptr);
    QTest::mouseClick(form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return form->CurPos() >= 4 * kFrame; }, 10000));
    form->TrackBar->setFocus();

    const int before = form->TrackBar->Position();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(form->TrackBar, Qt::Key_Right);
    QElapsedTimer sinceLast;
    sinceLast.start();
    EXPECT_EQ(form->TrackBar->Position(), before + 5);
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_TRUE(form->tmTrackBar->isActive());
    const int64_t target = TrackBarTime();
    ASSERT_TRUE(PumpUntil([&] { return form->IsPlaying(); }, 10000));
    EXPECT_GE(sinceLast.elapsed(), 450) << "playback resumes 500 ms after the last step";
    EXPECT_FALSE(form->tmTrackBar->isActive());
    int64_t lowest = INT64_MAX;
    ASSERT_TRUE(PumpUntil([&] {
        lowest = std::min(lowest, form->CurPos());
        return form->CurPos() >= target + 8 * kFrame;
    }, 15000));
    EXPECT_GE(lowest, target - kFrame);
    EXPECT_FALSE(form->tmTrackBar->isActive()) << "resumed once";

    // Pausing while a key step is pending ends the seek: nothing restarts behind the still view.
    QTest::keyClick(form->TrackBar, Qt::Key_Right);
    QTest::mouseClick(form->btnPause, Qt::LeftButton);
    EXPECT_FALSE(form->tmTrackBar->isActive());
    QTest::qWait(800);
    EXPECT_FALSE(form->IsPlaying());
    EXPECT_TRUE(form->pnlShot->isVisible());
    EXPECT_TRUE(form->btnPlay->isVisible());
    EXPECT_EQ(StillIndex(), PhotoIndex(0));
}

}  // namespace
