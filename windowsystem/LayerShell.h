#ifndef LAYERSHELL_H
#define LAYERSHELL_H

#include <QByteArray>

class QWindow;

// The overlay as a layer surface (zwlr_layer_shell_v1) on a Wayland compositor: on the overlay
// layer, never focused, in no window list, above fullscreen windows. The Wayland libraries live in
// a module of the program's own, loaded only when a Wayland compositor is asked, so that a start
// on X11 never loads them. The module lies at the same place relative to the program in a build
// tree as in an installed one.
namespace LayerShell {

enum class Answer {
    // The program's Wayland module cannot be loaded: nobody was asked.
    Unavailable,
    NoCompositor,
    // A compositor took the connection but did not say within the time given what it offers.
    Silent,
    WithoutLayerShell,
    // The compositor offers a layer shell, but this build of the program has no layer-shell
    // integration to make one (built with a Qt that LayerShellQt is not built for).
    NotIntegrated,
    // The compositor offers a layer shell, and Qt's Wayland platform and its layer-shell
    // integration both load.
    Offered,
};

// Asks the compositor at WAYLAND_DISPLAY, before the application object exists, within
// the time given.
Answer ask(int timeoutMs);

// Whether the module, Qt's Wayland platform and its layer-shell integration all load, asking no
// compositor: a connection handed to the program is Qt's alone.
bool loads();
// Why the module did not load, naming it; empty while it loads or has not been looked for.
QByteArray moduleProblem();
// Why no layer surface can be made though the module loads: this build has no layer-shell
// integration, or Qt's does not load.
QByteArray integrationProblem();

// Before the application object exists: Qt's Wayland platform is to make its windows layer
// surfaces, where its shell integration offers them (QT_WAYLAND_SHELL_INTEGRATION, set by the
// caller).
void use();
bool inUse();

// Places the window, whose native window exists and which is hidden, on the overlay layer,
// centred on the whole of the output the compositor chooses: the one its own notices go to.
void place(QWindow *window);

} // namespace LayerShell

#endif // LAYERSHELL_H
