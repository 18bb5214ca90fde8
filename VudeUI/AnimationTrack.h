#pragma once
// One value moving toward a target under a Vude::Animation, as a pure function
// of the time since the move began. Springs carry their velocity, so a move
// retargeted mid-flight (a new track started from the current value and
// velocity) continues without a jump or a kink.

#include "VudeKit/Date.h"
#include "VudeUI/Tokens.h"

class AnimationTrack {
public:
    /// `initialVelocity` is in units per second; ramps ignore it.
    AnimationTrack(const Vude::Animation& animation, double from, double to, double initialVelocity = 0);

    double value(Duration elapsed) const;
    /// Units per second.
    double velocity(Duration elapsed) const;
    /// True once the value has come to rest at the target: a ramp after its
    /// duration, a spring once its motion has decayed below a thousandth of
    /// the distance it started with.
    bool isFinished(Duration elapsed) const;

    double from() const { return m_from; }
    double target() const { return m_to; }

private:
    struct State {
        double displacement;
        double velocity;
    };
    State springState(double seconds) const;
    double rampProgress(double fraction) const;
    double rampSlope(double fraction) const;

    Vude::Animation m_animation;
    double m_from;
    double m_to;
    double m_initialVelocity;
    bool m_instant;
    // Spring constants.
    double m_omega = 0;   // undamped angular frequency
    double m_damping = 1; // damping fraction
    double m_scale = 0;   // the size of the motion, for the rest test
};
