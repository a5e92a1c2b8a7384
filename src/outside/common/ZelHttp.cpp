#include "ZelHttp.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

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
    deadline.start(options.TimeoutMs);
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
