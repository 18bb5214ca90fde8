#include "VudeUI/AnimationTrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The standard ease-in-out: a cubic Bezier timing curve through
// (0, 0), (0.42, 0), (0.58, 1), (1, 1).
constexpr double kEaseX1 = 0.42;
constexpr double kEaseY1 = 0.0;
constexpr double kEaseX2 = 0.58;
constexpr double kEaseY2 = 1.0;

// A spring is at rest once both its displacement and its velocity (scaled by
// the frequency) are below this fraction of the motion it started with.
constexpr double kRestFraction = 1e-3;

double bezier(double s, double p1, double p2)
{
    const double inverse = 1 - s;
    return 3 * inverse * inverse * s * p1 + 3 * inverse * s * s * p2 + s * s * s;
}

double bezierSlope(double s, double p1, double p2)
{
    const double inverse = 1 - s;
    return 3 * inverse * inverse * p1 + 6 * inverse * s * (p2 - p1) + 3 * s * s * (1 - p2);
}

/// The curve parameter whose x is `x`; x(s) is increasing, so Newton steps
/// with a bisection fallback converge.
double solveCurveX(double x)
{
    double low = 0;
    double high = 1;
    double s = x;
    for (int i = 0; i < 12; ++i) {
        const double error = bezier(s, kEaseX1, kEaseX2) - x;
        if (std::abs(error) < 1e-9)
            return s;
        if (error > 0)
            high = s;
        else
            low = s;
        const double slope = bezierSlope(s, kEaseX1, kEaseX2);
        double next = slope > 1e-6 ? s - error / slope : (low + high) / 2;
        if (next <= low || next >= high)
            next = (low + high) / 2;
        s = next;
    }
    return s;
}

} // namespace

AnimationTrack::AnimationTrack(const Vude::Animation& animation, double from, double to, double initialVelocity)
    : m_animation(animation),
      m_from(from),
      m_to(to),
      m_initialVelocity(std::isfinite(initialVelocity) ? initialVelocity : 0),
      m_instant(animation.isInstant() || !std::isfinite(from) || !std::isfinite(to))
{
    if (m_instant || animation.curve != Vude::Animation::Curve::spring)
        return;
    m_omega = 2 * std::numbers::pi / toSeconds(animation.response);
    // A spring without damping would never come to rest.
    m_damping = std::isfinite(animation.dampingFraction) ? std::max(animation.dampingFraction, 0.01) : 1;
    m_scale = std::max(std::abs(from - to), std::abs(m_initialVelocity) / m_omega);
}

AnimationTrack::State AnimationTrack::springState(double t) const
{
    const double x0 = m_from - m_to;
    const double v0 = m_initialVelocity;
    const double w = m_omega;
    const double z = m_damping;
    if (std::abs(z - 1) < 1e-6) {
        const double b = v0 + w * x0;
        const double decay = std::exp(-w * t);
        return {(x0 + b * t) * decay, (v0 - w * b * t) * decay};
    }
    if (z < 1) {
        const double a = z * w;
        const double wd = w * std::sqrt(1 - z * z);
        const double b = (v0 + a * x0) / wd;
        const double decay = std::exp(-a * t);
        const double c = std::cos(wd * t);
        const double s = std::sin(wd * t);
        return {decay * (x0 * c + b * s), decay * (v0 * c - (x0 * wd + a * b) * s)};
    }
    const double root = std::sqrt(z * z - 1);
    const double r1 = -w * (z - root);
    const double r2 = -w * (z + root);
    const double c2 = (v0 - r1 * x0) / (r2 - r1);
    const double c1 = x0 - c2;
    const double e1 = std::exp(r1 * t);
    const double e2 = std::exp(r2 * t);
    return {c1 * e1 + c2 * e2, c1 * r1 * e1 + c2 * r2 * e2};
}

double AnimationTrack::rampProgress(double fraction) const
{
    if (m_animation.curve == Vude::Animation::Curve::linear)
        return fraction;
    return bezier(solveCurveX(fraction), kEaseY1, kEaseY2);
}

double AnimationTrack::rampSlope(double fraction) const
{
    if (m_animation.curve == Vude::Animation::Curve::linear)
        return 1;
    const double s = solveCurveX(fraction);
    const double dx = bezierSlope(s, kEaseX1, kEaseX2);
    return dx > 1e-9 ? bezierSlope(s, kEaseY1, kEaseY2) / dx : 0;
}

double AnimationTrack::value(Duration elapsed) const
{
    if (m_instant || isFinished(elapsed))
        return m_to;
    const double t = std::max(toSeconds(elapsed), 0.0);
    if (m_animation.curve == Vude::Animation::Curve::spring)
        return m_to + springState(t).displacement;
    const double fraction = t / toSeconds(m_animation.duration);
    return m_from + (m_to - m_from) * rampProgress(fraction);
}

double AnimationTrack::velocity(Duration elapsed) const
{
    if (m_instant || isFinished(elapsed))
        return 0;
    const double t = std::max(toSeconds(elapsed), 0.0);
    if (m_animation.curve == Vude::Animation::Curve::spring)
        return springState(t).velocity;
    const double seconds = toSeconds(m_animation.duration);
    return (m_to - m_from) * rampSlope(t / seconds) / seconds;
}

bool AnimationTrack::isFinished(Duration elapsed) const
{
    if (m_instant)
        return true;
    if (m_animation.curve != Vude::Animation::Curve::spring)
        return elapsed >= m_animation.duration;
    if (m_scale <= 0)
        return true;
    const State state = springState(std::max(toSeconds(elapsed), 0.0));
    const double tolerance = kRestFraction * m_scale;
    return std::abs(state.displacement) <= tolerance && std::abs(state.velocity) <= tolerance * m_omega;
}
