#pragma once
// The application object: folders, product identity, the run log, the single
// instance guard and the start-up checks.

#include <QString>
#include <memory>

class TNamedMutex;

class TApp {
public:
    // exeFolder: the program's folder; empty means the running program's own.
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
    QString SkinFolder() const;
    QString TempFileName(const QString& ext);
    QString UserGuideUrl() const;
    QString SupportUrl() const;
    static QString StripQuery(const QString& url);

    bool CheckSingleInstance();
    bool HasInstallInfo() const;
    void CheckInstallGUID();
    QString LogFileName() const;        // the log file chosen at start-up
    static QString ChooseLogFileName(const QString& dataFolder);

private:
    void StartUp();
    void ShutDown();
    void LogSystemInfo();

    std::unique_ptr<TNamedMutex> FInstanceMutex;
    bool FStarted = false;
    QString FLogFile;
};

// The process-wide application object; none before it is created.
extern TApp* App;
