#ifndef STARTUPRUNS_H
#define STARTUPRUNS_H

struct BenchOptions;
class Session;
struct Stage;

// Fresh starts of both programs, taking turns at going first: the time and CPU to reach the idle
// event loop, memory at start and after the first display, and the first report's time to pixel.
// The programs of the last run keep running for the scenarios that follow.
class StartupRuns
{
public:
    StartupRuns(Session &session, const BenchOptions &options);

    void run();

private:
    void startAndSettle(Stage &stage);

    Session &session;
    const BenchOptions &options;
};

#endif // STARTUPRUNS_H
