#ifndef FIGURES_H
#define FIGURES_H

#include <limits>
#include <vector>

// A figure that could not be taken: the table shows it as "n/a".
constexpr double NotMeasured = std::numeric_limits<double>::quiet_NaN();

// What the scenarios measured of one program.
struct Figures
{
    std::vector<double> startup, startupCpu, rssStart, pssStart, rssDisplay, firstReport, modeReport,
        cycleModeReport, colorReport, modeCpu, pulseCpu, stormDrain, stormResponse, growth;
    long holdDrawings = 0;
    long stormSent = 0;
    long stormLogged = 0;
    // The overlay alone: reports through the session bus, and its memory where no bus answers.
    std::vector<double> rssWithoutBus, busModeReport, busStormDrain, busStormResponse, busGrowth;
    // Its start where the icon theme holds the package's icons.
    std::vector<double> startupCpuIcons, rssIcons;
    // Its memory idle after start on a 200 % screen, with Qt's scaling on and off.
    std::vector<double> rssScaled, rssUnscaled;
    long busStormSent = 0;
    long busStormAnswered = 0;
    double idleTicks = 0;
    double idleSwitches = 0;
    int libraries = 0;
    bool docked = false;
    // The mode the program shows, as the sender follows it.
    int mode = 0;
};

#endif // FIGURES_H
