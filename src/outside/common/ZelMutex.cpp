#include "ZelMutex.h"

#include "Zelfunction.h"

#include <QDir>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TNamedMutex::TNamedMutex(const QString& name) : FPath(GetRuntimePath() + name) {}

TNamedMutex::~TNamedMutex()
{
    Unlock();
    if (FFd >= 0)
        ::close(FFd);
}

bool TNamedMutex::Open()
{
    if (FFd >= 0)
        return true;
    QDir().mkpath(QFileInfo(FPath).absolutePath());
    // Close-on-exec: a browser or helper we start must not inherit the lock
    // and keep the name taken after we end.
    FFd = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return FFd >= 0;
}

static bool FlockRetry(int fd, int op)
{
    for (;;) {
        if (::flock(fd, op) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool TNamedMutex::TryLock()
{
    if (FLocked)
        return true;
    if (!Open())
        return false;
    FLocked = FlockRetry(FFd, LOCK_EX | LOCK_NB);
    return FLocked;
}

bool TNamedMutex::Lock()
{
    if (FLocked)
        return true;
    if (!Open())
        return false;
    FLocked = FlockRetry(FFd, LOCK_EX);
    return FLocked;
}

void TNamedMutex::Unlock()
{
    if (!FLocked)
        return;
    ::flock(FFd, LOCK_UN);
    FLocked = false;
}
