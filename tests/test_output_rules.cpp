// The colours and the size of what is written: the decoder's pictures, the
// frame bitmaps and the GIF show a frame in the same colours, and the size
// the project and the command line announce is the size of the GIF written.
#include "BitmapFile.h"
#include "ConvertSupport.h"
#include "FFDecoder.h"
#include "FixtureVideo.h"
#include "GifRead.h"
#include "TestSupport.h"
#include "VGConvert.h"
#include "VGProj.h"
#include "VideoColour.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <memory>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// ---- driving conversions --------------------------------------------------------

// Runs the project's conversion to its end; the error text, empty on success.
QString Convert(TVGProj& proj)
{
    TConvertRecorder recv;
    const TConvertRun r = DriveConversion(recv, std::unique_ptr<TVideo2GifThread>(proj.StartConversion(&recv)));
    if (r.TimedOut)
        return QStringLiteral("timed out");
    if (!r.Finishes && r.Error.isEmpty())
        return QStringLiteral("neither finished nor failed");
    return r.Error;
}

// A project on the whole of a file, as the main window opens it.
bool OpenProject(TVGProj& proj, const QString& video, const QString& gif)
{
    TFFDecoder dec;
    if (!dec.LoadFile(video))
        return false;
    proj.VideoFileName = video;
    proj.GifFileName = gif;
    proj.LoadStreamInfo(&dec);
    proj.CropRect = {0, 0, proj.VideoWidth, proj.VideoHeight};
    proj.StartPTS = 0;
    proj.EndPTS = proj.Duration;
    proj.SizeStyle = ssOriginal;
    proj.GifFPS = 25;
    return proj.HasVideo();
}

struct TCliRun { int Code = -1; QString Out, Err; };

TCliRun RunCli(const QStringList& args)
{
    TCliRun r;
    QProcess p;
    p.start(QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// ---- colours ----------------------------------------------------------------------

// Saturated and mixed flat colours side by side: a wrong matrix moves the
// saturated ones by 20 levels and more.
const QRgb Bars[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
                     qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(235, 235, 235), qRgb(200, 110, 40)};
constexpr int BarCount = int(std::size(Bars));

void PaintBars(QImage& img, int)
{
    QPainter p(&img);
    const int w = img.width();
    for (int i = 0; i < BarCount; ++i)
        p.fillRect(QRect(i * w / BarCount, 0, (i + 1) * w / BarCount - i * w / BarCount, img.height()), QColor(Bars[i]));
}

QPoint BarCentre(const QImage& img, int i)
{
    return {(2 * i + 1) * img.width() / (2 * BarCount), img.height() / 2};
}

int MaxChannelDiff(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

std::string Rgb(QRgb c)
{
    return QStringLiteral("%1,%2,%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).toStdString();
}

QImage RowsToImage(const TBitmapRows& rows)
{
    QImage img(rows.Width, rows.Height, QImage::Format_RGB888);
    for (int y = 0; y < rows.Height; ++y) {
        const uint8_t* s = rows.Row(y);
        uint8_t* d = img.scanLine(y);
        for (int x = 0; x < rows.Width; ++x) {
            d[3 * x] = s[3 * x + 2];
            d[3 * x + 1] = s[3 * x + 1];
            d[3 * x + 2] = s[3 * x];
        }
    }
    return img;
}

// The first frame of a file as the decoder shows it, as the frame bitmaps
// hold it, and as the GIF of that frame shows it; and what the decoder says
// of the stream's colours.
struct TThreeViews {
    QImage Shown, Bitmap, Gif;
    TVideoStreamInfo Info;
};

void ThreeViews(const QString& video, const QString& gif, TThreeViews& v)
{
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(video)) << dec.LastError().toStdString();
    v.Info = dec.GetVideoStreamInfo();
    ASSERT_TRUE(dec.Decode(-1)) << dec.LastError().toStdString();
    dec.SetBitmapBitsPixel(24);
    ASSERT_TRUE(dec.CopyToBitmap(v.Shown));
    v.Shown = v.Shown.convertToFormat(QImage::Format_RGB888);
    TBitmapRows rows;
    ASSERT_TRUE(dec.CopyToBitmapRows(rows));
    v.Bitmap = RowsToImage(rows);

    TVGProj proj;
    ASSERT_TRUE(OpenProject(proj, video, gif));
    proj.EndPTS = dec.CurrentDuration() > 0 ? dec.CurrentDuration() : 40000;  // the first frame alone
    const QString err = Convert(proj);
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    const QList<QImage> frames = ReadWithQt(gif);
    ASSERT_FALSE(frames.isEmpty());
    v.Gif = frames.first().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(v.Gif.size(), v.Shown.size());
}

// Flat patches: the frame near the painted colour (the right matrix was
// guessed), the bitmap equal to the frame, the GIF within the palette's error.
void ExpectSameColours(const TThreeViews& v, int paintedTolerance)
{
    for (int i = 0; i < BarCount; ++i) {
        SCOPED_TRACE(Rgb(Bars[i]));
        const QPoint at = BarCentre(v.Shown, i);
        const QRgb shown = v.Shown.pixel(at), bitmap = v.Bitmap.pixel(at), gif = v.Gif.pixel(at);
        EXPECT_LE(MaxChannelDiff(shown, Bars[i]), paintedTolerance) << "frame " << Rgb(shown);
        EXPECT_EQ(bitmap, shown) << "bitmap " << Rgb(bitmap) << " frame " << Rgb(shown);
        EXPECT_LE(MaxChannelDiff(gif, shown), 4) << "GIF " << Rgb(gif) << " frame " << Rgb(shown);
    }
}

}  // namespace

TEST(ColourRule, TagsWinAndUntaggedVideoIsGuessedAsPlayersDo)
{
    // Untagged: BT.709 for HD, counting wide pictures cropped below 720 lines.
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 1280, 720).Matrix, SWS_CS_ITU709);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 1920, 800).Matrix, SWS_CS_ITU709);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 1024, 576).Matrix, SWS_CS_ITU601);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 720, 480).Matrix, SWS_CS_ITU601);
    // Tags are kept whatever the size.
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 320, 240).Matrix, SWS_CS_ITU709);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, 1920, 1080).Matrix, SWS_CS_ITU601);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_BT470BG, AVCOL_RANGE_MPEG, 1920, 1080).Matrix, SWS_CS_ITU601);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P10LE, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG, 3840, 2160).Matrix, SWS_CS_BT2020);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE240M, AVCOL_RANGE_MPEG, 320, 240).Matrix, SWS_CS_SMPTE240M);
    EXPECT_EQ(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_FCC, AVCOL_RANGE_MPEG, 320, 240).Matrix, SWS_CS_FCC);

    // Range: the tag, else limited; every JPEG format is full range, handed
    // to the scaler as its plain twin.
    const TVideoColour tagged = VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_JPEG, 320, 240);
    EXPECT_TRUE(tagged.FullRange);
    EXPECT_EQ(tagged.Format, AV_PIX_FMT_YUV420P);
    EXPECT_FALSE(VideoColourOf(AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 320, 240).FullRange);
    const std::pair<AVPixelFormat, AVPixelFormat> jpeg[] = {
        {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P}, {AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV422P},
        {AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV444P}, {AV_PIX_FMT_YUVJ440P, AV_PIX_FMT_YUV440P},
        {AV_PIX_FMT_YUVJ411P, AV_PIX_FMT_YUV411P}};
    for (const auto& [j, plain] : jpeg) {
        const TVideoColour c = VideoColourOf(j, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 640, 480);
        EXPECT_TRUE(c.FullRange) << j;
        EXPECT_EQ(c.Format, plain) << j;
        EXPECT_EQ(c.Matrix, SWS_CS_ITU601) << j;
    }
    EXPECT_EQ(VideoMatrixName(SWS_CS_ITU709), "bt709");
    EXPECT_EQ(VideoMatrixName(SWS_CS_ITU601), "bt601");
}

TEST(ColourRule, UntaggedClipsShowTheSameColoursInFrameBitmapAndGif)
{
    struct Case { const char* name; int w, h; int matrix; bool untagged; const char* pixfmt; const char* expect; };
    const Case cases[] = {
        {"untagged HD", 1280, 720, -1, true, "yuv420p", "bt709"},
        {"untagged SD", 320, 240, -1, true, "yuv420p", "bt601"},
        {"untagged wide HD below 720 lines", 1280, 536, AVCOL_SPC_BT709, true, "yuv420p", "bt709"},
        {"untagged SD, JPEG range", 320, 240, -1, true, "yuvj420p", "bt601"},
        {"tagged BT.709 at SD size", 320, 240, AVCOL_SPC_BT709, false, "yuv444p", "bt709"},
        {"tagged BT.601 at HD size", 1280, 720, AVCOL_SPC_SMPTE170M, false, "yuv420p", "bt601"},
    };
    const QString dir = MakeTempDir("colour");
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TFixtureVideo c;
        c.Path = dir + QStringLiteral("c%1.mp4").arg(n++);
        c.Width = k.w;
        c.Height = k.h;
        c.FrameCount = 3;
        c.Quality = 12;
        c.PixelFormat = k.pixfmt;
        c.ColorMatrix = k.matrix;
        c.Untagged = k.untagged;
        c.Painter = PaintBars;
        QString err;
        ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
        TThreeViews v;
        ThreeViews(c.Path, c.Path + ".gif", v);
        if (HasFatalFailure())
            return;
        EXPECT_EQ(v.Info.ColorMatrix, k.expect);
        EXPECT_EQ(v.Info.FullRange, QString(k.pixfmt).startsWith("yuvj"));
        ExpectSameColours(v, 8);
    }
}

// 4:1:1 pictures in full range (tagged here; the JPEG 4:1:1 format says so
// by its name, above): an independent decoder told the same gives the same
// colours.
TEST(ColourRule, FullRange411InFrameBitmapAndGif)
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "the FFmpeg command line is not installed";
    const QString dir = MakeTempDir("colour411");
    const QString video = dir + "full411.mkv";
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                     "color=c=0xC86E28:s=320x240:d=0.2,drawbox=x=0:y=0:w=160:h=240:c=0x1E3CDC:t=fill",
                     "-vf", "scale=out_range=full,format=yuv411p", "-color_range", "pc", "-c:v", "rawvideo", video});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    TThreeViews v;
    ThreeViews(video, dir + "full411.gif", v);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(v.Info.PixelFormat, "yuv411p");
    EXPECT_TRUE(v.Info.FullRange);

    QProcess ref;
    ref.start(ffmpeg, {"-v", "error", "-i", video, "-frames:v", "1", "-vf",
                       "scale=in_color_matrix=bt601:in_range=full:flags=bilinear,format=rgb24",
                       "-f", "rawvideo", "-"});
    ASSERT_TRUE(ref.waitForFinished(60000));
    const QByteArray raw = ref.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 3);
    const QImage want(reinterpret_cast<const uchar*>(raw.constData()), 320, 240, 320 * 3, QImage::Format_RGB888);
    for (const QPoint at : {QPoint(80, 120), QPoint(240, 120)}) {
        SCOPED_TRACE(Rgb(want.pixel(at)));
        EXPECT_LE(MaxChannelDiff(v.Shown.pixel(at), want.pixel(at)), 2) << Rgb(v.Shown.pixel(at));
        // swscale has no fast path from 4:1:1 and rounds RGB and BGR output
        // a level or two apart.
        EXPECT_LE(MaxChannelDiff(v.Bitmap.pixel(at), v.Shown.pixel(at)), 2) << Rgb(v.Bitmap.pixel(at));
        EXPECT_LE(MaxChannelDiff(v.Gif.pixel(at), want.pixel(at)), 4) << Rgb(v.Gif.pixel(at));
    }
}

// ---- the output size --------------------------------------------------------------

TEST(SizeRule, RectanglesAreMeasuredWithoutOverflow)
{
    TVGCropRect c{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(c.Width(), INT32_MAX);
    EXPECT_EQ(c.Height(), INT32_MAX);
    c = {INT32_MAX, 0, INT32_MIN, 10};
    EXPECT_EQ(c.Width(), INT32_MIN);

    TRect r{INT_MIN, 0, INT_MAX, 5};
    EXPECT_EQ(r.Width(), INT_MAX);
    EXPECT_FALSE(r.IsEmpty());
    EXPECT_EQ(TRect::FromQRect(QRect(QPoint(10, 20), QPoint(INT_MAX, 29))).Right, INT_MAX);
    EXPECT_EQ(TRect::FromQRect(QRect(5, 6, 30, 40)), (TRect{5, 6, 35, 46}));
    EXPECT_EQ((TRect{5, 6, 35, 46}).ToQRect(), QRect(5, 6, 30, 40));
    EXPECT_TRUE((TRect{INT_MAX, 0, INT_MIN, 5}).ToQRect().isEmpty());

    // Extreme crops clip to the picture.
    TVGConvertFlag f;
    f.UseCrop = true;
    f.CropRect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    const TVGCropRect all = VGConvertPlan::ClipCrop(f, 640, 360);
    EXPECT_EQ(all.Width(), 640);
    EXPECT_EQ(all.Height(), 360);
    f.CropRect = {INT32_MAX - 10, 0, INT32_MAX, 10};
    EXPECT_EQ(VGConvertPlan::OutputSize(f, 640, 360), QSize(0, 10));

    TVGProj proj;
    proj.VideoWidth = 640;
    proj.VideoHeight = 360;
    proj.UseCrop = true;
    proj.CropRect = {INT_MIN, 300, INT_MAX, INT_MAX};
    EXPECT_EQ(proj.GetOutputSize(), QSize(640, 60));
    EXPECT_DOUBLE_EQ(proj.GetScaleX(), 1.0);
    // A logo reaching past the int range is hit without overflow.
    proj.Logo.X = INT_MAX - 5;
    proj.Logo.Y = INT_MAX - 5;
    proj.Logo.Width = proj.Logo.Height = 100;
    EXPECT_EQ(proj.ElementAt(QPointF(double(INT_MAX) - 2, double(INT_MAX) - 2)), &proj.Logo);
}

// For many crops, sizes and rotations the project's sizes and the GIF's agree,
// and the overlays sit where the clipped crop puts them.
TEST(SizeRule, ProjectSizeIsTheWrittenSize)
{
    const QString dir = MakeTempDir("sizes");
    TFixtureVideo clip;
    clip.Path = dir + "clip.mp4";
    clip.Width = 320;
    clip.Height = 180;
    clip.FrameCount = 2;
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(clip, &err)) << err.toStdString();

    struct Case { TRect crop; bool useCrop; TSizeStyle style; int cw, ch; uint8_t rotation; QSize want; };
    const Case cases[] = {
        {{300, 150, 400, 250}, true, ssOriginal, 0, 0, 0, {20, 30}},     // past the corner: clipped
        {{300, 150, 400, 250}, true, ssHalf, 0, 0, 0, {10, 15}},
        {{-50, -20, 101, 61}, true, ssOriginal, 0, 0, 1, {61, 101}},     // before the corner, turned
        {{-50, -20, 101, 61}, true, ssHalf, 0, 0, 3, {30, 50}},          // 50.5 -> 50, 30.5 -> 30
        {{10, 10, 13, 300}, true, ssQuarter, 0, 0, 0, {1, 42}},          // 0.75 -> 1, 42.5 -> 42
        {{0, 0, 0, 0}, false, ssQuarter, 0, 0, 2, {80, 45}},
        {{0, 0, 0, 0}, false, ssHalf, 0, 0, 1, {90, 160}},
        {{-1000, 100, 1000, 1000}, true, ssCustom, 33, 17, 0, {33, 17}},
        {{-1000, 100, 1000, 1000}, true, ssCustom, 33, 17, 1, {17, 33}},
        {{5, 5, 21, 21}, true, ssCustom, 7, 5, 3, {5, 7}},
        {{100, 40, 101, 41}, true, ssOriginal, 0, 0, 0, {1, 1}},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(n);
        TVGProj proj;
        ASSERT_TRUE(OpenProject(proj, clip.Path, dir + QStringLiteral("s%1.gif").arg(n++)));
        proj.EndPTS = 40000;
        if (k.useCrop)
            proj.CropRect = k.crop;
        proj.UseCrop = k.useCrop;
        proj.SizeStyle = k.style;
        proj.CustomWidth = k.cw;
        proj.CustomHeight = k.ch;
        proj.Rotation = k.rotation;
        EXPECT_EQ(proj.GetGifSize(), k.want);
        EXPECT_EQ(proj.GetOutputSize(), k.rotation % 2 ? k.want.transposed() : k.want);
        const QString e = Convert(proj);
        ASSERT_TRUE(e.isEmpty()) << e.toStdString();
        const TGifBlocks g = ParseGif(proj.GifFileName);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(QSize(g.Width, g.Height), k.want);
    }
    // The overlay offsets follow the clipped crop: a logo at the video's
    // corner shows at the output's corner when the crop starts before it.
    QImage dot(4, 4, QImage::Format_RGB32);
    dot.fill(qRgb(255, 0, 255));
    ASSERT_TRUE(dot.save(dir + "dot.png"));
    TVGProj proj;
    ASSERT_TRUE(OpenProject(proj, clip.Path, dir + "logo.gif"));
    proj.EndPTS = 40000;
    proj.UseCrop = true;
    proj.CropRect = {-40, -40, 100, 100};
    proj.Logo.Enabled = true;
    proj.Logo.ImageFileName = dir + "dot.png";
    proj.Logo.X = 0;
    proj.Logo.Y = 0;
    proj.Logo.Width = proj.Logo.Height = 20;
    ASSERT_EQ(Convert(proj), QString());
    const QList<QImage> frames = ReadWithQt(proj.GifFileName);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames[0].size(), QSize(100, 100));
    EXPECT_LE(MaxChannelDiff(frames[0].pixel(2, 2), qRgb(255, 0, 255)), 8) << Rgb(frames[0].pixel(2, 2));
    EXPECT_LE(MaxChannelDiff(frames[0].pixel(17, 17), qRgb(255, 0, 255)), 8) << Rgb(frames[0].pixel(17, 17));
}

// What the command line announces is what it writes; bad rectangles and sizes
// are refused with a message that says why.
TEST(SizeRule, CommandLinePrintsTheSizeItWrites)
{
    if (!QFile::exists(GANTERLY_BIN_DIR "/ganterly-cli"))
        GTEST_SKIP() << "ganterly-cli is not built";
    const QString dir = MakeTempDir("clisizes");
    TFixtureVideo clip;
    clip.Path = dir + "clip.mp4";
    clip.Width = 640;
    clip.Height = 360;
    clip.FrameCount = 3;
    clip.PixelFormat = "yuv444p";
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(clip, &err)) << err.toStdString();

    const QStringList cases[] = {
        {"--crop", "600,300,100,100", "--size", "original"},
        {"--crop", "600,300,100,100", "--size", "half"},
        {"--crop", "-100,-100,341,201", "--size", "half", "--rotate", "90"},
        {"--crop", "10,10,101,51", "--size", "quarter", "--rotate", "270"},
        {"--size", "quarter", "--rotate", "180"},
        {"--crop", "500,0,500,360", "--size", "70x-2"},
        {"--crop", "500,0,500,360", "--size", "70x-1", "--rotate", "90"},
        {"--size", "99x33", "--rotate", "90"},
    };
    const QRegularExpression announced(QStringLiteral(" to (\\d+) x (\\d+) at "));
    int n = 0;
    for (const QStringList& opts : cases) {
        SCOPED_TRACE(opts.join(' ').toStdString());
        const QString gif = dir + QStringLiteral("o%1.gif").arg(n++);
        const TCliRun r = RunCli(QStringList{"convert", clip.Path, gif, "--duration", "0.1"} + opts);
        ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
        const QRegularExpressionMatch m = announced.match(r.Err);
        ASSERT_TRUE(m.hasMatch()) << r.Err.toStdString();
        const TGifBlocks g = ParseGif(gif);
        ASSERT_TRUE(g.Valid);
        EXPECT_EQ(QSize(m.captured(1).toInt(), m.captured(2).toInt()), QSize(g.Width, g.Height));
    }

    // Sums past the int range are refused before anything is computed from them.
    const QString never = dir + "never.gif";
    TCliRun r = RunCli({"convert", clip.Path, never, "--crop", "2147483000,0,2147483000,10"});
    EXPECT_NE(r.Code, 0);
    EXPECT_TRUE(r.Err.contains("--crop")) << r.Err.toStdString();
    r = RunCli({"convert", clip.Path, never, "--crop", "0,2147483647,10,1"});
    EXPECT_NE(r.Code, 0);
    EXPECT_TRUE(r.Err.contains("--crop")) << r.Err.toStdString();
    // A crop outside the picture is said so, without announcing a size.
    r = RunCli({"convert", clip.Path, never, "--crop", "-2147483648,0,2147483647,10"});
    EXPECT_NE(r.Code, 0);
    EXPECT_TRUE(r.Err.contains("outside the video picture")) << r.Err.toStdString();
    EXPECT_FALSE(announced.match(r.Err).hasMatch()) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(never));
}

// A size the scaler refuses is named as such, not blamed on the picture format.
TEST(SizeRule, ARefusedSizeIsNamed)
{
    const QString dir = MakeTempDir("refused");
    TFixtureVideo clip;
    clip.Path = dir + "clip.mp4";
    clip.Width = 640;
    clip.Height = 360;
    clip.FrameCount = 2;
    clip.PixelFormat = "yuv444p";
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(clip, &err)) << err.toStdString();
    TVGProj proj;
    ASSERT_TRUE(OpenProject(proj, clip.Path, dir + "wide.gif"));
    proj.EndPTS = 40000;
    proj.SizeStyle = ssCustom;
    proj.CustomWidth = 65535;
    proj.CustomHeight = 1;
    const QString e = Convert(proj);
    EXPECT_TRUE(e.contains("65535 x 1")) << e.toStdString();
    EXPECT_TRUE(e.contains("640 x 360")) << e.toStdString();
    EXPECT_FALSE(e.contains("picture format")) << e.toStdString();
    EXPECT_FALSE(QFile::exists(proj.GifFileName));
}
