#include "VudeKit/ClockSource.h"

Date SystemClock::now() const
{
    return std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
}

Date SteadyClock::now() const
{
    // Counted from the reference date so the readings stay small, positive
    // and exact in a double of seconds.
    return kReferenceDate + std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch());
}
