#pragma once
// Turns a stream of scroll deltas over the notch into at most one swipe per
// burst: it sums the deltas, locks onto the dominant axis early, fires once
// the sum along that axis reaches the threshold, waits a cooldown between
// fires and forgets a burst after a short pause. A plain value: the caller
// passes each event's time and copies the direction settings in before every
// call.

#include "VudeKit/Date.h"
#include "VudeKit/NotchState.h"

#include <chrono>
#include <optional>

enum class ScrollIntent { up, down, left, right };

/// The phase of a scroll event as the platform reports it; `none` is used for
/// momentum and phase-less wheel events.
enum class SwipePhase { began, changed, ended, cancelled, none };

class ScrollGestureRecognizer {
public:
    /// Summed delta along the locked axis needed to fire (px).
    double threshold = 18;
    /// Minimum time between two fires.
    Duration cooldown = std::chrono::milliseconds(400);
    /// A pause longer than this starts a new burst.
    Duration idleReset = std::chrono::milliseconds(250);
    /// Flips the vertical direction (the "natural" scrolling setting).
    bool naturalVertical = false;
    /// Flips the horizontal direction.
    bool invertHorizontal = false;

    double accumulatedX = 0;
    double accumulatedY = 0;
    std::optional<Date> lastFire;
    std::optional<Date> lastEvent;

    /// Feeds one scroll event; returns the swipe this event completes, if any.
    /// A delta that is not a finite number counts as zero.
    std::optional<ScrollIntent> consume(double deltaX, double deltaY, SwipePhase phase, Date now);

    /// Clears both sums and the axis lock; keeps the last fire and event times.
    void reset();

    /// The notch event for a swipe; the state does not change the answer.
    static NotchEvent event(ScrollIntent intent, const NotchState& state);

private:
    enum class Axis { none, vertical, horizontal };
    Axis m_lockedAxis = Axis::none;
};
