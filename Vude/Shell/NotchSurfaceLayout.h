#pragma once
// The black notch surface the root view draws for a state: how big it is,
// how round its bottom corners are, how far its content is inset, whether it
// shows at all, and what content it carries with which transition. Plain
// values: the view animates between targets and draws what these say.
//
// Lengths are points in the view's own coordinates (top-left origin); the
// surface hangs from the view's top edge, centred.

#include "VudeKit/Geometry.h"
#include "VudeKit/NotchState.h"

#include <array>
#include <cstddef>

struct NotchSurfaceLayout {
    /// The surface is this much wider than the content size.
    static constexpr double extraWidth = 12;
    static constexpr double topRadius = 6;
    static constexpr double restingBottomRadius = 14;
    static constexpr double openBottomRadius = 34;
    /// The open Desk's content is inset by this much on either side; every
    /// other state by the `contentPadding` setting plus this.
    static constexpr double openPadding = 6;
    static constexpr double paddingBeyondSetting = 6;

    /// What the surface animates towards. Every field moves on the same
    /// spring, so a change caught mid-flight bends from where it is.
    struct Target {
        double width = 0;
        double height = 0;
        double bottomRadius = restingBottomRadius;
        double horizontalPadding = 0;
        double opacity = 1;

        static constexpr std::size_t fieldCount = 5;
        std::array<double, fieldCount> values() const
        {
            return {width, height, bottomRadius, horizontalPadding, opacity};
        }
        static Target fromValues(const std::array<double, fieldCount>& v) { return {v[0], v[1], v[2], v[3], v[4]}; }
        bool operator==(const Target&) const = default;
    };

    /// The surface for `state` whose content is `contentSize` (the view
    /// model's sizing): 12 wider than the content and as high, bottom corners
    /// 34 when open and 14 otherwise, transparent when hidden.
    static Target target(const NotchState& state, Size contentSize, double contentPadding);

    /// The surface `size` hanging from the top of a view `viewWidth` wide.
    static Rect surfaceRect(double viewWidth, Size size);
    /// Where the content goes: the surface less the padding on either side,
    /// at its full height.
    static Rect contentRect(const Rect& surface, double horizontalPadding);

    /// What the surface carries.
    enum class Content {
        none,
        /// The now-playing item beside the notch.
        ambientMedia,
        pill,
        expandedPill,
        /// The Desk's slot.
        desk,
        /// The symbol and "Drop to add".
        dropPrompt,
        /// One column per drop lane.
        dropLanes,
    };
    static Content content(const NotchState& state, std::size_t laneCount);

    /// How content comes and goes: it fades, and grows from or shrinks to
    /// `scale` about its centre (1: no scaling).
    struct Transition {
        double scale = 1;
        bool operator==(const Transition&) const = default;
    };
    static Transition transition(Content content);
    /// The opacity and scale of content at `presence` (0 gone ... 1 shown;
    /// a spring may overshoot 1, the opacity never does).
    static double opacity(double presence);
    static double scale(Content content, double presence);
};
