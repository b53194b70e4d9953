#include "NativeWindow.h"

#include <QWidget>

#include <windows.h>

void NativeWindow::createWithoutFocus(QWidget *window)
{
    // Windows shows a tool window without activating it; the native window is all there is to make.
    window->winId();
}

void NativeWindow::raise(QWidget *)
{
    // A topmost window: Windows keeps it above the others.
}

void NativeWindow::sendPending()
{
    // Win32 calls take effect as they are made.
}

bool NativeWindow::isCloseRequest(const QByteArray &eventType, void *message)
{
    if (eventType != "windows_generic_MSG")
        return false;
    return static_cast<const MSG *>(message)->message == WM_CLOSE;
}
