#include "VudeKit/ClockSource.h"

Date SystemClock::now() const
{
    return std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
}
