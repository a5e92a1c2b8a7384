#include "ZelInstance.h"

#include "Zelfunction.h"

#include <QLocalServer>
#include <QLocalSocket>

TInstanceChannel::TInstanceChannel(QObject* parent) : QObject(parent) {}

TInstanceChannel::~TInstanceChannel() = default;

QString TInstanceChannel::SocketPath(const QString& name) { return GetRuntimePath() + name; }

bool TInstanceChannel::Listen(const QString& name)
{
    const QString path = SocketPath(name);
    QLocalServer::removeServer(path);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TInstanceChannel::Accept);
    if (!FServer->listen(path)) {
        MsgOut(QStringLiteral("Instance channel \"%1\": %2").arg(path, FServer->errorString()));
        return false;
    }
    return true;
}

// The running instance has no use for the notice: it reads and drops it, so
// the sender never waits for a reply.
void TInstanceChannel::Accept()
{
    while (QLocalSocket* s = FServer->nextPendingConnection()) {
        connect(s, &QLocalSocket::readyRead, s, [s] { s->readAll(); });
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
}

bool TInstanceChannel::Notify(const QString& name, int msg, intptr_t wParam, intptr_t lParam, int timeoutMs)
{
    QLocalSocket s;
    s.connectToServer(SocketPath(name));
    if (!s.waitForConnected(timeoutMs))
        return false;
    s.write(QStringLiteral("%1 %2 %3\n").arg(msg).arg(wParam).arg(lParam).toLatin1());
    const bool sent = s.waitForBytesWritten(timeoutMs);
    s.disconnectFromServer();
    return sent;
}
