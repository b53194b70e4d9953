#ifndef SESSION_H
#define SESSION_H

#include "BusClient.h"
#include "Clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct BenchOptions;
struct Stage;
class Subject;

// The overlay and the floor side by side (stages()[0] and stages()[1]), the driver's connection to
// the session bus, and the one loop that handles the events of both X servers and the bus while a
// scenario waits.
class Session
{
public:
    // How a report reaches a program: the X11 client message both programs take, or a call of
    // Report on the session bus, which only the overlay answers.
    enum class Channel { X11, SessionBus };

    explicit Session(const BenchOptions &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const std::vector<std::unique_ptr<Stage>> &stages() const { return all; }
    const BusClient &bus() const { return busClient; }

    void send(Subject &subject, Channel channel, const std::vector<uint32_t> &parameters);

    bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    void waitUntil(TimePoint moment);
    // Until neither program shows its window; false after 15 s.
    bool waitHidden();

    // Sends the report and returns the time until the pixel at (x, y) satisfies accept.
    double reportToPixel(Subject &subject, uint32_t parameter, int x, int y,
        std::function<bool(uint32_t)> accept, Channel channel = Channel::X11);

private:
    void pump(int maxWaitMs);

    std::vector<std::unique_ptr<Stage>> all;
    BusClient busClient;
};

#endif // SESSION_H
