#include "ZelMessages.h"

#include <QCoreApplication>

bool CheckPostMessage(QObject* wnd, int msg, intptr_t wParam, intptr_t lParam, const QString& text)
{
    if (!wnd)
        return false;
    QCoreApplication::postEvent(wnd, new TMessageEvent(msg, wParam, lParam, text));
    return true;
}

bool SendMessageTo(QObject* wnd, int msg, intptr_t wParam, intptr_t lParam)
{
    if (!wnd)
        return false;
    TMessageEvent ev(msg, wParam, lParam);
    QCoreApplication::sendEvent(wnd, &ev);
    return true;
}

bool TConvertEvents::event(QEvent* e)
{
    const int msg = int(e->type());
    if (msg != WM_CONVERTPROGRESS && msg != WM_CONVERTFINISH && msg != WM_CONVERTERROR)
        return QObject::event(e);
    const auto* m = static_cast<TMessageEvent*>(e);
    if (msg == WM_CONVERTPROGRESS)
        Q_EMIT Progress(int(m->WParam & 0xFFFF));
    else if (msg == WM_CONVERTFINISH)
        Q_EMIT Finished(int(m->WParam), int(m->LParam));
    else
        Q_EMIT Failed(m->Text);
    return true;
}

bool TPlayerEvents::event(QEvent* e)
{
    const int msg = int(e->type());
    if (msg == WM_DECODEPROGRESS) {
        const auto* m = static_cast<TMessageEvent*>(e);
        Q_EMIT DecodeProgress(int(m->WParam), int(m->LParam));
    } else if (msg == WM_PLAYEND) {
        Q_EMIT PlayEnd();
    } else if (msg == WM_SELECTIONEND) {
        Q_EMIT SelectionEnd();
    } else {
        return QObject::event(e);
    }
    return true;
}
