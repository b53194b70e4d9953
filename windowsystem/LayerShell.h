#ifndef LAYERSHELL_H
#define LAYERSHELL_H

class QWindow;

// The overlay as a layer surface (zwlr_layer_shell_v1) on a Wayland compositor: on the overlay
// layer, never focused, in no window list, above fullscreen windows. The Wayland libraries live in
// a module of the program's own, loaded only when a Wayland compositor is asked, so that a start
// on X11 never loads them.
namespace LayerShell {

enum class Answer {
    // The program's Wayland module cannot be loaded: nobody was asked.
    Unavailable,
    NoCompositor,
    WithoutLayerShell,
    // The compositor offers a layer shell, and Qt's Wayland platform and its layer-shell
    // integration both load.
    Offered,
};

// Asks the compositor at WAYLAND_DISPLAY, before the application object exists, within
// the time given.
Answer ask(int timeoutMs);

// Before the application object exists: Qt's Wayland platform is to make its windows layer
// surfaces. Sets QT_WAYLAND_SHELL_INTEGRATION, which Qt reads as it shows its first window; once
// the overlay has been shown, the variable is put back as it was, for the processes the program
// starts.
void use();
bool inUse();

// Places the window, whose native window exists and which is hidden, on the overlay layer,
// centred on the primary screen's output.
void place(QWindow *window);

} // namespace LayerShell

#endif // LAYERSHELL_H
