#ifndef BENCHOPTIONS_H
#define BENCHOPTIONS_H

#include <string>

// What the driver measures and how often, as given on its command line.
struct BenchOptions
{
    std::string overlay;
    std::string floor;
    std::string workDirectory;
    std::string paintResults;
    // A data folder whose icons/hicolor holds the package's icons, as installed.
    std::string iconData;
    int runs = 5;
    // Rounds of fresh starts in a run, a start of each program side by side: a start's CPU time
    // moves by a sixth from one start to the next.
    int starts = 3;
    int cycles = 15;
    int warmupStorms = 4;
    int storms = 3;
    int stormSize = 6000;
    int busStormSize = 10000;
    int idleSeconds = 60;
};

#endif // BENCHOPTIONS_H
