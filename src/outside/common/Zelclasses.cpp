#include "Zelclasses.h"

#include "Zelfunction.h"

#include <QCoreApplication>
#include <condition_variable>
#include <exception>
#include <mutex>

// One Synchronize hand-off at a time. The worker parks a pointer to its call
// here and waits; the main thread runs it from a queued event. The queued
// event holds the state by shared_ptr, so an event that arrives after the
// thread object was freed finds nothing pending and does nothing.
struct TSafeThread::SyncState {
    enum Stage { Idle, Pending, Running, Done, Cancelled };

    std::mutex Lock;
    std::condition_variable Changed;
    Stage State = Idle;
    const std::function<void()>* Fn = nullptr;  // valid while State is Pending or Running
    std::exception_ptr Error;
    // Main thread only: a Free that came from inside the running call.
    std::function<void()> AfterServe;

    void Serve()
    {
        std::unique_lock<std::mutex> lock(Lock);
        if (State != Pending)
            return;  // answered by Terminate, or already served
        State = Running;
        const std::function<void()>* fn = Fn;
        lock.unlock();

        std::exception_ptr error;
        try {
            (*fn)();
        } catch (...) {
            error = std::current_exception();
        }

        lock.lock();
        Error = error;
        Fn = nullptr;
        State = Done;
        lock.unlock();
        Changed.notify_all();

        if (AfterServe) {
            auto after = std::move(AfterServe);
            AfterServe = nullptr;
            after();
        }
    }
};

namespace {
bool OnMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
}  // namespace

TSafeThread::TSafeThread() : FSync(std::make_shared<SyncState>()) {}

TSafeThread::~TSafeThread()
{
    if (OnMainThread())
        FSync->AfterServe = nullptr;
    StopAndWait();
}

void TSafeThread::Resume()
{
    if (!isRunning() && !isFinished())
        start();
}

void TSafeThread::Terminate()
{
    {
        std::lock_guard<std::mutex> lock(FSync->Lock);
        FTerminated.store(true, std::memory_order_release);
        if (FSync->State == SyncState::Pending) {
            FSync->State = SyncState::Cancelled;
            FSync->Fn = nullptr;
        }
    }
    FSync->Changed.notify_all();
}

void TSafeThread::StopAndWait()
{
    Terminate();
    wait();
}

void TSafeThread::Free()
{
    if (FFreeing)
        return;
    if (OnMainThread()) {
        bool insideOwnCall;
        {
            std::lock_guard<std::mutex> lock(FSync->Lock);
            insideOwnCall = FSync->State == SyncState::Running;
        }
        if (insideOwnCall) {
            // The worker waits for the call we are inside of; finish it first.
            Terminate();
            FSync->AfterServe = [this] { Free(); };
            return;
        }
    }
    FFreeing = true;
    StopAndWait();
    if (!FDestroyed) {
        FDestroyed = true;
        try {
            SafeDestroy();
        } catch (const std::exception& e) {
            MsgOut(QStringLiteral("%1: error while releasing: %2")
                       .arg(QString::fromLatin1(metaObject()->className()), QString::fromLocal8Bit(e.what())));
        }
    }
    delete this;
}

void TSafeThread::Synchronize(const std::function<void()>& fn)
{
    if (OnMainThread()) {
        fn();
        return;
    }
    std::unique_lock<std::mutex> lock(FSync->Lock);
    if (Terminated())
        return;
    FSync->State = SyncState::Pending;
    FSync->Fn = &fn;
    FSync->Error = nullptr;
    std::shared_ptr<SyncState> state = FSync;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [state] { state->Serve(); }, Qt::QueuedConnection);
    FSync->Changed.wait(lock, [this] {
        return FSync->State == SyncState::Done || FSync->State == SyncState::Cancelled;
    });
    std::exception_ptr error = std::move(FSync->Error);
    FSync->Error = nullptr;
    FSync->State = SyncState::Idle;
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
}

void TSafeThread::run()
{
    // An exception must not leave the thread: QThread would end the process.
    QString error;
    try {
        SafeExecute();
        return;
    } catch (const EZelError& e) {
        error = e.Message;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("unknown exception");
    }
    MsgOut(QStringLiteral("%1: thread stopped by an error: %2")
               .arg(QString::fromLatin1(metaObject()->className()), error));
}
