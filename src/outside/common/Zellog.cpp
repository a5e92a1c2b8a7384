#include "Zellog.h"

#include "ZelMutex.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TLog::TLog(const QString& fileName, const QString& mutexName)
    : FFileName(fileName), FMutex(std::make_unique<TNamedMutex>(mutexName))
{
}

TLog::~TLog() = default;

static bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void TLog::LogMsg(const QString& text)
{
    // One message is one line: embedded line breaks would make lines that
    // carry no timestamp.
    QString body = text;
    while (body.endsWith(QLatin1Char('\n')) || body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    body.replace(QLatin1String("\r\n"), QLatin1String(" "));
    body.replace(QLatin1Char('\n'), QLatin1Char(' '));
    body.replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QByteArray line = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz "))
                             + body + QLatin1Char('\n')).toUtf8();

    QMutexLocker inProcess(&FLock);
    // Lines are still written when the lock file cannot be made: an
    // unserialised line is better than a lost one.
    TNamedMutexLocker acrossProcesses(*FMutex);
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    // Opened per line: other processes rotate and append to the same file.
    int fd = ::open(QFile::encodeName(FFileName).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    WriteAll(fd, line.constData(), static_cast<size_t>(line.size()));
    ::close(fd);
}

namespace {
QMutex gLogObjLock;
TLog* gLogObj = nullptr;
}  // namespace

TLog* LogObj()
{
    QMutexLocker lock(&gLogObjLock);
    return gLogObj;
}

void SetLogObj(TLog* log)
{
    QMutexLocker lock(&gLogObjLock);
    gLogObj = log;
}

// Holds the pointer's lock while writing, so a log being cleared at shut-down
// is never written to after it is gone.
void MsgOut(const QString& text)
{
    QMutexLocker lock(&gLogObjLock);
    if (gLogObj)
        gLogObj->LogMsg(text);
}
