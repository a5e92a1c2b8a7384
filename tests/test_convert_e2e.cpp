// Whole conversions of generated videos whose frames show their own index,
// the GIFs decoded back with Qt's reader and with FFmpeg's, and the
// messages the thread posts checked on the way.
#include "FixtureVideo.h"
#include "GifRead.h"
#include "TestSupport.h"
#include "VGProj.h"
#include "FFDecoder.h"
#include "VGConvert.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <memory>
#include <cmath>
#include <limits>
#include <set>

namespace {

// What the thread posted.
struct TRun {
    QList<int> Percents;
    int Finishes = 0;
    int Errors = 0;
    intptr_t WParam = -1, LParam = -1;
    QString Error;
    bool TimedOut = false;
};

class TReceiver : public QObject {
public:
    TRun R;
protected:
    bool event(QEvent* e) override
    {
        const int type = int(e->type());
        if (type != WM_CONVERTPROGRESS && type != WM_CONVERTFINISH && type != WM_CONVERTERROR)
            return QObject::event(e);
        auto* m = static_cast<TMessageEvent*>(e);
        if (type == WM_CONVERTPROGRESS) {
            R.Percents.append(int(m->WParam & 0xFFFF));
        } else if (type == WM_CONVERTFINISH) {
            ++R.Finishes;
            R.WParam = m->WParam;
            R.LParam = m->LParam;
        } else {
            ++R.Errors;
            R.Error = m->Text;
        }
        return true;
    }
};

// Runs the thread until it ends, handling its messages as a window would.
TRun Drive(TReceiver& recv, std::unique_ptr<TVideo2GifThread> thread)
{
    QElapsedTimer timer;
    timer.start();
    while (!thread->isFinished() && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    recv.R.TimedOut = !thread->isFinished();
    thread.reset();
    QCoreApplication::sendPostedEvents(&recv);
    return recv.R;
}

TRun Convert(TVGConvertFlag flag)
{
    TReceiver recv;
    flag.NotifyWnd = &recv;
    auto thread = std::make_unique<TVideo2GifThread>(flag);
    thread->Resume();
    return Drive(recv, std::move(thread));
}

// A finished run: percents rising to 100, one finish, no error.
void ExpectFinished(const TRun& r)
{
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Errors, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Finishes, 1);
    ASSERT_FALSE(r.Percents.isEmpty());
    for (int i = 1; i < r.Percents.size(); ++i)
        EXPECT_GE(r.Percents[i], r.Percents[i - 1]) << "progress went down at message " << i;
    EXPECT_EQ(r.Percents.first(), 0);
    EXPECT_EQ(r.Percents.last(), 100);
}

// A failed run: exactly one error with a text, no finish.
void ExpectFailed(const TRun& r, const QString& mentions)
{
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.Finishes, 0);
    EXPECT_EQ(r.Errors, 1);
    EXPECT_TRUE(r.Error.contains(mentions)) << r.Error.toStdString() << " should mention " << mentions.toStdString();
}

// The shared clip: 160 x 120, 25 fps, 50 frames showing their index.
struct TClip {
    TFixtureVideo Video;
    QString Dir;
    bool Ok = false;
    QString Error;
};

const TClip& IndexClip()
{
    static TClip clip = [] {
        TClip c;
        c.Dir = MakeTempDir("conv-e2e");
        c.Video.Path = c.Dir + "index.mp4";
        c.Video.Quality = 18;
        c.Ok = WriteFixtureVideo(c.Video, &c.Error);
        return c;
    }();
    return clip;
}

int64_t T(int index) { return FixtureFrameTimeUs(IndexClip().Video, index); }

TVGConvertFlag BaseFlag(const TClip& clip, const QString& gifName)
{
    TVGConvertFlag f;
    f.VideoFileName = clip.Video.Path;
    f.GifFileName = clip.Dir + gifName;
    f.StartPTS = 0;
    f.EndPTS = FixtureFrameTimeUs(clip.Video, clip.Video.FrameCount - 1) + FixtureFrameDurationUs(clip.Video, 0);
    f.CropRect = {0, 0, clip.Video.Width, clip.Video.Height};
    f.ScaleFactor = 1.0;
    f.MaxFrameCount = 1000;
    f.GifFPS = 25;
    f.GifSpeed = 1.0;
    f.GifLoop = -1;
    return f;
}

#define REQUIRE_CLIP(c) \
    if (!(c).Ok) FAIL() << "fixture: " << (c).Error.toStdString()

QList<int> Indexes(const QList<QImage>& frames)
{
    QList<int> r;
    for (const QImage& f : frames)
        r.append(ReadFixtureIndex(f));
    return r;
}

QList<int> Seq(int from, int to, int step = 1)
{
    QList<int> r;
    for (int i = from; step > 0 ? i < to : i > to; i += step)
        r.append(i);
    return r;
}

// The frame indexes as both decoders see them; they must agree.
QList<int> GifIndexes(const QString& path)
{
    int ffErrors = 0;
    const QList<int> qt = Indexes(ReadWithQt(path));
    const QList<int> ff = Indexes(ReadWithFFmpeg(path, nullptr, &ffErrors));
    EXPECT_EQ(ffErrors, 0);
    EXPECT_EQ(qt, ff) << "Qt and FFmpeg disagree on " << path.toStdString();
    return qt;
}

int SumDelays(const TGifBlocks& g)
{
    int s = 0;
    for (int d : g.Delays)
        s += d;
    return s;
}

}  // namespace

TEST(ConvertE2E, RangeRateAndSpeedPickFramesOnTheGifsTimeGrid)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    // fps and speed as given, then as they count: at most 50 fps (2 cs),
    // at least 1 fps, and a speed of 0 or less, or not finite, as 1.
    struct Case { int fps; double speed; int useFps; double useSpeed; };
    const QList<Case> cases = {{25, 1.0, 25, 1.0}, {5, 1.0, 5, 1.0},   {25, 2.0, 25, 2.0}, {10, 0.5, 10, 0.5},
                               {30, 1.0, 30, 1.0}, {60, 1.0, 50, 1.0}, {0, 0.0, 1, 1.0},   {7, -2.0, 7, 1.0},
                               {25, std::numeric_limits<double>::infinity(), 25, 1.0},
                               {25, std::numeric_limits<double>::quiet_NaN(), 25, 1.0}};
    for (const Case& c : cases) {
        TVGConvertFlag f = BaseFlag(clip, QString("range-%1-%2.gif").arg(c.fps).arg(c.speed));
        f.StartPTS = T(10);
        f.EndPTS = T(40);
        f.GifFPS = c.fps;
        f.GifSpeed = c.speed;
        const TRun r = Convert(f);
        ExpectFinished(r);
        // Output frame k shows the last source frame whose time, counted from
        // the start, rounds to k output frame periods or fewer (halves away
        // from zero), for every moment before the end.
        QList<int> expected;
        for (int k = 0;; ++k) {
            const double moment = double(f.StartPTS) + k * c.useSpeed * 1e6 / c.useFps;
            if (moment >= double(f.EndPTS))
                break;
            int shown = 10;
            for (int i = 11; i < 40; ++i)
                if (std::floor(double(T(i) - f.StartPTS) * c.useFps / (c.useSpeed * 1e6) + 0.5 + 1e-6) <= k)
                    shown = i;
            expected.append(shown);
        }
        // Identical neighbours merge into one GIF frame.
        QList<int> merged;
        for (int i : expected)
            if (merged.isEmpty() || merged.last() != i)
                merged.append(i);
        EXPECT_EQ(GifIndexes(f.GifFileName), merged) << c.fps << " fps, speed " << c.speed;
        EXPECT_EQ(r.WParam, expected.size());
        EXPECT_EQ(r.LParam, 1000);
        // Play time = range / speed, within one output frame period.
        const TGifBlocks g = ParseGif(f.GifFileName);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(g.LoopCount, 0);
        const double expectCs = double(f.EndPTS - f.StartPTS) / c.useSpeed / 1e4;
        EXPECT_NEAR(SumDelays(g), expectCs, 100.0 / c.useFps) << c.fps << " fps, speed " << c.speed;
        for (int d : g.Delays)
            EXPECT_GE(d, 2);
    }
}

// The frames the FFmpeg command line's fps filter shows, as indexes with
// identical neighbours merged; empty when the command line is missing.
QList<int> FpsFilterIndexes(const QString& video, int fps, const QString& dir)
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        return {};
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-nostdin", "-i", video, "-vf", QString("fps=%1").arg(fps), dir + "/f%04d.png"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QList<int> r;
    for (const QString& name : QDir(dir).entryList({"f*.png"}, QDir::Files, QDir::Name)) {
        const int i = ReadFixtureIndex(QImage(dir + "/" + name));
        if (r.isEmpty() || r.last() != i)
            r.append(i);
    }
    return r;
}

TEST(ConvertE2E, FramesMatchTheCommandLinesFpsFilter)
{
    REQUIRE_INDEPENDENT_TOOL(ffmpegTool, "ffmpeg");
    struct Case { int num, den, fps; };
    for (const Case& c : {Case{25, 1, 15}, Case{25, 1, 10}, Case{24, 1, 15}, Case{30000, 1001, 15}, Case{30, 1, 12},
                          Case{30, 1, 15}}) {
        TClip clip;
        clip.Dir = MakeTempDir("conv-fps");
        clip.Video.Path = clip.Dir + "clip.mp4";
        // B-frames that no output frame shows are left undecoded; the picks must not change.
        clip.Video.BFrames = 3;
        clip.Video.FrameRateNum = c.num;
        clip.Video.FrameRateDen = c.den;
        clip.Video.FrameCount = 60;
        clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = BaseFlag(clip, "fps.gif");
        f.GifFPS = c.fps;
        ExpectFinished(Convert(f));
        const QList<int> reference = FpsFilterIndexes(clip.Video.Path, c.fps, clip.Dir + "ref");
        ASSERT_FALSE(reference.isEmpty());
        // The filter stops at the end time rounded to its grid; the GIF has a
        // frame for every moment before the end, so it may show one more.
        const QList<int> ours = GifIndexes(f.GifFileName);
        EXPECT_EQ(ours.mid(0, reference.size()), reference) << c.num << "/" << c.den << " fps at " << c.fps;
        EXPECT_LE(ours.size() - reference.size(), 1);
    }
}

TEST(ConvertE2E, DeletedFramesAreCutAndAskedWithTheirExactTimes)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    const std::set<int> deleted = {12, 13, 20, 39};
    std::set<int64_t> deletedTimes;
    for (int i : deleted)
        deletedTimes.insert(T(i));
    std::set<int64_t> asked;
    TVGConvertFlag f = BaseFlag(clip, "deleted.gif");
    f.StartPTS = T(10);
    f.EndPTS = T(40);
    f.OnFrameDeleted = [&](int64_t pts) {
        asked.insert(pts);
        return deletedTimes.count(pts) > 0;
    };
    const TRun r = Convert(f);
    ExpectFinished(r);
    QList<int> expected;
    for (int i = 10; i < 40; ++i)
        if (!deleted.count(i))
            expected.append(i);
    EXPECT_EQ(GifIndexes(f.GifFileName), expected);
    EXPECT_EQ(r.WParam, expected.size());
    // Every frame of the range was asked about, with its exact time.
    std::set<int64_t> range;
    for (int i = 10; i < 40; ++i)
        range.insert(T(i));
    EXPECT_EQ(asked, range);
    // The GIF is shorter by the deleted frames' durations.
    EXPECT_NEAR(SumDelays(ParseGif(f.GifFileName)), (30 - int(deleted.size())) * 4, 4);
}

TEST(ConvertE2E, ReverseAndPingPongOrders)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    const QList<int> forward = Seq(10, 20);
    QList<int> pingpong = forward;
    pingpong += Seq(18, 10, -1);   // 10..19 then 18..11
    const QList<std::pair<int, QList<int>>> cases = {{1, Seq(19, 9, -1)}, {2, pingpong}};
    for (const auto& [sequence, expected] : cases) {
        TVGConvertFlag f = BaseFlag(clip, QString("order-%1.gif").arg(sequence));
        f.StartPTS = T(10);
        f.EndPTS = T(20);
        f.Sequence = uint8_t(sequence);
        const TRun r = Convert(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), expected) << "sequence " << sequence;
        EXPECT_EQ(r.WParam, expected.size());
        // No frame store is left behind.
        const QStringList left = QDir(clip.Dir).entryList({"*.rgb", "*.part"}, QDir::Files);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }
}

TEST(ConvertE2E, FrameLimitStopsTheGifAndIsReported)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    struct Case { int limit; int sequence; QList<int> expected; intptr_t lParam; };
    const QList<Case> cases = {
        {7, 0, Seq(0, 7), 7},
        {7, 1, Seq(49, 42, -1), 7},                 // reverse: the last frames first
        {53, 2, Seq(0, 50) + Seq(48, 45, -1), 53},  // ping-pong: cut on the way back
        {0, 0, {0}, 0},                             // below 1 counts as 1
    };
    for (const Case& c : cases) {
        TVGConvertFlag f = BaseFlag(clip, QString("limit-%1-%2.gif").arg(c.limit).arg(c.sequence));
        f.MaxFrameCount = c.limit;
        f.Sequence = uint8_t(c.sequence);
        const TRun r = Convert(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), c.expected) << "limit " << c.limit << " order " << c.sequence;
        EXPECT_EQ(r.WParam, c.expected.size());
        EXPECT_EQ(r.LParam, c.lParam);
        EXPECT_GE(r.WParam, r.LParam);  // the window tells the user the limit was reached
    }
}

TEST(ConvertE2E, LoopExtension)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    for (const auto& [loop, count] : {std::pair{-1, 0}, {0, -2}, {3, 3}}) {
        TVGConvertFlag f = BaseFlag(clip, QString("loop%1.gif").arg(loop));
        f.EndPTS = T(3);
        f.GifLoop = loop;
        ExpectFinished(Convert(f));
        const TGifBlocks g = ParseGif(f.GifFileName);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(g.LoopCount, count) << "loop " << loop;
    }
}

namespace {

enum { TL, TR, BR, BL };

// Which corner of the picture holds the red marker; -1 when none does clearly.
int RedCorner(const QImage& img)
{
    int found = -1, hits = 0;
    const int w = img.width(), h = img.height();
    const QPoint probes[4] = {{4, 4}, {w - 5, 4}, {w - 5, h - 5}, {4, h - 5}};
    for (int c = 0; c < 4; ++c) {
        const QRgb p = img.pixel(probes[c]);
        if (qRed(p) > 180 && qGreen(p) < 80 && qBlue(p) < 80) {
            found = c;
            ++hits;
        }
    }
    return hits == 1 ? found : -1;
}

}  // namespace

TEST(ConvertE2E, EveryRotationWithEveryFlip)
{
    TClip clip;
    clip.Dir = MakeTempDir("conv-rot");
    clip.Video.Path = clip.Dir + "marker.mp4";
    clip.Video.FrameCount = 3;
    clip.Video.Quality = 15;
    clip.Video.Painter = [](QImage& pic, int) {
        pic.fill(qRgb(128, 128, 128));
        QPainter p(&pic);
        p.fillRect(0, 0, 24, 24, QColor(230, 20, 20));
    };
    clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
    REQUIRE_CLIP(clip);
    for (int rot = 0; rot < 4; ++rot)
        for (int flip = 0; flip < 4; ++flip) {
            TVGConvertFlag f = BaseFlag(clip, QString("rot%1-flip%2.gif").arg(rot).arg(flip));
            f.Rotation = uint8_t(rot);
            f.Flip = uint8_t(flip);
            ExpectFinished(Convert(f));
            const QList<QImage> frames = ReadWithQt(f.GifFileName);
            ASSERT_FALSE(frames.isEmpty());
            const QSize expectSize = rot % 2 ? QSize(120, 160) : QSize(160, 120);
            EXPECT_EQ(frames[0].size(), expectSize) << "rotation " << rot;
            // Clockwise quarter turns move the corner along TL, TR, BR, BL;
            // then the horizontal flip, then the vertical one.
            int corner = (TL + rot) % 4;
            if (flip & 1)
                corner = corner == TL ? TR : corner == TR ? TL : corner == BR ? BL : BR;
            if (flip & 2)
                corner = corner == TL ? BL : corner == BL ? TL : corner == TR ? BR : TR;
            EXPECT_EQ(RedCorner(frames[0]), corner) << "rotation " << rot << " flip " << flip;
            EXPECT_EQ(RedCorner(ReadWithFFmpeg(f.GifFileName).value(0)), corner) << "rotation " << rot << " flip " << flip;
        }
}

TEST(ConvertE2E, CropScaleAndOverlaysAtTheirScaledPlaces)
{
    TClip clip;
    clip.Dir = MakeTempDir("conv-crop");
    clip.Video.Path = clip.Dir + "crop.mp4";
    clip.Video.FrameCount = 3;
    clip.Video.Quality = 15;
    // Grey with a green square at (100, 60)-(120, 80) of the source.
    clip.Video.Painter = [](QImage& pic, int) {
        pic.fill(qRgb(128, 128, 128));
        QPainter p(&pic);
        p.fillRect(100, 60, 20, 20, QColor(20, 220, 20));
    };
    clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
    REQUIRE_CLIP(clip);
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(qRgb(20, 20, 230));
    const QString logoFile = clip.Dir + "logo.png";
    ASSERT_TRUE(logo.save(logoFile));

    // The project as the program builds it; its own StartConversion.
    TVGProj proj;
    proj.VideoFileName = clip.Video.Path;
    proj.GifFileName = clip.Dir + "crop.gif";
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(proj.VideoFileName));
    proj.LoadStreamInfo(&dec);
    dec.CloseFile();
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;
    proj.UseCrop = true;
    proj.CropRect = {40, 20, 160, 120};      // 120 x 100
    proj.SizeStyle = ssHalf;                 // 60 x 50
    proj.GifFPS = 25;
    proj.GifLoop = -1;
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = logoFile;
    proj.Logo.X = 60;
    proj.Logo.Y = 80;
    proj.Logo.Width = 20;
    proj.Logo.Height = 20;                   // lands at (10, 30), 10 x 10
    TTextObj* text = proj.Texts.Add();
    text->FontName = QStringLiteral("DejaVu Sans");
    text->FontSize = 10;                     // em 20 source px, 10 output px
    text->FontColor = 0x00FFFFFF;
    text->Text = QStringLiteral("XX");
    text->X = 100;
    text->Y = 22;                            // lands at (30, 1)
    ASSERT_EQ(proj.GetOutputSize(), QSize(60, 50));

    TReceiver recv;
    const TRun r = Drive(recv, std::unique_ptr<TVideo2GifThread>(proj.StartConversion(&recv)));
    ExpectFinished(r);
    for (const QList<QImage>& frames : {ReadWithQt(proj.GifFileName), ReadWithFFmpeg(proj.GifFileName)}) {
        ASSERT_FALSE(frames.isEmpty());
        const QImage& img = frames[0];
        ASSERT_EQ(img.size(), QSize(60, 50));
        auto isGreen = [&](int x, int y) { const QRgb p = img.pixel(x, y); return qGreen(p) > 170 && qRed(p) < 90; };
        auto isBlue = [&](int x, int y) { const QRgb p = img.pixel(x, y); return qBlue(p) > 170 && qRed(p) < 90; };
        auto isWhite = [&](int x, int y) { const QRgb p = img.pixel(x, y); return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
        // The green square: source (100, 60) -> ((100 - 40) / 2, (60 - 20) / 2) = (30, 20), 10 x 10.
        EXPECT_TRUE(isGreen(35, 25));
        EXPECT_FALSE(isGreen(26, 25));
        EXPECT_FALSE(isGreen(44, 25));
        EXPECT_FALSE(isGreen(35, 16));
        EXPECT_FALSE(isGreen(35, 34));
        // The logo: source (60, 80) 20 x 20 -> (10, 30) 10 x 10.
        EXPECT_TRUE(isBlue(12, 32));
        EXPECT_TRUE(isBlue(18, 38));
        EXPECT_FALSE(isBlue(8, 35));
        EXPECT_FALSE(isBlue(21, 35));
        EXPECT_FALSE(isBlue(15, 41));
        // The text: white pixels right of (30, 1) in the top rows, none left of it.
        int inside = 0, outside = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 60; ++x)
                if (isWhite(x, y))
                    ++(x >= 29 ? inside : outside);
        EXPECT_GT(inside, 5);
        EXPECT_EQ(outside, 0);
    }
}

TEST(ConvertE2E, CancelIsHonouredQuickly)
{
    TClip clip;
    clip.Dir = MakeTempDir("conv-cancel");
    clip.Video.Path = clip.Dir + "long.mp4";
    clip.Video.Width = 320;
    clip.Video.Height = 240;
    clip.Video.FrameCount = 150;
    clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
    REQUIRE_CLIP(clip);
    for (int sequence = 0; sequence < 3; ++sequence)
        for (bool atOnce : {true, false}) {
            TVGConvertFlag f = BaseFlag(clip, QString("cancel-%1-%2.gif").arg(sequence).arg(atOnce));
            f.Sequence = uint8_t(sequence);
            TReceiver recv;
            f.NotifyWnd = &recv;
            auto thread = std::make_unique<TVideo2GifThread>(f);
            thread->Resume();
            if (!atOnce) {
                // Well into the work: a frame or more on the way.
                QElapsedTimer wait;
                wait.start();
                while (wait.elapsed() < 30000 && recv.R.Percents.value(recv.R.Percents.size() - 1, 0) < 5 && !thread->isFinished())
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                ASSERT_FALSE(thread->isFinished()) << "finished before it could be cancelled";
            }
            QElapsedTimer timer;
            timer.start();
            thread->Terminate();
            thread->wait();
            const qint64 ms = timer.elapsed();
            std::printf("cancel (order %d, %s): %lld ms\n", sequence, atOnce ? "at once" : "under way", (long long)ms);
            EXPECT_LT(ms, 1000);
            thread.reset();
            QCoreApplication::sendPostedEvents(&recv);
            EXPECT_EQ(recv.R.Errors, 0) << recv.R.Error.toStdString();
            EXPECT_EQ(recv.R.Finishes, 0);
            // A cancelled conversion leaves no GIF under the real name and no temporary files.
            EXPECT_FALSE(QFile::exists(f.GifFileName));
            const QStringList left = QDir(clip.Dir).entryList({"*.rgb", "*.part"}, QDir::Files);
            EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
        }
}

TEST(ConvertE2E, ErrorsEndWithOneMessageAndNoGif)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("conv-err");

    // Not a video.
    const QString junk = dir + "junk.mp4";
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    TVGConvertFlag f = BaseFlag(clip, "never.gif");
    f.VideoFileName = junk;
    f.GifFileName = dir + "junk.gif";
    ExpectFailed(Convert(f), junk);
    EXPECT_FALSE(QFile::exists(f.GifFileName));

    // Missing file.
    f.VideoFileName = dir + "missing.mp4";
    ExpectFailed(Convert(f), f.VideoFileName);

    // No video stream: a generated sound file and, when there, a shared one.
    const QString audio = dir + "tone.m4a";
    QString err;
    if (WriteFixtureAudio(audio, 1.0, false, &err)) {
        f.VideoFileName = audio;
        ExpectFailed(Convert(f), "no video stream");
    }
    const QString shared = SharedMediaDir().isEmpty() ? QString() : SharedMediaDir() + "leaving_dreams.mkv";
    if (!shared.isEmpty() && QFile::exists(shared)) {
        f.VideoFileName = shared;
        ExpectFailed(Convert(f), "no video stream");
    }
    EXPECT_FALSE(QFile::exists(f.GifFileName));

    // An output folder that does not exist.
    f = BaseFlag(clip, "x.gif");
    f.GifFileName = dir + "no/such/folder/out.gif";
    ExpectFailed(Convert(f), f.GifFileName);
    EXPECT_FALSE(QDir(dir + "no").exists());

    // A range past the end of the video, and an empty range.
    f = BaseFlag(clip, "x.gif");
    f.GifFileName = dir + "late.gif";
    f.StartPTS = 10'000'000;
    f.EndPTS = 11'000'000;
    ExpectFailed(Convert(f), "frame");
    EXPECT_FALSE(QFile::exists(f.GifFileName));
    f.StartPTS = f.EndPTS;
    ExpectFailed(Convert(f), "empty");

    // Sizes a GIF cannot have.
    for (const QSize& s : {QSize(0, 10), QSize(70000, 10)}) {
        f = BaseFlag(clip, "x.gif");
        f.GifFileName = dir + "size.gif";
        f.ScaleFactor = -1;
        f.CustomWidth = s.width();
        f.CustomHeight = s.height();
        ExpectFailed(Convert(f), QString::number(s.width()));
        EXPECT_FALSE(QFile::exists(f.GifFileName));
    }
    // An output that is the video, by any name: refused before anything is
    // written, the video untouched.
    const QString video = dir + "video.mp4";
    ASSERT_TRUE(QFile::copy(clip.Video.Path, video));
    ASSERT_TRUE(QFile::link(video, dir + "video-link.gif"));
    ASSERT_TRUE(QDir(dir).mkdir("sub"));
    const qint64 videoSize = QFileInfo(video).size();
    for (const QString& out : {video, dir + "video-link.gif", dir + "./sub/../video.mp4"}) {
        for (uint8_t sequence : {uint8_t(0), uint8_t(1)}) {
            f = BaseFlag(clip, "x.gif");
            f.VideoFileName = video;
            f.GifFileName = out;
            f.Sequence = sequence;
            ExpectFailed(Convert(f), "is the video being converted");
            EXPECT_EQ(QFileInfo(video).size(), videoSize) << out.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(dir + "video-link.gif").isSymLink());
    // No temporary files are left behind in the output folder.
    const QStringList left = QDir(dir).entryList({"*.rgb", "*.part"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

// The video's own geometry (display rotation, mirror, pixel shape) comes
// before the crop, whose rectangle is in the pixels the player shows.
TEST(ConvertE2E, CropIsInDisplayedPixelsWhateverTheVideosOwnGeometry)
{
    struct Geometry { int rotation; bool mirror; int sarNum, sarDen; };
    const Geometry cases[] = {{0, false, 1, 1}, {90, false, 1, 1}, {180, false, 1, 1}, {270, false, 1, 1},
                              {0, true, 1, 1}, {90, true, 1, 1}, {0, false, 4, 3}, {180, true, 8, 9},
                              {270, true, 4, 3}, {90, false, 3, 2}};
    for (const Geometry& g : cases) {
        const std::string what = "rotation " + std::to_string(g.rotation) + (g.mirror ? " mirrored" : "") + " sar "
            + std::to_string(g.sarNum) + ":" + std::to_string(g.sarDen);
        const int rotation = g.rotation;
        TClip clip;
        clip.Dir = MakeTempDir("conv-disp");
        clip.Video.Path = clip.Dir + "disp.mp4";
        clip.Video.FrameCount = 2;
        clip.Video.Quality = 15;
        clip.Video.Rotation = rotation;
        clip.Video.Mirror = g.mirror;
        clip.Video.SampleAspectNum = g.sarNum;
        clip.Video.SampleAspectDen = g.sarDen;
        // Upright: grey, red at the top left, green at (100, 60)-(120, 80).
        clip.Video.Painter = [](QImage& pic, int) {
            pic.fill(qRgb(128, 128, 128));
            QPainter p(&pic);
            p.fillRect(0, 0, 24, 24, QColor(230, 20, 20));
            p.fillRect(100, 60, 20, 20, QColor(20, 220, 20));
        };
        clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = BaseFlag(clip, "disp.gif");
        f.UseCrop = true;
        f.CropRect = {40, 20, 160, 120};
        const TRun r = Convert(f);
        ExpectFinished(r);
        const QImage img = ReadWithQt(f.GifFileName).value(0);
        ASSERT_EQ(img.size(), QSize(120, 100)) << what;
        auto isGreen = [&](int x, int y) { const QRgb p = img.pixel(x, y); return qGreen(p) > 170 && qRed(p) < 90; };
        EXPECT_TRUE(isGreen(62, 42) && isGreen(77, 57)) << what;
        EXPECT_FALSE(isGreen(57, 50) || isGreen(83, 50) || isGreen(70, 37) || isGreen(70, 63)) << what;
        // Without the crop the red corner stays at the top left.
        f.UseCrop = false;
        f.GifFileName = clip.Dir + "disp-full.gif";
        ExpectFinished(Convert(f));
        const QImage full = ReadWithQt(f.GifFileName).value(0);
        EXPECT_EQ(full.size(), QSize(160, 120)) << what;
        EXPECT_EQ(RedCorner(full), TL) << what;
    }
}

TEST(ConvertE2E, VariableFrameRateKeepsTheFramesOnTheGifsTimeGrid)
{
    TClip clip;
    clip.Dir = MakeTempDir("conv-vfr");
    clip.Video.Path = clip.Dir + "vfr.mkv";
    clip.Video.FrameCount = 40;
    clip.Video.VariableFrameRate = true;
    clip.Ok = WriteFixtureVideo(clip.Video, &clip.Error);
    REQUIRE_CLIP(clip);
    TVGConvertFlag f = BaseFlag(clip, "vfr.gif");
    f.EndPTS = FixtureFrameTimeUs(clip.Video, 39) + FixtureFrameDurationUs(clip.Video, 39);
    f.GifFPS = 25;
    ExpectFinished(Convert(f));
    QList<int> expected;
    for (int k = 0;; ++k) {
        const int64_t moment = f.StartPTS + int64_t(k) * 40000;
        if (moment >= f.EndPTS)
            break;
        int shown = 0;
        for (int i = 1; i < 40; ++i)
            if (std::floor(double(FixtureFrameTimeUs(clip.Video, i)) / 40000.0 + 0.5 + 1e-6) <= k)
                shown = i;
        if (expected.isEmpty() || expected.last() != shown)
            expected.append(shown);
    }
    EXPECT_EQ(GifIndexes(f.GifFileName), expected);
    EXPECT_NEAR(SumDelays(ParseGif(f.GifFileName)), double(f.EndPTS - f.StartPTS) / 1e4, 4);
}

TEST(ConvertE2E, StartBetweenFramesTakesTheFrameOnShowWhenItRoundsToTheStart)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    // 10 ms into frame 10 (40 ms long): frame 10 rounds to the first moment;
    // 30 ms in, frame 11 does.
    for (const auto& [offset, first] : {std::pair{10000, 10}, {30000, 11}}) {
        TVGConvertFlag f = BaseFlag(clip, QString("between-%1.gif").arg(offset));
        f.StartPTS = T(10) + offset;
        f.EndPTS = T(20) + offset;
        const TRun r = Convert(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), Seq(first, first + 10)) << "offset " << offset;
    }
}

namespace {

struct TCliResult { int Code = -1; QString Out, Err; };

TCliResult RunCli(const QStringList& args)
{
    TCliResult r;
    QProcess p;
    p.start(QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"), QStringList{"convert"} + args);
    if (!p.waitForFinished(120000))
        return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

}  // namespace

TEST(ConvertE2E, CommandLineConvertBuildsTheProjectAndReports)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    if (!QFile::exists(GANTERLY_BIN_DIR "/ganterly-cli"))
        GTEST_SKIP() << "ganterly-cli is not built";
    const QString dir = MakeTempDir("conv-cli");
    const QString gif = dir + "cli.gif";
    // Frames 10..19 at the source rate, 12 and 15 deleted, at the full size.
    const TCliResult r = RunCli({clip.Video.Path, gif, "--start", FormatPTS(T(10)), "--duration", "0.4",
                                 "--size", "original", "--fps", "25", "--loop", "3",
                                 "--delete", FormatPTS(T(12)), QString::number(T(15) / 1e6, 'f', 3)});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains("8 frames written")) << r.Out.toStdString();
    EXPECT_FALSE(r.Err.contains("%")) << "no progress line off a terminal: " << r.Err.toStdString();
    EXPECT_EQ(GifIndexes(gif), (QList<int>{10, 11, 13, 14, 16, 17, 18, 19}));
    EXPECT_EQ(ParseGif(gif).LoopCount, 3);

    // The size rule WxH with -2: the aspect kept, the height even; rotation and order.
    const QString gif2 = dir + "cli2.gif";
    const TCliResult r2 = RunCli({clip.Video.Path, gif2, "--end", "0.4", "--size", "90x-2", "--rotate", "90",
                                  "--order", "reverse", "--fps", "25", "--max-frames", "4"});
    ASSERT_EQ(r2.Code, 0) << r2.Err.toStdString();
    const QList<QImage> frames = ReadWithQt(gif2);
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(frames[0].size(), QSize(68, 90));   // 90 x 67.5 -> 90 x 68, then turned

    // Failures of the work exit with 1 and the reason, usage errors with 2.
    const TCliResult bad = RunCli({dir + "missing.mp4", dir + "x.gif"});
    EXPECT_EQ(bad.Code, 1);
    EXPECT_TRUE(bad.Err.contains("missing.mp4")) << bad.Err.toStdString();
    const TCliResult badDir = RunCli({clip.Video.Path, dir + "no/such/x.gif", "--end", "0.2"});
    EXPECT_EQ(badDir.Code, 1);
    EXPECT_TRUE(badDir.Err.contains("no/such/x.gif")) << badDir.Err.toStdString();
    const TCliResult badArg = RunCli({clip.Video.Path, dir + "x.gif", "--rotate", "45"});
    EXPECT_EQ(badArg.Code, 2);
    EXPECT_TRUE(badArg.Err.contains("--rotate")) << badArg.Err.toStdString();
}

TEST(ConvertE2E, ARangePastTheVideosEndStopsWithItsLastFrame)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    for (int sequence : {0, 1}) {
        TVGConvertFlag f = BaseFlag(clip, QString("past-end-%1.gif").arg(sequence));
        f.StartPTS = T(40);
        f.EndPTS = 5'000'000;   // the video ends at 2 s
        f.Sequence = uint8_t(sequence);
        const TRun r = Convert(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), sequence ? Seq(49, 39, -1) : Seq(40, 50));
        EXPECT_EQ(r.WParam, 10);
        EXPECT_EQ(SumDelays(ParseGif(f.GifFileName)), 40);  // ten frames of 40 ms, not 3.4 s
    }
}
