// Playback and seek threads on real decoded fixture videos whose frames show
// their own index, so "which frame was shown" is read back, not assumed.
#include "DecodePlayer.h"
#include "FixtureVideo.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <iostream>
#include <vector>

namespace {

// Counts the end-of-video messages a window would receive.
class TEndReceiver : public QObject {
public:
    int Ends = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(WM_PLAYEND)) {
            ++Ends;
            return true;
        }
        return QObject::event(e);
    }
};

void PumpFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Writes the clip once per test and opens it.
class DecodePlayerTest : public ::testing::Test {
protected:
    bool Open(TFixtureVideo& clip, const QString& name)
    {
        clip.Path = MakeTempDir("decodeplayer") + name;
        QString error;
        if (!WriteFixtureVideo(clip, &error)) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        Decoder.SetBitmapBitsPixel(24);
        if (!Decoder.LoadFile(clip.Path)) {
            ADD_FAILURE() << Decoder.LastError().toStdString();
            return false;
        }
        return true;
    }

    TFFDecoder Decoder;
};

struct Shown {
    int Index;
    int64_t PTS;
    int64_t AtMs;  // since the first frame was handed over
};

}  // namespace

TEST_F(DecodePlayerTest, PlaysEveryFrameInOrderNeverEarlyAndEndsOnce)
{
    TFixtureVideo clip;
    clip.FrameCount = 12;
    ASSERT_TRUE(Open(clip, "play.mp4"));
    ASSERT_TRUE(LocateVideoPTS(&Decoder, 0));

    TEndReceiver wnd;
    std::vector<Shown> shown;
    TSafeThreadPtr<TDecodePlayThread> play(new TDecodePlayThread);
    play->Decoder = &Decoder;
    play->EndMessage = WM_PLAYEND;
    play->NotifyWnd = &wnd;
    play->StartPTS = Decoder.CurrentPTS();
    TDecodePlayThread* player = play.get();
    play->OnFrame = [&, player](TFFDecoder* d, QImage& bmp) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        // Paced from the moment the thread handed over the first frame.
        shown.push_back({ReadFixtureIndex(bmp), d->CurrentPTS(), GetTickCountMs() - player->StartTick});
    };
    play->Resume();

    ASSERT_TRUE(PumpUntil([&] { return wnd.Ends > 0; }));
    PumpFor(200);  // a second message would have arrived by now
    EXPECT_EQ(wnd.Ends, 1);
    EXPECT_TRUE(play->isFinished());

    ASSERT_EQ(shown.size(), size_t(clip.FrameCount));
    for (int i = 0; i < clip.FrameCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shown[i].Index, i);
        // Never before its time relative to the first frame (1 ms for rounding);
        // lateness is the benchmark's business, only a loose bound here.
        const int64_t due = (shown[i].PTS - shown[0].PTS) / 1000;
        EXPECT_GE(shown[i].AtMs, due - 1);
        EXPECT_LT(shown[i].AtMs, due + 1000);
    }
    EXPECT_EQ(play->LastPTS, shown.back().PTS);
}

TEST_F(DecodePlayerTest, PauseKeepsTheFrameShownLast)
{
    TFixtureVideo clip;
    clip.FrameCount = 50;
    ASSERT_TRUE(Open(clip, "pause.mp4"));
    // Start at frame 20: the located frame is the first one shown.
    ASSERT_TRUE(LocateVideoPTS(&Decoder, FixtureFrameTimeUs(clip, 20)));

    TEndReceiver wnd;
    std::vector<Shown> shown;
    auto* play = new TDecodePlayThread;
    play->Decoder = &Decoder;
    play->NotifyWnd = &wnd;
    play->StartPTS = Decoder.CurrentPTS();
    play->OnFrame = [&](TFFDecoder* d, QImage& bmp) { shown.push_back({ReadFixtureIndex(bmp), d->CurrentPTS(), 0}); };
    play->Resume();
    ASSERT_TRUE(PumpUntil([&] { return shown.size() >= 3; }));

    // What the main window does to pause: terminate, read the position, free.
    play->Terminate();
    const int64_t last = play->LastPTS;
    play->Free();
    PumpFor(100);

    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.front().Index, 20);
    EXPECT_EQ(last, shown.back().PTS);  // no frame is shown after Terminate
    EXPECT_EQ(wnd.Ends, 0);
}

TEST_F(DecodePlayerTest, TerminatingDuringATwoSecondWaitEndsPromptly)
{
    TFixtureVideo clip;
    clip.FrameRateNum = 1;  // one frame every two seconds
    clip.FrameRateDen = 2;
    clip.FrameCount = 3;
    clip.GopLength = 1;
    ASSERT_TRUE(Open(clip, "slow.mp4"));
    ASSERT_TRUE(LocateVideoPTS(&Decoder, 0));

    TEndReceiver wnd;
    int frames = 0;
    TSafeThreadPtr<TDecodePlayThread> play(new TDecodePlayThread);
    play->Decoder = &Decoder;
    play->NotifyWnd = &wnd;
    play->StartPTS = Decoder.CurrentPTS();
    play->OnFrame = [&](TFFDecoder*, QImage&) { ++frames; };
    play->Resume();
    ASSERT_TRUE(PumpUntil([&] { return frames == 1; }));
    PumpFor(250);  // well inside the wait for the second frame

    QElapsedTimer timer;
    timer.start();
    play->Terminate();
    ASSERT_TRUE(play->wait(QDeadlineTimer(5000)));
    const qint64 ms = timer.elapsed();
    std::cout << "[ measured ] playback thread stopped " << ms << " ms after Terminate\n";
    RecordProperty("stop_ms", static_cast<int>(ms));
    EXPECT_LT(ms, 1000);
    play.reset();
    PumpFor(50);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(wnd.Ends, 0);  // a stop is not the end of the video
}

TEST_F(DecodePlayerTest, BurstOfSeeksServesOnlyTheNewest)
{
    TFixtureVideo clip;
    clip.FrameCount = 100;
    clip.GopLength = 25;
    clip.BFrames = 2;
    ASSERT_TRUE(Open(clip, "seek.mp4"));

    // Ends between frames 63 and 64: the exact frame is 63, which is no keyframe.
    const int64_t lastTarget = FixtureFrameTimeUs(clip, 63) + FixtureFrameDurationUs(clip, 63) / 2;
    std::vector<int> before, after;
    bool burst = false;
    TSafeThreadPtr<TDecoderSeek> seek(new TDecoderSeek);
    seek->Decoder = &Decoder;
    seek->OnFrame = [&](TFFDecoder*, QImage& bmp) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        (burst ? after : before).push_back(ReadFixtureIndex(bmp));
        if (!burst) {
            // The first request is being served right now: post ten more.
            burst = true;
            for (int i = 1; i <= 9; ++i)
                seek->PostSeek(FixtureFrameTimeUs(clip, 5 * i));
            seek->PostSeek(lastTarget);
        }
    };
    seek->Resume();
    seek->PostSeek(FixtureFrameTimeUs(clip, 90));

    ASSERT_TRUE(PumpUntil([&] { return !after.empty() && after.back() == 63; }));
    PumpFor(300);  // nothing more may follow

    EXPECT_EQ(before.size(), 1u);
    EXPECT_EQ(seek->TakenCount(), 2);    // the first request and the tenth
    EXPECT_EQ(seek->DroppedCount(), 9);  // replaced before being taken
    ASSERT_FALSE(after.empty());
    EXPECT_LE(after.size(), 2u);         // the fast frame, then the exact one
    EXPECT_EQ(after.back(), 63);
    for (int index : after)
        EXPECT_TRUE(index >= 50 && index <= 75) << index;  // near 63, nothing of the dropped requests
}

TEST_F(DecodePlayerTest, SeekThreadFreesRequestsItNeverServed)
{
    // Not resumed: every request waits; the later ones replace the earlier.
    TSafeThreadPtr<TDecoderSeek> seek(new TDecoderSeek);
    seek->Decoder = &Decoder;
    for (int i = 0; i < 3; ++i)
        seek->PostSeek(i * 1000);
    EXPECT_EQ(seek->DroppedCount(), 2);
    EXPECT_EQ(seek->TakenCount(), 0);
    QElapsedTimer timer;
    timer.start();
    seek.reset();  // the waiting one goes with the thread (the leak checker watches)
    EXPECT_LT(timer.elapsed(), 1000);
}
