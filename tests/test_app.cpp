// The application object: log rotation, start-up and shut-down, the single
// instance rule (in this process and with two real program processes), the
// installation GUID check, language files and the thumbnail marks.
#include "TestSupport.h"

#include "Language.h"
#include "VGApp.h"
#include "VGUIApp.h"
#include "VGConfig.h"
#include "Zelfunction.h"
#include "Zellog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaProperty>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {
// A file of the given length without writing its bytes.
void MakeSized(const QString& path, qint64 size)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_TRUE(f.resize(size));
}

QByteArray RegistryRecord(const QString& guid)
{
    return ("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid=" + guid + "\n").toUtf8();
}

bool WaitFor(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void ClearLogs()
{
    QStringList logs;
    FindDirFile(TApp::DataFolder() + "Log*.txt", logs);
    for (const QString& f : logs)
        QFile::remove(f);
}
}  // namespace

// ---- log rotation ------------------------------------------------------------------

TEST(LogRotation, FirstFileAndTheSizeLimit)
{
    const QString dir = MakeTempDir("rot1");
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log.txt");
    MakeSized(dir + "Log.txt", 10485760);
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log.txt");
    MakeSized(dir + "Log.txt", 10485761);
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log1.txt");
}

TEST(LogRotation, TheHighestNumberDecides)
{
    const QString dir = MakeTempDir("rot2");
    MakeSized(dir + "Log.txt", 20000000);
    MakeSized(dir + "Log1.txt", 100);
    MakeSized(dir + "Log3.txt", 100);
    MakeSized(dir + "LogOld.txt", 20000000);  // not a number: counts as 0
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log3.txt");
    MakeSized(dir + "Log3.txt", 10485761);
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log4.txt");
    MakeSized(dir + "Log12.txt", 5);  // numbers compare as numbers, not as text
    EXPECT_EQ(TApp::ChooseLogFileName(dir), dir + "Log12.txt");
}

// ---- start-up and shut-down -----------------------------------------------------------

TEST(StartUp, SystemBlockOnlyInAFreshLog)
{
    ClearLogs();
    const QString exe = MakeTempDir("exe");
    QString logFile;
    {
        TApp app(exe);
        logFile = app.LogFileName();
        EXPECT_EQ(logFile, TApp::DataFolder() + "Log.txt");
        EXPECT_EQ(LogObj()->FileName(), logFile);
        EXPECT_TRUE(QFileInfo(app.TempFolder).isDir());
    }
    EXPECT_EQ(LogObj(), nullptr);
    {
        TApp again(exe);
    }
    const QStringList lines = ReadText(logFile).split('\n', Qt::SkipEmptyParts);
    QStringList bodies;
    for (const QString& l : lines)
        bodies.append(l.mid(24));  // after the timestamp
    ASSERT_GE(bodies.size(), 12);
    EXPECT_TRUE(bodies[0].startsWith("OS: ")) << bodies[0].toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^Language: \$[0-9A-F]+$)").match(bodies[1]).hasMatch()) << bodies[1].toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^Screen size: \d+ x \d+$)").match(bodies[2]).hasMatch());
    EXPECT_TRUE(QRegularExpression(R"(^Screen DPI: \d+$)").match(bodies[3]).hasMatch());
    EXPECT_EQ(bodies[4], GetProVersion() + " Free Ganterly");
    EXPECT_EQ(bodies[5], "===============");
    EXPECT_EQ(bodies.mid(6), (QStringList{"Free Ganterly", "Start program", "over", "Free Ganterly", "Start program", "over"}));
}

TEST(StartUp, FoldersAndNames)
{
    TApp app(MakeTempDir("exe2"));
    EXPECT_TRUE(TApp::DataFolder().endsWith("/Corvessa/Free Ganterly/"));
    EXPECT_TRUE(TApp::DataFolder().startsWith(GetAppDataPath()));
    EXPECT_EQ(app.TempFolder, TApp::DataFolder() + "Temp/");
    EXPECT_EQ(app.SkinFolder(), app.ExeFolder + "Skin/dulvane/");

    QDir(app.TempFolder).removeRecursively();
    const QString a = app.TempFileName(".bmp"), b = app.TempFileName(".bmp");
    EXPECT_TRUE(QFileInfo(app.TempFolder).isDir());
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F-]{36}\\}\\.bmp$").match(a.mid(app.TempFolder.size())).hasMatch());
    EXPECT_NE(a, b);

    WriteText(app.TempFileName(".bmp"), "x");
    app.EmptyTempFolder();
    EXPECT_TRUE(QDir(app.TempFolder).isEmpty());

    EXPECT_EQ(TApp::StripQuery("https://a.example/p?x=1?y"), "https://a.example/p");
    EXPECT_EQ(TApp::StripQuery("https://a.example/p"), "https://a.example/p");
    EXPECT_EQ(TApp::StripQuery("?q"), "");
}

TEST(StartUp, PartnerModeSendsBothLinksToThePartner)
{
    TApp app(MakeTempDir("exe3"));
    TVGConfig config;
    VGConfig = &config;
    const QString guide = app.UserGuideUrl(), support = app.SupportUrl();
    EXPECT_NE(guide, support);
    config.PartnerStatus = 2;
    EXPECT_EQ(app.UserGuideUrl(), app.SupportUrl());
    EXPECT_NE(app.UserGuideUrl(), guide);
    VGConfig = nullptr;
}

TEST(SingleInstance, TheSecondHolderInThisProcessIsRefused)
{
    const QString exe = MakeTempDir("exe4");
    auto first = std::make_unique<TApp>(exe);
    ASSERT_TRUE(first->CheckSingleInstance());
    EXPECT_TRUE(first->CheckSingleInstance());  // asking again is no second instance
    {
        TApp second(exe);
        EXPECT_FALSE(second.CheckSingleInstance());
    }
    first.reset();
    TApp third(exe);
    EXPECT_TRUE(third.CheckSingleInstance());
}

TEST(InstallInfo, ReadFromTheProgramFolder)
{
    const QString exe = MakeTempDir("exe5");
    TApp app(exe);
    EXPECT_FALSE(app.HasInstallInfo());
    WriteText(exe + "registry.ini", RegistryRecord(""));
    EXPECT_FALSE(app.HasInstallInfo());
    WriteText(exe + "registry.ini", RegistryRecord("{1234}"));
    EXPECT_TRUE(app.HasInstallInfo());
}

// ---- installation GUID ----------------------------------------------------------------

class InstallGuid : public ::testing::Test {
protected:
    void SetUp() override
    {
        FExe = MakeTempDir("guid");
        FApp = std::make_unique<TApp>(FExe);
        QFile::remove(TApp::DataFolder() + "ConfigSet.vgset");
        VGConfig = new TVGConfig;
        VGConfig->FileName = TApp::ConfigFileName();
    }
    void TearDown() override
    {
        delete VGConfig;
        VGConfig = nullptr;
        FApp.reset();
        QFile::remove(TApp::DataFolder() + "ConfigSet.vgset");
    }
    static TVGConfig* Reloaded()
    {
        static std::unique_ptr<TVGConfig> c;
        c = std::make_unique<TVGConfig>();
        c->FileName = TApp::ConfigFileName();
        c->LoadConfig();
        return c.get();
    }
    QString FExe;
    std::unique_ptr<TApp> FApp;
};

TEST_F(InstallGuid, ADifferentGuidResetsEverySettingAndSavesAtOnce)
{
    WriteText(FExe + "registry.ini", RegistryRecord("{NEW}"));
    VGConfig->InstallGUID = "{OLD}";
    VGConfig->GifFPS = 25;
    VGConfig->FontName = "Other";
    VGConfig->ShowCropRc = false;
    VGConfig->SizeStyle = ssCustom;
    VGConfig->FontStyles = fsBold | fsItalic;
    VGConfig->GifSpeed = 2.5;
    FApp->CheckInstallGUID();

    const TVGConfig defaults;
    const QMetaObject* mo = VGConfig->metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const char* name = mo->property(i).name();
        if (QByteArray(name) != "InstallGUID") {
            EXPECT_EQ(VGConfig->property(name), defaults.property(name)) << name;
        }
    }
    EXPECT_EQ(VGConfig->InstallGUID, "{NEW}");
    const TVGConfig* saved = Reloaded();
    EXPECT_EQ(saved->InstallGUID, "{NEW}");
    EXPECT_EQ(saved->GifFPS, defaults.GifFPS);
}

TEST_F(InstallGuid, AnEmptyGuidIsFilledInAndTheSettingsKept)
{
    WriteText(FExe + "registry.ini", RegistryRecord("{NEW}"));
    VGConfig->GifFPS = 25;
    FApp->CheckInstallGUID();
    EXPECT_EQ(VGConfig->GifFPS, 25);
    EXPECT_EQ(Reloaded()->InstallGUID, "{NEW}");
    EXPECT_EQ(Reloaded()->GifFPS, 25);
}

TEST_F(InstallGuid, TheSameGuidChangesNothing)
{
    WriteText(FExe + "registry.ini", RegistryRecord("{SAME}"));
    VGConfig->InstallGUID = "{SAME}";
    VGConfig->GifFPS = 25;
    TVGConfig* before = VGConfig;
    FApp->CheckInstallGUID();
    EXPECT_EQ(VGConfig, before);
    EXPECT_EQ(VGConfig->GifFPS, 25);
    EXPECT_FALSE(QFileInfo::exists(TApp::DataFolder() + "ConfigSet.vgset"));
    // Comparison is exact: only the case differs, still another installation.
    VGConfig->InstallGUID = "{same}";
    FApp->CheckInstallGUID();
    EXPECT_EQ(VGConfig->GifFPS, TVGConfig().GifFPS);
}

TEST_F(InstallGuid, WithoutARecordTheSettingsStay)
{
    VGConfig->InstallGUID = "{OLD}";
    VGConfig->GifFPS = 25;
    FApp->CheckInstallGUID();
    EXPECT_EQ(VGConfig->InstallGUID, "{OLD}");
    EXPECT_EQ(VGConfig->GifFPS, 25);
}

TEST_F(InstallGuid, AFailedSaveIsLoggedNotThrown)
{
    WriteText(FExe + "registry.ini", RegistryRecord("{NEW}"));
    VGConfig->FileName = MakeTempDir("nosave") + "missing/folder/ConfigSet.vgset";
    EXPECT_NO_THROW(FApp->CheckInstallGUID());
    EXPECT_FALSE(TApp::SaveSettingsSilently());
    EXPECT_TRUE(ReadText(FApp->LogFileName()).contains("Settings not saved"));
}

// ---- language files -----------------------------------------------------------------------

TEST(Language, MissingFolderIsSilent)
{
    TestMsgBox::Clear();
    TLanguage lang(MakeTempDir("nolang"));
    EXPECT_FALSE(lang.Load("English"));
    EXPECT_FALSE(lang.IsAvailable());
    EXPECT_EQ(lang.GetText("CUI_TBaseUI3Form_btnOkMe"), "");
    EXPECT_EQ(lang.Name(), "Default");
    EXPECT_TRUE(TestMsgBox::Seen().isEmpty());
}

TEST(Language, DamagedFileIsReportedOnceThenNoTexts)
{
    TestMsgBox::Clear();
    const QString exe = MakeTempDir("badlang");
    WriteText(exe + "Languages/English.xml", "<Lang Id=\"1\"><A>x</A>");
    WriteText(exe + "Languages/Other.xml", "<Lang><A>fine</A></Lang>");
    TLanguage lang(exe);
    EXPECT_FALSE(lang.Load("English"));
    EXPECT_EQ(lang.GetText("A"), "");
    EXPECT_FALSE(lang.Load("English"));
    EXPECT_FALSE(lang.Load("Other"));  // off for the rest of the run
    EXPECT_EQ(lang.GetText("A"), "");
    ASSERT_EQ(TestMsgBox::Seen().size(), 1);
    EXPECT_EQ(TestMsgBox::Seen()[0].text, "Load language failed, please check!");
    EXPECT_EQ(TestMsgBox::Seen()[0].caption, "Error");
    EXPECT_EQ(TestMsgBox::Seen()[0].buttons, 1);
}

TEST(Language, FileWithoutIdLoadsAndMissingKeysAreEmpty)
{
    const QString exe = MakeTempDir("lang");
    WriteText(exe + "Languages/English.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Texts><Key1>One</Key1><Key1>Two</Key1><Key2/></Texts>");
    TLanguage lang(exe);
    EXPECT_FALSE(lang.IsAvailable());  // tried the current name, "Default"
    EXPECT_TRUE(lang.Load("English"));
    EXPECT_TRUE(lang.IsAvailable());
    EXPECT_EQ(lang.Id(), "");
    EXPECT_EQ(lang.GetText("Key1"), "One");
    EXPECT_EQ(lang.GetText("Key2"), "");
    EXPECT_EQ(lang.GetText("Nothing"), "");
    EXPECT_EQ(lang.Name(), "English");
    EXPECT_EQ(lang.Path(), exe + "Languages/English.xml");
    EXPECT_FALSE(lang.Load("Missing"));  // the loaded texts stay
    EXPECT_EQ(lang.GetText("Key1"), "One");
    EXPECT_EQ(lang.Name(), "English");
}

TEST(Language, TheShippedEnglishFileHasTheButtonTexts)
{
    TLanguage lang(QStringLiteral(GANTERLY_SOURCE_DIR "/resources/"));
    ASSERT_TRUE(lang.Load("English"));
    EXPECT_EQ(lang.GetText("CUI_TBaseUI3Form_btnOkMe"), "OK");
    EXPECT_EQ(lang.GetText("CUI_TBaseUI3Form_btnCancelMe"), "Cancel");
    EXPECT_FALSE(lang.Id().isEmpty());
}

TEST(Language, ProcessWideLookupFollowsTheApplicationObject)
{
    const QString exe = MakeTempDir("langapp");
    WriteText(exe + "Languages/English.xml", "<L Id=\"x\"><K>text</K></L>");
    EXPECT_EQ(GetLangText("K"), "");
    {
        TApp app(exe);
        EXPECT_EQ(GetLangText("K"), "text");
    }
    EXPECT_EQ(GetLangText("K"), "");
}

// ---- thumbnail marks -------------------------------------------------------------------------

TEST(Marks, EachFileIsReadOnce)
{
    const QString exe = MakeTempDir("marks");
    QImage red(7, 5, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QDir().mkpath(exe + "resource");
    ASSERT_TRUE(red.save(exe + "resource/SelectFlag.png"));
    TUIApp ui(exe);
    const QImage* first = &ui.SelectFlagImage();
    EXPECT_EQ(first->size(), QSize(7, 5));
    QImage blue(3, 3, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(exe + "resource/SelectFlag.png"));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(&ui.SelectFlagImage(), first);
    EXPECT_EQ(ui.SelectFlagImage().size(), QSize(7, 5));
    EXPECT_EQ(ui.SelectFlagImage().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_TRUE(ui.DeleteFlagImage().isNull());  // missing: draws nothing, no crash
    ASSERT_TRUE(red.save(exe + "resource/DeleteFlag.png"));
    EXPECT_TRUE(ui.DeleteFlagImage().isNull());  // also decided once
}

TEST(Marks, TheBuiltPicturesLoad)
{
    const QString bin = QStringLiteral(GANTERLY_BIN_DIR "/");
    if (!QFileInfo::exists(bin + "resource/SelectFlag.png"))
        GTEST_SKIP() << "resources not built";
    TUIApp ui(bin);
    EXPECT_FALSE(ui.SelectFlagImage().isNull());
    EXPECT_FALSE(ui.DeleteFlagImage().isNull());
    EXPECT_TRUE(ui.SelectFlagImage().hasAlphaChannel());
    for (const char* f : {"resource/StartBK.bmp", "resource/StartText.png", "Skin/dulvane/AboutBanner.jpg",
                          "resource/ganterly.png", "Languages/English.xml", "resource/FFDLL/README"})
        EXPECT_TRUE(QFileInfo::exists(bin + f)) << f;
    EXPECT_TRUE(GPImageSize(bin + "Skin/dulvane/AboutBanner.jpg").isValid());
}

// ---- the program itself ---------------------------------------------------------------------

namespace {
// build/bin/ganterly run with a private home; several may run at once.
class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        FExe = QStringLiteral(GANTERLY_BIN_DIR "/ganterly");
        if (!QFileInfo::exists(FExe) || !QFileInfo::exists(GANTERLY_BIN_DIR "/registry.ini"))
            GTEST_SKIP() << "program not built";
        const QString home = MakeTempDir("home");
        FData = home + "data/Corvessa/Free Ganterly/";
        FRun = home + "run/";
        QDir().mkpath(FRun);
        QFile::setPermissions(FRun, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        FEnv = QProcessEnvironment::systemEnvironment();
        FEnv.insert("HOME", home);
        FEnv.insert("XDG_DATA_HOME", home + "data");
        FEnv.insert("XDG_RUNTIME_DIR", FRun);
        FEnv.insert("XDG_CONFIG_HOME", home + "config");
        FEnv.insert("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QProcess> Start()
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(FEnv);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(FExe, {});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    // Up: the instance lock is taken and its channel listens.
    bool WaitUntilRunning() { return WaitFor([this] { return QFileInfo::exists(FRun + "Free Ganterly"); }, 30000); }
    QStringList LogBodies() const
    {
        QStringList out;
        for (const QString& l : ReadText(FData + "Log.txt").split('\n', Qt::SkipEmptyParts))
            out.append(l.mid(24));
        return out;
    }
    static void Terminate(QProcess& p)
    {
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }
    QString FExe, FData, FRun;
    QProcessEnvironment FEnv;
};
}  // namespace

TEST_F(Program, AnEmptyHomeGetsTheDefaultSettingsAndASystemBlock)
{
    auto p = Start();
    ASSERT_TRUE(WaitUntilRunning());
    Terminate(*p);

    const QStringList log = LogBodies();
    ASSERT_GE(log.size(), 6);
    EXPECT_TRUE(log[0].startsWith("OS: "));
    EXPECT_EQ(log[5], "===============");
    EXPECT_TRUE(log.contains("Start program"));
    EXPECT_EQ(log.last(), "over");

    TVGConfig defaults;
    TVGConfig saved;
    saved.FileName = FData + "ConfigSet.vgset";
    ASSERT_TRUE(QFileInfo::exists(saved.FileName));
    saved.LoadConfig();
    const QString saved_ = RegistryFile();
    SetRegistryFile(GANTERLY_BIN_DIR "/registry.ini");
    const QString guid = ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vexmora.ProjFile", "insguid");
    SetRegistryFile(saved_);
    EXPECT_EQ(saved.InstallGUID, guid);
    // Every default is written, one element per setting.
    const QByteArray raw = [&] { QFile f(saved.FileName); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData() + 2), (raw.size() - 2) / 2);
    const QMetaObject* mo = defaults.metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const char* name = mo->property(i).name();
        EXPECT_TRUE(text.contains(QStringLiteral("<%1").arg(QLatin1String(name)))) << name;
        // The installation's identity and its report's state are the
        // installation's, not defaults: the report (no addresses here) counts
        // as done once its thread has run, which may be before the end.
        if (QByteArray(name) != "InstallGUID" && QByteArray(name) != "InstallTracked") {
            EXPECT_EQ(saved.property(name), defaults.property(name)) << name;
        }
    }
}

TEST_F(Program, ASecondStartEndsAtOnceAndSigtermEndsTheFirstCleanly)
{
    auto first = Start();
    ASSERT_TRUE(WaitUntilRunning());
    WriteText(FData + "Temp/{WORK}.bmp", "x");

    auto second = Start();
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_EQ(first->state(), QProcess::Running);  // the notice is ignored
    QStringList log = LogBodies();
    EXPECT_EQ(log.count("Start program"), 2);
    EXPECT_EQ(log.count("over"), 1);
    EXPECT_EQ(log.count("==============="), 1);  // the second appends to the same file

    Terminate(*first);
    log = LogBodies();
    EXPECT_EQ(log.count("over"), 2);
    EXPECT_TRUE(log.contains("Signal 15: closing"));
    EXPECT_EQ(log.last(), "over");
    EXPECT_TRUE(QFileInfo::exists(FData + "ConfigSet.vgset"));
    EXPECT_FALSE(QFileInfo::exists(FData + "Temp/{WORK}.bmp"));
    EXPECT_FALSE(QFileInfo::exists(FRun + "Free Ganterly"));

    // The lock went with the process: the next start runs.
    auto third = Start();
    EXPECT_TRUE(WaitUntilRunning());
    Terminate(*third);
}

TEST_F(Program, WithoutTheInstallationRecordItTellsAndEnds)
{
    // A program folder of its own, without registry.ini.
    const QString folder = MakeTempDir("noreg");
    ASSERT_TRUE(QFile::copy(FExe, folder + "ganterly"));
    FExe = folder + "ganterly";
    auto p = Start();
    ASSERT_TRUE(p->waitForFinished(30000));
    EXPECT_EQ(p->exitCode(), 1);
    const QString expected = "Installation information missing, try \"Run as administrator\" or reinstall \"Free Ganterly\".";
    const QStringList log = LogBodies();
    EXPECT_TRUE(log.contains("Message: " + expected)) << log.join('\n').toStdString();
    EXPECT_EQ(log.last(), "over");
    EXPECT_FALSE(QFileInfo::exists(FData + "ConfigSet.vgset"));  // settings not even loaded
}
