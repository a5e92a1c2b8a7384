// The GIF encoder, checked by decoding what it wrote with Qt's GIF reader, with
// FFmpeg's GIF decoder and by walking the file's blocks.

#include "GifRead.h"
#include "TestSupport.h"
#include "GifEncoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

QImage Gradient(int w, int h, int shift = 0)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255 / std::max(1, w - 1) + shift) & 255, y * 255 / std::max(1, h - 1), 128));
    return img;
}

QImage Flat(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

QImage Noise(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = 0xFF000000u | (rng.generate() & 0xFFFFFF);
    }
    return img;
}

struct TDiff { double Mean = 0; int Max = 0; };

TDiff Compare(const QImage& a, const QImage& b)
{
    TDiff d;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size()) return {1e9, 255};
    int64_t sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uint8_t* p = x.constScanLine(r);
        const uint8_t* q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 3; ++i) {
            const int e = std::abs(int(p[i]) - int(q[i]));
            sum += e;
            d.Max = std::max(d.Max, e);
        }
    }
    d.Mean = double(sum) / (double(x.width()) * x.height() * 3);
    return d;
}

TGifEncoderOptions Options(int w, int h, int loop = -1)
{
    TGifEncoderOptions o;
    o.Width = w;
    o.Height = h;
    o.Loop = loop;
    return o;
}

} // namespace

TEST(GifEncoder, GradientsAndFlatColoursSurviveBothDecoders)
{
    const QString path = MakeTempDir("gif") + "a.gif";
    const QList<QImage> input = {Gradient(96, 64), Flat(96, 64, qRgb(200, 30, 40)), Gradient(96, 64, 40),
                                 Flat(96, 64, qRgb(0, 0, 0)), Flat(96, 64, qRgb(255, 255, 255))};
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, Options(96, 64)));
    for (const QImage& img : input) ASSERT_TRUE(enc.AddFrame(img, 10));
    ASSERT_TRUE(enc.Finish()) << enc.LastError().toStdString();
    EXPECT_EQ(enc.FramesWritten(), 5);
    EXPECT_EQ(enc.BytesWritten(), QFile(path).size());

    for (const QList<QImage>& frames : {ReadWithQt(path), ReadWithFFmpeg(path)}) {
        ASSERT_EQ(frames.size(), input.size());
        for (int i = 0; i < input.size(); ++i) {
            const TDiff d = Compare(frames[i], input[i]);
            const bool flat = i % 2 == 1 || i >= 3;
            EXPECT_LE(d.Max, flat ? 1 : 40) << "frame " << i;
            EXPECT_LT(d.Mean, flat ? 0.5 : 5.0) << "frame " << i;
        }
    }
}

TEST(GifEncoder, IdenticalFramesMergeAndDelaysAddUp)
{
    const QString path = MakeTempDir("gif") + "merge.gif";
    const QImage a = Gradient(40, 30), b = Flat(40, 30, qRgb(10, 200, 10));
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, Options(40, 30)));
    // A A B B B A with delays 5, 6, 7, 8, 9, 4 -> three frames of 11, 24, 4.
    const QList<std::pair<QImage, int>> seq = {{a, 5}, {a, 6}, {b, 7}, {b, 8}, {b, 9}, {a, 4}};
    for (const auto& [img, d] : seq) ASSERT_TRUE(enc.AddFrame(img, d));
    ASSERT_TRUE(enc.Finish());
    EXPECT_EQ(enc.FramesAdded(), 6);
    EXPECT_EQ(enc.FramesWritten(), 3);
    const TGifBlocks g = ParseGif(path);
    ASSERT_TRUE(g.Valid);
    EXPECT_EQ(g.Delays, (QList<int>{11, 24, 4}));
    int64_t ffDuration = 0;
    EXPECT_EQ(ReadWithFFmpeg(path, &ffDuration).size(), 3);
    EXPECT_EQ(ffDuration, 39);
    QList<int> qtDelays;
    EXPECT_EQ(ReadWithQt(path, &qtDelays).size(), 3);
    EXPECT_EQ(qtDelays, (QList<int>{110, 240, 40}));
}

TEST(GifEncoder, DelaysAreClampedAndLongOnesSplit)
{
    const QString path = MakeTempDir("gif") + "delay.gif";
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, Options(8, 8)));
    ASSERT_TRUE(enc.AddFrame(Flat(8, 8, qRgb(1, 2, 3)), 0));      // below the minimum: 2
    ASSERT_TRUE(enc.AddFrame(Flat(8, 8, qRgb(90, 2, 3)), 40000));
    ASSERT_TRUE(enc.AddFrame(Flat(8, 8, qRgb(90, 2, 3)), 40000)); // merged: 80000 > 65535
    ASSERT_TRUE(enc.Finish());
    const TGifBlocks g = ParseGif(path);
    ASSERT_TRUE(g.Valid);
    int64_t sum = 0;
    for (int d : g.Delays) { sum += d; EXPECT_LE(d, 65535); }
    EXPECT_EQ(g.Delays.first(), 2);
    EXPECT_EQ(sum, 80002);
    // The padding frame shows nothing new.
    const QList<QImage> frames = ReadWithFFmpeg(path);
    ASSERT_GE(frames.size(), 2);
    EXPECT_EQ(Compare(frames.last(), Flat(8, 8, qRgb(90, 2, 3))).Max, 0);
}

TEST(GifEncoder, LoopExtensionFollowsTheLoopCount)
{
    const QString dir = MakeTempDir("gif");
    for (const auto& [loop, expected] : {std::pair{-1, 0}, {0, -2}, {3, 3}}) {
        const QString path = dir + QString("loop%1.gif").arg(loop);
        TGifEncoder enc;
        ASSERT_TRUE(enc.Open(path, Options(4, 4, loop)));
        ASSERT_TRUE(enc.AddFrame(Flat(4, 4, qRgb(9, 9, 9)), 10));
        ASSERT_TRUE(enc.AddFrame(Flat(4, 4, qRgb(99, 9, 9)), 10));
        ASSERT_TRUE(enc.Finish());
        const TGifBlocks g = ParseGif(path);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(g.LoopCount, expected) << "loop " << loop;
        QImageReader reader(path, "gif");
        EXPECT_EQ(reader.loopCount(), loop) << "loop " << loop;
    }
}

TEST(GifEncoder, OnlyTheChangedRectangleIsStored)
{
    const QString path = MakeTempDir("gif") + "rect.gif";
    const QImage base = Gradient(64, 48);
    QImage moved = base;
    moved.setPixel(20, 10, qRgb(255, 0, 255));
    moved.setPixel(30, 17, qRgb(0, 255, 0));
    QImage subtle = moved;
    subtle.setPixel(5, 5, qRgb(qRed(moved.pixel(5, 5)) ^ 1, qGreen(moved.pixel(5, 5)), qBlue(moved.pixel(5, 5))));
    TGifEncoderOptions o = Options(64, 48);
    o.Tolerance = 3;
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    ASSERT_TRUE(enc.AddFrame(base, 5));
    ASSERT_TRUE(enc.AddFrame(moved, 5));
    ASSERT_TRUE(enc.AddFrame(subtle, 5)); // within the tolerance: no new frame
    ASSERT_TRUE(enc.Finish());
    const TGifBlocks g = ParseGif(path);
    ASSERT_EQ(g.Rects.size(), 2);
    EXPECT_EQ(g.Rects[0], QRect(0, 0, 64, 48));
    EXPECT_EQ(g.Rects[1], QRect(20, 10, 11, 8));
    EXPECT_EQ(g.Transparent[0], -1);
    EXPECT_GE(g.Transparent[1], 0);
    EXPECT_EQ(g.Delays[1], 10);
    const QList<QImage> frames = ReadWithQt(path);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_LE(Compare(frames[1], moved).Mean, 3.0);
    EXPECT_EQ(frames[1].pixel(20, 10), qRgb(255, 0, 255));
    EXPECT_EQ(frames[1].pixel(30, 17), qRgb(0, 255, 0));
}

// A seeded picture stands for frames a sample leaves out: it is what the
// next frame is drawn against, but it is never written and adds no delay.
TEST(GifEncoder, ASeedIsDrawnAgainstButNotWritten)
{
    const QString path = MakeTempDir("gif") + "seed.gif";
    const QImage base = Gradient(64, 48), seed = Noise(64, 48, 3);
    QImage moved = seed;
    moved.setPixel(20, 10, qRgb(255, 0, 255));
    moved.setPixel(30, 17, qRgb(0, 255, 0));
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, Options(64, 48)));
    ASSERT_TRUE(enc.AddFrame(base, 5));
    ASSERT_TRUE(enc.SeedFrame(seed));
    ASSERT_TRUE(enc.AddFrame(moved, 6));   // only the two pixels, against the seed
    ASSERT_TRUE(enc.AddFrame(moved, 7));   // the same again: merges
    ASSERT_TRUE(enc.Finish());
    EXPECT_EQ(enc.FramesAdded(), 4);
    EXPECT_EQ(enc.FramesWritten(), 2);
    const std::vector<TGifFrameBytes> bytes = enc.FrameBytes();
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[0].FirstInput, 0);
    EXPECT_EQ(bytes[1].FirstInput, 2);
    const TGifBlocks g = ParseGif(path);
    ASSERT_TRUE(g.Valid);
    ASSERT_EQ(g.Rects.size(), 2);
    EXPECT_EQ(g.Rects[0], QRect(0, 0, 64, 48));
    EXPECT_EQ(g.Rects[1], QRect(20, 10, 11, 8));
    EXPECT_EQ(g.Delays, (QList<int>{5, 13}));

    // A seed first: the first frame written is already a change against it;
    // seeds alone write nothing and say so.
    const QString path2 = MakeTempDir("gif") + "seedfirst.gif";
    TGifEncoder first;
    ASSERT_TRUE(first.Open(path2, Options(64, 48)));
    ASSERT_TRUE(first.SeedFrame(seed));
    ASSERT_TRUE(first.AddFrame(moved, 5));
    ASSERT_TRUE(first.Finish());
    const TGifBlocks g2 = ParseGif(path2);
    ASSERT_EQ(g2.Rects.size(), 1);
    EXPECT_EQ(g2.Rects[0], QRect(20, 10, 11, 8));
    EXPECT_GE(g2.Transparent[0], 0);
    TGifEncoder none;
    ASSERT_TRUE(none.OpenCounting(Options(64, 48)));
    ASSERT_TRUE(none.SeedFrame(seed));
    EXPECT_FALSE(none.Finish());
    EXPECT_TRUE(none.LastError().contains("no frames")) << none.LastError().toStdString();
}

// A small changed rectangle gets a smaller palette than a picture's worth,
// however many colours it holds; a large one keeps the whole palette.
TEST(GifEncoder, SmallChangesGetSmallerPalettes)
{
    const QString path = MakeTempDir("gif") + "small.gif";
    const QImage base = Flat(400, 300, qRgb(40, 40, 40));
    QImage small = base, large = base;
    const QImage rich = Noise(150, 150, 7);   // far more than 256 colours
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 150; ++x)
            small.setPixel(10 + x, 10 + y, rich.pixel(x, y));
    const QImage richer = Noise(400, 300, 8);
    TGifEncoderOptions o = Options(400, 300);
    o.SmallPixels = 40000;
    o.SmallColours = 128;
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    ASSERT_TRUE(enc.AddFrame(base, 5));
    ASSERT_TRUE(enc.AddFrame(small, 5));    // 22500 pixels changed
    ASSERT_TRUE(enc.AddFrame(richer, 5));   // the whole picture
    ASSERT_TRUE(enc.Finish());
    const TGifBlocks g = ParseGif(path);
    ASSERT_EQ(g.Rects.size(), 3);
    EXPECT_EQ(g.Rects[1], QRect(10, 10, 150, 150));
    EXPECT_LE(g.Colours[1], 128);
    EXPECT_GT(g.Colours[1], 0);
    EXPECT_EQ(g.Colours[2], 256);
    const QList<QImage> frames = ReadWithQt(path);
    ASSERT_EQ(frames.size(), 3);
    EXPECT_LE(Compare(frames[1], small).Mean, 12.0);
}

// A cut after stillness stays on screen: its palette is searched with more
// care than an ordinary frame's, so the picture after the cut comes out
// closer than with the usual effort. The first frame likewise.
TEST(GifEncoder, ACutAfterStillnessGetsTheCarefulPalette)
{
    auto rich = [](int w, int h, int phase) {
        QImage img(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, qRgb(int(127.5 + 127.5 * std::sin((x + phase) * 0.05 + y * 0.013)),
                                        int(127.5 + 127.5 * std::sin(y * 0.041 - x * 0.007 + phase)),
                                        (x * 3 + y * 5 + phase * 17) & 255));
        return img;
    };
    const QImage a = rich(240, 160, 0), b = rich(240, 160, 9);
    auto errors = [&](int cutSpeed) {
        const QString path = MakeTempDir("gif") + QStringLiteral("cut%1.gif").arg(cutSpeed);
        TGifEncoderOptions o = Options(240, 160);
        o.CutSpeed = cutSpeed;
        TGifEncoder enc;
        EXPECT_TRUE(enc.Open(path, o));
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(enc.AddFrame(a, 5));   // still: merged into one frame
        EXPECT_TRUE(enc.AddFrame(b, 5));       // the cut
        EXPECT_TRUE(enc.Finish());
        const QList<QImage> frames = ReadWithQt(path);
        EXPECT_EQ(frames.size(), 2);
        return frames.size() == 2 ? std::pair{Compare(frames[0], a).Mean, Compare(frames[1], b).Mean}
                                  : std::pair{1e9, 1e9};
    };
    const auto careful = errors(TGifEncoderOptions().CutSpeed), usual = errors(0);
    EXPECT_GT(TGifEncoderOptions().CutSpeed, 0);
    EXPECT_LT(careful.first, usual.first);
    EXPECT_LT(careful.second, usual.second);
}

// A large rectangle's palette is searched on every other pixel and row; the
// pixels that keep what is shown may all lie between those, and must still
// stay as they are rather than take some colour of the new palette.
TEST(GifEncoder, PixelsBetweenTheSampledOnesStayTransparent)
{
    const QString path = MakeTempDir("gif") + "sampled.gif";
    const QImage base = Gradient(400, 300);
    QImage next = Gradient(400, 300, 90);
    for (int y = 1; y < 300; y += 2)
        for (int x = 1; x < 400; x += 2)
            next.setPixel(x, y, base.pixel(x, y));   // unchanged: transparent in the frame
    TGifEncoderOptions o = Options(400, 300);
    ASSERT_GT(o.SearchSubsample, 1);
    ASSERT_LE(o.SubsampleFrom, 400 * 300);
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    ASSERT_TRUE(enc.AddFrame(base, 5));
    ASSERT_TRUE(enc.AddFrame(next, 5));
    ASSERT_TRUE(enc.Finish());
    const QList<QImage> frames = ReadWithQt(path);
    ASSERT_EQ(frames.size(), 2);
    const TDiff d = Compare(frames[1], next);
    EXPECT_LE(d.Mean, 4.0);
    EXPECT_LE(d.Max, 48);
}

TEST(GifEncoder, SlowDriftDoesNotAccumulate)
{
    // Each frame is one level brighter than the last: every step is inside
    // the tolerance, the whole ramp is not.
    const QString path = MakeTempDir("gif") + "drift.gif";
    TGifEncoderOptions o = Options(32, 32);
    o.Tolerance = 4;
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    QImage last;
    for (int i = 0; i < 40; ++i) {
        last = Flat(32, 32, qRgb(100 + i, 50 + i, 20 + i));
        ASSERT_TRUE(enc.AddFrame(last, 4));
    }
    ASSERT_TRUE(enc.Finish());
    const QList<QImage> frames = ReadWithFFmpeg(path);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_LE(Compare(frames.last(), last).Max, 4);
    EXPECT_LT(frames.size(), 40);
    const TGifBlocks g = ParseGif(path);
    int sum = 0;
    for (int d : g.Delays) sum += d;
    EXPECT_EQ(sum, 160);
}

namespace {
// Sixteen vertical stripes from `low` to `high`, all channels alike, plus `step`.
QImage Stripes(int w, int h, int low, int high, int step)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int x = 0; x < w; ++x) {
        const int v = low + (high - low) * (x * 16 / w) / 15 + step;
        for (int y = 0; y < h; ++y) img.setPixel(x, y, qRgb(v, v, v));
    }
    return img;
}

// The last frame shown after a picture steps up by `step` levels.
QImage StepAndRead(const QString& path, int low, int high, int step)
{
    TGifEncoderOptions o = Options(64, 16);
    o.Quality = 100;  // exact stripes: only the step's treatment is looked at
    TGifEncoder enc;
    EXPECT_TRUE(enc.Open(path, o));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(enc.AddFrame(Stripes(64, 16, low, high, 0), 4));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(enc.AddFrame(Stripes(64, 16, low, high, step), 4));
    EXPECT_TRUE(enc.Finish()) << enc.LastError().toStdString();
    const QList<QImage> frames = ReadWithFFmpeg(path);
    return frames.isEmpty() ? QImage() : frames.last();
}
} // namespace

// A step inside the tolerance is left out on an ordinary picture, but on a
// dark, low-contrast one it is a visible share of the picture and is drawn.
TEST(GifEncoder, SmallStepsShowOnLowContrastPicturesOnly)
{
    const QString dir = MakeTempDir("gif");
    const QImage dark = StepAndRead(dir + "dark.gif", 16, 46, 3);
    EXPECT_LE(Compare(dark, Stripes(64, 16, 16, 46, 3)).Max, 1);
    const QImage bright = StepAndRead(dir + "bright.gif", 10, 240, 3);
    EXPECT_LE(Compare(bright, Stripes(64, 16, 10, 240, 0)).Max, 1);
    // A bigger step shows on both.
    EXPECT_LE(Compare(StepAndRead(dir + "big.gif", 10, 240, 6), Stripes(64, 16, 10, 240, 6)).Max, 1);
}

namespace {
// A panning gradient that fades in its blue, optionally under grain that
// changes every frame.
QImage PanFrame(int w, int h, int i, int grain)
{
    QImage img = Gradient(w, h, i * 2);
    QRandomGenerator rng(quint32(1000 + i));
    for (int y = 0; y < h; ++y) {
        uint8_t* p = img.scanLine(y);
        for (int x = 0; x < w * 3; ++x) {
            const int fade = x % 3 == 2 ? i * 3 : 0;
            const int g = grain > 0 ? int(rng.bounded(2 * grain + 1)) - grain : 0;
            p[x] = uint8_t(std::clamp(int(p[x]) + fade + g, 0, 255));
        }
    }
    return img;
}

struct TEncoded { qint64 Bytes = 0; QList<QImage> Frames; };

TEncoded EncodePan(const QString& path, int grain, bool adapt, QImage* lastClean = nullptr)
{
    TGifEncoderOptions o = Options(96, 64);
    if (!adapt) {
        o.TolerancePerNoise = 0;
        o.SlackPerNoise = 0;
        o.ReuseRatio = 0;
    }
    TGifEncoder enc;
    EXPECT_TRUE(enc.Open(path, o));
    for (int i = 0; i < 30; ++i)
        EXPECT_TRUE(enc.AddFrame(PanFrame(96, 64, i, grain), 4));
    EXPECT_TRUE(enc.Finish()) << enc.LastError().toStdString();
    if (lastClean)
        *lastClean = PanFrame(96, 64, 29, 0);
    return {QFileInfo(path).size(), ReadWithFFmpeg(path)};
}
} // namespace

// Grain that changes every frame is not worth redrawing; the picture under it
// still follows the motion. Clean footage, fades included, is untouched by that.
TEST(GifEncoder, GrainIsNotRedrawnButThePictureUnderItIs)
{
    const QString dir = MakeTempDir("gif");
    QImage clean;
    const TEncoded grainy = EncodePan(dir + "grain.gif", 8, true, &clean);
    const TEncoded plain = EncodePan(dir + "grain-plain.gif", 8, false);
    ASSERT_EQ(grainy.Frames.size(), 30);
    EXPECT_LT(grainy.Bytes, plain.Bytes * 85 / 100) << "grainy " << grainy.Bytes << " plain " << plain.Bytes;
    // Against the picture without grain, the last frame is nearly as close as
    // when every grain is drawn (the tolerance grows with the grain, so a
    // slow fade may lag by about the grain's size): pan and fade were followed.
    EXPECT_LT(Compare(grainy.Frames.last(), clean).Mean, Compare(plain.Frames.last(), clean).Mean + 3.0)
        << "plain " << Compare(plain.Frames.last(), clean).Mean;
    EXPECT_GT(Compare(grainy.Frames.last(), PanFrame(96, 64, 20, 0)).Mean,
              Compare(grainy.Frames.last(), clean).Mean + 2.0);

    const TEncoded fade = EncodePan(dir + "clean.gif", 0, true);
    const TEncoded fadePlain = EncodePan(dir + "clean-plain.gif", 0, false);
    ASSERT_EQ(fade.Frames.size(), fadePlain.Frames.size());
    for (int i = 0; i < fade.Frames.size(); ++i)
        EXPECT_EQ(fade.Frames[i], fadePlain.Frames[i]) << "frame " << i;
}

TEST(GifEncoder, OddSizesAndOnePixel)
{
    const QString dir = MakeTempDir("gif");
    for (const QSize s : {QSize(1, 1), QSize(161, 121), QSize(3, 250), QSize(257, 1)}) {
        const QString path = dir + QString("odd%1x%2.gif").arg(s.width()).arg(s.height());
        TGifEncoder enc;
        ASSERT_TRUE(enc.Open(path, Options(s.width(), s.height())));
        const QImage a = Gradient(s.width(), s.height()), b = Flat(s.width(), s.height(), qRgb(7, 77, 177));
        ASSERT_TRUE(enc.AddFrame(a, 3));
        ASSERT_TRUE(enc.AddFrame(b, 3));
        ASSERT_TRUE(enc.Finish()) << enc.LastError().toStdString();
        const QList<QImage> frames = ReadWithFFmpeg(path);
        ASSERT_EQ(frames.size(), 2) << s.width() << "x" << s.height();
        EXPECT_EQ(frames[0].size(), s);
        EXPECT_LT(Compare(frames[0], a).Mean, 5.0);
        EXPECT_LE(Compare(frames[1], b).Max, 1);
        EXPECT_EQ(ReadWithQt(path).size(), 2);
    }
}

TEST(GifEncoder, RawRgbRowsWithPadding)
{
    const QString path = MakeTempDir("gif") + "raw.gif";
    const QImage img = Gradient(50, 20);
    const int stride = 50 * 3 + 10;
    std::vector<uint8_t> buf(size_t(stride) * 20, 0xEE);
    for (int y = 0; y < 20; ++y) std::memcpy(buf.data() + size_t(y) * stride, img.constScanLine(y), 150);
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, Options(50, 20)));
    ASSERT_TRUE(enc.AddFrameRGB(buf.data(), stride, 5));
    ASSERT_TRUE(enc.Finish());
    const QList<QImage> frames = ReadWithQt(path);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_LT(Compare(frames[0], img).Mean, 3.0);
}

TEST(GifEncoder, BadSizesAndPathsGiveClearErrors)
{
    const QString dir = MakeTempDir("gif");
    for (const QSize s : {QSize(65536, 10), QSize(10, 65536), QSize(0, 5), QSize(5, -1)}) {
        TGifEncoder enc;
        EXPECT_FALSE(enc.Open(dir + "big.gif", Options(s.width(), s.height())));
        EXPECT_TRUE(enc.LastError().contains("65535")) << enc.LastError().toStdString();
        EXPECT_FALSE(enc.AddFrame(Flat(5, 5, 0), 5));
        EXPECT_FALSE(enc.Finish());
    }
    {
        TGifEncoder enc;
        const QString bad = dir + "missing/folder/x.gif";
        EXPECT_FALSE(enc.Open(bad, Options(10, 10)));
        EXPECT_TRUE(enc.LastError().startsWith("cannot create " + bad + ": ")) << enc.LastError().toStdString();
    }
    {
        TGifEncoder enc;
        ASSERT_TRUE(enc.Open(dir + "wrong.gif", Options(10, 10)));
        EXPECT_FALSE(enc.AddFrame(Flat(11, 10, 0), 5));
        EXPECT_TRUE(enc.LastError().contains("11 x 10")) << enc.LastError().toStdString();
        EXPECT_FALSE(enc.Finish());
    }
    {
        TGifEncoder enc;
        ASSERT_TRUE(enc.Open(dir + "empty.gif", Options(10, 10)));
        EXPECT_FALSE(enc.Finish());
        EXPECT_TRUE(enc.LastError().contains("no frames")) << enc.LastError().toStdString();
    }
}

TEST(GifEncoder, FullDiskIsTheErrorEvenWhenCancelledAfterwards)
{
    if (!QFile::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open("/dev/full", Options(200, 200)));
    bool failed = false;
    for (int i = 0; i < 30 && !failed; ++i) failed = !enc.AddFrame(Noise(200, 200, i), 5);
    EXPECT_FALSE(enc.Finish());
    enc.Cancel();
    EXPECT_TRUE(enc.LastError().startsWith("cannot write /dev/full: ")) << enc.LastError().toStdString();
    EXPECT_FALSE(enc.Cancelled());
}

TEST(GifEncoder, CancelIsQuickEvenWithAFullQueue)
{
    const QString path = MakeTempDir("gif") + "cancel.gif";
    TGifEncoderOptions o = Options(1280, 720);
    o.Threads = 1;
    o.QueueFrames = 2;
    o.Speed = 1;
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    std::vector<QImage> frames;
    for (int i = 0; i < 4; ++i) frames.push_back(Noise(1280, 720, 100 + i));
    std::atomic<bool> producerDone{false};
    std::atomic<int> accepted{0};
    std::thread producer([&] {
        for (int i = 0; i < 50; ++i) {
            if (!enc.AddFrame(frames[size_t(i) % frames.size()], 5)) break;
            accepted++;
        }
        producerDone = true;
    });
    // Wait until the queue is full and the producer is blocked.
    const auto t0 = std::chrono::steady_clock::now();
    while (enc.MaxInFlight() < 2 && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(producerDone);
    const auto c0 = std::chrono::steady_clock::now();
    enc.Cancel();
    while (!producerDone && std::chrono::steady_clock::now() - c0 < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto blockedFor = std::chrono::steady_clock::now() - c0;
    EXPECT_FALSE(enc.Finish());
    const auto finishedAfter = std::chrono::steady_clock::now() - c0;
    producer.join();
    // Bounds far below draining the queue (seconds), loose enough for a
    // loaded machine: the test is about not waiting for the work, not speed.
    EXPECT_LT(blockedFor, std::chrono::milliseconds(1000));
    // Joining waits for the palette search in progress to notice the flag.
    EXPECT_LT(finishedAfter, std::chrono::milliseconds(4000));
    EXPECT_EQ(enc.LastError(), "cancelled");
    EXPECT_TRUE(enc.Cancelled());
    EXPECT_LE(enc.MaxInFlight(), 2);
}

TEST(GifEncoder, QueueStaysBoundedOnALongClip)
{
    const QString path = MakeTempDir("gif") + "long.gif";
    TGifEncoderOptions o = Options(160, 90);
    o.QueueFrames = 3;
    TGifEncoder enc;
    ASSERT_TRUE(enc.Open(path, o));
    for (int i = 0; i < 60; ++i) ASSERT_TRUE(enc.AddFrame(Noise(160, 90, quint32(i)), 4));
    ASSERT_TRUE(enc.Finish());
    EXPECT_LE(enc.MaxInFlight(), 3);
    EXPECT_GE(enc.MaxInFlight(), 1);
    EXPECT_EQ(enc.FramesWritten(), 60);
    EXPECT_EQ(ReadWithFFmpeg(path).size(), 60);
}

TEST(GifEncoder, DestroyingAnUnfinishedEncoderIsSafe)
{
    const QString path = MakeTempDir("gif") + "drop.gif";
    auto enc = std::make_unique<TGifEncoder>();
    ASSERT_TRUE(enc->Open(path, Options(64, 64)));
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(enc->AddFrame(Noise(64, 64, quint32(i)), 4));
    enc.reset();
    SUCCEED();
}
