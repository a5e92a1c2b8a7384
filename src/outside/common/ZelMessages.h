#pragma once
// Message numbers shared between threads and windows. They are delivered as
// QEvents whose type is the message number (see TMessageEvent).

#include <QEvent>
#include <QObject>
#include <QString>
#include <cstdint>

constexpr int WM_USER = 0x0400;
constexpr int WM_INSTANCE_NOTICE = WM_USER + 101;  // 1125
constexpr int WM_CONVERTFINISH = 0x17EC;
constexpr int WM_CONVERTERROR = 0x17ED;
constexpr int WM_CONVERTPROGRESS = 0x17EE;
constexpr int WM_DECODEPROGRESS = 0x17EF;
constexpr int WM_PLAYEND = 0x197D;
constexpr int WM_SELECTIONEND = 0x197E;

// A window message: number, two parameters and, where the message carries a
// text (WM_CONVERTERROR), the text itself, owned by the event.
class TMessageEvent : public QEvent {
public:
    TMessageEvent(int msg, intptr_t wParam, intptr_t lParam, QString text = {})
        : QEvent(static_cast<QEvent::Type>(msg)), WParam(wParam), LParam(lParam), Text(std::move(text)) {}
    int Msg() const { return static_cast<int>(type()); }
    intptr_t WParam;
    intptr_t LParam;
    QString Text;
};

// Posts a message to a receiver living on any thread; false when there is no receiver.
bool CheckPostMessage(QObject* wnd, int msg, intptr_t wParam, intptr_t lParam, const QString& text = {});
// Sends a message synchronously; must be called on the receiver's thread.
bool SendMessageTo(QObject* wnd, int msg, intptr_t wParam, intptr_t lParam);

// The typed face of the messages: one adapter per kind of receiving window
// turns the messages posted or sent to it into signals, so windows connect
// handlers instead of switching over message numbers. The adapter is what
// the thread is given as its receiver; it lives on the window's thread.

// What a conversion thread reports: progress, then one finish or one error.
class TConvertEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void Progress(int percent);                  // WM_CONVERTPROGRESS, 0..100
    void Finished(int written, int limit);       // WM_CONVERTFINISH
    void Failed(const QString& error);           // WM_CONVERTERROR
protected:
    bool event(QEvent* e) override;
};

// What the main window hears from its group decoding and playback.
class TPlayerEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void DecodeProgress(int done, int asked);    // WM_DECODEPROGRESS; done 0 = starting
    void PlayEnd();                              // WM_PLAYEND
    void SelectionEnd();                         // WM_SELECTIONEND
protected:
    bool event(QEvent* e) override;
};
