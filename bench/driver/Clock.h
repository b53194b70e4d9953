#ifndef CLOCK_H
#define CLOCK_H

#include <chrono>

// Every time in the driver is read from the monotonic clock.
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

inline double millisecondsBetween(TimePoint from, TimePoint to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

inline TimePoint after(TimePoint from, int milliseconds)
{
    return from + std::chrono::milliseconds(milliseconds);
}

#endif // CLOCK_H
