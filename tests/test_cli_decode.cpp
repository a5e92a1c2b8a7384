// ganterly-cli frame / info / group against FFmpeg's own command line decoding
// every frame from the start.
#include "FixtureVideo.h"
#include "TestSupport.h"
#include "FFDecoder.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>

namespace {

QString Cli() { return QStringLiteral(GANTERLY_BIN_DIR) + "/ganterly-cli"; }

struct CliRun { int code; QString out, err; };

CliRun Exec(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, "timeout"};
    }
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

// Every frame as FFmpeg decodes it from the start: times (from the video's
// start) and RGB pictures, converted with the matrix and range our decoder uses.
struct Reference {
    std::vector<int64_t> times;
    std::vector<QImage> pictures;
};

bool DecodeWithFFmpeg(const QString& file, Reference& ref)
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg"), ffprobe = QStandardPaths::findExecutable("ffprobe");
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        return false;
    TFFDecoder dec;
    if (!dec.LoadFile(file))
        return false;
    const TVideoStreamInfo v = dec.GetVideoStreamInfo();
    const int64_t offset = dec.GetFileStreamInfo().TimeOffset;
    const CliRun probe = Exec(ffprobe, {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                     "frame=best_effort_timestamp_time", "-of", "csv=p=0", file});
    for (const QString& line : probe.out.split('\n', Qt::SkipEmptyParts))
        ref.times.push_back(std::llround(line.trimmed().toDouble() * 1e6) - offset);
    // A first frame without a time is guessed at the container's zero; it is
    // the first frame of the stream, at its start.
    if (ref.times.size() > 1 && ref.times[0] < 0 && ref.times[1] > 0)
        ref.times[0] = 0;
    const QString matrix = v.ColorMatrix == "bt709" ? "bt709" : "bt601";
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-i", file, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf",
                     QStringLiteral("scale=in_color_matrix=%1:in_range=%2:flags=bilinear,format=rgb24")
                         .arg(matrix, v.FullRange ? "full" : "limited"),
                     "-f", "rawvideo", "-"});
    if (!p.waitForFinished(120000))
        return false;
    const QByteArray raw = p.readAllStandardOutput();
    const int w = v.Width, h = v.Height;  // the command line turns rotated video upright too
    const qsizetype frameBytes = qsizetype(w) * h * 3;
    for (qsizetype pos = 0; pos + frameBytes <= raw.size(); pos += frameBytes) {
        QImage img(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            std::memcpy(img.scanLine(y), raw.constData() + pos + qsizetype(y) * w * 3, size_t(w) * 3);
        ref.pictures.push_back(img);
    }
    return !ref.pictures.empty() && ref.pictures.size() == ref.times.size();
}

double MeanDifference(const QImage& a0, const QImage& b0)
{
    const QImage a = a0.convertToFormat(QImage::Format_RGB888), b = b0.convertToFormat(QImage::Format_RGB888);
    if (a.size() != b.size())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(int(pa[x]) - int(pb[x]));
    }
    return sum / (double(a.width()) * a.height() * 3);
}

TEST(CliDecode, FrameEqualsDecodingFromTheStart)
{
    const QString dir = SharedMediaDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "shared media missing";
    REQUIRE_INDEPENDENT_TOOL(ffmpegTool, "ffmpeg");
    const QString out = MakeTempDir("cliframe");
    for (const char* name : {"oa4_launch.webm", "exoplayer-sample.mkv", "bear-vp9-odd-dimensions.webm"}) {
        const QString file = dir + name;
        if (!QFile::exists(file))
            continue;
        Reference ref;
        ASSERT_TRUE(DecodeWithFFmpeg(file, ref)) << name;
        const int64_t last = ref.times.back();
        for (int k = 0; k < 12; ++k) {
            // Spread over the clip, off the frame times, plus one exactly on a frame.
            int64_t t = k == 11 ? ref.times[ref.times.size() / 2] : last * k / 11 + 4321;
            size_t want = 0;
            for (size_t i = 0; i < ref.times.size(); ++i)
                if (ref.times[i] <= t)
                    want = i;
            const QString png = out + QStringLiteral("f%1.png").arg(k);
            const CliRun r = Exec(Cli(), {"frame", file, QString::number(double(t) / 1e6, 'f', 6), png});
            ASSERT_EQ(r.code, 0) << name << " " << r.err.toStdString();
            EXPECT_EQ(r.out.trimmed().toLongLong(), ref.times[want]) << name << " at " << t;
            const double diff = MeanDifference(QImage(png), ref.pictures[want]);
            EXPECT_LT(diff, 2.5) << name << " at " << t << " frame " << want;
        }
    }
}

TEST(CliDecode, InfoAndGroup)
{
    TFixtureVideo c;
    c.Path = MakeTempDir("cliinfo") + "clip.mp4";
    c.Width = 174;
    c.Height = 98;
    c.FrameCount = 40;
    c.BFrames = 2;
    c.Rotation = 90;
    ASSERT_TRUE(WriteFixtureVideo(c));
    CliRun r = Exec(Cli(), {"info", c.Path});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("video_stream: 0\n"));
    EXPECT_TRUE(r.out.contains("width: 174\n"));
    EXPECT_TRUE(r.out.contains("height: 98\n"));
    EXPECT_TRUE(r.out.contains("frame_rate: 25.000\n"));
    EXPECT_TRUE(r.out.contains("duration_us: 1600000\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("duration: 00:00:01.600\n"));
    EXPECT_TRUE(r.out.contains("time_offset_us: 0\n"));
    EXPECT_TRUE(r.out.contains("rotation: 90\n"));
    EXPECT_TRUE(r.out.contains("mirrored: 0\n"));
    EXPECT_TRUE(r.out.contains("sample_aspect: 1:1\n"));

    r = Exec(Cli(), {"group", c.Path, "00:00:00.500", "4"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "480000 00:00:00.480\n520000 00:00:00.520\n560000 00:00:00.560\n600000 00:00:00.600\n");
    r = Exec(Cli(), {"group", c.Path, "1.55", "5"});
    EXPECT_EQ(r.out, "1520000 00:00:01.520\n1560000 00:00:01.560\n") << "ends with the video";

    const QString png = MakeTempDir("cliinfo") + "f.png";
    r = Exec(Cli(), {"frame", c.Path, "0.9", png});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.trimmed(), "880000");
    EXPECT_EQ(ReadFixtureIndex(QImage(png)), 22);

    const QString audio = MakeTempDir("cliinfo") + "tone.mp3";
    ASSERT_TRUE(WriteFixtureAudio(audio, 1.0, true));
    r = Exec(Cli(), {"info", audio});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("not a video file")) << r.err.toStdString();
    r = Exec(Cli(), {"frame", c.Path, "soon", png});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains("not a time"));
    r = Exec(Cli(), {"info", c.Path + ".missing"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("no such file"));
}

// Non-square pixels: info reports the shape and the displayed size, frame
// writes the picture as the command line stretches it, and a turned and
// mirrored clip comes out upright.
TEST(CliDecode, NonSquarePixelsAndMirroredClips)
{
    const QString dir = MakeTempDir("clisar");
    TFixtureVideo c;
    c.Path = dir + "sar.mp4";
    c.Width = 160;        // stored 120 x 96
    c.Height = 96;
    c.SampleAspectNum = 4;
    c.SampleAspectDen = 3;
    c.FrameCount = 10;
    c.Quality = 16;
    ASSERT_TRUE(WriteFixtureVideo(c));
    CliRun r = Exec(Cli(), {"info", c.Path});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("width: 160\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("height: 96\n"));
    EXPECT_TRUE(r.out.contains("sample_aspect: 4:3\n"));
    const QString png = dir + "f5.png";
    r = Exec(Cli(), {"frame", c.Path, "0.2", png});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage ours(png);
    EXPECT_EQ(ours.size(), QSize(160, 96));
    EXPECT_EQ(ReadFixtureIndex(ours), 5);

    TFixtureVideo m = c;
    m.Path = dir + "front.mp4";
    m.Width = 96;         // stored 120 x 96, turned back
    m.Height = 160;
    m.Rotation = 90;
    m.Mirror = true;
    ASSERT_TRUE(WriteFixtureVideo(m));
    r = Exec(Cli(), {"info", m.Path});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("width: 96\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("height: 160\n"));
    EXPECT_TRUE(r.out.contains("rotation: 90\n"));
    EXPECT_TRUE(r.out.contains("mirrored: 1\n"));
    r = Exec(Cli(), {"frame", m.Path, "0.3", png});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(96, 160));
    EXPECT_EQ(ReadFixtureIndex(QImage(png)), 7);

    // The command line's own aspect correction of the same frame.
    REQUIRE_INDEPENDENT_TOOL(ffmpeg, "ffmpeg");
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-i", c.Path, "-vf",
                     "select=eq(n\\,5),scale=iw*sar:ih:flags=bicubic,setsar=1,format=rgb24",
                     "-frames:v", "1", "-f", "rawvideo", "-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QByteArray raw = p.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 160 * 96 * 3) << p.readAllStandardError().toStdString();
    QImage ref(160, 96, QImage::Format_RGB888);
    for (int y = 0; y < 96; ++y)
        std::memcpy(ref.scanLine(y), raw.constData() + y * 160 * 3, 160 * 3);
    const QImage a = ours.convertToFormat(QImage::Format_RGB888);
    double squares = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 160 * 3; ++x) {
            const int d = int(a.constScanLine(y)[x]) - int(ref.constScanLine(y)[x]);
            squares += double(d) * d;
        }
    const double mse = squares / (160.0 * 96 * 3);
    const double psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
    EXPECT_GT(psnr, 35.0) << "against the command line's stretch";
}

// A camera-like clip whose later sync samples are I-frames the next
// pictures refer past: every frame at its own time, groups from after the
// second sync sample, and a time past the end named as such.
TEST(CliDecode, SyncSamplesThatAreNoCleanStart)
{
    const TFixtureVideo c = CameraLikeClip(MakeTempDir("clisync") + "camera.mp4", 192, 108, 60, 20);
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();

    const QString png = MakeTempDir("clisync") + "f.png";
    for (int i = 0; i < c.FrameCount; ++i) {
        const int64_t t = FixtureFrameTimeUs(c, i);
        const CliRun r = Exec(Cli(), {"frame", c.Path, QString::number(double(t) / 1e6, 'f', 6), png});
        ASSERT_EQ(r.code, 0) << "frame " << i << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed().toLongLong(), t) << "frame " << i;
        EXPECT_EQ(ReadFixtureIndex(QImage(png)), i) << "frame " << i;
    }

    // From after the second sync sample (frame 38), ten frames in a row.
    CliRun r = Exec(Cli(), {"group", c.Path, "2.0", "10"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QString want;
    for (int i = 40; i < 50; ++i)
        want += QStringLiteral("%1 %2\n").arg(FixtureFrameTimeUs(c, i)).arg(FormatPTS(FixtureFrameTimeUs(c, i), 3));
    EXPECT_EQ(r.out, want);

    r = Exec(Cli(), {"frame", c.Path, "10", png});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(c.Path + ": 00:00:10.000 is past the end of the video (duration 00:00:03.0"))
        << r.err.toStdString();
    r = Exec(Cli(), {"frame", c.Path, "2.99", png});
    EXPECT_EQ(r.code, 0) << "the last frame lasts to the end: " << r.err.toStdString();
    EXPECT_EQ(ReadFixtureIndex(QImage(png)), 59);
}

// Damaged codec headers: every command stops with the file and the stage.
TEST(CliDecode, DamagedCodecHeaders)
{
    if (!FixtureEncoderAvailable("libtheora"))
        GTEST_SKIP() << "libtheora not available";
    const QString dir = MakeTempDir("cliheaders");
    TFixtureVideo c;
    c.Path = dir + "clip.ogv";
    c.Encoder = "libtheora";
    c.Width = 96;
    c.Height = 64;
    c.FrameCount = 12;
    QString err;
    ASSERT_TRUE(WriteFixtureVideo(c, &err)) << err.toStdString();
    QString why;
    ASSERT_TRUE(DamageCodecHeaders(c.Path, &why));
    const QString gif = dir + "out.gif";
    const std::vector<QStringList> runs = {{"info", c.Path},
                                           {"frame", c.Path, "0.1", dir + "f.png"},
                                           {"group", c.Path, "0", "5"},
                                           {"convert", c.Path, gif}};
    for (const QStringList& args : runs) {
        const CliRun r = Exec(Cli(), args);
        EXPECT_EQ(r.code, 1) << args[0].toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.Path)) << args[0].toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("opening the theora decoder")) << args[0].toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Operation not permitted")) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(gif));
}

}  // namespace
