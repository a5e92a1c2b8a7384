#pragma once
// User-interface texts by key, from the XML language file
// ExeFolder + "Languages/" + name + ".xml". The document element carries the
// attribute "Id"; each text is a child element named by its key.

#include <QDomDocument>
#include <QString>
#include <memory>

class TLanguage {
public:
    // exeFolder: the program's folder (ends in '/').
    explicit TLanguage(const QString& exeFolder);
    ~TLanguage();
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    // A missing file keeps what was loaded before. A damaged file is reported
    // once and switches every lookup off for the rest of the run.
    bool Load(const QString& name);
    bool IsAvailable();
    QString GetText(const QString& key);

    QString Id() const { return FId; }
    QString Path() const { return FPath; }
    QString Name() const { return FName; }
    bool Failed() const { return FFailed; }

private:
    QString FExeFolder;
    std::unique_ptr<QDomDocument> FDoc;
    QString FId;
    QString FPath;
    QString FName = QStringLiteral("Default");
    bool FFailed = false;
    bool FAttempted = false;
};

// The process-wide language object (created by the application object's
// start-up), or none.
extern TLanguage* LangObj;

// The text of key, empty when no language is loaded.
QString GetLangText(const QString& key);
