#pragma once
// Where a notch panel's backdrop goes and whether its glow must be drawn
// again: the decisions of NotchPanel::syncBackdrop as a plain value, so they
// are tested without windows. Rectangles are Qt global coordinates (y grows
// downward), in points.

#include "VudeKit/Geometry.h"

#include <optional>

struct NotchBackdropLayout {
    /// The glow's margin around the notch shape, left, right and below.
    static constexpr double feather = 26;
    static constexpr double topRadius = 6;

    /// The notch shape drawn inside a canvas: the canvas less its margins.
    static Size shapeSize(Size drawnCanvas);

    /// The window for a panel at `panelFrame` drawing `drawnCanvas`, before
    /// the screen clips it: the shape centred on the panel and hanging from
    /// its top, grown by the feather.
    static Rect unclippedFrame(Rect panelFrame, Size drawnCanvas);

    struct Placement {
        /// The backdrop window's frame: the unclipped frame inside the screen.
        Rect frame;
        /// Where the glow image lies in the window's own coordinates; it
        /// keeps its offset when the screen cuts off part of the window.
        Rect glowRect;
        /// What the glow image is rendered for.
        Size windowSize;
        Size shapeSize;
    };
    /// Nothing when the frame left on the screen is not wider and taller than
    /// one point.
    static std::optional<Placement> place(Rect panelFrame, Size drawnCanvas, Rect screenFrame);

    /// What the image on show was rendered for; nothing rendered yet at first.
    struct Rendered {
        Size windowSize;
        double bottomRadius = -1;
        double scale = 0;
        bool operator==(const Rendered&) const = default;
    };
    /// Moving the panel changes none of these, so it never renders again.
    static bool needsRender(const Rendered& shown, const Placement& placement, double bottomRadius, double scale)
    {
        return shown != Rendered{placement.windowSize, bottomRadius, scale};
    }
};
