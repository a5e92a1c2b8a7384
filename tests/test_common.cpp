// The platform layer: log, named mutexes, installer's record, message box
// seam, signals, and the text, geometry and bitmap helpers.
#include "TestSupport.h"

#include "ZelFile.h"
#include "ZelMessages.h"
#include "ZelMutex.h"
#include "ZelSignals.h"
#include "Zelfunction.h"
#include "Zellog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <QFileInfo>
#include <vector>
#include <cerrno>
#include <cstring>

namespace {
const QString kPayload = QString(400, QLatin1Char('x'));
constexpr int kLinesPerWriter = 1500;

void WriteLogLines(const QString& file, const QString& tag)
{
    TLog log(file, QStringLiteral("MX_Vexmora_Log"));
    for (int i = 0; i < kLinesPerWriter; ++i)
        log.LogMsg(QStringLiteral("%1 %2 ").arg(tag).arg(i) + kPayload);
}
}  // namespace

// ---- log ----------------------------------------------------------------------

TEST(Log, FileAppearsWithTheFirstLineOnly)
{
    const QString file = MakeTempDir("log") + "sub/Log.txt";
    TLog log(file, "MX_Vexmora_Log");
    EXPECT_FALSE(QFileInfo::exists(file));
    log.LogMsg("first\nsecond\r\n");
    log.LogMsg(QString::fromUtf8("Grüße 你好"));
    const QStringList lines = ReadText(file).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} first second$)").match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QString::fromUtf8(" Grüße 你好")));
}

TEST(Log, MsgOutWritesOnlyThroughTheProcessLog)
{
    const QString file = MakeTempDir("msgout") + "Log.txt";
    MsgOut("before");  // no log object: nothing, no crash
    TLog log(file, "MX_Vexmora_Log");
    SetLogObj(&log);
    MsgOut("during");
    SetLogObj(nullptr);
    MsgOut("after");
    const QString text = ReadText(file);
    EXPECT_FALSE(text.contains("before"));
    EXPECT_TRUE(text.contains("during"));
    EXPECT_FALSE(text.contains("after"));
}

// Run as a child process by the test below.
TEST_CHILD(LogWriter)
{
    const QString file = qEnvironmentVariable("GANTERLY_LOG_HELPER_FILE");
    if (file.isEmpty())
        return 2;
    WriteLogLines(file, qEnvironmentVariable("GANTERLY_LOG_HELPER_TAG"));
    return 0;
}

TEST(Log, WritersInSeveralProcessesAndThreadsKeepWholeLines)
{
    const QString file = MakeTempDir("logmp") + "Log.txt";
    QList<QProcess*> procs;
    for (const char* tag : {"P1", "P2"}) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("GANTERLY_LOG_HELPER_FILE", file);
        env.insert("GANTERLY_LOG_HELPER_TAG", tag);
        p->setProcessEnvironment(env);
        p->start(QCoreApplication::applicationFilePath(), ChildArgs("LogWriter"));
        procs.append(p);
    }
    // Two threads of this process at the same time, through one log object.
    TLog log(file, "MX_Vexmora_Log");
    auto writer = [&log](const QString& tag) {
        return QThread::create([&log, tag] {
            for (int i = 0; i < kLinesPerWriter; ++i)
                log.LogMsg(QStringLiteral("%1 %2 ").arg(tag).arg(i) + kPayload);
        });
    };
    std::unique_ptr<QThread> t1(writer("T1")), t2(writer("T2"));
    t1->start();
    t2->start();
    t1->wait();
    t2->wait();
    for (QProcess* p : procs) {
        EXPECT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        delete p;
    }

    const QRegularExpression re(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (P1|P2|T1|T2) (\d+) x{400}$)"));
    QMap<QString, QList<int>> seen;
    const QStringList lines = ReadText(file).split('\n');
    ASSERT_TRUE(lines.last().isEmpty());
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const auto m = re.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << "line " << i << ": " << lines[i].left(120).toStdString();
        seen[m.captured(1)].append(m.captured(2).toInt());
    }
    for (const char* tag : {"P1", "P2", "T1", "T2"}) {
        const QList<int>& nums = seen[tag];
        ASSERT_EQ(nums.size(), kLinesPerWriter) << tag;
        for (int i = 0; i < kLinesPerWriter; ++i)
            ASSERT_EQ(nums[i], i) << tag;  // each writer's lines in order
    }
}

// ---- named mutexes ----------------------------------------------------------------

TEST(NamedMutex, SecondHolderIsRefusedUntilTheFirstLetsGo)
{
    auto a = std::make_unique<TNamedMutex>("MX_Test_Exclusive");
    TNamedMutex b("MX_Test_Exclusive");
    TNamedMutex other("MX_Test_Other");
    EXPECT_TRUE(a->TryLock());
    EXPECT_FALSE(b.TryLock());
    EXPECT_TRUE(other.TryLock());
    EXPECT_TRUE(a->LockFile().startsWith(GetRuntimePath()));
    a.reset();
    EXPECT_TRUE(b.TryLock());
}

// ---- installer's record ---------------------------------------------------------------

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = RegistryFile();
        FFile = MakeTempDir("reg") + "registry.ini";
        SetRegistryFile(FFile);
    }
    void TearDown() override { SetRegistryFile(FSaved); }
    QString Read(const QString& name = "insguid")
    {
        return ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", name);
    }
    QString FSaved, FFile;
};

TEST_F(Registry, ReadsTheValueOfItsOwnSectionOnly)
{
    WriteText(FFile, "\xEF\xBB\xBF; installer's record\r\n"
                     "[HKEY_CURRENT_USER\\SOFTWARE\\Classes\\Vexmora.ProjFile]\r\n"
                     "insguid={USER}\r\n"
                     "\r\n"
                     "[hkey_local_machine\\software\\classes\\vexmora.projfile]\r\n"
                     "  other = 1\r\n"
                     "InsGUID = {0F1E2D3C-AAAA-BBBB-CCCC-000011112222}\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Other]\r\n"
                     "missing=x\r\n");
    EXPECT_EQ(Read(), "{0F1E2D3C-AAAA-BBBB-CCCC-000011112222}");
    EXPECT_EQ(Read("other"), "1");
    EXPECT_EQ(Read("missing"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "SOFTWARE\\Classes\\Vexmora.ProjFile", "insguid"), "{USER}");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Nothing", "insguid"), "");
}

TEST_F(Registry, MissingFileOrBrokenLinesReadAsEmpty)
{
    EXPECT_EQ(Read(), "");
    WriteText(FFile, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile\ninsguid\n=x\n");
    EXPECT_EQ(Read(), "");
}

TEST_F(Registry, WritingKeepsEverythingElse)
{
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", "insguid", "{A}"));
    EXPECT_EQ(ReadText(FFile), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid={A}\n");
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "v", "1"));
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", "second", "2"));
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", "INSGUID", "{B}"));
    EXPECT_EQ(Read(), "{B}");
    EXPECT_EQ(Read("second"), "2");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "v"), "1");
    EXPECT_EQ(ReadText(FFile).count("insguid", Qt::CaseInsensitive), 1);
}

TEST(RegistryBuild, TheBuildWritesARecordBesideTheProgram)
{
    const QString file = QStringLiteral(GANTERLY_BIN_DIR "/registry.ini");
    if (!QFileInfo::exists(file))
        GTEST_SKIP() << "program folder not built";
    const QString saved = RegistryFile();
    SetRegistryFile(file);
    const QString guid = ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", "insguid");
    SetRegistryFile(saved);
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$").match(guid).hasMatch())
        << guid.toStdString();
}

// ---- message boxes and signals ----------------------------------------------------------

TEST(MsgBoxSeam, WithoutAHandlerTheAnswerChangesNothing)
{
    const TMsgBoxHandler saved = GetMsgBoxHandler();
    SetMsgBoxHandler(nullptr);
    EXPECT_EQ(MsgBox("info"), IDOK);
    EXPECT_EQ(MsgBox("proceed?", 2, 2), IDCANCEL);
    EXPECT_EQ(MsgBox("overwrite?", 3, 2), IDNO);
    SetMsgBoxHandler(saved);
    TestMsgBox::Clear();
    EXPECT_EQ(MsgBox("question", 3, 2, 1, "Caption"), IDYES);
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].caption, "Caption");
    EXPECT_EQ(TestMsgBox::Seen()[0].icon, 2);
    EXPECT_THROW(RaiseError("bad"), EZelError);
}

TEST(EndSignals, ArriveOnTheMainThreadThroughTheLoop)
{
    QList<int> got;
    {
        TEndSignals signals_([&got](int sig) { got.append(sig); });
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        EXPECT_TRUE(got.isEmpty());  // never inside the handler
        QElapsedTimer t;
        t.start();
        while (got.size() < 2 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(got, (QList<int>{SIGHUP, SIGTERM}));
}

// ---- folders and files ------------------------------------------------------------------

// Messages posted from another thread, or sent on this one, arrive as typed
// signals in order; other events pass through untouched.
TEST(MessageAdapters, TurnMessagesIntoSignals)
{
    TConvertEvents conv;
    QSignalSpy progress(&conv, &TConvertEvents::Progress), finished(&conv, &TConvertEvents::Finished),
        failed(&conv, &TConvertEvents::Failed);
    std::unique_ptr<QThread> worker(QThread::create([&conv] {
        CheckPostMessage(&conv, WM_CONVERTPROGRESS, 0x10000 | 42, 0);  // only the low word is the percent
        CheckPostMessage(&conv, WM_CONVERTFINISH, 17, 1000);
        CheckPostMessage(&conv, WM_CONVERTERROR, 0, 0, QStringLiteral("Cannot read \"a.mp4\""));
    }));
    worker->start();
    worker->wait();
    QCoreApplication::sendPostedEvents(&conv);
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress[0][0].toInt(), 42);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished[0][0].toInt(), 17);
    EXPECT_EQ(finished[0][1].toInt(), 1000);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed[0][0].toString(), QStringLiteral("Cannot read \"a.mp4\""));

    TPlayerEvents player;
    QSignalSpy decode(&player, &TPlayerEvents::DecodeProgress), end(&player, &TPlayerEvents::PlayEnd),
        selection(&player, &TPlayerEvents::SelectionEnd);
    SendMessageTo(&player, WM_DECODEPROGRESS, 3, 30);
    CheckPostMessage(&player, WM_PLAYEND, 0, 0);
    CheckPostMessage(&player, WM_SELECTIONEND, 0, 0);
    CheckPostMessage(&player, WM_CONVERTFINISH, 1, 1);   // not the player's: ignored
    QCoreApplication::sendPostedEvents(&player);
    ASSERT_EQ(decode.count(), 1);
    EXPECT_EQ(decode[0][0].toInt(), 3);
    EXPECT_EQ(decode[0][1].toInt(), 30);
    EXPECT_EQ(end.count(), 1);
    EXPECT_EQ(selection.count(), 1);
}

// Raw files: gathered pieces land in order, reads past the end say so, and a
// failing device reports the system's reason.
TEST(Files, RawFileWritesGathersAndReportsTheSystemsReason)
{
    const QString path = MakeTempDir("raw") + "f.bin";
    TRawFile f;
    ASSERT_TRUE(f.Create(path, true));
    EXPECT_TRUE(f.IsPlainFile());
    std::vector<char> big(200000, 'b');   // more than one call's worth
    const TRawFile::TPiece pieces[] = {{"head", 4}, {"", 0}, {big.data(), big.size()}, {"tail", 4}};
    ASSERT_TRUE(f.WriteGather(pieces, 4));
    ASSERT_TRUE(f.WriteAt(2, "AD", 2));
    char buf[8] = {};
    ASSERT_TRUE(f.ReadAt(0, buf, 6));
    EXPECT_EQ(QByteArray(buf, 6), QByteArray("heADbb"));
    ASSERT_TRUE(f.ReadAt(4 + 200000, buf, 4));
    EXPECT_EQ(QByteArray(buf, 4), QByteArray("tail"));
    EXPECT_FALSE(f.ReadAt(4 + 200000 + 2, buf, 4));
    EXPECT_TRUE(f.ErrorText().contains("ends early"));
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(QFileInfo(path).size(), 4 + 200000 + 4);

    if (QFile::exists("/dev/full")) {
        TRawFile full;
        ASSERT_TRUE(full.Create("/dev/full"));
        EXPECT_FALSE(full.IsPlainFile());
        EXPECT_FALSE(full.Write("x", 1));
        EXPECT_EQ(full.ErrorText(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    }
    TRawFile missing;
    EXPECT_FALSE(missing.Create(MakeTempDir("raw") + "no/such/folder/f.bin"));
    EXPECT_EQ(missing.ErrorText(), QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST(Files, FindNameSizeCopyAndEmpty)
{
    const QString dir = MakeTempDir("files");
    for (const char* n : {"Log2.txt", "log.txt", "Log10.txt", "Logx.dat"})
        WriteText(dir + n, "abc");
    QStringList list{"kept"};
    FindDirFile(dir + "Log*.txt", list);
    EXPECT_EQ(list, (QStringList{"kept", dir + "log.txt", dir + "Log10.txt", dir + "Log2.txt"}));
    EXPECT_EQ(PureFileName("/a/b.c/Log12.old.txt"), "Log12.old");
    EXPECT_EQ(GetFileSize(dir + "Log2.txt"), 3);
    EXPECT_EQ(GetFileSize(dir + "none"), -1);
    EXPECT_EQ(GetFileSize(dir), -1);

    WriteText(dir + "to.bin", "old content that is longer");
    EXPECT_TRUE(CopyFileEx(dir + "Log2.txt", dir + "to.bin"));
    EXPECT_EQ(ReadText(dir + "to.bin"), "abc");
    EXPECT_FALSE(CopyFileEx(dir + "none", dir + "to2.bin"));

    // Emptying never follows a link out of the folder.
    const QString outside = MakeTempDir("outside");
    WriteText(outside + "keep.txt", "x");
    const QString temp = dir + "Temp/";
    WriteText(temp + "a.bmp", "x");
    WriteText(temp + "sub/b.bmp", "x");
    ASSERT_TRUE(QFile::link(outside, temp + "link"));
    EXPECT_EQ(EmptyFolder(temp), 0);
    EXPECT_TRUE(QDir(temp).exists());
    EXPECT_TRUE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(outside + "keep.txt"));
    EXPECT_EQ(EmptyFolder(dir + "missing/"), 0);
}

TEST(Folders, EndInSlash)
{
    EXPECT_TRUE(GetAppDataPath().endsWith('/'));
    EXPECT_TRUE(GetExeFolder().endsWith("/tests/"));
    EXPECT_TRUE(GetRuntimePath().endsWith('/'));
    EXPECT_EQ(IncludeTrailingSlash("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingSlash("/a/"), "/a/");
}

// ---- system information and text ----------------------------------------------------------

TEST(SystemInfo, LanguageIdentifiers)
{
    EXPECT_EQ(LanguageIdForLocale("en_US"), 0x409u);
    EXPECT_EQ(LanguageIdForLocale("zh_CN"), 0x804u);
    EXPECT_EQ(LanguageIdForLocale("ja_JP.UTF-8"), 0x411u);
    EXPECT_EQ(LanguageIdForLocale("ko-KR"), 0x412u);
    EXPECT_EQ(LanguageIdForLocale("ru_RU"), 0x419u);
    EXPECT_EQ(LanguageIdForLocale("de_DE@euro"), 0x407u);
    EXPECT_EQ(LanguageIdForLocale("fr_FR"), 0x40Cu);
    EXPECT_EQ(LanguageIdForLocale("zh_TW"), 0x404u);
    EXPECT_EQ(LanguageIdForLocale("fr_LU"), 0x0Cu);  // unknown country: its language
    EXPECT_EQ(LanguageIdForLocale("C"), 0x409u);
    EXPECT_EQ(LanguageIdForLocale("xx_YY"), 0u);
    EXPECT_NE(SystemLanguageId(), 0u);
    EXPECT_EQ(GetProVersion(), GANTERLY_VERSION);
    EXPECT_EQ(GetProVersion(true).count('.'), 3);
    EXPECT_TRUE(GetProVersion(true).startsWith(GANTERLY_VERSION));
    EXPECT_FALSE(GetWindowsVersion().isEmpty());
}

TEST(Text, GuidAndDeleteEnd)
{
    const QString a = CreateNewGUID(), b = CreateNewGUID();
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$").match(a).hasMatch());
    EXPECT_NE(a, b);
    EXPECT_EQ(DeleteEnd("abcdef", 2), "abcd");
    EXPECT_EQ(DeleteEnd("ab", 5), "");
    EXPECT_EQ(DeleteEnd("ab", -1), "ab");
}

// ---- geometry ------------------------------------------------------------------------------

TEST(Geometry, FillScaleIntersect)
{
    EXPECT_EQ(GetFillSize(400, 300, 1920, 1080), QSize(400, 225));
    EXPECT_EQ(GetFillSize(400, 300, 1080, 1920), QSize(169, 300));
    EXPECT_EQ(GetFillSize(400, 300, 100, 50), QSize(400, 200));
    EXPECT_EQ(GetFillSize(400, 300, 100, 50, true), QSize(100, 50));
    EXPECT_EQ(GetFillSize(400, 300, 4000, 1), QSize(400, 1));  // never collapses to nothing
    EXPECT_EQ(GetFillSize(400, 300, 0, 50), QSize(0, 0));
    EXPECT_EQ(ScaleRect(QRect(10, 20, 30, 40), 0.5), QRect(5, 10, 15, 20));
    EXPECT_EQ(ScaleRect(QRect(10, 10, 20, 20), 2.0, 1), QRect(0, 0, 40, 40));
    EXPECT_EQ(Intersection(QRect(0, 0, 10, 10), QRect(5, 5, 10, 10)), QRect(5, 5, 5, 5));
    EXPECT_FALSE(IsValidRect(Intersection(QRect(0, 0, 10, 10), QRect(20, 20, 5, 5))));
    EXPECT_FALSE(IsValidRect(QRect(0, 0, 0, 5)));
    EXPECT_TRUE(IsValidRect(QRect(3, 3, 1, 1)));
}

// ---- bitmaps ------------------------------------------------------------------------------

namespace {
// 3 x 2 picture whose pixels tell their own place: red = x, green = y.
QImage Numbered()
{
    QImage img(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            img.setPixelColor(x, y, QColor(x * 50, y * 50, 200));
    return img;
}
QPoint Origin(const QImage& img, int x, int y)
{
    const QColor c = img.pixelColor(x, y);
    return QPoint(c.red() / 50, c.green() / 50);
}
}  // namespace

TEST(Bitmaps, RotationsAreClockwiseAndExact)
{
    const QImage src = Numbered();
    const QImage r90 = RotateBitmap24(src, 1), r180 = RotateBitmap24(src, 2), r270 = RotateBitmap24(src, 3);
    ASSERT_EQ(r90.size(), QSize(2, 3));
    EXPECT_EQ(r90.format(), QImage::Format_RGB888);
    EXPECT_EQ(Origin(r90, 1, 0), QPoint(0, 0));  // top-left goes to top-right
    EXPECT_EQ(Origin(r90, 0, 2), QPoint(2, 1));
    EXPECT_EQ(r180.size(), QSize(3, 2));
    EXPECT_EQ(Origin(r180, 0, 0), QPoint(2, 1));
    EXPECT_EQ(Origin(r270, 0, 2), QPoint(0, 0));  // top-left goes to bottom-left
    EXPECT_EQ(RotateBitmap24(RotateBitmap24(r90, 2), 1), src);
    EXPECT_EQ(RotateBitmap24(src, 0), src);

    QImage h = src, v = src;
    FlipHorizontal24(h);
    FlipVertical24(v);
    EXPECT_EQ(Origin(h, 0, 0), QPoint(2, 0));
    EXPECT_EQ(Origin(v, 0, 0), QPoint(0, 1));
}

TEST(Bitmaps, CopiesConversionsAndBlits)
{
    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
    argb.setPixel(1, 0, qRgba(10, 20, 30, 255));
    const QImage dropped = Bitmap32to24(argb), onWhite = Bitmap32to24(argb, true);
    EXPECT_EQ(dropped.format(), QImage::Format_RGB888);
    EXPECT_EQ(onWhite.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(onWhite.pixelColor(1, 0), QColor(10, 20, 30));
    EXPECT_EQ(ScanLineCopyBmpBit24(argb).format(), QImage::Format_RGB888);

    QImage src = Numbered();
    QImage copy = MakeBitmapCopy(src);
    copy.setPixelColor(0, 0, Qt::black);
    EXPECT_NE(src.pixelColor(0, 0), QColor(Qt::black));  // a real copy

    QImage dst(4, 4, QImage::Format_RGB888);
    ScanLineFillBmpBit24(dst, 0x102030);
    EXPECT_EQ(dst.pixelColor(3, 3), QColor(0x10, 0x20, 0x30));
    BmpBitBlt24(dst, 2, 3, 10, 10, src, 0, 0);  // clipped to the destination
    EXPECT_EQ(Origin(dst, 3, 3), QPoint(1, 0));
    EXPECT_EQ(dst.pixelColor(1, 3), QColor(0x10, 0x20, 0x30));
    BmpBitBlt24(dst, -1, 0, 3, 2, src, 0, 0);  // negative origin clips the source too
    EXPECT_EQ(Origin(dst, 0, 0), QPoint(1, 0));
    BmpBitBlt24(dst, 0, 0, 5, 5, src, 5, 5);  // nothing overlaps: nothing happens
    EXPECT_EQ(Color2ARGB(0x00332211, 0x80), 0x80112233u);
    EXPECT_EQ(MakePointF(1.5, 2), QPointF(1.5, 2));
}

TEST(Bitmaps, PictureFileSize)
{
    const QString dir = MakeTempDir("gp");
    ASSERT_TRUE(Numbered().save(dir + "p.png"));
    WriteText(dir + "bad.png", "not a picture");
    EXPECT_EQ(GPImageSize(dir + "p.png"), QSize(3, 2));
    EXPECT_FALSE(GPImageSize(dir + "bad.png").isValid());
    EXPECT_FALSE(GPImageSize(dir + "none.png").isValid());
}
