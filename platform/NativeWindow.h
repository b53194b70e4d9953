#ifndef NATIVEWINDOW_H
#define NATIVEWINDOW_H

class QWidget;

// How the overlay's native window stands with the window manager: a display that is never a
// place to type.
namespace NativeWindow {

// Creates the window's native window so that showing it never takes the keyboard focus from
// the user's window: it is shown without activation, and the window manager is told that it
// takes no input. Called before the window is first shown.
void createWithoutFocus(QWidget *window);

} // namespace NativeWindow

#endif // NATIVEWINDOW_H
