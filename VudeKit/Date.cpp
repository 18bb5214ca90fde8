#include "VudeKit/Date.h"

#include "VudeKit/Numbers.h"

#include <limits>

double secondsSinceReferenceDate(Date date)
{
    return toSeconds(date - kReferenceDate);
}

Date dateFromSecondsSinceReferenceDate(double seconds)
{
    return saturatingAdd(kReferenceDate, durationFromSeconds(seconds));
}

Date saturatingAdd(Date date, Duration by)
{
    using Rep = Duration::rep;
    const Rep base = date.time_since_epoch().count();
    const Rep step = by.count();
    if (step > 0 && base > std::numeric_limits<Rep>::max() - step)
        return Date::max();
    if (step < 0 && base < std::numeric_limits<Rep>::min() - step)
        return Date::min();
    return date + by;
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
