#ifndef BENCH_H
#define BENCH_H

#include "Clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ResultTable;
class Subject;
class TrayHost;
class XServer;

// The whole measurement: the overlay and the floor, each on an X server of its own with a tray,
// driven through the same scenario turn by turn, and the table of what was seen.
class Bench
{
public:
    struct Options
    {
        std::string overlay;
        std::string floor;
        std::string workDirectory;
        std::string paintResults;
        int runs = 5;
        int cycles = 7;
        int warmupStorms = 4;
        int storms = 3;
        int stormSize = 6000;
        int idleSeconds = 60;
    };

    explicit Bench(Options options);
    ~Bench();

    // Runs everything and prints the table.
    void run();

private:
    struct Figures
    {
        std::vector<double> startup, startupCpu, rssStart, pssStart, rssDisplay, firstReport, modeReport,
            colorReport, modeCpu, pulseCpu, stormDrain, stormResponse, growth;
        long holdDrawings = 0;
        long stormSent = 0;
        long stormLogged = 0;
        double idleTicks = 0;
        double idleSwitches = 0;
        int libraries = 0;
        bool docked = false;
        // The mode the program shows, as the sender follows it.
        int mode = 0;
    };
    struct Stage;

    void pump(int maxWaitMs);
    bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    void waitUntil(TimePoint moment);
    bool waitHidden();

    void startAndSettle(Stage &stage);
    double reportToPixel(
        Subject &subject, uint32_t parameter, int x, int y, std::function<bool(uint32_t)> accept);
    void startRuns();
    void displayCycles();
    void storms();
    void idle();
    void readPaintResults(ResultTable &table) const;
    void fillTable(ResultTable &table) const;

    Options options;
    std::vector<std::unique_ptr<Stage>> stages;
};

#endif // BENCH_H
