#include "Vude/Shell/NotchHitArea.h"

#include <algorithm>
#include <cmath>

namespace {

bool isEmpty(const Rect& rect) { return !(rect.width > 0) || !(rect.height > 0); }

} // namespace

std::vector<Rect> NotchHitArea::activeRects() const
{
    std::vector<Rect> rects;
    if (!isEmpty(interactiveRect))
        rects.push_back(interactiveRect);
    if ((isDragging || isArmed) && !isEmpty(dropRect))
        rects.push_back(dropRect);
    return rects;
}

bool NotchHitArea::contains(Point point) const
{
    const std::vector<Rect> rects = activeRects();
    return std::any_of(rects.begin(), rects.end(), [&](const Rect& rect) { return rect.contains(point); });
}

std::vector<QRect> NotchHitArea::devicePixelRects(const std::vector<Rect>& rects, Size viewSize, double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1;
    const double maxX = std::floor(viewSize.width * scale);
    const double maxY = std::floor(viewSize.height * scale);
    std::vector<QRect> pixels;
    for (const Rect& rect : rects) {
        const double left = std::clamp(std::floor(rect.minX() * scale), 0.0, maxX);
        const double top = std::clamp(std::floor(rect.minY() * scale), 0.0, maxY);
        const double right = std::clamp(std::ceil(rect.maxX() * scale), 0.0, maxX);
        const double bottom = std::clamp(std::ceil(rect.maxY() * scale), 0.0, maxY);
        if (right > left && bottom > top)
            pixels.emplace_back(int(left), int(top), int(right - left), int(bottom - top));
    }
    return pixels;
}
