#pragma once
// The run log: UTF-8 text, one line per message with a timestamp. Writers in
// several processes share the file; a named mutex held around each write keeps
// their lines whole. Safe to use from any thread.

#include <QMutex>
#include <QString>
#include <memory>

class TNamedMutex;

class TLog {
public:
    // The file is not created until the first line is written, so a caller
    // can still tell a fresh log from one that goes on.
    TLog(const QString& fileName, const QString& mutexName);
    ~TLog();
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    void LogMsg(const QString& text);
    QString FileName() const { return FFileName; }

private:
    QString FFileName;
    std::unique_ptr<TNamedMutex> FMutex;
    QMutex FLock;
};

// The process-wide log used by MsgOut; none before start-up and after shut-down.
TLog* LogObj();
// Makes log the process-wide log (nullptr: none). The caller keeps ownership
// and must clear it before freeing the object.
void SetLogObj(TLog* log);
