#ifndef BENCH_H
#define BENCH_H

#include "BenchOptions.h"
#include "Session.h"

// The whole measurement: the overlay and the floor, each on an X server of its own with a tray,
// driven through the same scenarios turn by turn, and the table of what was seen.
class Bench
{
public:
    explicit Bench(BenchOptions options);

    // Runs everything and prints the table.
    void run();

private:
    BenchOptions options;
    Session session;
};

#endif // BENCH_H
