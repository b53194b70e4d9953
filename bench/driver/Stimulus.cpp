#include "Stimulus.h"

#include "channel/ModeReport.h"

#include <cstdlib>

namespace Stimulus {

namespace {

// Both programs draw these parts with alpha 230.
constexpr int DrawnAlpha = 230;

bool near(int value, int expected)
{
    return std::abs(value - expected) <= 6;
}

int channel(uint32_t pixel, int shift)
{
    return int((pixel >> shift) & 0xff);
}

} // namespace

uint32_t report(int mode, Rgb color)
{
    return ModeReport {uint8_t(mode), uint8_t(color.red), uint8_t(color.green), uint8_t(color.blue)}.encode();
}

bool drawn(uint32_t pixel)
{
    return near(channel(pixel, 24), DrawnAlpha);
}

std::function<bool(uint32_t)> showsColor(Rgb color)
{
    return [color](uint32_t pixel) {
        return drawn(pixel) && near(channel(pixel, 16), color.red * DrawnAlpha / 255) &&
            near(channel(pixel, 8), color.green * DrawnAlpha / 255) &&
            near(channel(pixel, 0), color.blue * DrawnAlpha / 255);
    };
}

int nextMode(int mode)
{
    return mode % 3 + 1;
}

} // namespace Stimulus
