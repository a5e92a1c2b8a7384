// Whole conversions of generated videos whose frames show their own index,
// the GIFs decoded back with Qt's reader and with FFmpeg's, and what the
// thread reports checked on the way. The planning rules on their own are in
// test_convert.cpp.
#include "ConvertSupport.h"
#include "FFDecoder.h"
#include "FixtureVideo.h"
#include "GifRead.h"
#include "TestSupport.h"
#include "VGConvert.h"
#include "VGProj.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTransform>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <set>

namespace {

int64_t T(int index) { return FixtureFrameTimeUs(IndexClip().Video, index); }

// A larger clip for crops and overlays: 320 x 240, four frames.
const TClip& LargeClip()
{
    static const TClip clip = MakeClip(QStringLiteral("conv-large"), QStringLiteral("large.mp4"), [](TFixtureVideo& v) {
        v.Width = 320;
        v.Height = 240;
        v.FrameCount = 4;
        v.Quality = 16;
    });
    return clip;
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
    auto gifName = [](int fps, double speed) { return QString("range-%1-%2.gif").arg(fps).arg(speed); };
    QMap<QString, TConvertRun> runs;
    for (const Case& c : cases) {
        TVGConvertFlag f = ClipFlag(clip, gifName(c.fps, c.speed), 10, 40);
        f.GifFPS = c.fps;
        f.GifSpeed = c.speed;
        const TConvertRun r = RunConversion(f);
        runs.insert(gifName(c.fps, c.speed), r);
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
        EXPECT_EQ(r.Written, expected.size());
        EXPECT_EQ(r.Limit, 1000);
        // Play time = range / speed, within one output frame period.
        const TGifBlocks g = ParseGif(f.GifFileName);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(g.LoopCount, 0);
        const double expectCs = double(f.EndPTS - f.StartPTS) / c.useSpeed / 1e4;
        EXPECT_NEAR(GifPlayTimeCs(f.GifFileName), expectCs, 100.0 / c.useFps) << c.fps << " fps, speed " << c.speed;
        for (int d : g.Delays)
            EXPECT_GE(d, 2);
    }

    // The same runs, written out by hand. At the source rate: every frame of
    // the range, end excluded, 40 ms each.
    QList<int> delaysMs;
    EXPECT_EQ(Indexes(ReadWithQt(clip.Dir + gifName(25, 1.0), &delaysMs)), Seq(10, 40));
    for (int d : delaysMs)
        EXPECT_EQ(d, 40);
    EXPECT_EQ(runs.value(gifName(25, 1.0)).Written, 30);
    // 5 fps: every fifth frame, the last of each five-frame window around
    // the moment (10 + 2, 15 + 2, ...), 200 ms each.
    delaysMs.clear();
    EXPECT_EQ(Indexes(ReadWithQt(clip.Dir + gifName(5, 1.0), &delaysMs)), Seq(12, 40, 5));
    EXPECT_EQ(delaysMs, QList<int>(6, 200));
    // Twice the speed at the source rate: every other frame.
    EXPECT_EQ(Indexes(ReadWithQt(clip.Dir + gifName(25, 2.0))), Seq(10, 40, 2));

    // FFmpeg's reader sees the same frames at the carried-rounding times:
    // 15 fps gives 6, 7, 7 cs; the frames are those the fps filter shows
    // for 25 fps at 15 fps (0, 2, 4, 5, 7, 9, ...).
    TVGConvertFlag f = ClipFlag(clip, QStringLiteral("fps15.gif"));
    f.GifFPS = 15;
    ExpectFinished(RunConversion(f));
    QList<int64_t> times;
    const QList<QImage> frames = ReadWithFFmpeg(f.GifFileName, nullptr, nullptr, &times);
    ASSERT_EQ(frames.size(), 30);  // 2 s at 15 fps
    ASSERT_EQ(times.size(), 30);
    for (int k = 0; k < 30; ++k) {
        EXPECT_EQ(ReadFixtureIndex(frames[k]), (10 * k + 5) / 6) << k;
        EXPECT_EQ(times[k] - times[0], int64_t((k * 200 + 15) / 30) * 10000) << k;
    }
}

// The frames the FFmpeg command line's fps filter shows, as indexes with
// identical neighbours merged; empty when the command line is missing.
static QList<int> FpsFilterIndexes(const QString& video, int fps, const QString& dir)
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
        const TClip clip = MakeClip(QStringLiteral("conv-fps"), QStringLiteral("clip.mp4"), [&](TFixtureVideo& v) {
            // B-frames that no output frame shows are left undecoded; the picks must not change.
            v.BFrames = 3;
            v.FrameRateNum = c.num;
            v.FrameRateDen = c.den;
            v.FrameCount = 60;
        });
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = ClipFlag(clip, QStringLiteral("fps.gif"));
        f.GifFPS = c.fps;
        ExpectFinished(RunConversion(f));
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
    struct Case { std::set<int> deleted; QList<int> expected; };
    const QList<Case> cases = {
        {{15, 16, 39}, Seq(10, 15) + Seq(17, 39)},                       // a run and the last frame
        {{12, 13, 20, 39}, Seq(10, 12) + Seq(14, 20) + Seq(21, 39)},
    };
    for (const Case& c : cases) {
        std::set<int64_t> deletedTimes;
        for (int i : c.deleted)
            deletedTimes.insert(T(i));
        std::set<int64_t> asked;
        TVGConvertFlag f = ClipFlag(clip, QString("deleted-%1.gif").arg(c.deleted.size()), 10, 40);
        f.OnFrameDeleted = [&](int64_t pts) {
            asked.insert(pts);
            return deletedTimes.count(pts) > 0;
        };
        const TConvertRun r = RunConversion(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), c.expected);
        EXPECT_EQ(r.Written, c.expected.size());
        // Every frame of the range was asked about, with its exact time.
        for (int i = 10; i < 40; ++i)
            EXPECT_TRUE(asked.count(T(i))) << i;
        std::set<int64_t> range;
        for (int i = 10; i < 40; ++i)
            range.insert(T(i));
        EXPECT_EQ(asked, range);
        // The GIF is shorter by the deleted frames' durations.
        EXPECT_NEAR(GifPlayTimeCs(f.GifFileName), (30 - int(c.deleted.size())) * 4, 4);
    }
}

TEST(ConvertE2E, ReverseAndPingPongOrders)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    struct Case { int from, to, sequence, limit; QList<int> expected; };
    const QList<Case> cases = {
        {5, 12, 1, 1000, Seq(11, 4, -1)},
        {5, 12, 2, 1000, Seq(5, 12) + Seq(10, 5, -1)},
        // With a limit: reverse keeps the last frames of the range, ping-pong its first.
        {5, 12, 2, 4, Seq(5, 9)},
        {5, 12, 1, 4, Seq(11, 7, -1)},
        {5, 12, 2, 9, Seq(5, 12) + Seq(10, 8, -1)},
        {10, 20, 1, 1000, Seq(19, 9, -1)},
        {10, 20, 2, 1000, Seq(10, 20) + Seq(18, 10, -1)},  // 10..19 then 18..11
    };
    for (const Case& c : cases) {
        TVGConvertFlag f = ClipFlag(clip, QString("order-%1-%2-%3.gif").arg(c.from).arg(c.sequence).arg(c.limit), c.from, c.to);
        f.Sequence = uint8_t(c.sequence);
        f.MaxFrameCount = c.limit;
        const TConvertRun r = RunConversion(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), c.expected) << "sequence " << c.sequence << " from " << c.from << " limit " << c.limit;
        EXPECT_EQ(r.Written, c.expected.size());
        // No frame store is left behind.
        const QStringList left = LeftoverFiles(clip.Dir);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    }
}

TEST(ConvertE2E, FrameLimitStopsTheGifAndIsReported)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    struct Case { int limit; int sequence; QList<int> expected; int limitReported; };
    const QList<Case> cases = {
        {7, 0, Seq(0, 7), 7},
        {7, 1, Seq(49, 42, -1), 7},                 // reverse: the last frames first
        {53, 2, Seq(0, 50) + Seq(48, 45, -1), 53},  // ping-pong: cut on the way back
        {0, 0, {0}, 0},                             // below 1 counts as 1; the finish carries the record's own value
    };
    for (const Case& c : cases) {
        TVGConvertFlag f = ClipFlag(clip, QString("limit-%1-%2.gif").arg(c.limit).arg(c.sequence));
        f.MaxFrameCount = c.limit;
        f.Sequence = uint8_t(c.sequence);
        const TConvertRun r = RunConversion(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), c.expected) << "limit " << c.limit << " order " << c.sequence;
        EXPECT_EQ(r.Written, c.expected.size());
        EXPECT_EQ(r.Limit, c.limitReported);
        EXPECT_GE(r.Written, r.Limit);  // the window tells the user the limit was reached
    }
}

TEST(ConvertE2E, LoopExtension)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    // The flag's loop, the count in the file's extension (-2: none), and Qt's
    // answer: -1 for "forever", 0 without the extension, else the count.
    for (const auto& [loop, count] : {std::pair{-1, 0}, {0, -2}, {3, 3}}) {
        TVGConvertFlag f = ClipFlag(clip, QString("loop%1.gif").arg(loop), 0, 4);
        f.GifLoop = loop;
        ExpectFinished(RunConversion(f));
        const TGifBlocks g = ParseGif(f.GifFileName);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(g.LoopCount, count) << "loop " << loop;
        EXPECT_EQ(QtLoopCount(f.GifFileName), loop) << loop;
        QFile file(f.GifFileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf("NETSCAPE2.0");
        if (loop == 0) {
            EXPECT_LT(at, 0);
        } else {
            ASSERT_GE(at, 0);
            const int stored = uchar(bytes[at + 13]) | (uchar(bytes[at + 14]) << 8);
            EXPECT_EQ(stored, loop < 0 ? 0 : loop);
        }
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

// The order the preview uses: the overlays on the upright frame, then the
// clockwise turn, then the mirror left-right, then top-bottom.
TEST(ConvertE2E, EveryRotationWithEveryFlip)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    // An overlay marks the top-left corner of the frame before rotation and flips.
    auto mark = [](QPainter* p, int w, int h) { p->fillRect(QRect(0, 0, w / 4, h / 4), QColor(255, 0, 0)); };
    for (int rot = 0; rot < 4; ++rot)
        for (int flip = 0; flip < 4; ++flip) {
            TVGConvertFlag f = ClipFlag(clip, QString("rot%1-flip%2.gif").arg(rot).arg(flip), 1, 2);
            f.Rotation = uint8_t(rot);
            f.Flip = uint8_t(flip);
            f.OnDrawOverlay = mark;
            ExpectFinished(RunConversion(f));
            const QList<QImage> frames = ReadWithQt(f.GifFileName);
            ASSERT_FALSE(frames.isEmpty());
            ASSERT_EQ(frames.size(), 1);
            const QSize expectSize = rot % 2 ? QSize(120, 160) : QSize(160, 120);
            EXPECT_EQ(frames[0].size(), expectSize) << "rotation " << rot;
            // The whole picture: the frame with the mark, turned, then mirrored.
            QImage ref = FixtureFramePicture(clip.Video, 1);
            {
                QPainter p(&ref);
                mark(&p, ref.width(), ref.height());
            }
            ref = ref.transformed(QTransform().rotate(90 * rot)).mirrored(flip & 1, flip & 2);
            EXPECT_LT(MeanDiff(frames[0], ref), 8.0) << "rotation " << rot << " flip " << flip;
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
    // The clockwise direction itself: a quarter turn puts the top-left mark at the top right.
    const QImage turned = ReadWithQt(clip.Dir + QStringLiteral("rot1-flip0.gif")).value(0);
    ASSERT_EQ(turned.size(), QSize(120, 160));
    auto isMark = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
    EXPECT_TRUE(isMark(turned.pixel(116, 3)));
    EXPECT_FALSE(isMark(turned.pixel(3, 3)));
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
        const TClip clip = MakeClip(QStringLiteral("conv-disp"), QStringLiteral("disp.mp4"), [&](TFixtureVideo& v) {
            v.FrameCount = 2;
            v.Quality = 15;
            v.Rotation = g.rotation;
            v.Mirror = g.mirror;
            v.SampleAspectNum = g.sarNum;
            v.SampleAspectDen = g.sarDen;
            // Upright: grey, red at the top left, green at (100, 60)-(120, 80).
            v.Painter = [](QImage& pic, int) {
                pic.fill(qRgb(128, 128, 128));
                QPainter p(&pic);
                p.fillRect(0, 0, 24, 24, QColor(230, 20, 20));
                p.fillRect(100, 60, 20, 20, QColor(20, 220, 20));
            };
        });
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = ClipFlag(clip, QStringLiteral("disp.gif"));
        f.UseCrop = true;
        f.CropRect = {40, 20, 160, 120};
        ExpectFinished(RunConversion(f));
        const QImage img = ReadWithQt(f.GifFileName).value(0);
        ASSERT_EQ(img.size(), QSize(120, 100)) << what;
        auto isGreen = [&](int x, int y) { const QRgb p = img.pixel(x, y); return qGreen(p) > 170 && qRed(p) < 90; };
        EXPECT_TRUE(isGreen(62, 42) && isGreen(77, 57)) << what;
        EXPECT_FALSE(isGreen(57, 50) || isGreen(83, 50) || isGreen(70, 37) || isGreen(70, 63)) << what;
        // Without the crop the red corner stays at the top left.
        f.UseCrop = false;
        f.GifFileName = clip.Dir + "disp-full.gif";
        ExpectFinished(RunConversion(f));
        const QImage full = ReadWithQt(f.GifFileName).value(0);
        EXPECT_EQ(full.size(), QSize(160, 120)) << what;
        EXPECT_EQ(RedCorner(full), TL) << what;
    }

    // Index pictures, compared whole with the upright picture cut the same
    // way: a turned clip, and a mirrored front-camera clip with non-square
    // pixels (stored 120 x 96), stretched, turned and mirrored before the crop.
    struct Indexed { int width, height, rotation; bool mirror; int sarNum, sarDen; TVGCropRect crop; QSize size; };
    const Indexed indexed[] = {{96, 128, 90, false, 1, 1, {8, 16, 88, 112}, {80, 96}},
                               {96, 160, 90, true, 4, 3, {8, 16, 88, 136}, {80, 120}}};
    for (const Indexed& g : indexed) {
        const TClip clip = MakeClip(QStringLiteral("conv-disp"), QStringLiteral("index.mp4"), [&](TFixtureVideo& v) {
            v.Width = g.width;
            v.Height = g.height;
            v.FrameCount = 4;
            v.Quality = 16;
            v.Rotation = g.rotation;
            v.Mirror = g.mirror;
            v.SampleAspectNum = g.sarNum;
            v.SampleAspectDen = g.sarDen;
        });
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = ClipFlag(clip, QStringLiteral("index.gif"), 0, 3);
        f.UseCrop = true;
        f.CropRect = g.crop;
        ExpectFinished(RunConversion(f));
        const QList<QImage> frames = ReadWithQt(f.GifFileName);
        ASSERT_EQ(frames.size(), 3);
        EXPECT_EQ(frames[0].size(), g.size);
        ASSERT_EQ(frames[1].size(), g.size);
        const QImage ref = FixtureFramePicture(clip.Video, 1).copy(g.crop.Left, g.crop.Top, g.size.width(), g.size.height());
        EXPECT_LT(MeanDiff(frames[1], ref), 8.0);
        if (g.mirror) {
            EXPECT_GT(MeanDiff(frames[1], ref.mirrored(true, false)), 2 * MeanDiff(frames[1], ref));
        }
    }
}

TEST(ConvertE2E, CropScaleAndOverlaysAtTheirScaledPlaces)
{
    // The flag's own overlay callback: called with the output size, drawn at
    // output coordinates on the cropped and scaled frame.
    {
        const TClip& clip = LargeClip();
        REQUIRE_CLIP(clip);
        TVGConvertFlag f = ClipFlag(clip, QStringLiteral("crop.gif"), 0, 2);
        f.UseCrop = true;
        f.CropRect = {41, 20, 281, 200};  // 240 x 180, odd left edge
        f.ScaleFactor = 0.5;
        QSize drawnOn;
        f.OnDrawOverlay = [&](QPainter* p, int w, int h) {
            drawnOn = QSize(w, h);
            p->fillRect(QRect(10, 20, 30, 15), QColor(0, 0, 255));
        };
        ExpectFinished(RunConversion(f));
        const QList<QImage> g = ReadWithQt(f.GifFileName);
        ASSERT_EQ(g.size(), 2);
        EXPECT_EQ(drawnOn, QSize(120, 90));
        EXPECT_EQ(g[0].size(), QSize(120, 90));
        QImage ref = FixtureFramePicture(clip.Video, 1).copy(41, 20, 240, 180).scaled(120, 90, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        {
            QPainter p(&ref);
            p.fillRect(QRect(10, 20, 30, 15), QColor(0, 0, 255));
        }
        EXPECT_LT(MeanDiff(g[1], ref), 8.0);
        const QRgb inside = g[1].pixel(25, 27);
        EXPECT_GT(qBlue(inside), 200);
        EXPECT_LT(qRed(inside), 60);

        // A custom size stretches the cropped picture.
        f.GifFileName = clip.Dir + QStringLiteral("custom.gif");
        f.ScaleFactor = -1;
        f.CustomWidth = 100;
        f.CustomHeight = 40;
        f.OnDrawOverlay = nullptr;
        ExpectFinished(RunConversion(f));
        const QList<QImage> s = ReadWithQt(f.GifFileName);
        ASSERT_EQ(s.size(), 2);
        EXPECT_EQ(s[0].size(), QSize(100, 40));
    }

    // The project as the program builds it, with its logo and text, through
    // its own StartConversion.
    const TClip clip = MakeClip(QStringLiteral("conv-crop"), QStringLiteral("crop.mp4"), [](TFixtureVideo& v) {
        v.FrameCount = 3;
        v.Quality = 15;
        // Grey with a green square at (100, 60)-(120, 80) of the source.
        v.Painter = [](QImage& pic, int) {
            pic.fill(qRgb(128, 128, 128));
            QPainter p(&pic);
            p.fillRect(100, 60, 20, 20, QColor(20, 220, 20));
        };
    });
    REQUIRE_CLIP(clip);
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(qRgb(20, 20, 230));
    const QString logoFile = clip.Dir + "logo.png";
    ASSERT_TRUE(logo.save(logoFile));

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

    TConvertRecorder recv;
    const TConvertRun r = DriveConversion(recv, std::unique_ptr<TVideo2GifThread>(proj.StartConversion(&recv)));
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

// The thread works on a snapshot the project takes when it starts: the
// overlays, and the deleted frames of the range (none: no callback at all).
TEST(ConvertE2E, ProjectStartsTheConversionWithItsOverlaysAndDeletedFrames)
{
    const TClip& c = LargeClip();
    REQUIRE_CLIP(c);
    const QString logo = c.Dir + QStringLiteral("logo.png");
    QImage blue(16, 16, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    ASSERT_TRUE(blue.save(logo));

    TVGProj proj;
    proj.VideoFileName = c.Video.Path;
    proj.GifFileName = c.Dir + QStringLiteral("project.gif");
    proj.VideoWidth = c.Video.Width;
    proj.VideoHeight = c.Video.Height;
    proj.StartPTS = FixtureFrameTimeUs(c.Video, 0);
    proj.EndPTS = FixtureFrameTimeUs(c.Video, 3);
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
    proj.Frames.AddFrame(QString(), FixtureFrameTimeUs(c.Video, 3) + 1000)->Deleted = true;

    TConvertRecorder rec;
    std::unique_ptr<TVideo2GifThread> t(proj.StartConversion(&rec));
    EXPECT_FALSE(bool(t->Flag().OnFrameDeleted));
    EXPECT_EQ(t->Flag().ScaleFactor, 0.5);
    const TConvertRun r = DriveConversion(rec, std::move(t));
    ASSERT_EQ(r.Finishes, 1) << r.Error.toStdString();
    const QList<QImage> frames = ReadWithQt(proj.GifFileName);
    ASSERT_EQ(frames.size(), 3);
    const QImage& f = frames[0];
    EXPECT_EQ(f.size(), QSize(120, 100));
    auto isBlue = [](QRgb px) { return qBlue(px) > 200 && qRed(px) < 60 && qGreen(px) < 60; };
    EXPECT_TRUE(isBlue(f.pixel(32, 42)));
    EXPECT_TRUE(isBlue(f.pixel(67, 77)));
    EXPECT_FALSE(isBlue(f.pixel(27, 42)));
    EXPECT_FALSE(isBlue(f.pixel(73, 77)));

    // A deleted frame inside the range is asked about and left out.
    proj.Frames.AddFrame(QString(), FixtureFrameTimeUs(c.Video, 1))->Deleted = true;
    TConvertRecorder rec2;
    std::unique_ptr<TVideo2GifThread> t2(proj.StartConversion(&rec2));
    EXPECT_TRUE(bool(t2->Flag().OnFrameDeleted));
    const TConvertRun r2 = DriveConversion(rec2, std::move(t2));
    ASSERT_EQ(r2.Finishes, 1);
    EXPECT_EQ(ReadWithQt(proj.GifFileName).size(), 2);
}

TEST(ConvertE2E, CancelIsHonouredQuickly)
{
    const TClip clip = MakeClip(QStringLiteral("conv-cancel"), QStringLiteral("long.mp4"), [](TFixtureVideo& v) {
        v.Width = 320;
        v.Height = 240;
        v.FrameCount = 400;
        v.Quality = 16;
    });
    REQUIRE_CLIP(clip);
    for (int sequence = 0; sequence < 3; ++sequence)
        for (bool atOnce : {true, false}) {
            TVGConvertFlag f = ClipFlag(clip, QString("cancel-%1-%2.gif").arg(sequence).arg(atOnce));
            f.Sequence = uint8_t(sequence);
            TConvertRecorder recv;
            f.NotifyWnd = &recv;
            auto thread = std::make_unique<TVideo2GifThread>(f);
            thread->Resume();
            if (!atOnce) {
                // Well into the work: a frame or more on the way (in reverse,
                // the stage that keeps frames).
                QElapsedTimer wait;
                wait.start();
                while (wait.elapsed() < 30000 && recv.R.Percents.value(recv.R.Percents.size() - 1, 0) < 10 && !thread->isFinished())
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                ASSERT_FALSE(thread->isFinished()) << "finished before it could be cancelled";
                // The orders that keep frames keep them here: the check for
                // leftovers below looks where they are.
                if (sequence != 0) {
                    EXPECT_FALSE(LeftoverFiles(clip.Dir).filter(QStringLiteral(".rgb")).isEmpty());
                }
            }
            QElapsedTimer timer;
            timer.start();
            thread->Terminate();
            EXPECT_TRUE(thread->wait(1000));
            const qint64 ms = timer.elapsed();
            std::printf("cancel (order %d, %s): %lld ms\n", sequence, atOnce ? "at once" : "under way", (long long)ms);
            EXPECT_LT(ms, 1000);
            if (sequence == 1 && !atOnce) {
                // Within a frame, while frames are being kept.
#if defined(__SANITIZE_ADDRESS__)
                EXPECT_LT(ms, 500);
#else
                EXPECT_LT(ms, 100);
#endif
            }
            thread.reset();
            QCoreApplication::sendPostedEvents(&recv);
            EXPECT_EQ(recv.R.Errors, 0) << recv.R.Error.toStdString();
            EXPECT_EQ(recv.R.Finishes, 0);
            // A cancelled conversion leaves no GIF under the real name and no working files.
            EXPECT_FALSE(QFile::exists(f.GifFileName));
            const QStringList left = LeftoverFiles(clip.Dir);
            EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
        }
}

TEST(ConvertE2E, ErrorsEndWithOneMessageAndNoGif)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("conv-err");
    // Outputs and working files in a folder of the test's own.
    auto flag = [&](const QString& gif) {
        TVGConvertFlag f = ClipFlag(clip, gif);
        f.GifFileName = dir + gif;
        f.TempFolder = dir;
        return f;
    };
    // Fails with a message that mentions `mentions` and writes no GIF.
    auto fails = [](const TVGConvertFlag& f, const QString& mentions) {
        const TConvertRun r = RunConversion(f);
        ExpectFailed(r, mentions);
        EXPECT_FALSE(QFile::exists(f.GifFileName)) << mentions.toStdString();
        return r;
    };

    // Not a video.
    const QString junk = dir + "junk.mp4";
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    TVGConvertFlag f = flag("junk.gif");
    f.VideoFileName = junk;
    fails(f, junk);

    // Missing file.
    f = flag("missing.gif");
    f.VideoFileName = dir + "missing.mp4";
    TConvertRun r = fails(f, f.VideoFileName);
    EXPECT_TRUE(r.Error.contains(QLatin1String("missing.mp4"), Qt::CaseInsensitive)) << r.Error.toStdString();

    // No video stream: a generated sound file and, when there, a shared one.
    const QString audio = dir + "tone.m4a";
    QString err;
    ASSERT_TRUE(WriteFixtureAudio(audio, 1.0, false, &err)) << err.toStdString();
    f = flag("audio.gif");
    f.VideoFileName = audio;
    f.EndPTS = 500000;
    r = fails(f, "no video stream");
    EXPECT_TRUE(r.Error.contains(QLatin1String("video"), Qt::CaseInsensitive)) << r.Error.toStdString();
    const QString shared = SharedMediaDir().isEmpty() ? QString() : SharedMediaDir() + "leaving_dreams.mkv";
    if (!shared.isEmpty() && QFile::exists(shared)) {
        f.VideoFileName = shared;
        fails(f, "no video stream");
    }

    // An output folder that does not exist.
    f = flag("x.gif");
    f.GifFileName = dir + "no/such/folder/out.gif";
    r = fails(f, f.GifFileName);
    EXPECT_TRUE(r.Error.contains(QLatin1String("out.gif"), Qt::CaseInsensitive)) << r.Error.toStdString();
    EXPECT_FALSE(QDir(dir + "no").exists());

    // A range past the end of the video, and an empty range.
    f = flag("late.gif");
    f.StartPTS = 10'000'000;
    f.EndPTS = 11'000'000;
    r = fails(f, "frame");
    EXPECT_TRUE(r.Error.contains(QLatin1String("no frame"), Qt::CaseInsensitive)) << r.Error.toStdString();
    f.StartPTS = f.EndPTS;
    fails(f, "empty");
    f = flag("empty.gif");
    f.StartPTS = f.EndPTS = T(10);
    r = fails(f, "empty");
    EXPECT_TRUE(r.Error.contains(QLatin1String("range"), Qt::CaseInsensitive)) << r.Error.toStdString();

    // Sizes a GIF cannot have: named, with the rule they break.
    struct Size { QSize size; const char* rule; };
    for (const Size& s : {Size{QSize(0, 10), "too small"}, Size{QSize(70000, 10), "65535"}}) {
        f = flag("size.gif");
        f.ScaleFactor = -1;
        f.CustomWidth = s.size.width();
        f.CustomHeight = s.size.height();
        r = fails(f, QString::number(s.size.width()));
        EXPECT_TRUE(r.Error.contains(QLatin1String(s.rule), Qt::CaseInsensitive)) << r.Error.toStdString();
    }

    // A crop wholly outside the picture.
    f = flag("outside.gif");
    f.UseCrop = true;
    f.CropRect = {500, 500, 600, 600};
    fails(f, "crop");

    // A failed conversion leaves an earlier GIF of the same name alone.
    f = flag("kept.gif");
    f.EndPTS = T(3);
    ExpectFinished(RunConversion(f));
    const int64_t size = QFileInfo(f.GifFileName).size();
    f.StartPTS = 60 * Unit_Nano;
    f.EndPTS = 61 * Unit_Nano;
    r = RunConversion(f);
    EXPECT_EQ(r.Errors, 1);
    EXPECT_EQ(QFileInfo(f.GifFileName).size(), size);

    // An output that is the video, by any name: refused before anything is
    // written, the video untouched.
    const QString video = dir + "video.mp4";
    ASSERT_TRUE(QFile::copy(clip.Video.Path, video));
    ASSERT_TRUE(QFile::link(video, dir + "video-link.gif"));
    ASSERT_TRUE(QDir(dir).mkdir("sub"));
    const qint64 videoSize = QFileInfo(video).size();
    for (const QString& out : {video, dir + "video-link.gif", dir + "./sub/../video.mp4"}) {
        for (uint8_t sequence : {uint8_t(0), uint8_t(1)}) {
            f = flag("x.gif");
            f.VideoFileName = video;
            f.GifFileName = out;
            f.Sequence = sequence;
            ExpectFailed(RunConversion(f), "is the video being converted");
            EXPECT_EQ(QFileInfo(video).size(), videoSize) << out.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(dir + "video-link.gif").isSymLink());
    // No working files are left behind in the output folder.
    const QStringList left = LeftoverFiles(dir);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

TEST(ConvertE2E, VariableFrameRateKeepsTheFramesOnTheGifsTimeGrid)
{
    const TClip clip = MakeClip(QStringLiteral("conv-vfr"), QStringLiteral("vfr.mkv"), [](TFixtureVideo& v) {
        v.FrameCount = 40;
        v.VariableFrameRate = true;
    });
    REQUIRE_CLIP(clip);
    TVGConvertFlag f = ClipFlag(clip, QStringLiteral("vfr.gif"));
    f.EndPTS = FixtureFrameTimeUs(clip.Video, 39) + FixtureFrameDurationUs(clip.Video, 39);
    f.GifFPS = 25;
    ExpectFinished(RunConversion(f));
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
    EXPECT_NEAR(GifPlayTimeCs(f.GifFileName), double(f.EndPTS - f.StartPTS) / 1e4, 4);
}

TEST(ConvertE2E, StartBetweenFramesTakesTheFrameOnShowWhenItRoundsToTheStart)
{
    const TClip& clip = IndexClip();
    REQUIRE_CLIP(clip);
    // 10 ms into frame 10 (40 ms long): frame 10 rounds to the first moment;
    // 30 ms in, frame 11 does.
    for (const auto& [offset, first] : {std::pair{10000, 10}, {30000, 11}}) {
        TVGConvertFlag f = ClipFlag(clip, QString("between-%1.gif").arg(offset));
        f.StartPTS = T(10) + offset;
        f.EndPTS = T(20) + offset;
        ExpectFinished(RunConversion(f));
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
        TVGConvertFlag f = ClipFlag(clip, QString("past-end-%1.gif").arg(sequence));
        f.StartPTS = T(40);
        f.EndPTS = 5'000'000;   // the video ends at 2 s
        f.Sequence = uint8_t(sequence);
        const TConvertRun r = RunConversion(f);
        ExpectFinished(r);
        EXPECT_EQ(GifIndexes(f.GifFileName), sequence ? Seq(49, 39, -1) : Seq(40, 50));
        EXPECT_EQ(r.Written, 10);
        EXPECT_EQ(GifPlayTimeCs(f.GifFileName), 40);  // ten frames of 40 ms, not 3.4 s
    }
}
