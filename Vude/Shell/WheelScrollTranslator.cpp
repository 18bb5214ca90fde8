#include "Vude/Shell/WheelScrollTranslator.h"

ScrollStep WheelScrollTranslator::translate(const WheelInput& input)
{
    ScrollStep step;
    if (input.pixelDelta.x != 0 || input.pixelDelta.y != 0) {
        step.dx = input.pixelDelta.x;
        step.dy = input.pixelDelta.y;
    } else {
        step.dx = input.angleDelta.x * pointsPerNotch / 120;
        step.dy = input.angleDelta.y * pointsPerNotch / 120;
    }
    switch (input.phase) {
    case WheelPhase::began:
        step.phase = SwipePhase::began;
        break;
    case WheelPhase::changed:
    case WheelPhase::momentum:
        step.phase = SwipePhase::changed;
        break;
    case WheelPhase::ended:
        step.phase = SwipePhase::ended;
        break;
    case WheelPhase::none: {
        const bool continues = m_lastWheelEvent && input.time - *m_lastWheelEvent < gestureGap;
        step.phase = continues ? SwipePhase::changed : SwipePhase::began;
        m_lastWheelEvent = input.time;
        return step;
    }
    }
    // A device that reports phases closes its own gestures.
    m_lastWheelEvent.reset();
    return step;
}

std::optional<Date> WheelScrollTranslator::endDue() const
{
    if (!m_lastWheelEvent)
        return std::nullopt;
    return *m_lastWheelEvent + gestureGap;
}

std::optional<ScrollStep> WheelScrollTranslator::finish(Date now)
{
    if (!m_lastWheelEvent || now - *m_lastWheelEvent < gestureGap)
        return std::nullopt;
    m_lastWheelEvent.reset();
    return ScrollStep{0, 0, SwipePhase::ended};
}
