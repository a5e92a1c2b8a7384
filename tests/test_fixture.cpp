// The test-video writer: the index pattern reads back, flat or damaged
// pictures do not, and a player independent of ours sees what we meant.
#include "FixtureVideo.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

TEST(Fixture, PatternReadsBackAndRejectsOtherPictures)
{
    TFixtureVideo c;
    for (QSize size : {QSize(160, 96), QSize(161, 121), QSize(1920, 1080), QSize(33, 20)}) {
        c.Width = size.width();
        c.Height = size.height();
        for (int i : {0, 1, 2, 77, 1000, FixtureMaxIndex}) {
            const QImage img = FixtureFramePicture(c, i);
            EXPECT_EQ(ReadFixtureIndex(img), i) << size.width() << "x" << size.height();
            EXPECT_EQ(ReadFixtureIndex(img.convertToFormat(QImage::Format_RGB32)), i);
            EXPECT_EQ(img.pixel(FixtureBackgroundPoint(size.width(), size.height())), FixtureBackground(i));
        }
    }
    for (QRgb flat : {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 128, 128)}) {
        QImage img(160, 96, QImage::Format_RGB888);
        img.fill(flat);
        EXPECT_EQ(ReadFixtureIndex(img), -1);
    }
    // Mirrored pictures (a wrong rotation) fail the check bits.
    c.Width = 160;
    c.Height = 96;
    int misread = 0;
    for (int i = 0; i < 200; ++i)
        misread += ReadFixtureIndex(FixtureFramePicture(c, i).mirrored(true, true)) >= 0;
    EXPECT_LT(misread, 5);
    EXPECT_EQ(ReadFixtureIndex(QImage()), -1);
}

TEST(Fixture, TimesFollowTheRate)
{
    TFixtureVideo c;
    c.FrameRateNum = 30000;
    c.FrameRateDen = 1001;
    EXPECT_EQ(FixtureFrameTimeUs(c, 0), 0);
    EXPECT_EQ(FixtureFrameTimeUs(c, 30), 1001000);
    c.VariableFrameRate = true;
    c.FrameRateNum = 25;
    c.FrameRateDen = 1;
    // Durations cycle through 1, 1, 2, 3 periods of 40 ms.
    EXPECT_EQ(FixtureFrameDurationUs(c, 0), 40000);
    EXPECT_EQ(FixtureFrameDurationUs(c, 2), 80000);
    EXPECT_EQ(FixtureFrameDurationUs(c, 3), 120000);
    EXPECT_EQ(FixtureFrameTimeUs(c, 4), 280000);
}

TEST(Fixture, RejectsImpossibleClips)
{
    TFixtureVideo c;
    c.Path = MakeTempDir("fixbad") + "x.mp4";
    QString err;
    c.FrameCount = 0;
    EXPECT_FALSE(WriteFixtureVideo(c, &err));
    EXPECT_TRUE(err.contains("x.mp4"));
    c.FrameCount = 5;
    c.Encoder = "no-such-encoder";
    EXPECT_FALSE(WriteFixtureVideo(c, &err));
    EXPECT_TRUE(err.contains("encoder"));
    c.Encoder = "libx264";
    c.PixelFormat = "no-such-format";
    EXPECT_FALSE(WriteFixtureVideo(c, &err));
    c.PixelFormat = "yuv420p";
    c.Rotation = 45;
    EXPECT_FALSE(WriteFixtureVideo(c, &err));
    c.Rotation = 0;
    c.SampleAspectDen = 0;
    EXPECT_FALSE(WriteFixtureVideo(c, &err));
    EXPECT_TRUE(err.contains("aspect")) << err.toStdString();
    EXPECT_TRUE(FixtureStoredSize(c).isEmpty());
}

// The stored picture is the displayed one turned back, then squeezed.
TEST(Fixture, StoredSizeUndoesRotationThenPixelShape)
{
    TFixtureVideo c;
    c.Width = 160;
    c.Height = 96;
    EXPECT_EQ(FixtureStoredSize(c), QSize(160, 96));
    c.SampleAspectNum = 4;
    c.SampleAspectDen = 3;
    EXPECT_EQ(FixtureStoredSize(c), QSize(120, 96));
    c.Rotation = 270;
    EXPECT_EQ(FixtureStoredSize(c), QSize(72, 160));
    c.Rotation = 0;
    c.Width = 853;
    c.SampleAspectNum = 32;
    c.SampleAspectDen = 27;
    EXPECT_EQ(FixtureStoredSize(c), QSize(720, 96)) << "rounded to the nearest column";
}

// FFmpeg's command line turns the rotated clip upright and reads the index we drew.
TEST(Fixture, CommandLineSeesTheRotatedClipUpright)
{
    REQUIRE_INDEPENDENT_TOOL(ffmpeg, "ffmpeg");
    const QString dir = MakeTempDir("fixrot");
    for (int rotation : {0, 90, 270}) {
        TFixtureVideo c;
        c.Path = dir + QStringLiteral("r%1.mp4").arg(rotation);
        c.Rotation = rotation;
        c.FrameCount = 12;
        ASSERT_TRUE(WriteFixtureVideo(c));
        const QString png = dir + QStringLiteral("r%1.png").arg(rotation);
        QProcess p;
        p.start(ffmpeg, {"-v", "error", "-y", "-i", c.Path, "-vf", "select=eq(n\\,7)", "-frames:v", "1", png});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QImage img(png);
        EXPECT_EQ(img.size(), QSize(c.Width, c.Height)) << rotation;
        EXPECT_EQ(ReadFixtureIndex(img), 7) << rotation;
    }
}

// Both containers keep the pixel shape, and FFmpeg's command line, told to
// stretch by it, sees the index we drew.
TEST(Fixture, CommandLineSeesThePixelShape)
{
    REQUIRE_INDEPENDENT_TOOL(ffmpeg, "ffmpeg");
    REQUIRE_INDEPENDENT_TOOL(ffprobe, "ffprobe");
    const QString dir = MakeTempDir("fixsar");
    for (const char* ext : {"mp4", "mkv"}) {
        TFixtureVideo c;
        c.Path = dir + "sar." + ext;
        c.SampleAspectNum = 8;
        c.SampleAspectDen = 9;
        c.FrameCount = 12;
        ASSERT_TRUE(WriteFixtureVideo(c));
        QProcess probe;
        probe.start(ffprobe, {"-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream=width,height,sample_aspect_ratio", "-of", "csv=p=0", c.Path});
        ASSERT_TRUE(probe.waitForFinished(60000));
        EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), "180,120,8:9") << ext;
        const QString png = dir + "sar-" + ext + ".png";
        QProcess p;
        p.start(ffmpeg, {"-v", "error", "-y", "-i", c.Path, "-vf", "select=eq(n\\,7),scale=iw*sar:ih", "-frames:v", "1", png});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QImage img(png);
        EXPECT_EQ(img.size(), QSize(c.Width, c.Height)) << ext;
        EXPECT_EQ(ReadFixtureIndex(img), 7) << ext;
    }
}

TEST(Fixture, DamageHelpers)
{
    const QString path = MakeTempDir("fixdmg") + "d.bin";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, '\0'));
    f.close();
    ASSERT_TRUE(FlipFixtureBits(path, 10, 1, 0.5, 1.0));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    f.close();
    EXPECT_EQ(data.left(500), QByteArray(500, '\0')) << "nothing flipped before the range";
    EXPECT_NE(data.mid(500), QByteArray(500, '\0'));
    ASSERT_TRUE(TruncateFixture(path, 0.25));
    EXPECT_EQ(QFile(path).size(), 250);
}

}  // namespace
