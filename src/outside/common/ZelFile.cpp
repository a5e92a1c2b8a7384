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
#include <functional>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

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

namespace {
// Writes all of data to fd; raises naming path on failure.
void WriteAll(const QString& path, int fd, const char* p, size_t left)
{
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(path, "write", errno);
        }
        p += n;
        left -= size_t(n);
    }
}

// The new contents go to a sibling temporary file that `fill` writes; only
// a complete, flushed file is renamed over the target.
void ReplaceAtomic(const QString& path, const std::function<void(int fd)>& fill)
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

    fill(tmp.fd);
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
}  // namespace

void WriteFileAtomic(const QString& path, const QByteArray& data)
{
    ReplaceAtomic(path, [&](int fd) { WriteAll(path, fd, data.constData(), size_t(data.size())); });
}

void CopyFileAtomic(const QString& from, const QString& to)
{
    const int src = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (src < 0)
        RaiseError(QStringLiteral("Cannot read \"%1\": %2").arg(from, QString::fromLocal8Bit(std::strerror(errno))));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{src};
    struct stat st {};
    if (::fstat(src, &st) != 0 || !S_ISREG(st.st_mode))
        RaiseError(QStringLiteral("Cannot read \"%1\": not a file").arg(from));
    // Copying a file onto itself would only rewrite what is there.
    if (IsSameFile(from, to))
        return;
    ReplaceAtomic(to, [&](int fd) {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t n = ::read(src, buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                RaiseError(QStringLiteral("Cannot read \"%1\": %2")
                               .arg(from, QString::fromLocal8Bit(std::strerror(errno))));
            }
            if (n == 0)
                break;
            WriteAll(to, fd, buffer.data(), size_t(n));
        }
    });
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

// ---- raw files ----------------------------------------------------------------------

namespace {
// Gathered writes: at most this many pieces and (past the first) bytes per
// call. Larger calls let the kernel fill the page cache with large folios,
// whose fresh memory measured several times slower to fill than small pages
// (6 MB files: about 2 ms in 16-64 KB calls, 9-14 ms in 1 MB calls, 15-18 ms
// in one call).
constexpr int MaxPiecesPerCall = 64;
constexpr size_t BytesPerCall = 64 * 1024;
}

TRawFile::~TRawFile()
{
    if (FFd >= 0)
        ::close(FFd);
}

bool TRawFile::Fail(int err)
{
    FError = err ? QString::fromLocal8Bit(std::strerror(err)) : QStringLiteral("nothing was written");
    return false;
}

bool TRawFile::Create(const QString& path, bool readable)
{
    if (FFd >= 0)
        ::close(FFd);
    FError.clear();
    FFd = ::open(QFile::encodeName(path).constData(), (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC | O_CLOEXEC,
                 0666);
    return FFd >= 0 || Fail(errno);
}

bool TRawFile::IsPlainFile() const
{
    struct stat st {};
    return FFd >= 0 && ::fstat(FFd, &st) == 0 && S_ISREG(st.st_mode);
}

bool TRawFile::Write(const void* data, size_t size)
{
    const TPiece piece{data, size};
    return WriteGather(&piece, 1);
}

bool TRawFile::WriteGather(const TPiece* pieces, int count)
{
    std::vector<iovec> left;
    left.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        if (pieces[i].Size > 0)
            left.push_back({const_cast<void*>(pieces[i].Data), pieces[i].Size});
    size_t first = 0;
    while (first < left.size()) {
        int n = 1;
        size_t bytes = left[first].iov_len;
        while (first + size_t(n) < left.size() && n < MaxPiecesPerCall && bytes + left[first + size_t(n)].iov_len <= BytesPerCall)
            bytes += left[first + size_t(n++)].iov_len;
        const ssize_t done = ::writev(FFd, left.data() + first, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return Fail(done < 0 ? errno : 0);
        // Past what was written; a piece written in part goes on from there.
        size_t rest = size_t(done);
        while (first < left.size() && rest >= left[first].iov_len)
            rest -= left[first++].iov_len;
        if (rest > 0) {
            left[first].iov_base = static_cast<char*>(left[first].iov_base) + rest;
            left[first].iov_len -= rest;
        }
    }
    return true;
}

bool TRawFile::WriteAt(int64_t offset, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(FFd, p, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        p += n;
        offset += n;
        size -= size_t(n);
    }
    return true;
}

bool TRawFile::ReadAt(int64_t offset, void* data, size_t size)
{
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(FFd, p, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(errno);
        if (n == 0) {
            FError = QStringLiteral("the file ends early");
            return false;
        }
        p += n;
        offset += n;
        size -= size_t(n);
    }
    return true;
}

bool TRawFile::Close()
{
    if (FFd < 0)
        return FError.isEmpty();
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    return true;
}
