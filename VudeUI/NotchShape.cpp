#include "VudeUI/NotchShape.h"

#include <algorithm>
#include <cmath>

namespace {

/// max(0, min(limit, radius)); a NaN radius or limit gives 0.
double clampedRadius(double radius, double limit)
{
    if (std::isnan(radius) || std::isnan(limit))
        return 0;
    return std::max(0.0, std::min(limit, radius));
}

} // namespace

ShapePath NotchShape::path(const UIRect& rect) const
{
    const double w = rect.width;
    const double h = rect.height;
    const double t = clampedRadius(m_topRadius, std::min(h, w / 2));
    const double b = clampedRadius(m_bottomRadius, std::min(h - t, w / 2 - t));
    const double minX = rect.minX();
    const double maxX = rect.maxX();
    const double minY = rect.minY();
    const double maxY = rect.maxY();

    ShapePath path;
    path.moveTo({minX, minY});
    path.quadTo({minX + t, minY}, {minX + t, minY + t});
    path.lineTo({minX + t, maxY - b});
    path.quadTo({minX + t, maxY}, {minX + t + b, maxY});
    path.lineTo({maxX - t - b, maxY});
    path.quadTo({maxX - t, maxY}, {maxX - t, maxY - b});
    path.lineTo({maxX - t, minY + t});
    path.quadTo({maxX - t, minY}, {maxX, minY});
    path.close();
    return path;
}
