#include "Tour.h"

#include "channel/ModeReport.h"

namespace {

// Time for the overlay to come up after starting its companion.
constexpr int FirstDelayMs = 1500;
// Long enough for the cross-fade and the ring's pulse to play out.
constexpr int OpeningSpacingMs = 2000;
// Long enough for the overlay to hide between two reports.
constexpr int LoopSpacingMs = 10000;

// Each mode is entered (a mode change), then reported again with a colour (a colour change);
// mode 0 always plays as a mode change, so it closes the cycle.
constexpr ModeReport Steps[] = {
    {1, 0, 0, 0},
    {1, 255, 64, 0},
    {2, 0, 0, 0},
    {2, 0, 160, 255},
    {3, 0, 0, 0},
    {3, 255, 255, 255},
    {0, 0, 0, 0},
};
constexpr int StepCount = int(sizeof Steps / sizeof Steps[0]);

} // namespace

Tour::Step Tour::next()
{
    const ModeReport &report = Steps[position];
    const int delay = position == 0 && opening ? FirstDelayMs : opening ? OpeningSpacingMs : LoopSpacingMs;
    if (++position == StepCount) {
        position = 0;
        opening = false;
    }
    return {delay, report.encode()};
}
