#include "VudeKit/Date.h"

#include "VudeKit/Numbers.h"

double secondsSinceReferenceDate(Date date)
{
    return toSeconds(date - kReferenceDate);
}

Date dateFromSecondsSinceReferenceDate(double seconds)
{
    return kReferenceDate + durationFromSeconds(seconds);
}

double toSeconds(Duration duration)
{
    return static_cast<double>(duration.count()) / 1e6;
}

Duration durationFromSeconds(double seconds)
{
    // Scaling before rounding keeps the round trip through toSeconds exact for
    // any count below 2^52 µs (about 140 years).
    return Duration{saturatingRound<std::int64_t>(seconds * 1e6)};
}
