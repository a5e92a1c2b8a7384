#pragma once
// A blocking download of one web address on the calling thread, for worker
// threads that must never hold up the user: it gives up after a time limit,
// and the caller can cut it short at any moment through `cancelled`.

#include <QByteArray>
#include <QString>
#include <functional>

struct TDownloadOptions {
    int TimeoutMs = 10000;                 // for the whole request, answer included
    qint64 MaxBytes = 1 << 20;             // a longer answer is a failure
    std::function<bool()> Cancelled;       // polled every PollMs; true ends the request
    int PollMs = 20;
};

// GET url and wait for the whole answer in an event loop of the calling
// thread. True only for a complete answer of a successful request (an HTTP
// error status, a refused connection, the time limit, cancelling or a
// too-long answer are failures; `error` then says which). body receives the
// answer only on success.
bool DownloadUrl(const QString& url, QByteArray* body, const TDownloadOptions& options = {}, QString* error = nullptr);

// The name lookup DownloadUrl runs first (true: the host name resolves);
// tests put a slow one in. None restores the system's.
using THostLookup = std::function<bool(const QString& host)>;
void SetHostLookup(THostLookup lookup);
