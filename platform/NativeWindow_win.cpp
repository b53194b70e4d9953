#include "NativeWindow.h"

#include <QWidget>

void NativeWindow::createWithoutFocus(QWidget *window)
{
    // Windows shows a tool window without activating it; the native window is all there is to make.
    window->winId();
}
