#include "VudeUI/PercentText.h"

#include "VudeKit/Numbers.h"

#include <cmath>
#include <cstdint>

std::string percentText(double fraction)
{
    double percent = fraction * 100;
    if (!std::isfinite(percent))
        percent = 0;
    // Far below a hundredth of a percent, far above the error of one multiply.
    constexpr double kNudge = 1e-9;
    percent += std::copysign(kNudge * std::max(1.0, std::abs(percent)), percent);
    return formatInteger(saturatingCast<std::int64_t>(percent)) + "%";
}
