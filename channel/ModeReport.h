#ifndef MODEREPORT_H
#define MODEREPORT_H

#include <cstdint>

// One report of the accessory's state as the companion sends it: a 32-bit parameter that packs
// mode << 24 | R << 16 | G << 8 | B. Plain C++, so that programs without Qt (the benchmark
// driver) speak the same format.
struct ModeReport
{
    std::uint8_t mode = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    static constexpr ModeReport decode(std::uint32_t parameter)
    {
        return {std::uint8_t(parameter >> 24), std::uint8_t(parameter >> 16), std::uint8_t(parameter >> 8),
            std::uint8_t(parameter)};
    }

    // The display shows modes 0 to 3; a report of any other is refused.
    constexpr bool known() const { return mode <= 3; }

    constexpr std::uint32_t encode() const
    {
        return std::uint32_t(mode) << 24 | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue;
    }
};

#endif // MODEREPORT_H
