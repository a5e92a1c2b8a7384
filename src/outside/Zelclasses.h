#pragma once
// Thread base of the worker threads.

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class TSafeThread : public QThread {
    Q_OBJECT
public:
    // Threads are created suspended; Resume starts them.
    TSafeThread();
    // Stops the thread like Free() does, but cannot run a subclass's SafeDestroy
    // any more: free threads through Free() or TSafeThreadPtr.
    ~TSafeThread() override;

    void Resume();
    void Terminate();                 // asks the work method to stop
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    // From the main thread: terminate, wait for the thread while serving its
    // pending Synchronize call (so neither waits for the other), run
    // SafeDestroy, delete the object.
    void Free();

protected:
    virtual void SafeExecute() = 0;
    // Releases the thread's own objects once it has stopped.
    virtual void SafeDestroy() {}
    // Runs fn on the main thread and waits for it to return. Gives up without
    // running fn when the thread is terminated before the main thread takes it.
    void Synchronize(const std::function<void()>& fn);

private:
    void run() final;
    void StopAndWait();

    struct SyncState;
    std::shared_ptr<SyncState> FSync;
    std::atomic<bool> FTerminated{false};
    bool FDestroyed = false;
};

struct TSafeThreadDeleter {
    void operator()(TSafeThread* t) const { if (t) t->Free(); }
};
template <class T>
using TSafeThreadPtr = std::unique_ptr<T, TSafeThreadDeleter>;
