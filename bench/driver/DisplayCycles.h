#ifndef DISPLAYCYCLES_H
#define DISPLAYCYCLES_H

struct BenchOptions;
class Session;

// Display cycles from hidden: a mode change, then a colour change in that mode, each timed from
// report to pixel with the CPU it costs, and the drawings during the hold that follows; then the
// overlay's mode change from hidden once more, through the session bus.
class DisplayCycles
{
public:
    DisplayCycles(Session &session, const BenchOptions &options);

    void run();

private:
    Session &session;
    const BenchOptions &options;
};

#endif // DISPLAYCYCLES_H
