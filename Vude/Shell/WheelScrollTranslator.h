#pragma once
// Turns wheel events into the swipe recogniser's input: deltas in points and
// a gesture phase. Touchpads that report phases keep theirs. A mouse wheel
// reports neither points nor phases, so a notch (120 of Qt's angle units)
// counts `pointsPerNotch` points, and a gesture begins at the first event
// after a pause of `gestureGap`, continues while events keep coming and ends
// once they stop for that long. One notch thus stays below the recogniser's
// 18-point threshold and a quick flick of three notches passes it; slow
// single clicks are separate gestures and never add up.

#include "VudeKit/Date.h"
#include "VudeKit/Geometry.h"
#include "VudeKit/ScrollGestureRecognizer.h"

#include <chrono>
#include <optional>

/// The phase of a wheel event as Qt reports it (Qt::ScrollPhase).
enum class WheelPhase { none, began, changed, ended, momentum };

struct WheelInput {
    /// Eighths of a degree: 120 per notch, fractions on fine wheels.
    Point angleDelta;
    /// Points, from touchpads with smooth scrolling; zero when unknown.
    Point pixelDelta;
    WheelPhase phase = WheelPhase::none;
    Date time;
};

struct ScrollStep {
    double dx = 0;
    double dy = 0;
    SwipePhase phase = SwipePhase::none;
    bool operator==(const ScrollStep&) const = default;
};

class WheelScrollTranslator {
public:
    static constexpr double pointsPerNotch = 8;
    static constexpr Duration gestureGap = std::chrono::milliseconds(200);

    ScrollStep translate(const WheelInput& input);

    /// When the gesture a wheel opened ends if nothing else comes; nothing
    /// when no such gesture is open.
    std::optional<Date> endDue() const;
    /// The closing step of that gesture once its end is due at `now`.
    std::optional<ScrollStep> finish(Date now);

private:
    std::optional<Date> m_lastWheelEvent;
};
