#include "Stimulus.h"

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
    return uint32_t(mode) << 24 | uint32_t(color.red) << 16 | uint32_t(color.green) << 8 |
        uint32_t(color.blue);
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
