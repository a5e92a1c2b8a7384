// The thread base: hand-off to the main thread, freeing without deadlock,
// release after stop, errors that stay inside the thread.
#include "Zelclasses.h"
#include "Zellog.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// What a test thread saw; owned by the test, so it outlives the thread.
struct Probe {
    std::atomic<bool> entered{false};     // the worker is about to synchronize
    std::atomic<bool> finished{false};    // SafeExecute returned normally
    std::atomic<int> calls{0};            // synchronized calls that ran
    std::atomic<int> offMain{0};          // of those, how many ran elsewhere than the main thread
    std::atomic<int> destroyed{0};        // SafeDestroy runs
    std::atomic<int> deleted{0};          // destructor runs
    std::atomic<bool> stoppedAtDestroy{false};
    std::atomic<bool> caught{false};
};

class TTestThread : public TSafeThread {
public:
    explicit TTestThread(Probe& p) : P(p) {}
    ~TTestThread() override { ++P.deleted; }
    std::function<void(TTestThread&)> Work;
    using TSafeThread::Synchronize;

    // A synchronized call that records where it ran.
    void Hop(const std::function<void()>& extra = {})
    {
        Synchronize([this, extra] {
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                ++P.offMain;
            ++P.calls;
            if (extra)
                extra();
        });
    }

    Probe& P;

protected:
    void SafeExecute() override
    {
        if (Work)
            Work(*this);
        P.finished = true;
    }
    void SafeDestroy() override
    {
        P.stoppedAtDestroy = isFinished() || !isRunning();
        ++P.destroyed;
    }
};

// Waits without serving the queue, so a Synchronize call stays blocked.
bool SpinUntil(const std::function<bool()>& pred, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(1);
    }
    return true;
}

}  // namespace

TEST(SafeThread, SynchronizeRunsOnMainThreadAndWaitsForIt)
{
    Probe p;
    auto* t = new TTestThread(p);
    std::atomic<int> seenAfterReturn{0};
    t->Work = [&](TTestThread& self) {
        for (int i = 0; i < 5; ++i) {
            self.Hop();
            // The call has returned, so it has run.
            if (p.calls.load() == i + 1)
                ++seenAfterReturn;
        }
    };
    t->Resume();
    ASSERT_TRUE(PumpUntil([&] { return p.finished.load(); }, 5000));
    EXPECT_EQ(p.calls, 5);
    EXPECT_EQ(p.offMain, 0);
    EXPECT_EQ(seenAfterReturn, 5);

    // On the main thread itself the call runs at once.
    t->Hop();
    EXPECT_EQ(p.calls, 6);
    t->Free();
    EXPECT_EQ(p.destroyed, 1);
    EXPECT_EQ(p.deleted, 1);
}

TEST(SafeThread, FreeingAThreadBlockedInSynchronizeEndsPromptly)
{
    Probe p;
    auto* t = new TTestThread(p);
    t->Work = [&](TTestThread& self) {
        p.entered = true;
        self.Hop();
        self.Hop();  // terminated by now: must not run either
    };
    t->Resume();
    ASSERT_TRUE(SpinUntil([&] { return p.entered.load(); }));
    QThread::msleep(20);  // let it park in Synchronize; its call sits in the queue

    QElapsedTimer timer;
    timer.start();
    t->Free();
    const qint64 ms = timer.elapsed();
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(p.calls, 0);
    EXPECT_EQ(p.destroyed, 1);
    EXPECT_TRUE(p.stoppedAtDestroy);
    EXPECT_EQ(p.deleted, 1);

    // The queued call outlives the object and must find nothing to do.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(p.calls, 0);
}

TEST(SafeThread, FreedFromInsideItsOwnSynchronizeCall)
{
    Probe p;
    TSafeThreadPtr<TTestThread> holder(new TTestThread(p));
    holder->Work = [&](TTestThread& self) {
        self.Hop([&] { holder.reset(); });
        self.Hop();  // terminated: does not run
    };
    holder->Resume();
    ASSERT_TRUE(PumpUntil([&] { return p.deleted.load() == 1; }, 5000));
    EXPECT_FALSE(holder);
    EXPECT_EQ(p.calls, 1);
    EXPECT_EQ(p.destroyed, 1);
    EXPECT_TRUE(p.stoppedAtDestroy);
}

TEST(SafeThread, SafeDestroyRunsOnceAfterTheThreadStopped)
{
    {
        Probe p;
        auto* t = new TTestThread(p);
        t->Resume();
        ASSERT_TRUE(SpinUntil([&] { return p.finished.load(); }));
        t->Free();
        EXPECT_EQ(p.destroyed, 1);
        EXPECT_TRUE(p.stoppedAtDestroy);
        EXPECT_EQ(p.deleted, 1);
    }
    {
        // Created, never resumed (a playback whose locate failed).
        Probe p;
        TSafeThreadPtr<TTestThread> t(new TTestThread(p));
        t.reset();
        EXPECT_FALSE(p.finished);
        EXPECT_EQ(p.destroyed, 1);
        EXPECT_EQ(p.deleted, 1);
    }
}

TEST(SafeThread, ExceptionsEndTheThreadNotTheProcess)
{
    TLog log(MakeTempDir("safethread") + "Log.txt", "MX_Test_SafeThread_Log");
    SetLogObj(&log);
    Probe p;
    auto* t = new TTestThread(p);
    t->Work = [&](TTestThread& self) {
        // A throw inside the synchronized call reaches the worker.
        try {
            self.Synchronize([] { throw std::runtime_error("in the call"); });
        } catch (const std::runtime_error&) {
            p.caught = true;
        }
        throw std::runtime_error("worker failed");
    };
    t->Resume();
    ASSERT_TRUE(PumpUntil([&] { return t->isFinished(); }, 5000));
    EXPECT_TRUE(p.caught);
    EXPECT_FALSE(p.finished);  // SafeExecute did not return normally
    t->Free();
    EXPECT_EQ(p.destroyed, 1);
    SetLogObj(nullptr);

    QFile file(log.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("worker failed")) << text.toStdString();
    EXPECT_FALSE(text.contains("in the call"));  // handled by the worker, not logged
}

TEST(SafeThread, TerminateIsHonoured)
{
    Probe p;
    auto* t = new TTestThread(p);
    t->Work = [&](TTestThread& self) {
        p.entered = true;
        while (!self.Terminated())
            QThread::msleep(1);
        self.Hop();  // after Terminate a call gives up without running
    };
    t->Resume();
    ASSERT_TRUE(SpinUntil([&] { return p.entered.load(); }));
    EXPECT_FALSE(t->Terminated());
    t->Terminate();
    EXPECT_TRUE(t->Terminated());
    EXPECT_TRUE(t->wait(QDeadlineTimer(1000)));
    EXPECT_TRUE(p.finished);
    EXPECT_EQ(p.calls, 0);
    t->Free();
}
