// The settings object: its file with every default, reading older or foreign
// files, and saves that survive the process being killed.

#include "TestSupport.h"

#include "VGApp.h"
#include "VGConfig.h"
#include "ZelFloat.h"
#include "Zelfunction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Utf16LE(const QString& text)
{
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

QString WriteSettings(const QString& dir, const QString& inner)
{
    const QString path = dir + QStringLiteral("ConfigSet.vgset");
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(QStringLiteral("<?xml version=\"1.0\"?><Config project=\"VG\" version=\"1\">%1</Config>")
                .arg(inner).toUtf8());
    return path;
}

// The two versions the killed process alternates between.
void MakeVersion(TVGConfig& c, bool second)
{
    if (second) {
        c.GifFPS = 25;
        c.InstallGUID = QStringLiteral("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
        c.FontName = QStringLiteral("A much longer font name than the default one");
    }
}

}  // namespace

TEST(Config, DefaultFileByteForByte)
{
    const QString dir = MakeTempDir("cfgdefault");
    TVGConfig c;
    EXPECT_EQ(c.ProjectName, QStringLiteral("VG"));
    c.FileName = dir + QStringLiteral("ConfigSet.vgset");
    ASSERT_TRUE(c.SaveConfig(true));
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
        "<Config project=\"VG\" version=\"%1\">\n"
        "  <InstallTracked>False</InstallTracked>\n"
        "  <ShowCropRc>True</ShowCropRc>\n"
        "  <CropRcColor>255</CropRcColor>\n"
        "  <SizeStyle>ssHalf</SizeStyle>\n"
        "  <GifMaxFrame>1000</GifMaxFrame>\n"
        "  <GifFPS>8</GifFPS>\n"
        "  <GifSpeed>1</GifSpeed>\n"
        "  <GifLoop>-1</GifLoop>\n"
        "  <DecodeNum>30</DecodeNum>\n"
        "  <PartnerStatus>0</PartnerStatus>\n"
        "  <InstallGUID/>\n"
        "  <FontName>Arial</FontName>\n"
        "  <FontSize>14</FontSize>\n"
        "  <FontColor>16777215</FontColor>\n"
        "  <FontStyles/>\n"
        "</Config>\n").arg(GetProVersion(true));
    EXPECT_EQ(ReadBytes(c.FileName), Utf16LE(text));
}

TEST(Config, ReadsPartialAndForeignFiles)
{
    const QString dir = MakeTempDir("cfgread");
    TVGConfig c;
    c.FileName = WriteSettings(dir,
        "<GifSpeed>1</GifSpeed><FontStyles>fsBold,fsItalic</FontStyles><SizeStyle>ssQuarter</SizeStyle>"
        "<InstallTracked>True</InstallTracked><FontColor>65280</FontColor><PartnerStatus>2</PartnerStatus>");
    c.LoadConfig();
    ASSERT_TRUE(c.Loaded());
    EXPECT_EQ(c.GifLoop, -1);  // absent: the default
    EXPECT_EQ(c.GifSpeed, 1.0);
    EXPECT_EQ(c.SizeStyle, ssQuarter);
    EXPECT_TRUE(c.InstallTracked);
    EXPECT_TRUE(c.HasPartnerLinks());
    EXPECT_FALSE(c.IsPartnerUnknown());

    QString name;
    int size = 0, color = 0;
    TFontStyles styles;
    c.ApplyDefaultFont(name, size, styles, color);
    EXPECT_EQ(name, QStringLiteral("Arial"));
    EXPECT_EQ(size, 14);
    EXPECT_EQ(styles, fsBold | fsItalic);
    EXPECT_EQ(color, 0x00FF00);

    // Written on a decimal-comma system.
    TVGConfig comma;
    comma.FileName = WriteSettings(dir, "<GifSpeed>0,5</GifSpeed>");
    comma.LoadConfig();
    EXPECT_EQ(comma.GifSpeed, 0.5);
    EXPECT_TRUE(comma.IsPartnerUnknown());
}

TEST(Config, ChangedSettingsRoundTrip)
{
    const QString dir = MakeTempDir("cfgtrip");
    TVGConfig c;
    c.FileName = dir + QStringLiteral("ConfigSet.vgset");
    c.GifSpeed = 0.75;
    c.FontStyles = fsBold | fsUnderline;
    c.SizeStyle = ssCustom;
    c.InstallGUID = QStringLiteral("{01234567-89AB-CDEF-0123-456789ABCDEF}");
    c.FontName = QStringLiteral("Noto Sans CJK 日本");
    ASSERT_TRUE(c.SaveConfig(true));
    TVGConfig r;
    r.FileName = c.FileName;
    r.LoadConfig();
    EXPECT_EQ(r.GifSpeed, 0.75);
    EXPECT_EQ(r.FontStyles, fsBold | fsUnderline);
    EXPECT_EQ(r.SizeStyle, ssCustom);
    EXPECT_EQ(r.InstallGUID, c.InstallGUID);
    EXPECT_EQ(r.FontName, c.FontName);
}

// Run by KilledDuringSaveLeavesOldOrNewFile in a child process: saves the two
// versions in turn until it is killed.
TEST_CHILD(SaveLoop)
{
    const QString path = qEnvironmentVariable("GANTERLY_SAVE_LOOP");
    if (path.isEmpty())
        return 2;
    TVGConfig first, second;
    MakeVersion(second, true);
    first.FileName = second.FileName = path;
    if (!first.SaveConfig(true))
        return 1;
    fputs("ready\n", stdout);
    fflush(stdout);
    for (int i = 0; i < 20000; ++i)
        (i % 2 ? first : second).SaveConfig(true);
    return 0;
}

TEST(Config, KilledDuringSaveLeavesOldOrNewFile)
{
    const QString dir = MakeTempDir("cfgkill");
    const QString path = dir + QStringLiteral("ConfigSet.vgset");

    TVGConfig first, second;
    MakeVersion(second, true);
    first.FileName = dir + QStringLiteral("first.vgset");
    second.FileName = dir + QStringLiteral("second.vgset");
    ASSERT_TRUE(first.SaveConfig(true));
    ASSERT_TRUE(second.SaveConfig(true));
    const QByteArray a = ReadBytes(first.FileName);
    const QByteArray b = ReadBytes(second.FileName);
    ASSERT_NE(a.size(), b.size());

    for (int round = 0; round < 5; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("GANTERLY_SAVE_LOOP"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), ChildArgs("SaveLoop"));
        ASSERT_TRUE(child.waitForStarted(10000));
        bool ready = false;
        while (!ready && child.waitForReadyRead(20000))
            ready = child.readAll().contains("ready");
        ASSERT_TRUE(ready) << "child never started saving";
        QThread::msleep(3 + round * 7);
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));

        const QByteArray now = ReadBytes(path);
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        TVGConfig check;
        check.FileName = path;
        check.LoadConfig();
        EXPECT_TRUE(check.Loaded());
    }

    // What the killed saves left behind goes with the next save.
    first.FileName = path;
    ASSERT_TRUE(first.SaveConfig(true));
    EXPECT_EQ(QDir(dir).entryList({QStringLiteral("ConfigSet.vgset*")}, QDir::Files),
              QStringList{QStringLiteral("ConfigSet.vgset")});
}

