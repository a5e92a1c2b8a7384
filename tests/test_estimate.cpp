// The GIF size estimate against real conversions of fixture clips, its
// cancelling, the debounced background estimator, bad input and the command line.
#include "ConvertSupport.h"
#include "FFDecoder.h"
#include "GifEncoder.h"
#include "TestSupport.h"
#include "VGEstimate.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <thread>

namespace {

// Long enough that the estimate samples instead of encoding everything:
// 320 x 240, 25 fps, 12 s of a slowly panning detailed picture with flashes,
// a keyframe every 2 s; `vary` changes what a test needs changed.
TClip LongTexturedClip(const QString& name, const std::function<void(TFixtureVideo&)>& vary = {})
{
    return MakeClip(QStringLiteral("estimate"), name, [&](TFixtureVideo& v) {
        v.Width = 320;
        v.Height = 240;
        v.FrameCount = 300;
        v.GopLength = 50;
        v.Textured = true;
        v.FlashEvery = 70;
        if (vary)
            vary(v);
    });
}

const TClip& LongClip()
{
    static const TClip clip = LongTexturedClip(QStringLiteral("long.mp4"));
    return clip;
}

qint64 RealSize(TVGConvertFlag flag)
{
    QFile::remove(flag.GifFileName);
    const TConvertRun r = RunConversion(flag);
    EXPECT_EQ(r.Errors, 0) << r.Error.toStdString();
    return QFileInfo(flag.GifFileName).size();
}

}  // namespace

TEST(Estimate, WithinAFifthOfTheRealSizeForTheUsualSettings)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    struct TCase {
        const char* name;
        std::function<void(TVGConvertFlag&)> set;
    };
    const std::vector<TCase> cases = {
        {"full size, 15 fps", [](TVGConvertFlag& f) { f.GifFPS = 15; }},
        {"half size", [](TVGConvertFlag& f) { f.ScaleFactor = 0.5; }},
        {"ping-pong", [](TVGConvertFlag& f) { f.Sequence = 2; f.GifFPS = 10; }},
        {"reverse, frame limit", [](TVGConvertFlag& f) { f.Sequence = 1; f.MaxFrameCount = 120; }},
        {"speed 2x", [](TVGConvertFlag& f) { f.GifSpeed = 2.0; }},
        // Every third source frame left out: the clip, and the GIF, shrink by a third.
        {"deleted frames", [](TVGConvertFlag& f) { f.OnFrameDeleted = [](int64_t pts) { return pts / 40000 % 3 == 0; }; }},
        {"overlays, rotated", [](TVGConvertFlag& f) {
             f.Rotation = 1;
             f.OnDrawOverlay = [](QPainter* p, int w, int h) {
                 p->fillRect(QRect(4, 4, w / 3, h / 6), Qt::white);
                 p->setPen(Qt::red);
                 p->drawText(QRect(0, h / 2, w, h / 2), Qt::AlignCenter, QStringLiteral("Overlay"));
             };
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("real.gif"));
        c.set(flag);
        const TGifEstimate e = EstimateGifSize(flag);
        ASSERT_TRUE(e.Ok) << e.Error.toStdString();
        const qint64 real = RealSize(flag);
        ASSERT_GT(real, 0);
        EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
        // It sampled: far fewer frames than the GIF holds went through the encoder.
        EXPECT_LT(e.SampledFrames * 2, e.Frames);
    }
}

// Flashes coded without scene-cut detection, among B-frames: the picture
// changes on frames whose packets are small while the bytes sit in the
// packet after them, so the change cannot be found from packet sizes alone.
TEST(Estimate, ChangesHiddenBehindBFramesArePricedOnce)
{
    static const TClip clip = LongTexturedClip(QStringLiteral("hidden.mp4"), [](TFixtureVideo& v) {
        v.GopLength = 250;
        v.BFrames = 3;
        v.X264Params = QStringLiteral("scenecut=0:b-adapt=0");
        v.FlashEvery = 45;
    });
    REQUIRE_CLIP(clip);
    for (const bool pingPong : {false, true}) {
        SCOPED_TRACE(pingPong ? "half size, 10 fps, ping-pong" : "15 fps");
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("hidden.gif"));
        flag.GifFPS = pingPong ? 10 : 15;
        if (pingPong) {
            flag.ScaleFactor = 0.5;
            flag.Sequence = 2;
        }
        const TGifEstimate e = EstimateGifSize(flag);
        ASSERT_TRUE(e.Ok) << e.Error.toStdString();
        const qint64 real = RealSize(flag);
        ASSERT_GT(real, 0);
        EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
    }
}

// A short GIF is where the runs and change runs would encode a third of what
// the conversion does: the sample keeps to about an eighth of the GIF's
// frames and still prices it, in a container with a header (its packets are
// scanned without decoding) and in a stream without one (MPEG-TS).
TEST(Estimate, ASampleKeepsToAnEighthOfTheGifAndStillPricesIt)
{
    static const TClip ts = LongTexturedClip(QStringLiteral("long.ts"));
    for (const TClip* clip : {&LongClip(), &ts}) {
        REQUIRE_CLIP(*clip);
        for (const int fps : {10, 25}) {
            SCOPED_TRACE(QStringLiteral("%1 at %2 fps").arg(QFileInfo(clip->Video.Path).fileName()).arg(fps).toStdString());
            TVGConvertFlag flag = ClipFlag(*clip, QStringLiteral("share.gif"));
            flag.GifFPS = fps;
            const TGifEstimate e = EstimateGifSize(flag);
            ASSERT_TRUE(e.Ok) << e.Error.toStdString();
            TGifEstimateOptions unbounded;
            unbounded.SampleShare = 0;
            const TGifEstimate wide = EstimateGifSize(flag, nullptr, unbounded);
            ASSERT_TRUE(wide.Ok) << wide.Error.toStdString();
            // 24 frames for the 120 of 10 fps, 36 for the 300 of 25 fps (all
            // shown going forward); a change run may start a frame or two
            // early to show its change.
            const TGifEstimateOptions defaults;
            const double cap = std::max(double(defaults.MinSample), defaults.SampleShare * double(e.Frames));
            EXPECT_LE(double(e.SampledFrames), cap + 3);
            EXPECT_LT(e.SampledFrames, wide.SampledFrames);
            const qint64 real = RealSize(flag);
            ASSERT_GT(real, 0);
            EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
        }
    }
}

TEST(Estimate, FrameCountFollowsTheConversion)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("count.gif"));
    flag.GifFPS = 10;
    EXPECT_EQ(EstimateGifSize(flag).Frames, 120);  // 12 s at 10 fps
    flag.Sequence = 2;
    EXPECT_EQ(EstimateGifSize(flag).Frames, 238);  // there and back, the ends once
    flag.MaxFrameCount = 100;
    EXPECT_EQ(EstimateGifSize(flag).Frames, 100);
    flag.Sequence = 0;
    flag.MaxFrameCount = 1000;
    flag.GifSpeed = 0.5;
    EXPECT_EQ(EstimateGifSize(flag).Frames, 240);
}

TEST(Estimate, AShortClipIsEncodedWholeAndComesOutExact)
{
    // Nothing to extrapolate: the estimate is the conversion's own byte count.
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    const TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("short.gif"), 0, 20);
    const TGifEstimate e = EstimateGifSize(flag);
    ASSERT_TRUE(e.Ok) << e.Error.toStdString();
    EXPECT_EQ(e.Frames, 20);
    EXPECT_EQ(e.SampledFrames, 20);
    const qint64 real = RealSize(flag);
    EXPECT_NEAR(double(e.Bytes), double(real), 0.01 * double(real));
}

// A slide show, 320 x 240 at 25 fps: a new detailed picture every `perSlide`
// frames (2 s), still in between but for a small box moving across it. After each cut the video's
// encoder refines the picture over a few frames, so a cut comes with many
// smaller changes whose packets also stand out from the still frames.
TClip SlideShowClip(const QString& name, int frames, int perSlide = 50, const std::function<void(TFixtureVideo&)>& vary = {})
{
    return MakeClip(QStringLiteral("estimate"), name, [&](TFixtureVideo& v) {
        v.Width = 320;
        v.Height = 240;
        v.FrameCount = frames;
        v.GopLength = 250;
        if (vary)
            vary(v);
        v.Painter = [perSlide](QImage& img, int index) {
            const uint32_t slide = uint32_t(index / perSlide);
            for (int y = 0; y < img.height(); ++y) {
                uchar* p = img.scanLine(y);
                for (int x = 0; x < img.width(); ++x, p += 3) {
                    uint32_t h = (uint32_t(x >> 1) * 73856093u) ^ (uint32_t(y >> 1) * 19349663u) ^ (slide * 83492791u);
                    h = (h ^ (h >> 13)) * 0x5bd1e995u;
                    p[0] = uchar(h >> 24);
                    p[1] = uchar(h >> 16);
                    p[2] = uchar(80 + 30 * slide);
                }
            }
            QPainter painter(&img);
            painter.fillRect(QRect(10 + 2 * (index % perSlide), 10, 16, 16), Qt::white);
        };
    });
}

// A stretch of a few seconds is too short for a sample to find its cut
// among the smaller changes around it (a sample of a third to two fifths of
// its frames missed by up to 55 %): it is encoded whole, in any order,
// and the estimate is what the conversion writes.
TEST(Estimate, AShortStretchOfASlideShowIsEncodedWhole)
{
    static const TClip clip = SlideShowClip(QStringLiteral("slides-short.mp4"), 150);
    REQUIRE_CLIP(clip);
    // 3 s from 0.4 s at 15 fps (the cut at 2 s); 4 s from 1 s at 10 fps in
    // ping-pong and in reverse (cuts at 2 and 4 s); 5 s from 0.4 s at 15 fps
    // (both cuts).
    struct TCase { int From, To, FPS, Sequence; int64_t Frames; };
    for (const TCase& c : {TCase{10, 85, 15, 0, 45}, TCase{25, 125, 10, 2, 78}, TCase{25, 125, 10, 1, 40},
                           TCase{10, 135, 15, 0, 75}}) {
        SCOPED_TRACE(testing::Message() << "frames " << c.From << " to " << c.To << " at " << c.FPS << " fps, order "
                                        << c.Sequence);
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("slides.gif"), c.From, c.To);
        flag.GifFPS = c.FPS;
        flag.Sequence = uint8_t(c.Sequence);
        const TGifEstimate e = EstimateGifSize(flag);
        ASSERT_TRUE(e.Ok) << e.Error.toStdString();
        EXPECT_EQ(e.Frames, c.Frames);
        EXPECT_EQ(e.SampledFrames, c.Frames);   // in the GIF's own order
        const qint64 real = RealSize(flag);
        ASSERT_GT(real, 0);
        // The encoder's workers share palettes in whichever order they finish:
        // on noisy pictures two runs differ by about 1 %.
        EXPECT_NEAR(double(e.Bytes), double(real), 0.03 * double(real)) << "estimate " << e.Bytes << ", real " << real;
    }
}

// 8 s of it are sampled: three cuts and their refining frames make most of
// the GIF among many small changes, and the estimate comes within a fifth.
// From 3 s the stretch starts between keyframes (there is one, at 0 s): the
// decode allowance moved the run that held the largest sampled change off
// it, and a cut shown among a run's warm-up frames went uncounted, so the
// sample priced every cut like the small changes after it (-27 %).
TEST(Estimate, ASampledSlideShowPricesItsCuts)
{
    static const TClip clip = SlideShowClip(QStringLiteral("slides.mp4"), 300);
    REQUIRE_CLIP(clip);
    for (const auto& [from, pingPong] : {std::pair{0, false}, std::pair{0, true}, std::pair{75, false}, std::pair{75, true}}) {
        SCOPED_TRACE(testing::Message() << "from frame " << from << (pingPong ? ", ping-pong" : ", forward"));
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("slides.gif"), from, from + 200);
        flag.GifFPS = 15;
        if (pingPong)
            flag.Sequence = 2;
        const TGifEstimate e = EstimateGifSize(flag);
        ASSERT_TRUE(e.Ok) << e.Error.toStdString();
        EXPECT_LT(e.SampledFrames * 4, e.Frames / (pingPong ? 2 : 1));
        const qint64 real = RealSize(flag);
        ASSERT_GT(real, 0);
        EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
    }
}

// A source slower than the GIF: a new picture a second, so at 15 fps most
// output frames repeat the one before and cost nothing while each of the
// rest draws a whole new picture. Runs of output frames fell between the
// pictures and the estimate missed by 98 %; the sample is spread over the
// frames that show something new. (Up to 75 pictures are encoded whole, so
// the clip has 150 and the frame limit is raised to show them.)
TEST(Estimate, ASourceSlowerThanTheGifIsSampledByItsPictures)
{
    static const TClip clip = SlideShowClip(QStringLiteral("slow150.mp4"), 150, 1, [](TFixtureVideo& v) {
        v.Width = 160;
        v.Height = 120;
        v.FrameRateNum = 1;
        v.BFrames = 2;
    });
    REQUIRE_CLIP(clip);
    for (const int fps : {15, 10}) {
        SCOPED_TRACE(testing::Message() << fps << " fps");
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("slow.gif"));
        flag.GifFPS = fps;
        flag.MaxFrameCount = 2000;
        const TGifEstimate e = EstimateGifSize(flag);
        ASSERT_TRUE(e.Ok) << e.Error.toStdString();
        EXPECT_EQ(e.Frames, std::min(150 * fps, 2000));
        EXPECT_LT(e.SampledFrames * 2, e.Frames);
        const qint64 real = RealSize(flag);
        ASSERT_GT(real, 0);
        EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
    }
}

// Hard cuts between unlike kinds of picture: a still picture with a small
// box moving on it; a fine pattern moving up a line a frame, cheap for the
// video (which moves it) and dear for the GIF (which redraws it); and new
// grain every frame, dear for both. A GIF byte costs the video bytes at
// rates far apart in each, so each is priced from a run of its own: at one
// price for the clip, the grain's many video bytes at the pattern's price
// came to several times the GIF.
TEST(Estimate, CutsBetweenUnlikeKindsArePricedApart)
{
    static const TClip clip = MakeClip(QStringLiteral("estimate"), QStringLiteral("unlike.mp4"), [](TFixtureVideo& v) {
        v.Width = 240;
        v.Height = 180;
        v.FrameCount = 240;
        v.GopLength = 250;
        v.BFrames = 2;
        v.Preset = QStringLiteral("medium");   // finds the pattern's motion
        v.Painter = [](QImage& img, int index) {
            const int part = index / 80;
            for (int y = 0; y < img.height(); ++y) {
                uchar* p = img.scanLine(y);
                for (int x = 0; x < img.width(); ++x, p += 3) {
                    const uint32_t at = part == 0 ? uint32_t(x >> 3) * 73856093u ^ uint32_t(y >> 3) * 19349663u
                                                  : uint32_t(x) * 73856093u ^ uint32_t(y + index) * 19349663u;
                    uint32_t h = part == 2 ? at ^ uint32_t(index) * 83492791u : at;
                    h = (h ^ (h >> 13)) * 0x5bd1e995u;
                    const uchar c = part == 1 ? ((h >> 20) & 1 ? 230 : 20) : uchar(h >> 24);
                    p[0] = c;
                    p[1] = part == 1 ? c : uchar(h >> 16);
                    p[2] = part == 1 ? 90 : uchar(h >> 8);
                }
            }
            if (part == 0)
                QPainter(&img).fillRect(QRect(10 + 2 * index, 20, 12, 12), Qt::white);
        };
    });
    REQUIRE_CLIP(clip);
    TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("unlike.gif"));
    flag.GifFPS = 15;
    const TGifEstimate e = EstimateGifSize(flag);
    ASSERT_TRUE(e.Ok) << e.Error.toStdString();
    EXPECT_LT(e.SampledFrames * 4, e.Frames);
    const qint64 real = RealSize(flag);
    ASSERT_GT(real, 0);
    EXPECT_NEAR(double(e.Bytes), double(real), 0.2 * double(real)) << "estimate " << e.Bytes << ", real " << real;
}

TEST(Estimate, CancelReturnsPromptly)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("cancel.gif"));
    std::atomic<bool> cancel{true};
    TGifEstimate e = EstimateGifSize(flag, &cancel);
    EXPECT_FALSE(e.Ok);
    EXPECT_TRUE(e.Error.contains("cancelled")) << e.Error.toStdString();

    // Cancelled while it runs (drawing slowly, so it is surely running).
    cancel = false;
    std::atomic<int> drawn{0};
    flag.OnDrawOverlay = [&drawn](QPainter*, int, int) {
        ++drawn;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    QElapsedTimer t;
    std::thread stopper([&] {
        while (drawn.load() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        t.start();
        cancel = true;
    });
    e = EstimateGifSize(flag, &cancel);
    stopper.join();
    EXPECT_FALSE(e.Ok);
    EXPECT_LT(t.elapsed(), 500);
}

TEST(Estimate, BadInputGivesAClearError)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("bad.gif"));
    flag.VideoFileName = clip.Dir + "missing.mp4";
    TGifEstimate e = EstimateGifSize(flag);
    EXPECT_FALSE(e.Ok);
    EXPECT_TRUE(e.Error.contains("missing.mp4")) << e.Error.toStdString();

    flag = ClipFlag(clip, QStringLiteral("bad.gif"));
    flag.EndPTS = flag.StartPTS;
    e = EstimateGifSize(flag);
    EXPECT_FALSE(e.Ok);
    EXPECT_TRUE(e.Error.contains("is empty")) << e.Error.toStdString();

    flag = ClipFlag(clip, QStringLiteral("bad.gif"));
    flag.UseCrop = true;
    flag.CropRect = {500, 500, 600, 600};
    e = EstimateGifSize(flag);
    EXPECT_FALSE(e.Ok);
    EXPECT_TRUE(e.Error.contains("crop area")) << e.Error.toStdString();

    // A range past the video's end has no frame in it, and the message
    // names that range, not the first place the sample looked.
    flag = ClipFlag(clip, QStringLiteral("bad.gif"));
    flag.StartPTS = 100 * int64_t(Unit_Nano);
    flag.EndPTS = 160 * int64_t(Unit_Nano);
    e = EstimateGifSize(flag);
    EXPECT_FALSE(e.Ok);
    EXPECT_TRUE(e.Error.contains(FormatPTS(flag.StartPTS)) && e.Error.contains(FormatPTS(flag.EndPTS)))
        << e.Error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(flag.GifFileName));
}

TEST(Estimate, CountingEncoderCountsWhatTheFileHolds)
{
    // The same frames through a file and through the counter: equal sizes,
    // and the frame records add up to all but the header and trailer.
    TGifEncoderOptions o;
    o.Width = 64;
    o.Height = 48;
    const QString path = MakeTempDir("estimate-enc") + "count.gif";
    TGifEncoder file, counter;
    ASSERT_TRUE(file.Open(path, o));
    ASSERT_TRUE(counter.OpenCounting(o));
    for (int i = 0; i < 12; ++i) {
        QImage img(64, 48, QImage::Format_RGB888);
        img.fill(QColor(20, 40, 60));
        if (i != 5)  // frame 5 repeats frame 4 and merges into it
            QPainter(&img).fillRect(i * 4, 10, 8 + i, 20, QColor::fromHsv(i * 30, 200, 220));
        else
            QPainter(&img).fillRect(16, 10, 12, 20, QColor::fromHsv(120, 200, 220));
        ASSERT_TRUE(file.AddFrame(img, 10));
        ASSERT_TRUE(counter.AddFrame(img, 10));
    }
    ASSERT_TRUE(file.Finish());
    ASSERT_TRUE(counter.Finish());
    EXPECT_EQ(counter.BytesWritten(), QFileInfo(path).size());
    const auto frames = counter.FrameBytes();
    ASSERT_EQ(frames.size(), 11u);
    int64_t sum = 0;
    for (const auto& f : frames)
        sum += f.Bytes;
    EXPECT_GT(sum, counter.BytesWritten() - 100);
    EXPECT_EQ(frames[5].FirstInput, 6);  // the merged call began no frame
}

TEST(Estimate, EstimatorEmitsOnceForABurstAndTheLastRequestWins)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    TGifSizeEstimator est;
    QSignalSpy spy(&est, &TGifSizeEstimator::Ready);
    QElapsedTimer t;
    t.start();
    for (int fps = 1; fps <= 5; ++fps) {
        TVGConvertFlag flag = ClipFlag(clip, QStringLiteral("burst.gif"));
        flag.GifFPS = fps;
        est.Request(flag);
        QTest::qWait(50);
    }
    EXPECT_TRUE(est.Busy());
    // Nothing before the burst has been quiet for 300 ms.
    QTest::qWait(200);
    EXPECT_EQ(spy.count(), 0);
    ASSERT_TRUE(spy.wait(20000));
    QTest::qWait(400);
    ASSERT_EQ(spy.count(), 1);
    const TGifEstimate e = spy.at(0).at(0).value<TGifEstimate>();
    EXPECT_TRUE(e.Ok) << e.Error.toStdString();
    EXPECT_EQ(e.Frames, 60);  // 12 s at 5 fps
    EXPECT_FALSE(est.Busy());
}

TEST(Estimate, EstimatorDropsAStaleRunAndIsDestroyedQuickly)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    auto est = std::make_unique<TGifSizeEstimator>();
    QSignalSpy spy(est.get(), &TGifSizeEstimator::Ready);
    TVGConvertFlag slow = ClipFlag(clip, QStringLiteral("stale.gif"));
    std::atomic<int> drawn{0};
    slow.OnDrawOverlay = [&drawn](QPainter*, int, int) {
        ++drawn;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    };
    est->Request(slow);
    QElapsedTimer t;
    t.start();
    while (drawn.load() == 0 && t.elapsed() < 10000)
        QTest::qWait(10);
    ASSERT_GT(drawn.load(), 0);
    // A new request while the first runs: only the new one reports.
    TVGConvertFlag fast = ClipFlag(clip, QStringLiteral("stale.gif"));
    fast.GifFPS = 2;
    est->Request(fast);
    ASSERT_TRUE(spy.wait(20000));
    QTest::qWait(300);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<TGifEstimate>().Frames, 24);

    // Destroyed in the middle of a slow run: it waits for one frame at most.
    est->Request(slow);
    const int before = drawn.load();
    t.restart();
    while (drawn.load() == before && t.elapsed() < 10000)
        QTest::qWait(10);
    t.restart();
    est.reset();
    EXPECT_LT(t.elapsed(), 500);
}

TEST(Estimate, CommandLinePrintsTheEstimateAndWritesNoGif)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    const QString gif = clip.Dir + "cli.gif";
    QFile::remove(gif);
    QProcess p;
    p.start(QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"),
            {"convert", clip.Video.Path, gif, "--estimate", "--size", "half", "--fps", "10", "--quiet"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    const QRegularExpressionMatch m =
        QRegularExpression(R"(^estimate: (\d+) bytes, (\d+) frames, [0-9.]+ s \((\d+) frames sampled\)$)")
            .match(out.trimmed());
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();
    EXPECT_GT(m.captured(1).toLongLong(), 1000);
    EXPECT_EQ(m.captured(2).toInt(), 120);
    EXPECT_FALSE(QFileInfo::exists(gif));

    // The GIF's name may be left out; a missing video is an error.
    p.start(QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"), {"convert", clip.Dir + "none.mp4", "--estimate"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains("none.mp4"));

    p.start(QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"), {"convert", "--help"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).contains("--estimate"));
}
