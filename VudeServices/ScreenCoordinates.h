#pragma once
// The one conversion between Qt's global coordinates (origin top left, y
// growing downwards), in which screens are described, and the bottom-left
// coordinates (y growing upwards) the notch geometry is measured in.
//
// Every screen flips about the same horizontal axis, set by the primary
// screen: its bottom edge is y 0 and its top edge y = its height, so a
// screen above or below it lands above or below it in both systems. x is the
// same in both.

#include "Platform/Display/ScreenProvider.h"
#include "VudeKit/Geometry.h"

#include <vector>

class ScreenCoordinates {
public:
    /// `primaryFrame`: the primary screen's frame in Qt's coordinates.
    explicit ScreenCoordinates(const Rect& primaryFrame) : m_axis(primaryFrame.maxY()) {}

    /// For these screens: the primary one, else the first; with no screen at
    /// all, Qt's y 0 is the bottom edge.
    static ScreenCoordinates forScreens(const std::vector<ScreenDescription>& screens);

    Point fromTopLeft(Point point) const { return {point.x, m_axis - point.y}; }
    Point toTopLeft(Point point) const { return {point.x, m_axis - point.y}; }
    /// A rectangle's top-left origin becomes its bottom-left one and back.
    Rect fromTopLeft(const Rect& rect) const { return {rect.x, m_axis - rect.maxY(), rect.width, rect.height}; }
    Rect toTopLeft(const Rect& rect) const { return {rect.x, m_axis - rect.maxY(), rect.width, rect.height}; }

private:
    double m_axis; // the primary screen's bottom edge in Qt's coordinates
};
