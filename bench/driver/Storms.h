#ifndef STORMS_H
#define STORMS_H

struct BenchOptions;
class Session;

// Report storms: how long each program takes to log every report of a burst, whether it still
// answers the next report, and how its memory grows once the warm-up storms have settled it.
class Storms
{
public:
    Storms(Session &session, const BenchOptions &options);

    void run();

private:
    Session &session;
    const BenchOptions &options;
};

#endif // STORMS_H
