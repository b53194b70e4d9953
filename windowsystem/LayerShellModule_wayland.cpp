// The program's Wayland side, a module that the program loads only when it asks a Wayland
// compositor: linked into the program, LayerShellQt would load Qt's Wayland client, libwayland
// and OpenGL at every start on X11 too. The functions are C symbols, resolved by name; the layer
// surface itself is made in LayerSurface_wayland.cpp, in builds that have LayerShellQt.

#include <QtGlobal>

#include <wayland-client.h>

#include <chrono>
#include <cstring>
#include <poll.h>

namespace {

struct Registry
{
    bool layerShell = false;
    bool done = false;
};

void global(void *data, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0)
        static_cast<Registry *>(data)->layerShell = true;
}

void globalRemove(void *, wl_registry *, uint32_t) { }

void synced(void *data, wl_callback *, uint32_t)
{
    static_cast<Registry *>(data)->done = true;
}

const wl_registry_listener RegistryListener = {global, globalRemove};
const wl_callback_listener SyncListener = {synced};

// Reads the compositor's answers until the sync is answered or the time is up.
void readUntilDone(wl_display *display, const Registry &registry, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!registry.done) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd readable {wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || poll(&readable, 1, int(left)) <= 0) {
            wl_display_cancel_read(display);
            return;
        }
        if (wl_display_read_events(display) < 0)
            return;
        wl_display_dispatch_pending(display);
    }
}

} // namespace

// -1: no compositor answers at WAYLAND_DISPLAY, or the connection broke; 0: it offers no layer
// shell; 1: it offers one; 2: it accepted the connection but has not answered in time.
extern "C" Q_DECL_EXPORT int lumivaneAskLayerShell(int timeoutMs)
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return -1;
    Registry registry;
    wl_registry *globals = wl_display_get_registry(display);
    wl_registry_add_listener(globals, &RegistryListener, &registry);
    wl_callback *sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &SyncListener, &registry);
    readUntilDone(display, registry, timeoutMs);
    const bool broken = wl_display_get_error(display) != 0;
    wl_callback_destroy(sync);
    wl_registry_destroy(globals);
    wl_display_disconnect(display);
    if (registry.done)
        return registry.layerShell ? 1 : 0;
    return broken ? -1 : 2;
}
