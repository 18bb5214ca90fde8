#include "VudeUI/AnimationTrack.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

namespace {

using namespace std::chrono_literals;

constexpr Duration kFrame = 16667us;

/// Samples a track every frame for `span`; returns the largest value seen.
double peak(const AnimationTrack& track, Duration span)
{
    double highest = track.value(Duration::zero());
    for (Duration t = Duration::zero(); t <= span; t += kFrame)
        highest = std::max(highest, track.value(t));
    return highest;
}

TEST(AnimationTrack, EverySpringComesToRestOnItsTarget)
{
    struct Row {
        Vude::Animation animation;
        const char* name;
    } rows[] = {
        {Vude::Motion::open, "open"},
        {Vude::Motion::close, "close"},
        {Vude::Motion::activityIn, "activityIn"},
        {Vude::Motion::activityOut, "activityOut"},
        {Vude::Motion::hud(Vude::HUDSpeed::smooth), "hud smooth"},
        {Vude::Animation::spring(300ms, 1.0), "critically damped"},
        {Vude::Animation::spring(300ms, 1.6), "overdamped"},
        {Vude::Animation::spring(300ms, 0.0), "undamped is damped a little"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const AnimationTrack track(row.animation, 14, 34);
        EXPECT_EQ(track.value(Duration::zero()), 14);
        EXPECT_FALSE(track.isFinished(Duration::zero()));
        Duration t = Duration::zero();
        while (!track.isFinished(t) && t < 60s)
            t += kFrame;
        EXPECT_LT(t, 60s);
        EXPECT_EQ(track.value(t), 34);
        EXPECT_EQ(track.velocity(t), 0);
    }
}

TEST(AnimationTrack, SpringsSettleInAboutTheirResponse)
{
    const AnimationTrack open(Vude::Motion::open, 0, 100);
    EXPECT_FALSE(open.isFinished(300ms));
    EXPECT_TRUE(open.isFinished(1s));
    // Half a response in, an open spring has covered most of the way.
    EXPECT_GT(open.value(210ms), 50);
}

TEST(AnimationTrack, UnderdampedSpringsOvershootAndOthersDoNot)
{
    EXPECT_GT(peak(AnimationTrack(Vude::Motion::activityIn, 0, 100), 2s), 100.5);
    EXPECT_LE(peak(AnimationTrack(Vude::Animation::spring(300ms, 1.0), 0, 100), 2s), 100);
    EXPECT_LE(peak(AnimationTrack(Vude::Animation::spring(300ms, 1.5), 0, 100), 2s), 100);
}

TEST(AnimationTrack, RetargetingContinuesFromTheCurrentValueAndVelocity)
{
    const AnimationTrack first(Vude::Motion::open, 0, 100);
    const Duration switchAt = 120ms;
    const AnimationTrack second(Vude::Motion::close, first.value(switchAt), 40, first.velocity(switchAt));
    EXPECT_DOUBLE_EQ(second.value(Duration::zero()), first.value(switchAt));
    EXPECT_DOUBLE_EQ(second.velocity(Duration::zero()), first.velocity(switchAt));
    // The motion keeps its heading for a moment: no kink at the switch.
    EXPECT_GT(first.velocity(switchAt), 0);
    EXPECT_GT(second.value(kFrame), second.value(Duration::zero()));
}

TEST(AnimationTrack, VelocityIsTheSlopeOfTheValue)
{
    const Vude::Animation animations[] = {Vude::Motion::open, Vude::Animation::spring(300ms, 1.0),
                                          Vude::Animation::spring(300ms, 1.5), Vude::Motion::reducedMotion,
                                          Vude::Animation::linear(400ms)};
    for (const auto& animation : animations) {
        const AnimationTrack track(animation, 10, 60, animation.curve == Vude::Animation::Curve::spring ? 80 : 0);
        for (Duration t : {30ms, 90ms, 150ms}) {
            const double slope = (track.value(t + 1ms) - track.value(t - 1ms)) / 0.002;
            EXPECT_NEAR(track.velocity(t), slope, std::abs(slope) * 1e-3 + 1e-3) << toSeconds(t);
        }
    }
}

TEST(AnimationTrack, EaseInOutTakesItsDurationExactly)
{
    const AnimationTrack ease(Vude::Motion::reducedMotion, 0, 100);
    EXPECT_EQ(ease.value(Duration::zero()), 0);
    EXPECT_NEAR(ease.value(100ms), 50, 1e-6); // symmetric curve
    EXPECT_LT(ease.value(20ms), 10);          // starts slowly
    EXPECT_NEAR(ease.velocity(Duration::zero()), 0, 1e-6);
    EXPECT_FALSE(ease.isFinished(199ms));
    EXPECT_TRUE(ease.isFinished(200ms));
    EXPECT_EQ(ease.value(200ms), 100);
}

TEST(AnimationTrack, InstantAndUnusableTracksShowTheTargetAtOnce)
{
    struct Row {
        AnimationTrack track;
        double expected;
        const char* why;
    } rows[] = {
        {AnimationTrack(Vude::Motion::hud(Vude::HUDSpeed::instant), 0, 1), 1, "zero-length ramp"},
        {AnimationTrack(Vude::Animation::spring(Duration::zero(), 0.8), 0, 1), 1, "spring without response"},
        {AnimationTrack(Vude::Motion::open, std::nan(""), 1), 1, "NaN start"},
        {AnimationTrack(Vude::Motion::open, 5, 5), 5, "already there"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_TRUE(row.track.isFinished(Duration::zero()));
        EXPECT_EQ(row.track.value(Duration::zero()), row.expected);
    }
}

TEST(AnimationTrack, AnInfiniteVelocityIsDropped)
{
    const AnimationTrack track(Vude::Motion::open, 0, 1, std::numeric_limits<double>::infinity());
    EXPECT_EQ(track.value(Duration::zero()), 0);
    EXPECT_EQ(track.velocity(Duration::zero()), 0);
    EXPECT_TRUE(std::isfinite(track.value(50ms)));
}

} // namespace
