#ifndef NATIVEWINDOW_H
#define NATIVEWINDOW_H

#include <QByteArray>

class QWidget;

// How the overlay's native window stands with the window manager: a display that is never a
// place to type, and that lives as long as the program.
namespace NativeWindow {

// Creates the window's native window so that showing it never takes the keyboard focus from
// the user's window: it is shown without activation, and the window manager is told that it
// takes no input. Called before the window is first shown.
void createWithoutFocus(QWidget *window);

// True when the native message is the window manager's request to close the window. Answered
// as handled, it leaves the native window, and the report channel it holds, in place.
bool isCloseRequest(const QByteArray &eventType, void *message);

} // namespace NativeWindow

#endif // NATIVEWINDOW_H
