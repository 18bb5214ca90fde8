#include "Vude/Desk/TimerLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

/// Whole seconds from a double, saturating instead of overflowing.
long long wholeSeconds(double seconds)
{
    constexpr double largest = 9.0e15;
    if (!(seconds > 0))
        return 0;
    return (long long)std::min(seconds, largest);
}

std::string twoDigits(long long value)
{
    return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

} // namespace

double TimerLayout::remaining(const NotchTimer& timer, Date now)
{
    if (timer.startedAt) {
        const double elapsed = toSeconds(now - *timer.startedAt);
        return std::max(0.0, timer.total - elapsed);
    }
    return timer.pausedRemaining.value_or(timer.total);
}

std::string TimerLayout::formatted(double seconds)
{
    const long long t = wholeSeconds(std::ceil(std::isnan(seconds) ? 0.0 : seconds));
    const long long h = t / 3600;
    const long long m = (t % 3600) / 60;
    const long long s = t % 60;
    if (t < 3600)
        return std::to_string(m) + ":" + twoDigits(s);
    return std::to_string(h) + ":" + twoDigits(m) + ":" + twoDigits(s);
}

double TimerLayout::progress(double total, double remaining)
{
    if (!(total > 0))
        return 0;
    return std::clamp(1 - remaining / total, 0.0, 1.0);
}

std::string TimerLayout::presetText(double seconds)
{
    if (seconds < 3600)
        return std::to_string(wholeSeconds(seconds / 60)) + "m";
    return std::to_string(wholeSeconds(seconds / 3600)) + "h";
}

DurationComponents DurationComponents::of(double duration)
{
    constexpr long long largest = (long long)hourCount * 3600 - 1;
    const long long s = std::min(wholeSeconds(duration), largest);
    return {int(s / 3600), int((s % 3600) / 60), int(s % 60)};
}
