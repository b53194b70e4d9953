#ifndef STARTUPRUNS_H
#define STARTUPRUNS_H

#include <string>
#include <vector>

struct BenchOptions;
class Session;
struct Stage;

// Fresh starts of both programs, taking turns at going first: the time and CPU to reach the idle
// event loop and memory at start, in rounds of a start of each side by side; then in each run one
// more start of each for the first report's time to pixel and the memory after the first display.
// The programs of the last run keep running for the scenarios that follow. The overlay starts again
// in each run where no session bus answers, for the memory its interface there costs, and on a
// 200 % screen with scaling on and off, for the memory scaling costs.
class StartupRuns
{
public:
    StartupRuns(Session &session, const BenchOptions &options);

    void run();

private:
    // How long a start took to the idle event loop, and the CPU time it used; NotMeasured when it
    // did not get there.
    struct Settled
    {
        double milliseconds, cpuMilliseconds;
    };

    // Starts the program with the given changes to its environment and waits until it is idle.
    Settled startAndSettle(Stage &stage, const std::vector<std::string> &changes);
    // Starts the program as it is, takes the figures of its start and stops it.
    void startAndMeasure(Stage &stage);
    // The overlay, the floor and the overlay with the package's icons installed, each started,
    // measured and stopped, side by side, in an order that turns with the round.
    void startRound(int round);
    // The overlay started with the package's icons installed, measured and stopped.
    void startWithIcons(Stage &overlay);

    Session &session;
    const BenchOptions &options;
};

#endif // STARTUPRUNS_H
