#include "VudeKit/ScrollGestureRecognizer.h"

#include <algorithm>
#include <cmath>

namespace {

// One NaN from a misbehaving device would poison the sums for the whole burst.
double finiteOrZero(double delta) { return std::isfinite(delta) ? delta : 0; }

} // namespace

std::optional<ScrollIntent> ScrollGestureRecognizer::consume(double deltaX, double deltaY, SwipePhase phase,
                                                              Date now)
{
    if (lastEvent && now - *lastEvent > idleReset)
        reset();
    lastEvent = now;

    switch (phase) {
    case SwipePhase::ended:
    case SwipePhase::cancelled:
        // The deltas of the closing event are dropped: lifting the fingers
        // must not complete a swipe.
        reset();
        return std::nullopt;
    case SwipePhase::began:
        reset();
        break;
    case SwipePhase::changed:
    case SwipePhase::none:
        break;
    }

    accumulatedX += finiteOrZero(deltaX);
    accumulatedY += finiteOrZero(deltaY);

    const double magnitudeX = std::abs(accumulatedX);
    const double magnitudeY = std::abs(accumulatedY);
    if (m_lockedAxis == Axis::none && std::max(magnitudeX, magnitudeY) >= threshold / 3)
        m_lockedAxis = magnitudeX <= magnitudeY ? Axis::vertical : Axis::horizontal;

    // The sums are kept through the cooldown, so a long swipe fires again as
    // soon as it ends.
    if (lastFire && now - *lastFire < cooldown)
        return std::nullopt;

    std::optional<ScrollIntent> intent;
    switch (m_lockedAxis) {
    case Axis::none:
        return std::nullopt;
    case Axis::vertical:
        if (magnitudeY >= threshold)
            intent = (naturalVertical ? accumulatedY < 0 : accumulatedY > 0) ? ScrollIntent::down : ScrollIntent::up;
        break;
    case Axis::horizontal:
        if (magnitudeX >= threshold)
            intent = (invertHorizontal ? accumulatedX > 0 : accumulatedX < 0) ? ScrollIntent::left
                                                                               : ScrollIntent::right;
        break;
    }
    if (!intent)
        return std::nullopt;

    // The axis stays locked across fires until the burst ends.
    lastFire = now;
    accumulatedX = 0;
    accumulatedY = 0;
    return intent;
}

void ScrollGestureRecognizer::reset()
{
    accumulatedX = 0;
    accumulatedY = 0;
    m_lockedAxis = Axis::none;
}

NotchEvent ScrollGestureRecognizer::event(ScrollIntent intent, const NotchState&)
{
    switch (intent) {
    case ScrollIntent::up:
        return NotchEvent::swipeUp();
    case ScrollIntent::down:
        return NotchEvent::swipeDown();
    case ScrollIntent::left:
        return NotchEvent::swipeLeft();
    case ScrollIntent::right:
        break;
    }
    return NotchEvent::swipeRight();
}
