#pragma once
// Named mutexes shared between processes: an flock'ed lock file of that name
// in the user's runtime folder. The kernel drops the lock when its holder
// dies, so a crashed process never leaves the name taken.

#include <QString>

class TNamedMutex {
public:
    explicit TNamedMutex(const QString& name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;

    // Takes the lock unless another holder has it; never waits.
    bool TryLock();
    // Waits for the lock. False only when the lock file cannot be opened,
    // in which case the caller goes on unserialised rather than stopping.
    bool Lock();
    void Unlock();
    bool Locked() const { return FLocked; }
    QString LockFile() const { return FPath; }

private:
    bool Open();

    QString FPath;
    int FFd = -1;
    bool FLocked = false;
};

// RAII holder of a TNamedMutex lock.
class TNamedMutexLocker {
public:
    explicit TNamedMutexLocker(TNamedMutex& m) : FMutex(m) { FMutex.Lock(); }
    ~TNamedMutexLocker() { FMutex.Unlock(); }
    TNamedMutexLocker(const TNamedMutexLocker&) = delete;
    TNamedMutexLocker& operator=(const TNamedMutexLocker&) = delete;

private:
    TNamedMutex& FMutex;
};
