#pragma once
// Turns the ending signals (SIGTERM, SIGINT, SIGHUP) into a call on the main
// thread, so a logout or kill closes the program the normal way. The signal
// handler only writes the signal number to a pipe (async-signal-safe); the
// main loop reads it and runs the callback.

#include <QObject>
#include <functional>

class QSocketNotifier;

class TEndSignals : public QObject {
public:
    // One object per process; the callback gets the signal number.
    explicit TEndSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TEndSignals() override;

private:
    void Drain();

    std::function<void(int)> FOnSignal;
    QSocketNotifier* FNotifier = nullptr;
};
