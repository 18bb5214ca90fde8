#include "Platform/Core/BootTimeClock.h"

#include <time.h>

Date BootTimeClock::now() const
{
    timespec reading{};
    // CLOCK_BOOTTIME is CLOCK_MONOTONIC plus the time suspended; it cannot
    // fail on any kernel this app runs on, but fall back rather than read
    // garbage.
    if (clock_gettime(CLOCK_BOOTTIME, &reading) != 0)
        clock_gettime(CLOCK_MONOTONIC, &reading);
    const auto sinceBoot = std::chrono::seconds(reading.tv_sec) + std::chrono::nanoseconds(reading.tv_nsec);
    return kReferenceDate + std::chrono::duration_cast<Duration>(sinceBoot);
}
