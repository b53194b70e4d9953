#ifndef OVERLAYBUSSERVICE_H
#define OVERLAYBUSSERVICE_H

#include <QtGlobal>

#include <functional>
#include <memory>

class OverlayBusObject;

// The running overlay on the session bus (Linux): reports and "show" arrive as method calls on
// the object ChannelNames names, and the current mode is a read-only property that announces its
// changes. Where there is no session bus, and on Windows, it does nothing.
class OverlayBusService
{
public:
    // What the calls do: play a report (false for a mode the display does not know), show the
    // display, and read the mode shown.
    struct Handlers
    {
        std::function<bool(quint32)> report;
        std::function<void()> show;
        std::function<int()> currentMode;
    };

    explicit OverlayBusService(Handlers handlers);
    ~OverlayBusService();
    OverlayBusService(const OverlayBusService &) = delete;
    OverlayBusService &operator=(const OverlayBusService &) = delete;

    // Exports the object and takes the name; for the running instance alone. When another
    // program owns the name, logs one warning and waits in the bus's queue for it, meanwhile
    // leaving the reports to the other channels; without X, an overlay owning it ends this one's
    // event loop (status 0).
    void publish();

    // Tells the bus's listeners of the current mode if it is not the one they last heard of.
    void modeMayHaveChanged();

private:
    std::unique_ptr<OverlayBusObject> object;
};

#endif // OVERLAYBUSSERVICE_H
