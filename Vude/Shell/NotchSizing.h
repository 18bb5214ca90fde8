#pragma once
// How big a screen's notch is in each state, the window (the canvas) that
// holds it, the band of that window that takes the pointer, where the window
// hangs, and when a resize happens. Plain values: the view model hands in its
// geometry, hover hint, Desk layout and padding setting, and carries the
// answers out on its panel.
//
// Lengths are points. Frames from `notchFrame` are in the bottom-left
// coordinates of the notch geometry; rectangles from `interactiveRect` are
// the window's own (top-left origin).

#include "VudeKit/Date.h"
#include "VudeKit/Geometry.h"
#include "VudeKit/NotchState.h"
#include "VudeKit/WidgetLayout.h"
#include "VudeServices/NotchGeometry.h"
#include "VudeUI/ActivityMetrics.h"

#include <chrono>

struct NotchSizing {
    /// A hovered closed notch grows by this much.
    static constexpr Size closedHoverGrowth{14, 6};
    static constexpr double peekGrowth = 200;
    static constexpr double peekMinimumHeight = 20;
    static constexpr double ambientGrowth = 92;
    static constexpr double ambientMinimumHeight = 30;
    /// A hovered ambient now-playing pill is this much taller than at rest.
    static constexpr double ambientHoverExtraHeight = 24;
    static constexpr double pillMinimumHeight = 32;
    static constexpr double expandedPillHeight = 48;
    /// The open Desk is at least the notch plus this wide: a 288-point
    /// header, 32 and 36 of spacing and 16 of padding.
    static constexpr double openWidthFloor = 288 + 32 + 36 + 16;
    /// The open Desk leaves this much of the screen's width free.
    static constexpr double openScreenMargin = 80;
    static constexpr double dropTargetGrowth = 520;
    static constexpr double dropTargetScreenMargin = 40;
    static constexpr double dropTargetHeight = 150;
    static constexpr double defaultRavoHeight = 176;
    /// The open Desk's header is the notch's height, but never less than
    /// this: a handler a few points high would cut its tabs.
    static constexpr double openHeaderMinimumHeight = 32;
    /// The canvas is the content plus this margin.
    static constexpr Size canvasMargin{24, 6};
    /// The canvas of a notch that shows nothing is the notch's width by this.
    static constexpr double emptyCanvasHeight = 4;
    /// A smaller window waits for the new state's animation to settle: the
    /// responses of the open and close springs.
    static constexpr Duration openShrinkDelay = std::chrono::milliseconds(420);
    static constexpr Duration shrinkDelay = std::chrono::milliseconds(340);

    const NotchGeometry& geometry;
    /// The state shown now; the Desk's height is the one of this state.
    const NotchState& currentState;
    bool isHovering = false;
    const ZeriRuvuzi& layout;
    /// The `contentPadding` setting.
    double contentPadding = 12;
    const ActivityMetrics& metrics;

    /// An ambient now-playing pill: `activity` of a now-playing payload of
    /// ambient priority (never a peek or an expanded pill).
    static bool isAmbientMedia(const NotchState& state);

    /// The size of the notch's content in `state`.
    Size contentSize(const NotchState& state) const;
    /// The height of the Desk's content area: the tallest placed widget when
    /// the Desk is open on its widget row, else 176.
    double ravoHeight() const;
    /// The height of the open Desk's header: the notch's, or 32 under a
    /// shorter one.
    double openHeaderHeight() const;
    /// The window for `state`: the content plus the margins, or the notch's
    /// width by 4 when there is no content.
    Size canvas(const NotchState& state) const;
    /// The part of a window `size` wide that takes the pointer in the current
    /// state: the current canvas, centred horizontally; nothing when hidden.
    Rect interactiveRect(Size size) const;
    /// Where the window for `canvas` goes: clamped to the screen, centred on
    /// the notch, hanging from the top edge.
    Rect notchFrame(Size canvas) const;

    /// A window must grow at once when the target is wider or taller than the
    /// window being sized to (either one); otherwise it shrinks later.
    static bool growsNow(Size current, Size target) { return current.width < target.width || current.height < target.height; }
    /// How long a shrink towards `target` waits.
    static Duration shrinkDelayTo(const NotchState& target) { return target.isOpen() ? openShrinkDelay : shrinkDelay; }
};
