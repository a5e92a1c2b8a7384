// The conversion: the planning rules on their own, then whole conversions of
// fixture videos whose frames show their own index, decoded back.
#include "VGConvert.h"

#include "FixtureVideo.h"
#include "TestSupport.h"
#include "VGProj.h"
#include "VGProj.h"
#include "FFDecoder.h"
#include "ZelMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTransform>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <vector>

using namespace VGConvertPlan;

namespace {

// Runs the picker and the timeline over source frames at the given times, as
// the conversion does; answers the source frame shown by each output frame.
std::vector<int> Pick(const std::vector<int64_t>& times, int64_t start, int64_t end, int fps, double speed,
                      const std::set<int>& deleted = {}, int64_t limit = 1 << 30)
{
    TTimeline timeline(start);
    TFramePicker picker(fps, speed);
    std::vector<int> candidates;  // source index of each candidate
    std::vector<int> out;
    auto take = [&](int64_t k, int64_t c) {
        EXPECT_EQ(k, int64_t(out.size()));
        out.push_back(candidates[size_t(c)]);
        return int64_t(out.size()) < limit;
    };
    for (size_t i = 0; i < times.size(); ++i) {
        if (times[i] >= end)
            break;
        if (deleted.count(int(i))) {
            timeline.Delete(times[i]);
            continue;
        }
        if (!picker.Add(timeline.Keep(times[i]), take))
            return out;
        candidates.push_back(int(i));
    }
    picker.Finish(timeline.Length(end), take);
    return out;
}

std::vector<int64_t> Times(int n, int64_t period, int64_t first = 0)
{
    std::vector<int64_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(first + i * period);
    return t;
}

std::vector<int> Range(int from, int to, int step = 1)
{
    std::vector<int> r;
    for (int i = from; i < to; i += step)
        r.push_back(i);
    return r;
}

}  // namespace

// Frame times as a decoder gives them: whole microseconds, rounded.
static std::vector<int64_t> TimesAt(int n, double rate, int64_t first = 0)
{
    std::vector<int64_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(first + std::llround(i * 1e6 / rate));
    return t;
}

static std::vector<int> Prefix(const std::vector<int>& v, size_t n) { return {v.begin(), v.begin() + long(std::min(n, v.size()))}; }

TEST(ConvertPlan, ResamplesAsTheFpsFilterDoes)
{
    // Each list is what the fps filter of the FFmpeg command line shows for
    // the first output frames (read back from its output by frame checksums).
    struct Case { double rate; int fps; double speed; std::vector<int> expected; };
    const std::vector<Case> cases = {
        {30, 10, 1.0, {1, 4, 7, 10, 13, 16, 19, 22, 25, 28}},
        // Every odd frame lies half-way between two output moments, a
        // microsecond either side after rounding: all count as half-way.
        {30, 15, 1.0, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}},
        {24, 15, 1.0, {0, 2, 3, 5, 7, 8, 10, 11, 13, 15, 16, 18, 19, 21, 23, 24}},
        {25, 15, 1.0, {0, 2, 4, 5, 7, 9, 10, 12, 14, 15, 17, 19, 20, 22, 24, 25}},
        // A faster GIF than the source repeats frames.
        {10, 20, 1.0, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4}},
        // Speed 2 plays 30 fps as 60 fps would play, speed 0.5 as 15 fps.
        {30, 10, 2.0, {2, 8, 14, 20, 26, 32, 38, 44, 50, 56}},
        {30, 10, 0.5, {0, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17}},
    };
    for (const Case& c : cases) {
        const auto src = TimesAt(200, c.rate);
        EXPECT_EQ(Prefix(Pick(src, 0, 3000000, c.fps, c.speed), c.expected.size()), c.expected)
            << c.rate << " fps source, " << c.fps << " fps GIF, speed " << c.speed;
    }
    // Every moment before the end gets a frame: 2 s at 10 fps and speed 1, 2, 0.5.
    const auto src = TimesAt(90, 30);
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0), Range(1, 60, 3));
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 2.0).size(), 10u);
    EXPECT_EQ(Pick(src, 0, 1000000, 10, 0.5).size(), 20u);
    // A start inside the video counts moments from the start.
    EXPECT_EQ(Pick(src, src[30], 2000000, 10, 1.0), Range(31, 60, 3));
    // Moments before the first frame show the first frame.
    EXPECT_EQ(Pick(Times(5, 100000, 150000), 0, 650000, 10, 1.0), (std::vector<int>{0, 0, 0, 1, 2, 3, 4}));
}

TEST(ConvertPlan, DeletedFramesAreCutOutOfTheTimeline)
{
    const auto src = Times(20, 100000);  // 10 fps, 2 s
    // At the source rate one frame fewer per deleted frame, none of them shown.
    std::vector<int> expected = Range(0, 5);
    for (int i = 7; i < 20; ++i)
        expected.push_back(i);
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0, {5, 6}), expected);
    // Deleted at the start and at the end.
    EXPECT_EQ(Pick(src, 0, 2000000, 10, 1.0, {0, 18, 19}), Range(1, 18));
    // All deleted: nothing to show.
    std::set<int> all;
    for (int i = 0; i < 20; ++i)
        all.insert(i);
    EXPECT_TRUE(Pick(src, 0, 2000000, 10, 1.0, all).empty());
    // At half the rate the following frames move up by the cut durations.
    EXPECT_EQ(Pick(src, 0, 2000000, 5, 1.0, {1}), (std::vector<int>{0, 3, 5, 7, 9, 11, 13, 15, 17, 19}));
}

TEST(ConvertPlan, StopsAtTheFrameLimit)
{
    EXPECT_EQ(Pick(Times(100, 100000), 0, 10000000, 10, 1.0, {}, 7), Range(0, 7));
    EXPECT_EQ(EffectiveMaxFrames(0), 1);
    EXPECT_EQ(EffectiveMaxFrames(-5), 1);
    EXPECT_EQ(EffectiveMaxFrames(1000), 1000);
}

TEST(ConvertPlan, DelaysCarryTheRoundingErrorAndNeverGoBelowTwo)
{
    for (int fps : {1, 3, 7, 10, 15, 24, 30, 33, 50}) {
        int64_t sum = 0;
        for (int k = 0; k < fps * 4; ++k) {
            const int d = DelayCs(k, fps);
            EXPECT_GE(d, 2) << fps;
            EXPECT_LE(std::abs(d * fps - 100), fps) << fps;  // within a centisecond of 100/fps
            sum += d;
        }
        EXPECT_EQ(sum, 400) << fps;                           // four seconds exactly
    }
    EXPECT_EQ(EffectiveFPS(0), 1);
    EXPECT_EQ(EffectiveFPS(-3), 1);
    EXPECT_EQ(EffectiveFPS(25), 25);
    EXPECT_EQ(EffectiveFPS(60), 50);  // drops frames instead of 1 cs delays
    EXPECT_EQ(EffectiveSpeed(0), 1.0);
    EXPECT_EQ(EffectiveSpeed(-2), 1.0);
    EXPECT_EQ(EffectiveSpeed(1.5), 1.5);
}

TEST(ConvertPlan, PlayTimeMatchesTheRangeOverTheSpeed)
{
    // 30 fps source, range 1.25 s to 4.9 s, 15 fps at 1.5x: plays (3.65 s / 1.5)
    // to within one output period.
    const auto src = Times(200, 33333);
    const int fps = 15;
    const double speed = 1.5;
    const auto out = Pick(src, 1250000, 4900000, fps, speed);
    int cs = 0;
    for (size_t k = 0; k < out.size(); ++k)
        cs += DelayCs(int64_t(k), fps);
    EXPECT_NEAR(cs / 100.0, 3.65 / speed, 1.0 / fps);
}

TEST(ConvertPlan, ExtremeSpeedsNeitherOverflowNorRunAway)
{
    const auto src = Times(20, 100000);  // 10 fps, 2 s
    // Fast beyond the clip's length: every frame rounds to the first output
    // frame, which shows the last of them, once.
    for (double speed : {1e7, 1e15, 1e300, std::numeric_limits<double>::max()})
        EXPECT_EQ(Pick(src, 0, 2000000, 10, speed), std::vector<int>{19}) << speed;
    // Slow beyond measure: the first frame on every output frame up to the limit.
    for (double speed : {1e-9, 1e-300, std::numeric_limits<double>::denorm_min()})
        EXPECT_EQ(Pick(src, 0, 2000000, 50, speed, {}, 40), std::vector<int>(40, 0)) << speed;
    // Moments and slots stay ordered and inside the range of a time.
    EXPECT_EQ(MomentOf(0, 1, 1e300), 0);
    EXPECT_GT(MomentOf(1, 1, 1e300), int64_t(9e18));
    EXPECT_EQ(MomentOf(std::numeric_limits<int64_t>::max(), 50, 1e300), MomentOf(1, 1, 1e300));
    EXPECT_EQ(MomentOf(1000, 25, std::numeric_limits<double>::infinity()), 40000000);  // counts as speed 1
    EXPECT_EQ(MomentOf(1000, 25, std::nan("")), 40000000);
    EXPECT_EQ(MomentOf(1000, 0, 1.0), 1000000000);                                  // counts as 1 fps
    TFramePicker slow(50, 1e-300);
    EXPECT_GT(slow.Slot(1), int64_t(9e18));
    EXPECT_LT(slow.Slot(-1), -int64_t(9e18));
    EXPECT_EQ(slow.Slot(std::numeric_limits<int64_t>::max()), slow.Slot(1));
    EXPECT_EQ(TFramePicker(50, 1e300).Slot(std::numeric_limits<int64_t>::max()), 0);
    EXPECT_EQ(TFramePicker(25, std::numeric_limits<double>::infinity()).Slot(40000), 1);

    // With a repeat limit, a long run of one candidate reaches emit only
    // that often, and the rest is counted: the reverse order's ring.
    TFramePicker picker(50, 1e-3);
    std::vector<int64_t> emitted;
    auto take = [&](int64_t k, int64_t c) { emitted.push_back(k * 100 + c); return true; };
    picker.SetRepeatLimit(3);
    for (int64_t t : {int64_t(0), int64_t(100000), int64_t(200000)})
        ASSERT_TRUE(picker.Add(t, take));
    ASSERT_TRUE(picker.Finish(300000, take));
    // 100 ms at a thousandth of the speed is 5000 output frames per candidate.
    EXPECT_EQ(picker.Emitted(), 15000);
    EXPECT_EQ(emitted, (std::vector<int64_t>{0, 100, 200, 500001, 500101, 500201, 1000002, 1000102, 1000202}));
}

TEST(ConvertPlan, SequenceOrders)
{
    auto order = [](int64_t n, int seq) {
        std::vector<int64_t> r;
        for (int64_t p = 0; p < SequenceLength(n, seq); ++p)
            r.push_back(SequenceIndex(p, n, seq));
        return r;
    };
    EXPECT_EQ(order(4, 0), (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(order(4, 1), (std::vector<int64_t>{3, 2, 1, 0}));
    EXPECT_EQ(order(4, 2), (std::vector<int64_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(order(2, 2), (std::vector<int64_t>{0, 1}));
    EXPECT_EQ(order(1, 2), (std::vector<int64_t>{0}));
    EXPECT_EQ(order(1, 1), (std::vector<int64_t>{0}));
}

TEST(ConvertPlan, OutputSizeAndCrop)
{
    TVGConvertFlag f;
    f.ScaleFactor = 0.5;
    f.UseCrop = true;
    f.CropRect = {10, 20, 651, 379};  // 641 x 359
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(320, 180));  // halves round to even
    f.CropRect = {0, 0, 643, 100};
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(322, 50));
    // A crop reaching past the frame is clipped to it.
    f.CropRect = {-10, 600, 2000, 900};
    const TVGCropRect c = ClipCrop(f, 1280, 720);
    EXPECT_EQ(c.Left, 0);
    EXPECT_EQ(c.Top, 600);
    EXPECT_EQ(c.Right, 1280);
    EXPECT_EQ(c.Bottom, 720);
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(640, 60));
    f.UseCrop = false;
    f.ScaleFactor = 0.25;
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(320, 180));
    f.ScaleFactor = -1;
    f.CustomWidth = 333;
    f.CustomHeight = 77;
    EXPECT_EQ(OutputSize(f, 1280, 720), QSize(333, 77));

    EXPECT_TRUE(CheckOutputSize({1, 1}).isEmpty());
    EXPECT_TRUE(CheckOutputSize({65535, 10}).isEmpty());
    EXPECT_TRUE(CheckOutputSize({0, 10}).contains(QLatin1String("too small")));
    EXPECT_TRUE(CheckOutputSize({10, -4}).contains(QLatin1String("too small")));
    EXPECT_TRUE(CheckOutputSize({65536, 10}).contains(QLatin1String("65535")));
}

// ---- whole conversions -------------------------------------------------------------

namespace {

// Collects what the conversion thread posts.
class TRecorder : public QObject {
public:
    QList<int> Progress;
    int Finishes = 0;
    int Errors = 0;
    intptr_t Written = -1, Limit = -1;
    QString Error;
    bool event(QEvent* e) override
    {
        switch (int(e->type())) {
        case WM_CONVERTPROGRESS: Progress << int(static_cast<TMessageEvent*>(e)->WParam & 0xFFFF); return true;
        case WM_CONVERTFINISH:
            ++Finishes;
            Written = static_cast<TMessageEvent*>(e)->WParam;
            Limit = static_cast<TMessageEvent*>(e)->LParam;
            return true;
        case WM_CONVERTERROR:
            ++Errors;
            Error = static_cast<TMessageEvent*>(e)->Text;
            return true;
        default: return QObject::event(e);
        }
    }
};

struct TGifFrames {
    QList<QImage> Frames;     // as shown, composed by Qt's reader
    QList<int> DelaysMs;
    int LoopCount = -2;
};

TGifFrames ReadGifQt(const QString& path)
{
    TGifFrames g;
    QImageReader r(path, "gif");
    g.LoopCount = r.loopCount();
    QImage img;
    while (r.read(&img)) {
        g.Frames << img.convertToFormat(QImage::Format_RGB888);
        g.DelaysMs << r.nextImageDelay();
    }
    return g;
}

// The same file through FFmpeg's GIF demuxer and decoder: frame times in µs.
TGifFrames ReadGifFFmpeg(const QString& path, QList<int64_t>* times = nullptr)
{
    TGifFrames g;
    TFFDecoder dec;
    dec.SetBitmapBitsPixel(24);
    if (!dec.LoadFile(path))
        return g;
    while (dec.Decode()) {
        QImage img;
        if (dec.CopyToBitmap(img))
            g.Frames << img.convertToFormat(QImage::Format_RGB888);
        if (times)
            *times << dec.CurrentPTS();
    }
    return g;
}

QList<int> Indexes(const QList<QImage>& frames)
{
    QList<int> r;
    for (const QImage& f : frames)
        r << ReadFixtureIndex(f);
    return r;
}

QList<int> Seq(int from, int to, int step = 1)
{
    QList<int> r;
    for (int i = from; step > 0 ? i < to : i > to; i += step)
        r << i;
    return r;
}

// Mean absolute difference per channel of two pictures of one size.
double MeanDiff(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    int64_t sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return double(sum) / (double(x.width()) * x.height() * 3);
}

class ConvertTest : public ::testing::Test {
protected:
    static QString Dir()
    {
        static const QString dir = MakeTempDir(QStringLiteral("convert"));
        return dir;
    }
    // A clip of the fixture writer, written once per name.
    static const TFixtureVideo& Clip(const QString& name, int w = 160, int h = 120, int frames = 50, int fps = 25,
                                     int rotation = 0)
    {
        static std::map<QString, TFixtureVideo> clips;
        auto it = clips.find(name);
        if (it != clips.end())
            return it->second;
        TFixtureVideo c;
        c.Path = Dir() + name + QStringLiteral(".mp4");
        c.Width = w;
        c.Height = h;
        c.FrameCount = frames;
        c.FrameRateNum = fps;
        c.Rotation = rotation;
        c.Quality = 16;
        QString err;
        EXPECT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
        return clips.emplace(name, c).first->second;
    }
    static TVGConvertFlag Flag(const TFixtureVideo& c, int from, int to, const QString& gif)
    {
        TVGConvertFlag f;
        f.VideoFileName = c.Path;
        f.GifFileName = Dir() + gif;
        f.StartPTS = FixtureFrameTimeUs(c, from);
        f.EndPTS = FixtureFrameTimeUs(c, to);
        f.CropRect = {0, 0, c.Width, c.Height};
        f.ScaleFactor = 1;
        f.MaxFrameCount = 1000;
        f.GifFPS = c.FrameRateNum;
        f.GifSpeed = 1;
        return f;
    }
    // Runs a conversion to its end; the recorder holds what was posted.
    static void Run(TVGConvertFlag f, TRecorder& rec)
    {
        f.NotifyWnd = &rec;
        {
            TVideo2GifThread t(f);
            t.Resume();
            QElapsedTimer timer;
            timer.start();
            while (!t.isFinished() && timer.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            EXPECT_TRUE(t.isFinished());
        }
        QCoreApplication::sendPostedEvents(&rec);
    }
    static TGifFrames Convert(const TVGConvertFlag& f, TRecorder* out = nullptr)
    {
        TRecorder rec;
        Run(f, rec);
        EXPECT_EQ(rec.Errors, 0) << rec.Error.toStdString();
        EXPECT_EQ(rec.Finishes, 1);
        if (out) {
            out->Progress = rec.Progress;
            out->Written = rec.Written;
            out->Limit = rec.Limit;
            out->Finishes = rec.Finishes;
        }
        return ReadGifQt(f.GifFileName);
    }
};

}  // namespace

TEST_F(ConvertTest, RangeRateAndSpeedPickFramesOnTheGifsTimeGrid)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    // At the source rate: every frame of the range, end excluded, 4 cs each.
    TRecorder rec;
    TGifFrames g = Convert(Flag(c, 10, 40, QStringLiteral("range.gif")), &rec);
    EXPECT_EQ(Indexes(g.Frames), Seq(10, 40));
    for (int d : g.DelaysMs)
        EXPECT_EQ(d, 40);
    EXPECT_EQ(rec.Written, 30);
    // Progress rises from 0 to 100 and never goes down.
    ASSERT_FALSE(rec.Progress.isEmpty());
    EXPECT_EQ(rec.Progress.first(), 0);
    EXPECT_EQ(rec.Progress.last(), 100);
    EXPECT_TRUE(std::is_sorted(rec.Progress.begin(), rec.Progress.end()));

    // 5 fps: every fifth frame, the last of each five-frame window around
    // the moment (10 + 2, 15 + 2, ...), 20 cs each.
    TVGConvertFlag f = Flag(c, 10, 40, QStringLiteral("fps5.gif"));
    f.GifFPS = 5;
    g = Convert(f);
    EXPECT_EQ(Indexes(g.Frames), Seq(12, 40, 5));
    EXPECT_EQ(g.DelaysMs, QList<int>(6, 200));

    // Twice the speed at the source rate: every other frame.
    f = Flag(c, 10, 40, QStringLiteral("speed2.gif"));
    f.GifSpeed = 2;
    g = Convert(f);
    EXPECT_EQ(Indexes(g.Frames), Seq(10, 40, 2));

    // FFmpeg's reader sees the same frames at the carried-rounding times:
    // 15 fps gives 6, 7, 7 cs; the frames are those the fps filter shows
    // for 25 fps at 15 fps (0, 2, 4, 5, 7, 9, ...).
    f = Flag(c, 0, 50, QStringLiteral("fps15.gif"));
    f.GifFPS = 15;
    QList<int64_t> times;
    g = ReadGifFFmpeg((Convert(f), f.GifFileName), &times);
    ASSERT_EQ(g.Frames.size(), 30);  // 2 s at 15 fps
    for (int k = 0; k < 30; ++k) {
        EXPECT_EQ(ReadFixtureIndex(g.Frames[k]), (10 * k + 5) / 6) << k;
        EXPECT_EQ(times[k] - times[0], int64_t((k * 200 + 15) / 30) * 10000) << k;
    }
}

TEST_F(ConvertTest, DeletedFramesAreLeftOut)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    TVGConvertFlag f = Flag(c, 10, 40, QStringLiteral("deleted.gif"));
    const std::set<int64_t> gone{FixtureFrameTimeUs(c, 15), FixtureFrameTimeUs(c, 16), FixtureFrameTimeUs(c, 39)};
    QList<int64_t> asked;
    f.OnFrameDeleted = [&](int64_t t) { asked << t; return gone.count(t) > 0; };
    const TGifFrames g = Convert(f);
    QList<int> expected = Seq(10, 15) + Seq(17, 39);
    EXPECT_EQ(Indexes(g.Frames), expected);
    // Asked with each frame's exact time.
    for (int i = 10; i < 40; ++i)
        EXPECT_TRUE(asked.contains(FixtureFrameTimeUs(c, i))) << i;
}

TEST_F(ConvertTest, ReverseAndPingPong)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    TVGConvertFlag f = Flag(c, 5, 12, QStringLiteral("reverse.gif"));
    f.Sequence = 1;
    EXPECT_EQ(Indexes(Convert(f).Frames), Seq(11, 4, -1));
    f.GifFileName = Dir() + QStringLiteral("pingpong.gif");
    f.Sequence = 2;
    EXPECT_EQ(Indexes(Convert(f).Frames), Seq(5, 12) + Seq(10, 5, -1));
    // With a limit: reverse keeps the last frames of the range, ping-pong its first.
    f.MaxFrameCount = 4;
    TRecorder rec;
    EXPECT_EQ(Indexes(Convert(f, &rec).Frames), Seq(5, 9));
    EXPECT_EQ(rec.Written, 4);
    f.Sequence = 1;
    f.GifFileName = Dir() + QStringLiteral("reverse4.gif");
    EXPECT_EQ(Indexes(Convert(f).Frames), Seq(11, 7, -1));
    f.MaxFrameCount = 9;
    f.GifFileName = Dir() + QStringLiteral("pingpong9.gif");
    f.Sequence = 2;
    EXPECT_EQ(Indexes(Convert(f).Frames), Seq(5, 12) + Seq(10, 8, -1));
    // No frame files are left behind.
    const QStringList left = QDir(Dir()).entryList({QStringLiteral("*.rgb"), QStringLiteral("*.part")}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

TEST_F(ConvertTest, FrameLimitAndItsFinishMessage)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    TVGConvertFlag f = Flag(c, 0, 50, QStringLiteral("limit.gif"));
    f.MaxFrameCount = 7;
    TRecorder rec;
    EXPECT_EQ(Indexes(Convert(f, &rec).Frames), Seq(0, 7));
    EXPECT_EQ(rec.Written, 7);
    EXPECT_EQ(rec.Limit, 7);
    // Below 1 counts as 1; the finish carries the record's own value.
    f.MaxFrameCount = 0;
    EXPECT_EQ(Indexes(Convert(f, &rec).Frames), QList<int>{0});
    EXPECT_EQ(rec.Written, 1);
    EXPECT_EQ(rec.Limit, 0);
}

TEST_F(ConvertTest, LoopExtension)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    for (int loop : {-1, 0, 3}) {
        TVGConvertFlag f = Flag(c, 0, 4, QStringLiteral("loop%1.gif").arg(loop + 1));
        f.GifLoop = loop;
        const TGifFrames g = Convert(f);
        // Qt answers -1 for "forever", 0 without the extension, else the count.
        EXPECT_EQ(g.LoopCount, loop) << loop;
        QFile file(f.GifFileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf("NETSCAPE2.0");
        if (loop == 0) {
            EXPECT_LT(at, 0);
        } else {
            ASSERT_GE(at, 0);
            const int count = uchar(bytes[at + 13]) | (uchar(bytes[at + 14]) << 8);
            EXPECT_EQ(count, loop < 0 ? 0 : loop);
        }
    }
}

TEST_F(ConvertTest, RotationsAndFlipsMatchThePreviewOrder)
{
    const TFixtureVideo& c = Clip(QStringLiteral("geometry"), 96, 64, 4, 25);
    // An overlay marks the top-left corner of the frame before rotation and flips.
    auto mark = [](QPainter* p, int w, int h) { p->fillRect(QRect(0, 0, w / 4, h / 4), QColor(255, 0, 0)); };
    for (int rot = 0; rot < 4; ++rot)
        for (int flip = 0; flip < 4; ++flip) {
            TVGConvertFlag f = Flag(c, 1, 2, QStringLiteral("geo%1%2.gif").arg(rot).arg(flip));
            f.Rotation = uint8_t(rot);
            f.Flip = uint8_t(flip);
            f.OnDrawOverlay = mark;
            const TGifFrames g = Convert(f);
            ASSERT_EQ(g.Frames.size(), 1);
            // The expected picture: the frame with the mark, turned clockwise, then
            // mirrored left-right, then top-bottom.
            QImage ref = FixtureFramePicture(c, 1);
            {
                QPainter p(&ref);
                mark(&p, ref.width(), ref.height());
            }
            ref = ref.transformed(QTransform().rotate(90 * rot)).mirrored(flip & 1, flip & 2);
            EXPECT_LT(MeanDiff(g.Frames[0], ref), 8.0) << "rotation " << rot << " flip " << flip;
        }
    // The clockwise direction itself: a quarter turn puts the top-left mark at the top right.
    const QImage turned = ReadGifQt(Dir() + QStringLiteral("geo10.gif")).Frames.value(0);
    ASSERT_EQ(turned.size(), QSize(64, 96));
    auto isMark = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
    EXPECT_TRUE(isMark(turned.pixel(60, 3)));
    EXPECT_FALSE(isMark(turned.pixel(3, 3)));
}

TEST_F(ConvertTest, VideoRotationIsAppliedFirst)
{
    const TFixtureVideo& c = Clip(QStringLiteral("rotated"), 96, 128, 4, 25, 90);
    TVGConvertFlag f = Flag(c, 0, 3, QStringLiteral("rotated.gif"));
    f.UseCrop = true;
    f.CropRect = {8, 16, 88, 112};
    const TGifFrames g = Convert(f);
    ASSERT_EQ(g.Frames.size(), 3);
    EXPECT_EQ(g.Frames[0].size(), QSize(80, 96));
    const QImage ref = FixtureFramePicture(c, 1).copy(8, 16, 80, 96);
    EXPECT_LT(MeanDiff(g.Frames[1], ref), 8.0);
}

// A mirrored front-camera clip with non-square pixels: the crop is cut from
// the picture the player shows, stretched, turned and mirrored.
TEST_F(ConvertTest, VideoAspectAndMirrorAreAppliedFirst)
{
    TFixtureVideo c;
    c.Path = Dir() + QStringLiteral("front.mp4");
    c.Width = 96;            // stored 120 x 96
    c.Height = 160;
    c.Rotation = 90;
    c.Mirror = true;
    c.SampleAspectNum = 4;
    c.SampleAspectDen = 3;
    c.FrameCount = 4;
    c.Quality = 16;
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
    TVGConvertFlag f = Flag(c, 0, 3, QStringLiteral("front.gif"));
    f.UseCrop = true;
    f.CropRect = {8, 16, 88, 136};
    const TGifFrames g = Convert(f);
    ASSERT_EQ(g.Frames.size(), 3);
    ASSERT_EQ(g.Frames[1].size(), QSize(80, 120));
    const QImage ref = FixtureFramePicture(c, 1).copy(8, 16, 80, 120);
    EXPECT_LT(MeanDiff(g.Frames[1], ref), 8.0);
    EXPECT_GT(MeanDiff(g.Frames[1], ref.mirrored(true, false)), 2 * MeanDiff(g.Frames[1], ref));
}

TEST_F(ConvertTest, CropScaleAndOverlaysAtTheirScaledPlaces)
{
    const TFixtureVideo& c = Clip(QStringLiteral("large"), 320, 240, 4, 25);
    TVGConvertFlag f = Flag(c, 0, 2, QStringLiteral("crop.gif"));
    f.UseCrop = true;
    f.CropRect = {41, 20, 281, 200};  // 240 x 180, odd left edge
    f.ScaleFactor = 0.5;
    QSize drawnOn;
    f.OnDrawOverlay = [&](QPainter* p, int w, int h) {
        drawnOn = QSize(w, h);
        p->fillRect(QRect(10, 20, 30, 15), QColor(0, 0, 255));
    };
    const TGifFrames g = Convert(f);
    ASSERT_EQ(g.Frames.size(), 2);
    EXPECT_EQ(drawnOn, QSize(120, 90));
    EXPECT_EQ(g.Frames[0].size(), QSize(120, 90));
    QImage ref = FixtureFramePicture(c, 1).copy(41, 20, 240, 180).scaled(120, 90, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    {
        QPainter p(&ref);
        p.fillRect(QRect(10, 20, 30, 15), QColor(0, 0, 255));
    }
    EXPECT_LT(MeanDiff(g.Frames[1], ref), 8.0);
    const QRgb inside = g.Frames[1].pixel(25, 27);
    EXPECT_GT(qBlue(inside), 200);
    EXPECT_LT(qRed(inside), 60);

    // A custom size stretches the cropped picture.
    f.GifFileName = Dir() + QStringLiteral("custom.gif");
    f.ScaleFactor = -1;
    f.CustomWidth = 100;
    f.CustomHeight = 40;
    f.OnDrawOverlay = nullptr;
    const TGifFrames s = Convert(f);
    ASSERT_EQ(s.Frames.size(), 2);
    EXPECT_EQ(s.Frames[0].size(), QSize(100, 40));
}

TEST_F(ConvertTest, CancelIsHonouredQuickly)
{
    const TFixtureVideo& c = Clip(QStringLiteral("long"), 320, 240, 400, 25);
    TVGConvertFlag f = Flag(c, 0, 400, QStringLiteral("cancel.gif"));
    f.Sequence = 1;  // a stage that keeps frames
    TRecorder rec;
    f.NotifyWnd = &rec;
    auto t = std::make_unique<TVideo2GifThread>(f);
    t->Resume();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000 && (rec.Progress.isEmpty() || rec.Progress.last() < 10))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_FALSE(t->isFinished());
    timer.restart();
    t->Terminate();
    EXPECT_TRUE(t->wait(1000));
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(timer.elapsed(), 500);
#else
    EXPECT_LT(timer.elapsed(), 100);
#endif
    t.reset();
    QCoreApplication::sendPostedEvents(&rec);
    EXPECT_EQ(rec.Finishes, 0);
    EXPECT_EQ(rec.Errors, 0);
    EXPECT_FALSE(QFile::exists(f.GifFileName));
    EXPECT_TRUE(QDir(Dir()).entryList({QStringLiteral("*.rgb"), QStringLiteral("*.part")}, QDir::Files).isEmpty());
}

TEST_F(ConvertTest, ErrorsEndWithOneMessageAndNoFile)
{
    const TFixtureVideo& c = Clip(QStringLiteral("plain"));
    auto fails = [](TVGConvertFlag f, const char* word) {
        TRecorder rec;
        Run(f, rec);
        EXPECT_EQ(rec.Errors, 1) << word;
        EXPECT_EQ(rec.Finishes, 0) << word;
        EXPECT_TRUE(rec.Error.contains(QLatin1String(word), Qt::CaseInsensitive)) << rec.Error.toStdString();
        EXPECT_FALSE(QFile::exists(f.GifFileName)) << word;
    };
    TVGConvertFlag f = Flag(c, 0, 10, QStringLiteral("x.gif"));
    f.GifFileName = Dir() + QStringLiteral("no/such/folder/out.gif");
    fails(f, "out.gif");

    f = Flag(c, 0, 10, QStringLiteral("missing.gif"));
    f.VideoFileName = Dir() + QStringLiteral("missing.mp4");
    fails(f, "missing.mp4");

    const QString audio = Dir() + QStringLiteral("tone.m4a");
    ASSERT_TRUE(WriteFixtureAudio(audio, 1.0, false));
    f = Flag(c, 0, 10, QStringLiteral("audio.gif"));
    f.VideoFileName = audio;
    f.EndPTS = 500000;
    fails(f, "video");

    f = Flag(c, 0, 10, QStringLiteral("late.gif"));
    f.StartPTS = 60 * Unit_Nano;
    f.EndPTS = 61 * Unit_Nano;
    fails(f, "no frame");

    f = Flag(c, 10, 10, QStringLiteral("empty.gif"));
    fails(f, "range");

    f = Flag(c, 0, 10, QStringLiteral("zero.gif"));
    f.ScaleFactor = -1;
    fails(f, "too small");
    f.CustomWidth = 70000;
    f.CustomHeight = 10;
    fails(f, "65535");

    f = Flag(c, 0, 10, QStringLiteral("outside.gif"));
    f.UseCrop = true;
    f.CropRect = {500, 500, 600, 600};
    fails(f, "crop");

    // A failed conversion leaves an earlier GIF of the same name alone.
    f = Flag(c, 0, 3, QStringLiteral("kept.gif"));
    Convert(f);
    const int64_t size = QFileInfo(f.GifFileName).size();
    f.StartPTS = 60 * Unit_Nano;
    f.EndPTS = 61 * Unit_Nano;
    TRecorder rec;
    Run(f, rec);
    EXPECT_EQ(rec.Errors, 1);
    EXPECT_EQ(QFileInfo(f.GifFileName).size(), size);
}

TEST_F(ConvertTest, ProjectStartsTheConversionWithItsOverlaysAndDeletedFrames)
{
    const TFixtureVideo& c = Clip(QStringLiteral("large"), 320, 240, 4, 25);
    const QString logo = Dir() + QStringLiteral("logo.png");
    QImage blue(16, 16, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    ASSERT_TRUE(blue.save(logo));

    TVGProj proj;
    proj.VideoFileName = c.Path;
    proj.GifFileName = Dir() + QStringLiteral("project.gif");
    proj.VideoWidth = c.Width;
    proj.VideoHeight = c.Height;
    proj.StartPTS = FixtureFrameTimeUs(c, 0);
    proj.EndPTS = FixtureFrameTimeUs(c, 3);
    proj.UseCrop = true;
    proj.CropRect = {40, 20, 280, 220};   // 240 x 200
    proj.SizeStyle = ssHalf;              // 120 x 100
    proj.GifFPS = 25;
    proj.GifSpeed = 1;
    proj.GifLoop = 0;
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = logo;
    proj.Logo.X = 100;                    // lands at (30, 40), 40 x 40
    proj.Logo.Y = 100;
    proj.Logo.Width = 80;
    proj.Logo.Height = 80;
    // A deleted frame outside the range leaves the callback empty.
    proj.Frames.AddFrame(QString(), FixtureFrameTimeUs(c, 3) + 1000)->Deleted = true;

    TRecorder rec;
    {
        std::unique_ptr<TVideo2GifThread> t(proj.StartConversion(&rec));
        EXPECT_FALSE(bool(t->Flag().OnFrameDeleted));
        EXPECT_EQ(t->Flag().ScaleFactor, 0.5);
        t->wait(60000);
    }
    QCoreApplication::sendPostedEvents(&rec);
    ASSERT_EQ(rec.Finishes, 1) << rec.Error.toStdString();
    const TGifFrames g = ReadGifQt(proj.GifFileName);
    ASSERT_EQ(g.Frames.size(), 3);
    const QImage& f = g.Frames[0];
    EXPECT_EQ(f.size(), QSize(120, 100));
    auto isBlue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; };
    EXPECT_TRUE(isBlue(f.pixel(32, 42)));
    EXPECT_TRUE(isBlue(f.pixel(67, 77)));
    EXPECT_FALSE(isBlue(f.pixel(27, 42)));
    EXPECT_FALSE(isBlue(f.pixel(73, 77)));

    // A deleted frame inside the range is asked about and left out.
    proj.Frames.AddFrame(QString(), FixtureFrameTimeUs(c, 1))->Deleted = true;
    TRecorder rec2;
    {
        std::unique_ptr<TVideo2GifThread> t(proj.StartConversion(&rec2));
        EXPECT_TRUE(bool(t->Flag().OnFrameDeleted));
        t->wait(60000);
    }
    QCoreApplication::sendPostedEvents(&rec2);
    ASSERT_EQ(rec2.Finishes, 1);
    EXPECT_EQ(ReadGifQt(proj.GifFileName).Frames.size(), 2);
}
