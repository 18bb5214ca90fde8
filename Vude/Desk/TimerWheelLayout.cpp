#include "Vude/Desk/TimerWheelLayout.h"

#include <algorithm>
#include <cmath>

double TimerWheelLayout::clamped(double offset) const
{
    if (std::isnan(offset) || count <= 0)
        return 0;
    return std::clamp(offset, 0.0, offsetOf(count - 1));
}

int TimerWheelLayout::nearestRow(double offset) const
{
    if (count <= 0 || !(rowHeight > 0))
        return 0;
    return int(std::lround(clamped(offset) / rowHeight));
}

int TimerWheelLayout::firstShown(double offset) const
{
    if (!(rowHeight > 0))
        return 0;
    return std::max(0, int(std::floor((offset - height() / 2) / rowHeight - 0.5)));
}

int TimerWheelLayout::lastShown(double offset) const
{
    if (!(rowHeight > 0))
        return -1;
    return std::min(count - 1, int(std::ceil((offset + height() / 2) / rowHeight + 0.5)));
}

bool HapticThrottle::admit(Date now)
{
    if (last && now - *last <= interval)
        return false;
    last = now;
    return true;
}
