#include "ZelFile.h"
#include "Zelfunction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void Fail(const QString& path, const char* stage, int err)
{
    RaiseError(QStringLiteral("Cannot write \"%1\" (%2): %3")
                   .arg(path, QLatin1String(stage), QString::fromLocal8Bit(std::strerror(err))));
}

// Closes and removes the temporary file unless the rename took it.
struct TempFile {
    QByteArray name;
    int fd = -1;
    bool renamed = false;
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!renamed && !name.isEmpty())
            ::unlink(name.constData());
    }
};
// Temporary files are named target + ".tmp<pid>-<n>". A process killed during
// a save leaves its one behind; the next save removes those of processes
// that no longer run.
void RemoveStaleTempFiles(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".tmp");
    const QDir dir = info.absoluteDir();
    for (const QString& name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden)) {
        const QString rest = name.mid(prefix.size());
        bool ok = false;
        const int pid = rest.section(QLatin1Char('-'), 0, 0).toInt(&ok);
        if (!ok || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
}

}  // namespace

void WriteFileAtomic(const QString& path, const QByteArray& data)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.symLinkTarget().isEmpty())
        target = info.symLinkTarget();

    RemoveStaleTempFiles(target);
    static std::atomic<unsigned> counter{0};
    TempFile tmp;
    tmp.name = (target + QStringLiteral(".tmp%1-%2").arg(::getpid()).arg(counter++)).toLocal8Bit();
    const QByteArray targetName = target.toLocal8Bit();

    tmp.fd = ::open(tmp.name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (tmp.fd < 0)
        Fail(path, "create", errno);
    struct stat st {};
    if (::stat(targetName.constData(), &st) == 0)
        ::fchmod(tmp.fd, st.st_mode & 07777);  // keep the old file's permissions

    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(tmp.fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(path, "write", errno);
        }
        p += n;
        left -= n;
    }
    if (::fsync(tmp.fd) != 0)
        Fail(path, "flush", errno);
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        Fail(path, "close", errno);
    if (::rename(tmp.name.constData(), targetName.constData()) != 0)
        Fail(path, "rename", errno);
    tmp.renamed = true;

    // Make the rename itself durable.
    const QByteArray dir = QFileInfo(target).absolutePath().toLocal8Bit();
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

namespace {
// The absolute path with its folder's links resolved; the name itself is
// kept, since it may not exist yet.
QString ResolvedPath(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = info.absoluteDir().canonicalPath();
    if (folder.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return folder + QLatin1Char('/') + info.fileName();
}
}  // namespace

bool IsSameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa = {}, sb = {};
    const bool hasA = ::stat(QFile::encodeName(a).constData(), &sa) == 0;
    const bool hasB = ::stat(QFile::encodeName(b).constData(), &sb) == 0;
    if (hasA && hasB)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA != hasB)
        return false;
    return ResolvedPath(a) == ResolvedPath(b);
}
