#pragma once
// Which part of a notch hosting view takes the pointer: the interactive
// rectangle, widened by the drop rectangle while a drag is inside or armed.
// The same rectangles become the window's input shape, so everything else
// clicks through to the windows below. View coordinates, in points.

#include "VudeKit/Geometry.h"

#include <QRect>

#include <vector>

struct NotchHitArea {
    Rect interactiveRect;
    Rect dropRect;
    bool isDragging = false;
    bool isArmed = false;

    /// The rectangles that take input, empty ones left out: none at all when
    /// nothing may take input (a hidden notch).
    std::vector<Rect> activeRects() const;
    bool contains(Point point) const;

    /// `rects` as the window's device pixels at `scale`, grown outward to
    /// whole pixels and cut to a window of `viewSize` points.
    static std::vector<QRect> devicePixelRects(const std::vector<Rect>& rects, Size viewSize, double scale);
};
