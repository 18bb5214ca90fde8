#include "VudeUI/qt/ContinuousCorners.h"

#include <algorithm>
#include <cmath>

namespace {

// One corner as three cubic segments, in multiples of the radius, measured
// from the corner point along the two edges.
constexpr double kReach = 1.52866;

} // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double r = std::isfinite(radius) ? std::max(0.0, radius) : 0.0;
    const double half = std::min(rect.width(), rect.height()) / 2;
    if (r <= 0) {
        path.addRect(rect);
        return path;
    }
    if (r * kReach > half) {
        const double circular = std::min(r, half);
        path.addRoundedRect(rect, circular, circular);
        return path;
    }
    const double l = rect.left(), t = rect.top(), rt = rect.right(), b = rect.bottom();
    // (along the first edge, along the second edge) offsets from the corner.
    auto corner = [&](QPointF origin, QPointF first, QPointF second) {
        // `first` points from the corner back along the incoming edge,
        // `second` along the outgoing one; both unit vectors.
        auto at = [&](double a, double c) { return origin + first * (a * r) + second * (c * r); };
        path.cubicTo(at(1.08849, 0), at(0.86284, 0), at(0.63149, 0.07491));
        path.cubicTo(at(0.37282, 0.16906), at(0.16906, 0.37282), at(0.07491, 0.63149));
        path.cubicTo(at(0, 0.86284), at(0, 1.08849), at(0, kReach));
    };
    path.moveTo(l + kReach * r, t);
    path.lineTo(rt - kReach * r, t);
    corner({rt, t}, {-1, 0}, {0, 1});
    path.lineTo(rt, b - kReach * r);
    corner({rt, b}, {0, -1}, {-1, 0});
    path.lineTo(l + kReach * r, b);
    corner({l, b}, {1, 0}, {0, -1});
    path.lineTo(l, t + kReach * r);
    corner({l, t}, {0, 1}, {1, 0});
    path.closeSubpath();
    return path;
}
