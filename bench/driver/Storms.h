#ifndef STORMS_H
#define STORMS_H

struct BenchOptions;
class Session;

// Report storms: how long each program takes to log every report of a burst, whether it still
// answers the next report, and how its memory grows once the warm-up storms have settled it. After
// each, the overlay meets a storm of calls through the session bus, measured the same way.
class Storms
{
public:
    Storms(Session &session, const BenchOptions &options);

    void run();

private:
    // The overlay's storm through the session bus; its memory once it has hidden after it.
    double busStorm(int storm, bool warmup, double rssBefore);

    Session &session;
    const BenchOptions &options;
};

#endif // STORMS_H
