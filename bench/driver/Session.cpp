#include "Session.h"

#include "BenchOptions.h"
#include "Figures.h"
#include "Stage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

std::string workFolder(const std::string &base, const std::string &name)
{
    const std::string folder = base + "/" + name;
    ::mkdir(folder.c_str(), 0755);
    return folder;
}

} // namespace

Session::Session(const BenchOptions &options)
{
    const std::string &work = options.workDirectory;
    // The overlay gets the environment of a user's session as it is; only the floor is told to
    // leave out the OpenGL integration, as a bare program that draws nothing with it would be.
    all.push_back(std::make_unique<Stage>("overlay", options.overlay,
        std::vector<std::string> {"QT_XCB_GL_INTEGRATION", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"},
        workFolder(work, "overlay")));
    all.push_back(std::make_unique<Stage>("floor", options.floor,
        std::vector<std::string> {"QT_XCB_GL_INTEGRATION=none", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"},
        workFolder(work, "floor")));
}

Session::~Session() = default;

void Session::pump(int maxWaitMs)
{
    std::vector<pollfd> descriptors;
    for (const auto &stage : all) {
        descriptors.push_back({xcb_get_file_descriptor(stage->server.connection()), POLLIN, 0});
        if (stage->subject.outputDescriptor() >= 0)
            descriptors.push_back({stage->subject.outputDescriptor(), POLLIN, 0});
    }
    descriptors.push_back({busClient.descriptor(), busClient.events(), 0});
    bool dispatched = false;
    for (int round = 0; round < 2 && !dispatched; ++round) {
        if (round == 1)
            poll(descriptors.data(), descriptors.size(), maxWaitMs);
        busClient.transfer();
        for (const auto &stage : all) {
            xcb_connection_t *connection = stage->server.connection();
            if (xcb_connection_has_error(connection))
                throw std::runtime_error("lost the connection to " + stage->server.displayName());
            while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
                const TimePoint at = Clock::now();
                if (!stage->tray.handleEvent(event, at))
                    stage->subject.handleEvent(event, at);
                std::free(event);
                dispatched = true;
            }
            stage->subject.readOutput();
        }
    }
}

bool Session::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const TimePoint deadline = after(Clock::now(), timeoutMs);
    for (;;) {
        if (condition())
            return true;
        const double left = millisecondsBetween(Clock::now(), deadline);
        if (left <= 0)
            return false;
        pump(std::min(5, int(std::ceil(left))));
    }
}

void Session::waitUntil(TimePoint moment)
{
    for (double left = millisecondsBetween(Clock::now(), moment); left > 0;
         left = millisecondsBetween(Clock::now(), moment))
        pump(std::min(100, int(std::ceil(left))));
}

bool Session::waitHidden()
{
    return waitFor(
        [this] {
            for (const auto &stage : all) {
                if (stage->subject.mapped())
                    return false;
            }
            return true;
        },
        15000);
}

void Session::send(Subject &subject, Channel channel, const std::vector<uint32_t> &parameters)
{
    if (channel == Channel::X11)
        subject.sendMany(parameters);
    else
        busClient.report(parameters);
}

double Session::reportToPixel(
    Subject &subject, uint32_t parameter, int x, int y, std::function<bool(uint32_t)> accept, Channel channel)
{
    subject.armProbe(x, y, std::move(accept));
    const TimePoint sent = Clock::now();
    send(subject, channel, {parameter});
    if (!waitFor([&subject] { return subject.probeHit().has_value(); }, 5000))
        return NotMeasured;
    return millisecondsBetween(sent, *subject.probeHit());
}
