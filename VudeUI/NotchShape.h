#pragma once
// The outline every notch surface is drawn in: a body hanging from the top
// edge whose two top corners flare outward into the menu bar and whose two
// bottom corners are rounded. Both radii animate, so the outline morphs
// between the closed notch, the activity pill and the open Desk.

#include "VudeUI/ShapePath.h"

#include <array>

class NotchShape {
public:
    NotchShape(double topRadius, double bottomRadius) : m_topRadius(topRadius), m_bottomRadius(bottomRadius) {}

    double topRadius() const { return m_topRadius; }
    double bottomRadius() const { return m_bottomRadius; }

    /// The pair that animates: (topRadius, bottomRadius).
    std::array<double, 2> animatableData() const { return {m_topRadius, m_bottomRadius}; }
    void setAnimatableData(const std::array<double, 2>& data)
    {
        m_topRadius = data[0];
        m_bottomRadius = data[1];
    }

    /// The outline filling `rect`, whose minimum y is the top edge. The top
    /// edge spans the full width; the body below the flares is narrower by
    /// twice the (clamped) top radius. Radii are clamped to what fits, and a
    /// negative or NaN radius counts as 0.
    ShapePath path(const UIRect& rect) const;

    bool operator==(const NotchShape&) const = default;

private:
    double m_topRadius;
    double m_bottomRadius;
};
