#ifndef MODECHANNEL_H
#define MODECHANNEL_H

#include <QByteArray>
#include <QWindow>

#include <functional>

// The channel through which the companion program reports the accessory's mode and colour to
// the overlay window: one 32-bit parameter, mode << 24 | R << 16 | G << 8 | B, in a message
// named "WM_LUMIVANE_MESSAGE" (a registered window message on Windows, a client message with
// that atom on X11).
namespace ModeChannel {

// Makes the window, whose native window must exist, the one that reports are addressed to, for
// as long as the window lives: should another client take the channel, the window takes it back
// as soon as that client lets it go. Reports that do not arrive as the window's native events are
// handed to receive: on Linux beside a Wayland display, those of an X server that DISPLAY names.
// Where another overlay holds the channel (X11), this one leaves it to that one:
// heldByAnotherOverlay() then says so.
void listen(QWindow *window, const std::function<bool(quint32)> &receive = {});

// Whether the channel is another overlay's, found so by listen().
bool heldByAnotherOverlay();

// The handler hears when another overlay takes the channel after listen() (X11).
void whenAnotherOverlayHolds(const std::function<void()> &handler);

// Who holds the channel now. On Linux as the X server that DISPLAY names says (on Qt's own
// connection where Qt runs on X11, otherwise on a short connection of its own); on Windows, where
// a report is a broadcast, the holder of the overlay's named mutex.
enum class Holder {
    NoServer, // no X server answers (Wayland without X, a stopped XWayland)
    Overlay,
    NoOverlay, // nobody, or a client that is no overlay
};
Holder holder();

// Whether reports reach this overlay over the channel now: beside a Wayland display only while
// the X server DISPLAY names is there and the channel is held on it.
bool holding();

// True when the native message is a report; its parameter is stored in *parameter.
bool readReport(const QByteArray &eventType, void *message, quint32 *parameter);

} // namespace ModeChannel

#endif // MODECHANNEL_H
