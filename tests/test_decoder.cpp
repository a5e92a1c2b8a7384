// The decoder against generated clips whose frames show their own index, and
// against real files made by others.
#include "FixtureVideo.h"
#include "TestSupport.h"
#include "FFDecoder.h"
#include "VideoPicture.h"
#include "BitmapFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <cstdio>
#include <random>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

struct Decoded { int64_t pts; int index; };

// Every frame from the start, as the player would see them.
std::vector<Decoded> DecodeAll(TFFDecoder& dec, std::vector<QImage>* pictures = nullptr)
{
    std::vector<Decoded> out;
    QImage img;
    while (dec.Decode(-1)) {
        EXPECT_TRUE(dec.CopyToBitmap(img));
        out.push_back({dec.CurrentPTS(), ReadFixtureIndex(img)});
        if (pictures)
            pictures->push_back(img);
    }
    return out;
}

int IndexNow(TFFDecoder& dec)
{
    QImage img;
    return dec.CopyToBitmap(img) ? ReadFixtureIndex(img) : -2;
}

struct ClipCase {
    const char* name;
    TFixtureVideo clip;
};

TFixtureVideo Clip(const char* ext, const char* encoder, int w, int h)
{
    TFixtureVideo c;
    c.Path = MakeTempDir("dec") + "clip." + ext;
    c.Encoder = encoder;
    c.Width = w;
    c.Height = h;
    return c;
}

std::vector<ClipCase> Cases()
{
    std::vector<ClipCase> cases;
    auto add = [&](const char* name, TFixtureVideo c) { cases.push_back({name, std::move(c)}); };
    {
        TFixtureVideo c = Clip("mp4", "libx264", 160, 96);
        c.BFrames = 3;
        c.FrameCount = 60;
        c.GopLength = 24;
        add("h264_bframes", c);
    }
    {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);
        c.BFrames = 2;
        c.OpenGop = true;
        c.GopLength = 12;
        c.FrameCount = 50;
        add("h264_open_gop", c);
    }
    // Sync samples that are no clean start: decoding from one loses pictures
    // the frames after it refer to.
    {
        TFixtureVideo c = Clip("mp4", "libx264", 160, 96);  // P-frames written as sync samples
        c.BFrames = 2;
        c.GopLength = 250;
        c.FrameCount = 90;
        c.FalseSyncEvery = 15;
        c.X264Params = "ref=4";
        add("h264_p_frame_sync", c);
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 160, 96);  // no I-frame after the first
        c.GopLength = 20;
        c.FrameCount = 70;
        c.X264Params = "intra-refresh=1";
        add("h264_intra_refresh", c);
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 192, 108);  // camera-like: 4:4:4, open GOPs, 4 references, audio
        c.PixelFormat = "yuv444p";
        c.FrameRateNum = 20;
        c.BFrames = 3;
        c.OpenGop = true;
        c.GopLength = 20;
        c.FrameCount = 70;
        c.Preset = "medium";
        c.X264Params = "ref=4";
        c.Audio = true;
        add("h264_444_open_gop_refs", c);
    }
    // Camera-like: 4:4:4, B-frames, four references, audio, index at the
    // end, and I-frames that are no IDR written as sync samples. The flashes
    // are scene cuts (I-frames), the picture after each one refers back past
    // it: FFmpeg starting at such a sync sample reports missing references
    // and makes the pictures after it from stand-ins, unflagged.
    TFixtureVideo flash = CameraLikeClip(MakeTempDir("dec") + "clip.mp4", 192, 108, 90, 20);
    add("h264_444_i_frame_sync", flash);
    {
        TFixtureVideo c = flash;  // panning detail: the references reach back by motion search alone
        c.Path = MakeTempDir("dec") + "clip.mp4";
        c.Textured = true;
        add("h264_444_i_frame_sync_textured", c);
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 128, 72);
        c.GopLength = 250;
        c.BFrames = 2;
        c.FrameCount = 120;
        add("h264_long_gop", c);
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 174, 98);  // width not a multiple of 4
        c.BFrames = 1;
        add("h264_width_174", c);
    }
    {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);
        c.VariableFrameRate = true;
        c.BFrames = 2;
        c.FrameCount = 40;
        add("h264_vfr", c);
    }
    {
        TFixtureVideo c = Clip("ts", "libx264", 160, 96);
        c.StartTimeUs = 3 * Unit_Nano;
        c.BFrames = 2;
        c.Audio = true;
        c.GopLength = 10;
        add("h264_ts_start_3s", c);
    }
    {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);
        c.StartTimeUs = 700000;
        c.Audio = true;
        add("h264_mkv_start", c);
    }
    for (const char* pf : {"yuv422p", "yuv444p", "yuvj420p", "yuv420p10le"}) {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);
        c.PixelFormat = pf;
        c.BFrames = 2;
        c.FrameCount = 30;
        cases.push_back({pf, c});
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 320, 720 - 0);  // BT.709 by height
        c.FrameCount = 12;
        add("h264_bt709", c);
    }
    {
        TFixtureVideo c = Clip("avi", "mpeg4", 160, 96);
        c.BFrames = 1;
        add("mpeg4", c);
    }
    {
        TFixtureVideo c = Clip("avi", "libx264", 160, 96);
        c.BFrames = 2;
        c.GopLength = 12;
        add("h264_avi_bframes", c);
    }
    {
        TFixtureVideo c = Clip("avi", "mpeg4", 160, 96);
        c.BFrames = 2;
        c.GopLength = 12;
        add("mpeg4_avi_2b", c);
    }
    {
        TFixtureVideo c = Clip("webm", "libvpx", 160, 96);
        add("vp8", c);
    }
    {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);  // stored 180 x 96
        c.SampleAspectNum = 8;
        c.SampleAspectDen = 9;
        c.BFrames = 2;
        c.GopLength = 12;
        add("h264_mkv_sar_8_9", c);
    }
    {
        TFixtureVideo c = Clip("mp4", "libx264", 160, 96);  // stored 72 x 160, mirrored front camera
        c.SampleAspectNum = 4;
        c.SampleAspectDen = 3;
        c.Rotation = 270;
        c.Mirror = true;
        c.BFrames = 2;
        c.GopLength = 12;
        add("h264_sar_4_3_rot270_mirror", c);
    }
    {
        TFixtureVideo c = Clip("webm", "libvpx-vp9", 161, 121);  // odd sizes
        c.Audio = true;
        add("vp9_odd", c);
    }
    return cases;
}

class DecoderClip : public ::testing::TestWithParam<ClipCase> {};

// Reads the clip from the start, then locates every frame exactly: at its own
// time, just after it and just before it, then in random order.
TEST_P(DecoderClip, EveryFrameExact)
{
    const TFixtureVideo& clip = GetParam().clip;
    if (!FixtureEncoderAvailable(clip.Encoder))
        GTEST_SKIP() << clip.Encoder.toStdString() << " not available";
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(clip, &err)) << err.toStdString();

    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(clip.Path)) << dec.LastError().toStdString();
    const TVideoStreamInfo info = dec.GetVideoStreamInfo();
    EXPECT_EQ(info.Width, clip.Width);
    EXPECT_EQ(info.Height, clip.Height);
    ASSERT_GT(info.FrameRateDen, 0);
    EXPECT_NEAR(double(info.FrameRateNum) / info.FrameRateDen, double(clip.FrameRateNum) / clip.FrameRateDen, 0.05);

    std::vector<QImage> pictures;
    const std::vector<Decoded> frames = DecodeAll(dec, &pictures);
    ASSERT_EQ(int(frames.size()), clip.FrameCount);
    const int64_t first = frames[0].pts;
    EXPECT_LE(std::llabs(first), 50000) << "first frame should be at the start";
    for (int i = 0; i < clip.FrameCount; ++i) {
        ASSERT_EQ(frames[i].index, i) << "frame " << i;
        EXPECT_NEAR(double(frames[i].pts - first), double(FixtureFrameTimeUs(clip, i)), 1500.0) << "frame " << i;
        EXPECT_LT(frames[i].pts, dec.GetFileStreamInfo().Duration);
        // Colours: the background is the written one, within compression noise.
        const QPoint bp = FixtureBackgroundPoint(clip.Width, clip.Height);
        const QRgb want = FixtureFramePicture(clip, i).pixel(bp), got = pictures[i].pixel(bp);
        EXPECT_NEAR(qRed(got), qRed(want), 24) << "frame " << i;
        EXPECT_NEAR(qGreen(got), qGreen(want), 24) << "frame " << i;
        EXPECT_NEAR(qBlue(got), qBlue(want), 24) << "frame " << i;
    }

    for (int i = 0; i < clip.FrameCount; ++i) {
        const int64_t t = frames[i].pts;
        ASSERT_TRUE(LocateVideoPTS(&dec, t)) << "at " << t;
        EXPECT_EQ(dec.CurrentPTS(), t);
        EXPECT_EQ(IndexNow(dec), i);
        ASSERT_TRUE(LocateVideoPTS(&dec, t + 1));
        EXPECT_EQ(IndexNow(dec), i);
        if (i > 0) {
            ASSERT_TRUE(LocateVideoPTS(&dec, t - 1));
            EXPECT_EQ(IndexNow(dec), i - 1) << "just before frame " << i;
        }
    }
    std::mt19937 rng(7);
    for (int k = 0; k < 60; ++k) {
        const int i = int(rng() % frames.size());
        ASSERT_TRUE(LocateVideoPTS(&dec, frames[i].pts));
        EXPECT_EQ(IndexNow(dec), i) << "random locate " << k;
        // The next Decode continues with the next frame.
        if (i + 1 < clip.FrameCount) {
            ASSERT_TRUE(dec.Decode(-1));
            EXPECT_EQ(dec.CurrentPTS(), frames[i + 1].pts);
        }
    }

    // Before the first frame: the first frame; past the end: the last.
    ASSERT_TRUE(LocateVideoPTS(&dec, -Unit_Nano));
    EXPECT_EQ(IndexNow(dec), 0);
    ASSERT_TRUE(LocateVideoPTS(&dec, frames.back().pts + 10 * Unit_Nano));
    EXPECT_EQ(IndexNow(dec), clip.FrameCount - 1);
    EXPECT_FALSE(dec.Decode(-1));
}

INSTANTIATE_TEST_SUITE_P(Clips, DecoderClip, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ClipCase>& p) { return std::string(p.param.name); });

// Times count from the container's start, as players show them, unless the
// video starts so much later that the clip would open on a long still.
TEST(Decoder, TimesCountFromTheFileStartUnlessTheVideoStartsLate)
{
    struct Case { int64_t leadUs; int64_t firstMin, firstMax; };
    for (const Case& k : {Case{200000, 150000, 260000}, Case{3 * Unit_Nano, 0, 0}}) {
        TFixtureVideo c = Clip("mkv", "libx264", 160, 96);
        c.StartTimeUs = 500000 + k.leadUs;
        c.Audio = true;
        c.AudioLeadUs = k.leadUs;
        c.FrameCount = 25;
        c.BFrames = 2;
        QString err;
        ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
        TFFDecoder dec;
        ASSERT_TRUE(dec.LoadFile(c.Path)) << dec.LastError().toStdString();
        const std::vector<Decoded> frames = DecodeAll(dec);
        ASSERT_EQ(int(frames.size()), c.FrameCount) << "lead " << k.leadUs;
        EXPECT_GE(frames.front().pts, k.firstMin) << "lead " << k.leadUs;
        EXPECT_LE(frames.front().pts, k.firstMax) << "lead " << k.leadUs;
        // The container's first video time is what was subtracted plus the first frame's time.
        EXPECT_NEAR(double(dec.GetFileStreamInfo().TimeOffset + frames.front().pts), double(c.StartTimeUs), 30000.0);
        EXPECT_GT(dec.GetFileStreamInfo().Duration, frames.back().pts);
        EXPECT_LE(dec.GetFileStreamInfo().Duration, frames.back().pts + 2 * 40000 + 50000);
        ASSERT_TRUE(LocateVideoPTS(&dec, 0));
        EXPECT_EQ(IndexNow(dec), 0);
        ASSERT_TRUE(LocateVideoPTS(&dec, frames[10].pts));
        EXPECT_EQ(IndexNow(dec), 10);
    }
}

TEST(Decoder, RotationTagGivesUprightPicture)
{
    for (int rotation : {90, 180, 270}) {
        TFixtureVideo c = Clip("mp4", "libx264", 160, 96);
        c.Rotation = rotation;
        c.FrameCount = 10;
        QString err;
        ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
        TFFDecoder dec;
        ASSERT_TRUE(dec.LoadFile(c.Path));
        const TVideoStreamInfo info = dec.GetVideoStreamInfo();
        EXPECT_EQ(info.Rotation, rotation);
        EXPECT_EQ(info.Width, 160);
        EXPECT_EQ(info.Height, 96);
        dec.SetBitmapBitsPixel(32);
        QImage img;
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(dec.Decode(-1));
            ASSERT_TRUE(dec.CopyToBitmap(img));
            EXPECT_EQ(img.size(), QSize(160, 96));
            EXPECT_EQ(img.format(), QImage::Format_RGB32);
            EXPECT_EQ(ReadFixtureIndex(img), i) << "rotation " << rotation;
        }
        // The raw frame stays in coded orientation for the converter.
        const AVFrame* raw = dec.CurrentAVFrame();
        ASSERT_NE(raw, nullptr);
    }
}

double MeanDifference(const QImage& a0, const QImage& b0)
{
    const QImage a = a0.convertToFormat(QImage::Format_RGB888), b = b0.convertToFormat(QImage::Format_RGB888);
    if (a.size() != b.size())
        return 1e9;
    int64_t sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(int(pa[x]) - int(pb[x]));
    }
    return double(sum) / (double(a.width()) * a.height() * 3);
}

// Widths as players show non-square pixels: scaled, then rounded to even.
TEST(Decoder, DisplayWidthOfNonSquarePixels)
{
    EXPECT_EQ(DisplayWidth(720, 32, 27), 854);   // NTSC 16:9 (853.3)
    EXPECT_EQ(DisplayWidth(720, 8, 9), 640);     // NTSC 4:3
    EXPECT_EQ(DisplayWidth(720, 16, 15), 768);   // PAL 4:3
    EXPECT_EQ(DisplayWidth(1440, 4, 3), 1920);   // HDV
    EXPECT_EQ(DisplayWidth(704, 40, 33), 854);   // 853.3 again, from a reduced shape
    EXPECT_EQ(DisplayWidth(100, 51, 50), 102);   // exactly odd (101) goes up
    EXPECT_EQ(DisplayWidth(161, 1, 1), 161) << "square pixels keep odd widths";
    EXPECT_EQ(DisplayWidth(100, 8, 1), 800);
    EXPECT_EQ(DisplayWidth(100, 1, 8), 12);      // 12.5 goes up to even
    EXPECT_EQ(DisplayWidth(3, 1, 8), 2) << "never below two";
    // Unusable shapes leave the width alone.
    for (const auto& [num, den] : {std::pair{0, 1}, {1, 0}, {-4, 3}, {4, -3}, {9, 1}, {1, 9}, {INT_MAX, 1}})
        EXPECT_EQ(DisplayWidth(720, num, den), 720) << num << ":" << den;
}

// Non-square pixels and mirrored display matrices, alone and with rotation:
// every picture is what a player shows, and every frame reads back.
TEST(Decoder, PicturesAreWhatAPlayerShows)
{
    struct Case {
        const char* name; const char* ext; int w, h, rotation; bool mirror; int sarNum, sarDen;
        QSize shown;    // what the decoder must report and paint
    };
    const Case cases[] = {
        {"sar 4:3 mp4", "mp4", 160, 96, 0, false, 4, 3, {160, 96}},
        {"sar 8:9 mkv", "mkv", 160, 96, 0, false, 8, 9, {160, 96}},
        {"sar 4:3 ts, in the bitstream only", "ts", 160, 96, 0, false, 4, 3, {160, 96}},
        {"sar 32:27 rounded mp4", "mp4", 853, 120, 0, false, 32, 27, {854, 120}},  // stored 720 wide
        {"mirror", "mp4", 160, 96, 0, true, 1, 1, {160, 96}},
        {"mirror rot90", "mp4", 160, 96, 90, true, 1, 1, {160, 96}},
        {"mirror rot180 (upside down)", "mp4", 160, 96, 180, true, 1, 1, {160, 96}},
        {"sar 4:3 rot90", "mp4", 96, 160, 90, false, 4, 3, {96, 160}},
        {"sar 8:9 rot270 mirror", "mp4", 160, 96, 270, true, 8, 9, {160, 96}},
        {"sar 3:2 rot180 mirror", "mp4", 150, 90, 180, true, 3, 2, {150, 90}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TFixtureVideo c = Clip(k.ext, "libx264", k.w, k.h);
        c.Rotation = k.rotation;
        c.Mirror = k.mirror;
        c.SampleAspectNum = k.sarNum;
        c.SampleAspectDen = k.sarDen;
        c.FrameCount = 8;
        c.Quality = 16;
        QString err;
        ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
        TFFDecoder dec;
        ASSERT_TRUE(dec.LoadFile(c.Path)) << dec.LastError().toStdString();
        const TVideoStreamInfo info = dec.GetVideoStreamInfo();
        EXPECT_EQ(QSize(info.Width, info.Height), k.shown);
        EXPECT_EQ(info.Rotation, k.rotation);
        EXPECT_EQ(info.Mirrored, k.mirror);
        EXPECT_EQ(double(info.SampleAspectNum) / info.SampleAspectDen, double(k.sarNum) / k.sarDen);
        const QSize stored = FixtureStoredSize(c);
        dec.SetBitmapBitsPixel(k.rotation == 90 ? 32 : 24);
        QImage img;
        // Pictures kept for later convert, after the decoder has moved on,
        // to the very bytes it gave at the time, and shrink upright.
        std::vector<std::unique_ptr<TVideoPicture>> kept;
        std::vector<TBitmapRows> rowsThen(size_t(c.FrameCount));
        for (int i = 0; i < c.FrameCount; ++i) {
            ASSERT_TRUE(dec.Decode(-1));
            const AVFrame* raw = dec.CurrentAVFrame();
            ASSERT_NE(raw, nullptr);
            kept.push_back(dec.TakePicture());
            ASSERT_TRUE(kept.back());
            ASSERT_TRUE(dec.CopyToBitmapRows(rowsThen[size_t(i)]));
            ASSERT_TRUE(dec.CopyToBitmap(img));
            ASSERT_EQ(img.size(), k.shown) << "frame " << i;
            EXPECT_EQ(ReadFixtureIndex(img), i) << "frame " << i;
            const QRgb want = FixtureBackground(i), got = img.pixel(FixtureBackgroundPoint(img.width(), img.height()));
            EXPECT_NEAR(qRed(got), qRed(want), 24) << "frame " << i;
            EXPECT_NEAR(qGreen(got), qGreen(want), 24) << "frame " << i;
            EXPECT_NEAR(qBlue(got), qBlue(want), 24) << "frame " << i;
            // The whole picture matches the upright one, and is nearer to it
            // than to its mirror image by half of what tells the two apart.
            const QImage upright = FixtureFramePicture(c, i).scaled(k.shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QImage flipped = upright.mirrored(true, false);
            const double same = MeanDifference(img, upright), mirrored = MeanDifference(img, flipped);
            EXPECT_LT(same, 4.0) << "frame " << i;
            EXPECT_GT(mirrored, same + MeanDifference(upright, flipped) / 2) << "frame " << i;
        }
        // The raw frame stays as stored: coded size and pixel shape, not turned.
        const AVFrame* raw = dec.CurrentAVFrame();
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(QSize(raw->width, raw->height), stored);
        dec.CloseFile();   // kept pictures outlive the decoder
        for (int i = 0; i < c.FrameCount; ++i) {
            const TVideoPicture& picture = *kept[size_t(i)];
            EXPECT_EQ(picture.DisplaySize(), k.shown);
            TBitmapRows later;
            ASSERT_TRUE(picture.ToBitmapRows(later));
            const TBitmapRows& then = rowsThen[size_t(i)];
            ASSERT_EQ(QSize(later.Width, later.Height), QSize(then.Width, then.Height)) << "frame " << i;
            for (int y = 0; y < then.Height; ++y)
                ASSERT_EQ(std::memcmp(later.Row(y), then.Row(y), size_t(then.FileRowBytes())), 0) << "frame " << i << " row " << y;
            const QImage thumb = picture.Thumbnail(QSize(64, 64));
            ASSERT_EQ(thumb.size(), k.shown.scaled(64, 64, Qt::KeepAspectRatio)) << "frame " << i;
            const QImage upright =
                FixtureFramePicture(c, i).scaled(thumb.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const double same = MeanDifference(thumb, upright);
            EXPECT_LT(same, 10.0) << "frame " << i;
            EXPECT_LT(same, MeanDifference(thumb, upright.mirrored(true, false))) << "frame " << i;
            EXPECT_EQ(picture.ToImage().size(), k.shown);
        }
    }
}

// A pixel shape no camera makes is a broken tag: the picture stays as stored.
TEST(Decoder, ImplausiblePixelShapeIsIgnored)
{
    TFixtureVideo c = Clip("mp4", "libx264", 160, 96);  // stored 16 x 96
    c.SampleAspectNum = 10;
    c.SampleAspectDen = 1;
    c.FrameCount = 3;
    ASSERT_TRUE(WriteFixtureVideo(c));
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(c.Path));
    const TVideoStreamInfo info = dec.GetVideoStreamInfo();
    EXPECT_EQ(info.SampleAspectNum, 1);
    EXPECT_EQ(info.SampleAspectDen, 1);
    EXPECT_EQ(QSize(info.Width, info.Height), QSize(16, 96));
    QImage img;
    ASSERT_TRUE(dec.Decode(-1));
    ASSERT_TRUE(dec.CopyToBitmap(img));
    EXPECT_EQ(img.size(), QSize(16, 96));
}

TEST(Decoder, BitmapFormatsAndReuse)
{
    TFixtureVideo c = Clip("mp4", "libx264", 174, 98);
    c.FrameCount = 5;
    ASSERT_TRUE(WriteFixtureVideo(c));
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(c.Path));
    EXPECT_FALSE(dec.HasFrame());
    EXPECT_EQ(dec.CurrentPTS(), AV_NOPTS_VALUE);
    QImage img;
    EXPECT_FALSE(dec.CopyToBitmap(img));
    ASSERT_TRUE(dec.Decode(-1));
    ASSERT_TRUE(dec.CopyToBitmap(img));
    EXPECT_EQ(img.format(), QImage::Format_RGB888);
    const uchar* bits = img.constBits();
    ASSERT_TRUE(dec.Decode(-1));
    ASSERT_TRUE(dec.CopyToBitmap(img));
    EXPECT_EQ(img.constBits(), bits) << "the bitmap is reused";
    EXPECT_EQ(ReadFixtureIndex(img), 1);
    dec.SetBitmapBitsPixel(32);
    ASSERT_TRUE(dec.CopyToBitmap(img));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(ReadFixtureIndex(img), 1);
    EXPECT_GT(dec.CurrentDuration(), 30000);
}

namespace {
// 100 frames of H.264 with B-frames, a keyframe every `gop`.
TFixtureVideo LocateClip(int gop)
{
    TFixtureVideo c = Clip("mp4", "libx264", 128, 72);
    c.FrameCount = 100;
    c.GopLength = gop;
    c.BFrames = 2;
    return c;
}
}  // namespace

TEST(Decoder, LocateForwardWithoutSeekAndCancel)
{
    const TFixtureVideo c = LocateClip(100);
    ASSERT_TRUE(WriteFixtureVideo(c));
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(c.Path));
    for (int i = 0; i < 100; i += 7) {
        ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(c, i) + 100));
        EXPECT_EQ(IndexNow(dec), i);
    }
    int calls = 0;
    EXPECT_FALSE(LocateVideoPTSCallback(&dec, FixtureFrameTimeUs(c, 10), [&] { return ++calls < 3; }));
    EXPECT_GE(calls, 1);
    // Usable again afterwards.
    ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(c, 50)));
    EXPECT_EQ(IndexNow(dec), 50);
}

// A target within reach is decoded on to, unless a keyframe lies far along
// the way: then a seek to it skips decoding most of the stretch.
TEST(Decoder, LocateSeeksPastAStretchItNeedNotDecode)
{
    const TFixtureVideo c = LocateClip(25);
    ASSERT_TRUE(WriteFixtureVideo(c));
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(c.Path));
    ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(c, 2)));
    ASSERT_LT(FixtureFrameTimeUs(c, 51) - FixtureFrameTimeUs(c, 2), 2000000) << "the clip's rate moved the case out of reach";
    int64_t before = dec.PacketsSent();
    ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(c, 51)));
    EXPECT_EQ(IndexNow(dec), 51);
    EXPECT_LT(dec.PacketsSent() - before, 15) << "decoded on through the keyframes at 25 and 50";
    // A few frames ahead, past a keyframe or not, it decodes on.
    for (const int target : {55, 60, 78}) {
        before = dec.PacketsSent();
        const int from = IndexNow(dec);
        ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(c, target)));
        EXPECT_EQ(IndexNow(dec), target);
        EXPECT_LE(dec.PacketsSent() - before, target - from + 3) << "from " << from << " to " << target;
    }
    // Where the keyframes are no clean start (camera footage), a seek past
    // one must still end on the very frame asked for.
    const TFixtureVideo cam = CameraLikeClip(MakeTempDir("dec") + "camera.mp4", 192, 108, 90, 20);
    ASSERT_TRUE(WriteFixtureVideo(cam));
    TFFDecoder camDec;
    ASSERT_TRUE(camDec.LoadFile(cam.Path));
    for (int from = 0; from < 60; from += 6)
        for (int target = from + 6; target < std::min(90, from + 40); target += 5) {
            ASSERT_TRUE(LocateVideoPTS(&camDec, FixtureFrameTimeUs(cam, from)));
            ASSERT_TRUE(LocateVideoPTS(&camDec, FixtureFrameTimeUs(cam, target)));
            EXPECT_EQ(IndexNow(camDec), target) << "from " << from;
        }
}

// A caller that shows only some frames may leave the others undecoded: every
// frame that does come out is whole and the one its time says, and every
// frame the hint did not give up on comes out. The same on one decoding
// thread, where frames come out with less delay after their packets.
TEST(Decoder, SkipHintLeavesOutOnlyFramesNobodyNeeds)
{
    TFixtureVideo c = Clip("mp4", "libx264", 160, 96);
    c.FrameCount = 60;
    c.GopLength = 30;
    c.BFrames = 3;
    ASSERT_TRUE(WriteFixtureVideo(c));
    for (int threads : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "decoding threads " << threads);
        TFFDecoder dec;
        dec.SetDecoderThreads(threads);
        ASSERT_TRUE(dec.LoadFile(c.Path));
        // Half the frame rate: of the pairs (1, 2), (3, 4), ... only the later frame is wanted.
        const int64_t period = FixtureFrameTimeUs(c, 1);
        std::vector<int64_t> asked;
        dec.SetSkipHint([&](int64_t t, int64_t later) {
            const int64_t off = period + period / 4;
            const bool superseded = (t + off) / (2 * period) == (later + off) / (2 * period);
            if (superseded)
                asked.push_back(t);
            return superseded;
        });
        const std::vector<Decoded> frames = DecodeAll(dec);
        EXPECT_LT(int(frames.size()), c.FrameCount) << "nothing was skipped; asked " << asked.size();
        EXPECT_EQ(dec.SkippedFrames(), int64_t(asked.size()));
        std::vector<bool> seen(size_t(c.FrameCount), false);
        for (const Decoded& f : frames) {
            ASSERT_GE(f.index, 0);
            EXPECT_NEAR(double(f.pts), double(FixtureFrameTimeUs(c, f.index)), 1500.0);
            seen[size_t(f.index)] = true;
        }
        for (int i = 0; i < c.FrameCount; ++i) {
            const int64_t t = FixtureFrameTimeUs(c, i);
            const bool given_up = std::any_of(asked.begin(), asked.end(), [&](int64_t a) { return std::llabs(a - t) < 1500; });
            if (!given_up) {
                EXPECT_TRUE(seen[size_t(i)]) << "frame " << i << " was wanted but is missing";
            }
        }
        // Without the hint every frame comes back, after a seek too.
        dec.SetSkipHint({});
        ASSERT_TRUE(LocateVideoPTS(&dec, 0));
        int n = 1;
        while (dec.Decode(-1))
            ++n;
        EXPECT_EQ(n, c.FrameCount);
    }
}

TEST(Decoder, SeekFlagSets)
{
    TFixtureVideo c = Clip("mp4", "libx264", 128, 72);
    c.FrameCount = 75;
    c.GopLength = 25;
    ASSERT_TRUE(WriteFixtureVideo(c));
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(c.Path));
    for (TSeekFlags flags : {TSeekFlags(0), TSeekFlags(sfBackward), TSeekFlags(sfAny)}) {
        ASSERT_TRUE(dec.Seek(FixtureFrameTimeUs(c, 30), flags)) << flags;
        ASSERT_TRUE(dec.Decode(-1));
        const int idx = IndexNow(dec);
        EXPECT_GE(idx, 0) << "a clean picture after the seek, flags " << flags;
    }
    ASSERT_TRUE(dec.Seek(FixtureFrameTimeUs(c, 30), sfBackward));
    ASSERT_TRUE(dec.Decode(-1));
    EXPECT_EQ(IndexNow(dec), 25);
}

TEST(Decoder, NoVideoStream)
{
    const QString dir = MakeTempDir("novideo");
    for (const char* name : {"tone.mp3", "tone.m4a"}) {
        QString err;
        ASSERT_TRUE(WriteFixtureAudio(dir + name, 1.0, true, &err)) << err.toStdString();
        TFFDecoder dec;
        EXPECT_FALSE(dec.LoadFile(dir + name)) << "cover art is not a video";
        EXPECT_EQ(dec.VideoStreamIndex(), -1);
        EXPECT_EQ(dec.GetVideoStreamInfo().Width, 0);
        EXPECT_TRUE(dec.LastError().contains(name));
        EXPECT_FALSE(dec.Decode(-1));
        EXPECT_FALSE(LocateVideoPTS(&dec, 0));
    }
    TFFDecoder dec;
    EXPECT_FALSE(dec.LoadFile(dir + "missing.mp4"));
    EXPECT_TRUE(dec.LastError().contains("missing.mp4")) << dec.LastError().toStdString();
    EXPECT_TRUE(dec.LastError().contains("opening"));
}

// Damaged files: decoding stops cleanly; what is returned is a real frame.
TEST(Decoder, DamagedFixturesEndCleanly)
{
    for (int variant = 0; variant < 6; ++variant) {
        TFixtureVideo c = Clip(variant % 2 ? "mkv" : "mp4", "libx264", 160, 96);
        c.FrameCount = 80;
        c.GopLength = 20;
        c.BFrames = 2;
        ASSERT_TRUE(WriteFixtureVideo(c));
        if (variant < 2)
            ASSERT_TRUE(TruncateFixture(c.Path, 0.6));
        else if (variant < 4)
            ASSERT_TRUE(FlipFixtureBits(c.Path, 40, uint32_t(variant)));
        else
            ASSERT_TRUE(ScrambleFixture(c.Path, 0.4, 0.5, uint32_t(variant)));
        QElapsedTimer timer;
        timer.start();
        TFFDecoder dec;
        if (!dec.LoadFile(c.Path))
            continue;  // refused is fine too
        const std::vector<Decoded> frames = DecodeAll(dec);
        EXPECT_LT(timer.elapsed(), 20000);
        if (variant < 2) {
            // Truncated: the frames before the cut, in order (a B-frame whose
            // packet was cut may be missing at the very end).
            ASSERT_GT(frames.size(), 20u) << "variant " << variant;
            for (size_t i = 0; i < 20; ++i)
                EXPECT_EQ(frames[i].index, int(i)) << "variant " << variant;
            for (size_t i = 1; i < frames.size(); ++i)
                EXPECT_GT(frames[i].index, frames[i - 1].index) << "variant " << variant;
            EXPECT_LT(frames.size(), 80u);
        }
        // Locating anywhere answers without crashing; in the truncated case the
        // frame found is the one decoding from the start shows.
        for (int i = 0; i < 80; i += 9) {
            const int64_t t = FixtureFrameTimeUs(c, i) + frames.front().pts;
            const bool found = LocateVideoPTS(&dec, t);
            if (found && variant < 2) {
                int want = -1;
                for (const Decoded& f : frames)
                    if (f.pts <= t)
                        want = f.index;
                EXPECT_EQ(IndexNow(dec), want) << "variant " << variant << " at " << t;
            }
        }
    }
}

TEST(Decoder, TimeText)
{
    EXPECT_EQ(FormatPTS(0, 3), "00:00:00.000");
    EXPECT_EQ(FormatPTS(5123400, 3), "00:00:05.123");
    EXPECT_EQ(FormatPTS(3723004999, 3), "01:02:03.004");
    EXPECT_EQ(FormatPTS(-5, 3), "00:00:00.000");
    EXPECT_EQ(FormatPTS(AV_NOPTS_VALUE, 3), "00:00:00.000");
    EXPECT_EQ(StrToPTS("00:00:05.123", 3), 5123000);
    EXPECT_EQ(StrToPTS("01:02:03.004", 3), 3723004000);
    EXPECT_EQ(StrToPTS("02:03.5", 3), 123500000);
    EXPECT_EQ(StrToPTS("12.345", 3), 12345000);
    EXPECT_EQ(StrToPTS("7", 3), 7000000);
    EXPECT_EQ(StrToPTS(" 0: 0: 1.5  ", 3), 1500000);
    EXPECT_EQ(StrToPTS("1.0000005", 3), 1000001);
    EXPECT_EQ(StrToPTS("  :  :  .   ", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("abc", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("-1", 3), AV_NOPTS_VALUE);
    EXPECT_EQ(StrToPTS("1:2:3:4", 3), AV_NOPTS_VALUE);
    for (int64_t t : {int64_t(0), int64_t(999000), int64_t(59999000), int64_t(86399999000)})
        EXPECT_EQ(StrToPTS(FormatPTS(t, 3), 3), t);
}

// ---- files made by others ---------------------------------------------------------------

QString Media(const char* name)
{
    const QString dir = SharedMediaDir();
    return dir.isEmpty() || !QFile::exists(dir + name) ? QString() : dir + name;
}

TEST(DecoderMedia, HeaderRateIsCheckedAgainstTheFrames)
{
    const QString f = Media("exoplayer-sample.mkv");
    if (f.isEmpty())
        GTEST_SKIP() << "shared media missing";
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(f));
    const TVideoStreamInfo v = dec.GetVideoStreamInfo();
    EXPECT_NEAR(double(v.FrameRateNum) / v.FrameRateDen, 29.97, 0.05);
    EXPECT_EQ(v.Width, 1080);
    EXPECT_EQ(v.Height, 720);
    const std::vector<Decoded> frames = DecodeAll(dec);
    EXPECT_EQ(frames.size(), 30u);
    ASSERT_FALSE(frames.empty());
    EXPECT_LT(std::llabs(frames.front().pts), 20000);
    EXPECT_LT(frames.back().pts, dec.GetFileStreamInfo().Duration);
    // Its last packet claims 1 ms: the video's end known at opening is where
    // the last picture stops showing, as decoding to it finds (a clip's end
    // taken from it would lose the last frame).
    EXPECT_GE(v.Duration, frames.back().pts + 30000);
    EXPECT_EQ(v.Duration, dec.GetVideoStreamInfo().Duration);
    EXPECT_NEAR(double(dec.GetFileStreamInfo().TimeOffset), 67000.0, 5000.0);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GT(frames[i].pts, frames[i - 1].pts);
    // Exact locates over B-frames.
    for (size_t i = 0; i < frames.size(); i += 3) {
        ASSERT_TRUE(LocateVideoPTS(&dec, frames[i].pts + 1));
        EXPECT_EQ(dec.CurrentPTS(), frames[i].pts);
    }
}

TEST(DecoderMedia, AudioOnlyAndBrokenFiles)
{
    const QString dreams = Media("leaving_dreams.mkv"), invalid = Media("invalid-bitstream.webm");
    if (dreams.isEmpty() || invalid.isEmpty())
        GTEST_SKIP() << "shared media missing";
    TFFDecoder dec;
    dec.LoadFile(dreams);
    EXPECT_EQ(dec.VideoStreamIndex(), -1);
    EXPECT_FALSE(dec.Decode(-1));

    QElapsedTimer timer;
    timer.start();
    dec.LoadFile(invalid);
    EXPECT_GE(dec.VideoStreamIndex(), 0) << "it opens";
    EXPECT_FALSE(dec.Decode(-1)) << "but nothing decodes";
    EXPECT_TRUE(dec.LastDecodeDamaged());
    EXPECT_FALSE(dec.LastError().isEmpty());
    int calls = 0;
    while (dec.Decode(-1) && ++calls < 100) {
    }
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(LocateVideoPTS(&dec, 500000));
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(DecoderMedia, OddDimensionsAndRealFootage)
{
    const QString bear = Media("bear-vp9-odd-dimensions.webm"), oa4 = Media("oa4_launch.webm");
    if (bear.isEmpty() || oa4.isEmpty())
        GTEST_SKIP() << "shared media missing";
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(bear));
    EXPECT_EQ(dec.GetVideoStreamInfo().Width, 161);
    EXPECT_EQ(dec.GetVideoStreamInfo().Height, 121);
    QImage img;
    ASSERT_TRUE(dec.Decode(-1));
    ASSERT_TRUE(dec.CopyToBitmap(img));
    EXPECT_EQ(img.size(), QSize(161, 121));
    EXPECT_EQ(DecodeAll(dec).size(), 29u);

    ASSERT_TRUE(dec.LoadFile(oa4));
    EXPECT_NEAR(double(dec.GetVideoStreamInfo().FrameRateNum) / dec.GetVideoStreamInfo().FrameRateDen, 24.0, 0.05);
    const std::vector<Decoded> frames = DecodeAll(dec);
    EXPECT_EQ(frames.size(), 194u);
    std::mt19937 rng(3);
    for (int k = 0; k < 25; ++k) {
        const size_t i = rng() % frames.size();
        ASSERT_TRUE(LocateVideoPTS(&dec, frames[i].pts + 5));
        EXPECT_EQ(dec.CurrentPTS(), frames[i].pts);
    }
}

}  // namespace


// A codec that will not open leaves nothing usable: every call answers
// "nothing" and none of them reaches the unopened codec.
TEST(Decoder, FailedOpenLeavesNothingUsable)
{
    struct Case { const char* ext; const char* encoder; };
    int tried = 0;
    // Theora's three header packets open the file; one changed byte there is
    // enough. (H.264 parameter sets survive single bytes: its decoder opens.)
    for (const Case c : {Case{"ogv", "libtheora"}}) {
        if (!FixtureEncoderAvailable(c.encoder))
            continue;
        SCOPED_TRACE(std::string(c.encoder) + " in " + c.ext);
        TFixtureVideo clip = Clip(c.ext, c.encoder, 96, 64);
        clip.FrameCount = 12;
        QString err;
        ASSERT_TRUE(WriteFixtureVideo(clip, &err)) << err.toStdString();
        QString why;
        if (!DamageCodecHeaders(clip.Path, &why))
            continue;  // no single byte does it for this codec
        ++tried;
        EXPECT_TRUE(why.startsWith("clip." + QString(c.ext) + ": opening the ")) << why.toStdString();

        TFFDecoder dec;
        EXPECT_FALSE(dec.LoadFile(clip.Path));
        EXPECT_EQ(dec.LastError(), why);
        EXPECT_EQ(dec.VideoStreamIndex(), -1);
        EXPECT_EQ(dec.GetVideoStreamInfo().Width, 0);
        EXPECT_FALSE(dec.Decode(-1));
        EXPECT_FALSE(dec.Seek(Unit_Nano / 2, sfBackward));
        EXPECT_FALSE(LocateVideoPTS(&dec, Unit_Nano / 5));
        EXPECT_FALSE(LocateVideoPTSCallback(&dec, 0, [] { return true; }));
        QImage img;
        EXPECT_FALSE(dec.CopyToBitmap(img));
        EXPECT_FALSE(dec.HasFrame());
        EXPECT_EQ(dec.CurrentAVFrame(), nullptr);
        EXPECT_EQ(dec.CurrentPTS(), AV_NOPTS_VALUE);
        EXPECT_EQ(dec.CurrentDuration(), 0);
        EXPECT_FALSE(dec.LastDecodeDamaged());
        // The same decoder opens a good file afterwards.
        TFixtureVideo good = Clip("mkv", "libx264", 96, 64);
        good.FrameCount = 5;
        ASSERT_TRUE(WriteFixtureVideo(good, &err)) << err.toStdString();
        ASSERT_TRUE(dec.LoadFile(good.Path)) << dec.LastError().toStdString();
        ASSERT_TRUE(LocateVideoPTS(&dec, FixtureFrameTimeUs(good, 3)));
        EXPECT_EQ(IndexNow(dec), 3);
    }
    EXPECT_GE(tried, 1) << "no codec header could be damaged";
}
