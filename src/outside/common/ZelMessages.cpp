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
