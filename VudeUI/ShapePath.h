#pragma once
// A drawing path as plain values: moves, lines, quadratic curves and closes,
// in points with y growing downward. Shapes build one without Qt; the Qt
// adapter (VudeUI/qt/QtPath.h) turns it into a QPainterPath.

#include "VudeKit/Geometry.h"

#include <variant>
#include <vector>

// The outline is drawn top-down (y grows downward).
using UIPoint = Point;
using UIRect = Rect;

class ShapePath {
public:
    struct MoveTo {
        UIPoint point;
        bool operator==(const MoveTo&) const = default;
    };
    struct LineTo {
        UIPoint point;
        bool operator==(const LineTo&) const = default;
    };
    struct QuadTo {
        UIPoint control;
        UIPoint point;
        bool operator==(const QuadTo&) const = default;
    };
    struct Close {
        bool operator==(const Close&) const = default;
    };
    using Element = std::variant<MoveTo, LineTo, QuadTo, Close>;

    void moveTo(UIPoint point) { m_elements.emplace_back(MoveTo{point}); }
    void lineTo(UIPoint point) { m_elements.emplace_back(LineTo{point}); }
    void quadTo(UIPoint control, UIPoint point) { m_elements.emplace_back(QuadTo{control, point}); }
    void close() { m_elements.emplace_back(Close{}); }

    const std::vector<Element>& elements() const { return m_elements; }

    bool operator==(const ShapePath&) const = default;

private:
    std::vector<Element> m_elements;
};
