#ifndef NATIVEWINDOW_H
#define NATIVEWINDOW_H

#include <QByteArray>

class QWidget;

// How the overlay's native window stands with the window manager: a display that is never a
// place to type, and that lives as long as the program.
namespace NativeWindow {

// Creates the window's native window so that showing it never takes the keyboard focus from
// the user's window: it is shown without activation, and takes no input. On X11 no window manager
// manages it at all, as on-screen displays go, so none places, focuses, decorates or flags it.
// Called before the window is first shown.
void createWithoutFocus(QWidget *window);

// Puts the window above the others as it is shown: where no window manager keeps it on top.
void raise(QWidget *window);

// Hands the window system every change asked of it so far, at once. An X11 connection keeps
// requests until something flushes it, which a window that does not repaint never does.
void sendPending();

// True when the native message is the window manager's request to close the window. Answered
// as handled, it leaves the native window, and the report channel it holds, in place.
bool isCloseRequest(const QByteArray &eventType, void *message);

} // namespace NativeWindow

#endif // NATIVEWINDOW_H
