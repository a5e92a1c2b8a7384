#include "ZelSignals.h"

#include "Zelfunction.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnEndSignal(int sig)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    // A full pipe already holds a pending request; dropping this one is fine.
    [[maybe_unused]] ssize_t n = ::write(gPipe[1], &b, 1);
    errno = saved;
}
}  // namespace

TEndSignals::TEndSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), FOnSignal(std::move(onSignal))
{
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        MsgOut(QStringLiteral("Signal pipe not created"));
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TEndSignals::Drain);
    struct sigaction sa = {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

TEndSignals::~TEndSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
    delete FNotifier;
    FNotifier = nullptr;
    for (int& fd : gPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TEndSignals::Drain()
{
    unsigned char buf[16];
    ssize_t n;
    while ((n = ::read(gPipe[0], buf, sizeof buf)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (FOnSignal)
                FOnSignal(buf[i]);
}
