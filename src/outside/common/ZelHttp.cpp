#include "ZelHttp.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace {
std::mutex gLookupLock;
THostLookup gLookup;

bool SystemLookup(const QString& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const bool ok = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) == 0 && found;
    if (found)
        freeaddrinfo(found);
    return ok;
}

// A name lookup of the system can hang for many seconds without a network,
// and Qt waits for its own lookups when the application ends. So the name is
// looked up first on a thread of ours that nobody waits for; only a name that
// resolved goes on to Qt, whose own lookup then answers at once.
bool LookUpHost(const QString& host, const QElapsedTimer& clock, const TDownloadOptions& options, QString* why)
{
    if (QHostAddress().setAddress(host))
        return true;  // an address needs no lookup
    struct TState {
        std::mutex Lock;
        std::condition_variable Done;
        bool Finished = false;
        bool Found = false;
    };
    auto state = std::make_shared<TState>();
    THostLookup lookup;
    {
        std::lock_guard<std::mutex> lock(gLookupLock);
        lookup = gLookup ? gLookup : THostLookup(SystemLookup);
    }
    std::thread([state, lookup, host] {
        const bool found = lookup(host);
        std::lock_guard<std::mutex> lock(state->Lock);
        state->Finished = true;
        state->Found = found;
        state->Done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(state->Lock);
    while (!state->Finished) {
        if (options.Cancelled && options.Cancelled()) {
            *why = QStringLiteral("cancelled");
            return false;
        }
        if (clock.elapsed() >= options.TimeoutMs) {
            *why = QStringLiteral("timed out looking up ") + host;
            return false;
        }
        state->Done.wait_for(lock, std::chrono::milliseconds(options.PollMs));
    }
    if (!state->Found)
        *why = QStringLiteral("host not found: ") + host;
    return state->Found;
}
}  // namespace

void SetHostLookup(THostLookup lookup)
{
    std::lock_guard<std::mutex> lock(gLookupLock);
    gLookup = std::move(lookup);
}

bool DownloadUrl(const QString& url, QByteArray* body, const TDownloadOptions& options, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QUrl address(url, QUrl::StrictMode);
    if (url.trimmed().isEmpty() || !address.isValid())
        return fail(QStringLiteral("invalid address"));
    const QString scheme = address.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return fail(QStringLiteral("not a web address"));
    if (options.Cancelled && options.Cancelled())
        return fail(QStringLiteral("cancelled"));
    QElapsedTimer clock;
    clock.start();
    QString lookupError;
    if (!LookUpHost(address.host(), clock, options, &lookupError))
        return fail(lookupError);

    // Made here, so it belongs to this thread and its replies are served by
    // the loop below.
    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    QString why;
    auto stop = [&](const QString& reason) {
        if (why.isEmpty())
            why = reason;
        loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, [&] { loop.quit(); });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > options.MaxBytes)
            stop(QStringLiteral("answer too long"));
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { stop(QStringLiteral("timed out")); });
    deadline.start(std::max<qint64>(0, options.TimeoutMs - clock.elapsed()));
    QTimer poll;
    if (options.Cancelled) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (options.Cancelled())
                stop(QStringLiteral("cancelled"));
        });
        poll.start(options.PollMs);
    }
    if (!reply->isFinished())
        loop.exec();

    if (!why.isEmpty() || !reply->isFinished()) {
        // abort() drops the connection at once; nothing waits for the server.
        reply->abort();
        return fail(why.isEmpty() ? QStringLiteral("interrupted") : why);
    }
    if (reply->error() != QNetworkReply::NoError)
        return fail(reply->errorString());
    const QByteArray data = reply->readAll();
    if (data.size() > options.MaxBytes)
        return fail(QStringLiteral("answer too long"));
    if (body)
        *body = data;
    if (error)
        error->clear();
    return true;
}
