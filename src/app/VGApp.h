#pragma once
// The application object: folders, product identity, the run log, the single
// instance guard and the start-up checks.

#include <QString>
#include <memory>

class TNamedMutex;
class TInstanceChannel;
class TLanguage;
class TLog;

class TApp {
public:
    // exeFolder: the program's folder (ends in '/'); empty means the running
    // program's own. The installer's record is read from exeFolder too.
    // Construction opens the log, loads the language and makes TempFolder.
    explicit TApp(const QString& exeFolder = {});
    ~TApp();
    TApp(const TApp&) = delete;
    TApp& operator=(const TApp&) = delete;

    // Product identity, fixed at build time.
    static QString ProductName() { return QStringLiteral("Ganterly"); }
    static QString ProductTitle() { return QStringLiteral("Free ") + ProductName(); }
    static QString CompanyWord() { return QStringLiteral("Corvessa"); }
    static QString SkinName() { return QStringLiteral("dulvane"); }

    QString ExeFolder;
    QString TempFolder;
    static QString DataFolder();        // needs no application object
    static QString ConfigFileName() { return DataFolder() + QStringLiteral("ConfigSet.vgset"); }
    QString SkinFolder() const;
    // TempFolder + a new GUID + ext; makes TempFolder first when it is missing.
    QString TempFileName(const QString& ext);
    // The user guide beside the program as a file:// address; in partner
    // mode both links go to the partner's home page.
    QString UserGuideUrl() const;
    QString SupportUrl() const;
    static QString StripQuery(const QString& url);

    // Takes the instance lock "MX_Vexmora_EXE". False when another instance
    // holds it; that instance is then sent the notice 1125, which it ignores.
    bool CheckSingleInstance();
    bool HasInstallInfo() const;
    // A settings file from another installation is replaced by the defaults.
    void CheckInstallGUID();
    QString LogFileName() const { return FLogFile; }   // chosen at start-up
    static QString ChooseLogFileName(const QString& dataFolder);

    // Saves the settings without telling the user; a failure goes to the log.
    static bool SaveSettingsSilently();
    // Deletes the working files; the folder stays.
    void EmptyTempFolder();

    static constexpr int64_t MaxLogSize = 10485760;

private:
    void StartUp();
    void ShutDown();
    void LogSystemInfo();

    std::unique_ptr<TNamedMutex> FInstanceMutex;
    std::unique_ptr<TInstanceChannel> FInstanceChannel;
    std::unique_ptr<TLog> FLog;
    std::unique_ptr<TLanguage> FLanguage;
    bool FStarted = false;
    QString FLogFile;
};

// The process-wide application object; none before it is created.
extern TApp* App;
