#include "VudeUI/PercentText.h"

#include "VudeKit/Numbers.h"

#include <cmath>
#include <cstdint>
#include <limits>

std::string percentText(double fraction)
{
    double percent = fraction * 100;
    if (!std::isfinite(percent))
        percent = 0;
    // A fraction written with a few decimals lands at most an ulp or so short
    // of its whole percent; a few ulps away from zero bring it back without
    // lifting a value that really is below (0.9999999999 stays 99 %).
    constexpr int kNudgeUlps = 4;
    const double awayFromZero = std::copysign(std::numeric_limits<double>::infinity(), percent);
    for (int step = 0; step < kNudgeUlps; ++step)
        percent = std::nextafter(percent, awayFromZero);
    return formatInteger(saturatingCast<std::int64_t>(percent)) + "%";
}
