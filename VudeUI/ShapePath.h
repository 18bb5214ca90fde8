#pragma once
// A drawing path as plain values: moves, lines, quadratic curves and closes,
// in points with y growing downward. Shapes build one without Qt; the Qt
// adapter (VudeUI/qt/QtPath.h) turns it into a QPainterPath.

#include <variant>
#include <vector>

struct UIPoint {
    double x = 0;
    double y = 0;
    bool operator==(const UIPoint&) const = default;
};

struct UIRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    bool operator==(const UIRect&) const = default;
};

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
