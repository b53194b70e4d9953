#ifndef IDLEWINDOW_H
#define IDLEWINDOW_H

struct BenchOptions;
class Session;

// Both programs hidden and left alone: the CPU ticks and wake-ups of the idle window.
class IdleWindow
{
public:
    IdleWindow(Session &session, const BenchOptions &options);

    void run();

private:
    Session &session;
    const BenchOptions &options;
};

#endif // IDLEWINDOW_H
