#ifndef STIMULUS_H
#define STIMULUS_H

#include <cstdint>
#include <functional>

// What the scenarios send and the pixels they watch for.
namespace Stimulus {

// The display sequences the overlay plays: the cross-fade of a mode change lasts 1 s, the ring's
// pulse 1.2 s; the hold measured for drawings starts after both.
constexpr int ModeChangeMs = 1000;
constexpr int ColorDelayMs = 1400;
constexpr int PulseMs = 1200;
constexpr int HoldFromMs = 1500;

// The probes: a point of the dark disc (drawn by both programs as soon as they show) and a point
// of the ring (the overlay) or of the coloured disc (the floor).
constexpr int DiscX = 88;
constexpr int DiscY = 40;
constexpr int RingX = 88;
constexpr int RingY = 20;

struct Rgb
{
    int red, green, blue;
};

constexpr Rgb Palette[] = {
    {230, 40, 40}, {40, 200, 60}, {50, 80, 230}, {240, 200, 30}, {200, 60, 220}, {30, 210, 210}};
constexpr Rgb Dark = {20, 20, 20};

uint32_t report(int mode, Rgb color);

// A drawn part of the window rather than the bare window: its alpha is the one both programs use.
bool drawn(uint32_t pixel);

// The pixel shows the colour, premultiplied by the drawing's alpha as the window stores it.
std::function<bool(uint32_t)> showsColor(Rgb color);

// The mode that follows in the accessory's cycle of the three modes that keep their colour.
int nextMode(int mode);

} // namespace Stimulus

#endif // STIMULUS_H
