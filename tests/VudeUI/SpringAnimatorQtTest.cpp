#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace {

using namespace std::chrono_literals;

class SpringAnimatorTest : public testing::Test {
protected:
    ManualClock clock;
    ManualScheduler scheduler{clock};

    /// Steps frame by frame until the animator rests (or `limit` passes),
    /// recording the first value after every frame.
    std::vector<double> run(SpringAnimator& animator, Duration limit = 5s)
    {
        std::vector<double> samples;
        const Date end = clock.now() + limit;
        while (animator.isAnimating() && clock.now() < end) {
            scheduler.advance(SpringAnimator::kFrameInterval);
            samples.push_back(animator.value().front());
        }
        return samples;
    }
};

TEST_F(SpringAnimatorTest, SettlesOnItsTargetAndStopsTicking)
{
    SpringAnimator animator(scheduler, clock, {14, 32});
    int changes = 0;
    int finishes = 0;
    QObject::connect(&animator, &SpringAnimator::valueChanged, [&] { ++changes; });
    QObject::connect(&animator, &SpringAnimator::finished, [&] { ++finishes; });

    animator.animateTo({34, 48}, Vude::Motion::open);
    EXPECT_TRUE(animator.isAnimating());
    const auto samples = run(animator);

    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(animator.value(), (std::vector<double>{34, 48}));
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(changes, static_cast<int>(samples.size()));
    EXPECT_LT(samples.size(), 60u) << "an open spring rests within a second";
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(SpringAnimatorTest, RetargetingToTheSameTargetChangesNothing)
{
    SpringAnimator straight(scheduler, clock, {0});
    straight.animateTo({100}, Vude::Motion::open);
    const auto expected = run(straight);

    SpringAnimator interrupted(scheduler, clock, {0});
    interrupted.animateTo({100}, Vude::Motion::open);
    std::vector<double> samples;
    for (int frame = 0; frame < 7; ++frame) {
        scheduler.advance(SpringAnimator::kFrameInterval);
        samples.push_back(interrupted.value().front());
    }
    // Between frames, so the new motion starts from a point no frame showed.
    clock.advance(5ms);
    interrupted.animateTo({100}, Vude::Motion::open);
    scheduler.advance(SpringAnimator::kFrameInterval - 5ms);
    samples.push_back(interrupted.value().front());
    const auto rest = run(interrupted);
    samples.insert(samples.end(), rest.begin(), rest.end());

    // The same path frame for frame; only the moment of rest may differ, as the
    // restarted motion measures rest against the shorter way it had left.
    ASSERT_GE(samples.size(), expected.size());
    for (std::size_t i = 0; i + 1 < expected.size(); ++i)
        EXPECT_NEAR(samples[i], expected[i], 1e-9) << "frame " << i;
    EXPECT_EQ(samples.back(), 100);
}

TEST_F(SpringAnimatorTest, RetargetingMidFlightBendsWithoutAJump)
{
    SpringAnimator animator(scheduler, clock, {0});
    animator.animateTo({100}, Vude::Motion::open);
    std::vector<double> samples{0};
    for (int frame = 0; frame < 6; ++frame) {
        scheduler.advance(SpringAnimator::kFrameInterval);
        samples.push_back(animator.value().front());
    }
    const double lastStep = samples.back() - samples[samples.size() - 2];
    ASSERT_GT(lastStep, 1) << "still moving up fast";

    animator.animateTo({20}, Vude::Motion::close);
    const auto rest = run(animator);
    samples.insert(samples.end(), rest.begin(), rest.end());

    // It carries on upward for a frame before turning back: velocity is kept.
    EXPECT_GT(rest.front(), samples[6]);
    EXPECT_LT(rest.front() - samples[6], 2 * lastStep);
    // No frame moves further than the fastest frame of the first motion.
    for (std::size_t i = 1; i < samples.size(); ++i)
        EXPECT_LE(std::abs(samples[i] - samples[i - 1]), 1.5 * lastStep) << "frame " << i;
    EXPECT_EQ(animator.value().front(), 20);
}

TEST_F(SpringAnimatorTest, InstantAppliesAtOnce)
{
    SpringAnimator animator(scheduler, clock, {0, 0});
    int finishes = 0;
    QObject::connect(&animator, &SpringAnimator::finished, [&] { ++finishes; });
    animator.animateTo({5, 6}, Vude::Motion::open);
    scheduler.advance(SpringAnimator::kFrameInterval);

    animator.animateTo({1, 2}, Vude::Motion::hud(Vude::HUDSpeed::instant));
    EXPECT_EQ(animator.value(), (std::vector<double>{1, 2}));
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(SpringAnimatorTest, ReducedMotionIsATwoTenthsEase)
{
    FixedReduceMotionSetting reduce(true);
    SpringAnimator animator(scheduler, clock, {0});
    animator.animateTo({100}, Vude::Motion::respectingReduceMotion(Vude::Motion::open, reduce));
    scheduler.advance(6 * SpringAnimator::kFrameInterval); // 100 ms
    EXPECT_NEAR(animator.value().front(), 50, 0.1);
    EXPECT_TRUE(animator.isAnimating());
    scheduler.advance(6 * SpringAnimator::kFrameInterval);
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(animator.value().front(), 100);

    reduce.setReduceMotion(false);
    animator.animateTo({0}, Vude::Motion::respectingReduceMotion(Vude::Motion::open, reduce));
    scheduler.advance(201ms);
    EXPECT_TRUE(animator.isAnimating()) << "the spring takes longer than the ease";
}

TEST_F(SpringAnimatorTest, IgnoresATargetOfTheWrongShape)
{
    SpringAnimator animator(scheduler, clock, {1, 2});
    animator.animateTo({3}, Vude::Motion::open);
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(animator.value(), (std::vector<double>{1, 2}));
}

TEST_F(SpringAnimatorTest, DestroyingStopsTheFrames)
{
    auto animator = std::make_unique<SpringAnimator>(scheduler, clock, std::vector<double>{0});
    animator->animateTo({100}, Vude::Motion::open);
    animator.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(1s); // nothing left to run against a dead animator
}

// Started from rest, an animator that starts at once shows its first frame
// within the call, one frame into the curve; its ticks then follow the same
// curve frame for frame. A retarget mid-flight keeps its ticks as before.
TEST_F(SpringAnimatorTest, StartingAtOnceShowsTheFirstFrameWithoutATick)
{
    SpringAnimator ticking(scheduler, clock, {0});
    ticking.animateTo({100}, Vude::Motion::open);
    EXPECT_EQ(ticking.value().front(), 0) << "by default the first tick is the first frame";
    const auto expected = run(ticking);

    SpringAnimator atOnce(scheduler, clock, {0});
    atOnce.setStartsAtOnce(true);
    int changes = 0;
    QObject::connect(&atOnce, &SpringAnimator::valueChanged, [&] { ++changes; });
    atOnce.animateTo({100}, Vude::Motion::open);
    EXPECT_EQ(changes, 1);
    ASSERT_FALSE(expected.empty());
    EXPECT_NEAR(atOnce.value().front(), expected[0], 1e-9);
    std::vector<double> samples{atOnce.value().front()};
    const auto rest = run(atOnce);
    samples.insert(samples.end(), rest.begin(), rest.end());
    ASSERT_EQ(samples.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(samples[i], expected[i], 1e-9) << "frame " << i;

    // Mid-flight: no extra frame, the retarget shows on the next tick.
    atOnce.animateTo({0}, Vude::Motion::close);
    changes = 0;
    scheduler.advance(SpringAnimator::kFrameInterval);
    const double moving = atOnce.value().front();
    atOnce.animateTo({50}, Vude::Motion::open);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(atOnce.value().front(), moving);
}

} // namespace
