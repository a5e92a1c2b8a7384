#pragma once
// The channel a refused second instance uses to notify the running one: a
// local socket named after the product title in the user's runtime folder.

#include <QObject>
#include <QString>
#include <cstdint>

class QLocalServer;

// No Q_OBJECT: it has no signals of its own.
class TInstanceChannel : public QObject {
public:
    explicit TInstanceChannel(QObject* parent = nullptr);
    ~TInstanceChannel() override;

    // Call only while holding the instance lock: a socket left by an instance
    // that died is taken over.
    bool Listen(const QString& name);

    // Sends message msg to the instance listening on name; false when none is.
    static bool Notify(const QString& name, int msg, intptr_t wParam, intptr_t lParam, int timeoutMs = 1000);

    static QString SocketPath(const QString& name);

private:
    void Accept();

    QLocalServer* FServer = nullptr;
};
