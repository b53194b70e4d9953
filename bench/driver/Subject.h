#ifndef SUBJECT_H
#define SUBJECT_H

#include "Clock.h"

#include <xcb/xcb.h>

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class TrayHost;
class XServer;

// One program under measurement on its own X server: its process and standard error, the window
// that owns the report selection, the drawing on that window and a pixel probe on it.
class Subject
{
public:
    // environment: variables to set ("NAME=value") or to remove ("NAME") in the driver's own.
    Subject(std::string label, std::string executable, std::vector<std::string> environment, XServer &server,
        TrayHost &tray, std::string workDirectory);
    ~Subject();
    Subject(const Subject &) = delete;
    Subject &operator=(const Subject &) = delete;

    const std::string &label() const { return name; }
    XServer &xserver() const { return server; }
    TrayHost &trayHost() const { return tray; }

    // changes: variables set or removed for this start only, after the program's own.
    void start(const std::vector<std::string> &changes = {});
    void stop();
    bool running() const { return pid > 0; }
    pid_t processId() const { return pid; }
    TimePoint startedAt() const { return started; }

    // The standard error descriptor to wait on, or -1.
    int outputDescriptor() const { return output; }
    void readOutput();
    // Lines "mode: ..." written since the start.
    long reportLines() const { return lines; }

    bool handleEvent(const xcb_generic_event_t *event, TimePoint at);

    xcb_window_t window() const { return owner; }
    std::optional<TimePoint> ownedAt() const { return ownerSince; }
    bool mapped() const { return isMapped; }
    // Damage notifications on the window since the start: each one a batch of drawing.
    long drawings() const { return damageCount; }

    void sendMany(const std::vector<uint32_t> &parameters);

    // Watches the pixel at (x, y): the first drawing after which it satisfies accept is a hit.
    void armProbe(int x, int y, std::function<bool(uint32_t)> accept);
    std::optional<TimePoint> probeHit() const { return hit; }
    bool readPixel(int x, int y, uint32_t *value);

private:
    void applyEnvironment(const std::vector<std::string> &changes) const;

    std::string name;
    std::string executable;
    std::vector<std::string> environment;
    XServer &server;
    TrayHost &tray;
    std::string workDirectory;
    xcb_atom_t channelAtom = XCB_ATOM_NONE;

    pid_t pid = -1;
    TimePoint started;
    int output = -1;
    int log = -1;
    std::string pending;
    long lines = 0;

    xcb_window_t owner = XCB_NONE;
    std::optional<TimePoint> ownerSince;
    bool isMapped = false;
    long damageCount = 0;

    std::pair<int, int> probePoint;
    std::function<bool(uint32_t)> probeAccept;
    std::optional<TimePoint> hit;
};

#endif // SUBJECT_H
