// The overlay made a layer surface, in the program's Wayland module (LayerShellModule_wayland.cpp),
// by LayerShellQt; a C symbol, resolved by name.

#include <LayerShellQt/Window>

#include <QtGlobal>

// Unanchored, the surface lies centred on its output. It names no output, so the compositor puts
// it where its own notices go (the focused output on sway and KWin); LayerShellQt takes an output
// never set for the window's screen, so "none" is set explicitly. An exclusive zone of -1 centres
// it on the whole output, whatever panels reserve, and moves nothing aside.
extern "C" Q_DECL_EXPORT void lumivanePlaceOnOverlayLayer(QWindow *window)
{
    LayerShellQt::Window *surface = LayerShellQt::Window::get(window);
    surface->setLayer(LayerShellQt::Window::LayerOverlay);
    surface->setAnchors({});
    surface->setExclusiveZone(-1);
    surface->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityNone);
    surface->setScope(QStringLiteral("lumivane"));
    surface->setDesiredOutput(nullptr);
}
