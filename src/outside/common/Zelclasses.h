#pragma once
// Thread base of the worker threads.
//
// A worker hands work to the main thread with Synchronize and waits for it.
// The main thread stops a worker with Free (or by dropping a TSafeThreadPtr):
// Free terminates the thread first, which answers a Synchronize call the main
// thread has not taken yet, so the main thread never waits for a worker that
// waits for the main thread.

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
    // Asks the work method to stop; a Synchronize call still waiting for the
    // main thread returns at once without running.
    void Terminate();
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    // From the main thread: terminate, wait for the thread, run SafeDestroy,
    // delete the object. Called from inside this thread's own Synchronize call
    // (a frame callback that stops playback), the wait would never end; the
    // object is then freed as soon as that call returns.
    void Free();

protected:
    virtual void SafeExecute() = 0;
    // Releases the thread's own objects once it has stopped.
    virtual void SafeDestroy() {}
    // Runs fn on the main thread and waits for it to return. Gives up without
    // running fn when the thread is terminated before the main thread takes it.
    // An exception thrown by fn is raised again here, in the worker.
    void Synchronize(const std::function<void()>& fn);

private:
    void run() final;
    void StopAndWait();

    // Shared with the calls queued to the main thread, which may outlive the
    // thread object.
    struct SyncState;
    std::shared_ptr<SyncState> FSync;
    std::atomic<bool> FTerminated{false};
    bool FDestroyed = false;
    bool FFreeing = false;
};

struct TSafeThreadDeleter {
    void operator()(TSafeThread* t) const { if (t) t->Free(); }
};
template <class T>
using TSafeThreadPtr = std::unique_ptr<T, TSafeThreadDeleter>;
