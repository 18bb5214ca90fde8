#include "VudeServices/BrightnessState.h"

#include "VudeKit/Numbers.h"

#include <cmath>

std::optional<double> validBacklightLevel(std::optional<double> level)
{
    if (!level || !std::isfinite(*level) || *level < 0 || *level > 1)
        return std::nullopt;
    return *level + 0.0; // -0 + 0 is +0
}

double clampedBacklightLevel(double level)
{
    return clampedOrLower(level, 0, 1) + 0.0;
}
