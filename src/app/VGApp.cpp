#include "VGApp.h"

#include "Language.h"
#include "VGConfig.h"
#include "ZelInstance.h"
#include "ZelMessages.h"
#include "ZelMutex.h"
#include "Zelfunction.h"
#include "Zellog.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

TApp* App = nullptr;

namespace {
const QString kInstanceMutex = QStringLiteral("MX_Vexmora_EXE");
const QString kLogMutex = QStringLiteral("MX_Vexmora_Log");
const QString kInstallKey = QStringLiteral("SOFTWARE\\Classes\\Vexmora.ProjFile");
const QString kInstallValue = QStringLiteral("insguid");

// The user guide ships beside the program; support and the partner's page
// are web addresses.
const QString kUserGuideFile = QStringLiteral("UserGuide.html");
const QString kSupportUrl = QStringLiteral("https://www.corvessa.example/support/");
const QString kPartnerUrl = QStringLiteral("https://partner.corvessa.example/");
}  // namespace

TApp::TApp(const QString& exeFolder)
    : ExeFolder(exeFolder.isEmpty() ? GetExeFolder() : IncludeTrailingSlash(exeFolder)),
      TempFolder(DataFolder() + QStringLiteral("Temp/"))
{
    SetRegistryFile(ExeFolder + QStringLiteral("registry.ini"));
    // Nothing like the apartment initialisation of a COM platform is needed:
    // Qt's XML and network layers carry no per-thread set-up.
    StartUp();
}

TApp::~TApp()
{
    if (FStarted)
        ShutDown();
    FInstanceChannel.reset();
    FInstanceMutex.reset();
    if (App == this)
        App = nullptr;
}

QString TApp::DataFolder()
{
    return GetAppDataPath() + CompanyWord() + QLatin1Char('/') + ProductTitle() + QLatin1Char('/');
}

QString TApp::SkinFolder() const { return ExeFolder + QStringLiteral("Skin/") + SkinName() + QLatin1Char('/'); }

QString TApp::TempFileName(const QString& ext)
{
    if (!QFileInfo(TempFolder).isDir())
        QDir().mkpath(TempFolder);
    return TempFolder + CreateNewGUID() + ext;
}

QString TApp::StripQuery(const QString& url)
{
    const qsizetype q = url.indexOf(QLatin1Char('?'));
    return q < 0 ? url : url.left(q);
}

void TApp::StartUp()
{
    QDir().mkpath(DataFolder());
    FLogFile = ChooseLogFileName(DataFolder());
    FLog = std::make_unique<TLog>(FLogFile, kLogMutex);
    SetLogObj(FLog.get());
    LogSystemInfo();
    MsgOut(ProductTitle());
    MsgOut(QStringLiteral("Start program"));

    FLanguage = std::make_unique<TLanguage>(ExeFolder);
    LangObj = FLanguage.get();
    FLanguage->Load(QStringLiteral("English"));

    // The data folder is already out of sight (a dot folder of the home), so
    // the temporary folder needs no hidden attribute of its own.
    if (!QFileInfo(TempFolder).isDir())
        QDir().mkpath(TempFolder);
    FStarted = true;
}

void TApp::ShutDown()
{
    if (LangObj == FLanguage.get())
        LangObj = nullptr;
    FLanguage.reset();
    FLog->LogMsg(QStringLiteral("over"));
    if (LogObj() == FLog.get())
        SetLogObj(nullptr);
    FLog.reset();
    FStarted = false;
}

QString TApp::ChooseLogFileName(const QString& dataFolder)
{
    QStringList files;
    FindDirFile(dataFolder + QStringLiteral("Log*.txt"), files, false);
    if (files.isEmpty())
        return dataFolder + QStringLiteral("Log.txt");
    int maxNum = 0;
    qsizetype maxAt = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        bool ok = false;
        const int n = PureFileName(files[i]).mid(3).toInt(&ok, 10);
        if (ok && n > maxNum) {
            maxNum = n;
            maxAt = i;
        }
    }
    if (GetFileSize(files[maxAt]) <= MaxLogSize)
        return files[maxAt];
    return QStringLiteral("%1Log%2.txt").arg(dataFolder).arg(maxNum + 1);
}

void TApp::LogSystemInfo()
{
    if (QFileInfo::exists(FLog->FileName()))
        return;
    QString os = QStringLiteral("OS: ") + GetWindowsVersion(false, false) + QStringLiteral(" (") + GetWindowsVerNum()
                 + QLatin1Char(')');
    if (IsWin64())
        os += QStringLiteral(" 64 bit");
    FLog->LogMsg(os);
    FLog->LogMsg(QStringLiteral("Language: $") + QString::number(SystemLanguageId(), 16).toUpper());
    int w = 0, h = 0, dpi = 0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            w = screen->size().width();
            h = screen->size().height();
            dpi = qRound(screen->logicalDotsPerInch());
        }
    }
    FLog->LogMsg(QStringLiteral("Screen size: %1 x %2").arg(w).arg(h));
    FLog->LogMsg(QStringLiteral("Screen DPI: %1").arg(dpi));
    FLog->LogMsg(GetProVersion(false) + QLatin1Char(' ') + ProductTitle());
    FLog->LogMsg(QStringLiteral("==============="));
}

bool TApp::CheckSingleInstance()
{
    if (FInstanceMutex)
        return true;  // ours already
    auto mutex = std::make_unique<TNamedMutex>(kInstanceMutex);
    if (!mutex->TryLock()) {
        TInstanceChannel::Notify(ProductTitle(), WM_INSTANCE_NOTICE, 0, 0);
        return false;
    }
    FInstanceMutex = std::move(mutex);
    FInstanceChannel = std::make_unique<TInstanceChannel>();
    FInstanceChannel->Listen(ProductTitle());
    return true;
}

bool TApp::HasInstallInfo() const { return !ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, kInstallValue).isEmpty(); }

QString TApp::UserGuideUrl() const
{
    if (VGConfig && VGConfig->HasPartnerLinks())
        return kPartnerUrl;
    return QUrl::fromLocalFile(ExeFolder + kUserGuideFile).toString(QUrl::FullyEncoded);
}

QString TApp::SupportUrl() const { return VGConfig && VGConfig->HasPartnerLinks() ? kPartnerUrl : kSupportUrl; }

void TApp::EmptyTempFolder()
{
    if (EmptyFolder(TempFolder) > 0)
        MsgOut(QStringLiteral("Temporary folder not emptied: ") + TempFolder);
}

void TApp::CheckInstallGUID()
{
    const QString guid = ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, kInstallValue);
    // Without a record there is nothing to compare with; resetting the
    // settings to an empty GUID would lose them for nothing.
    if (guid.isEmpty() || !VGConfig)
        return;
    if (VGConfig->InstallGUID.isEmpty()) {
        VGConfig->InstallGUID = guid;
        SaveSettingsSilently();
    } else if (VGConfig->InstallGUID != guid) {
        MsgOut(QStringLiteral("New installation: settings reset to defaults"));
        auto fresh = std::make_unique<TVGConfig>();
        fresh->FileName = VGConfig->FileName;
        fresh->InstallGUID = guid;
        delete VGConfig;
        VGConfig = fresh.release();
        SaveSettingsSilently();
    }
}

bool TApp::SaveSettingsSilently()
{
    if (!VGConfig)
        return false;
    try {
        if (VGConfig->SaveConfig(true))
            return true;
        MsgOut(QStringLiteral("Settings not saved: the document would not read back"));
    } catch (const EZelError& e) {
        MsgOut(QStringLiteral("Settings not saved: ") + e.Message);
    }
    return false;
}
