#include "Vude/Shell/Views/WaveformView.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace std::chrono_literals;
using Heights = WaveformView::Heights;

// The meter's heights for every mode: moving with time while playing, the
// fixed uneven resting heights otherwise, and nothing but the minimum when
// the range is empty.
TEST(WaveformViewTest, HeightsFollowTheSinesWhilePlayingAndRestOtherwise)
{
    // sin(1.3) + 0.35 × sin(2.21) for bar 1 at t = 0, worked out by hand.
    const double bar1AtZero = (0.9635582 + 0.35 * 0.8025711 + 1.35) / 2.7;
    struct Row {
        const char* name;
        bool playing;
        bool reduceMotion;
        double seconds;
        double minHeight;
        double maxHeight;
        Heights expected;
    } rows[] = {
        {"t = 0: bar 0 half-way, bar 1 near its top", true, false, 0, 3, 14,
         {3 + 11 * 0.5, 3 + 11 * bar1AtZero, -1, -1, -1}},
        {"paused: 0.175, 0.3, 0.4, 0.275, 0.15 of the range", false, false, 0, 3, 14,
         {3 + 11 * 0.175, 3 + 11 * 0.3, 3 + 11 * 0.4, 3 + 11 * 0.275, 3 + 11 * 0.15}},
        {"paused at another time: the same", false, false, 1234.5, 3, 14,
         {3 + 11 * 0.175, 3 + 11 * 0.3, 3 + 11 * 0.4, 3 + 11 * 0.275, 3 + 11 * 0.15}},
        {"reduce motion stills a playing meter", true, true, 1234.5, 3, 14,
         {3 + 11 * 0.175, 3 + 11 * 0.3, 3 + 11 * 0.4, 3 + 11 * 0.275, 3 + 11 * 0.15}},
        {"max = min while playing", true, false, 7.3, 5, 5, {5, 5, 5, 5, 5}},
        {"max = min while paused", false, false, 7.3, 5, 5, {5, 5, 5, 5, 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ManualClock clock(kReferenceDate + durationFromSeconds(row.seconds));
        ManualScheduler scheduler(clock);
        FixedReduceMotionSetting reduce(row.reduceMotion);
        const WaveformView view(row.playing, {2.5, 2.5, row.maxHeight, row.minHeight}, scheduler, clock, &reduce);
        const Heights heights = view.heights();
        for (std::size_t i = 0; i < heights.size(); ++i) {
            if (row.expected[i] >= 0) {
                EXPECT_NEAR(heights[i], row.expected[i], 1e-6) << "bar " << i;
            }
        }
    }
}

TEST(WaveformViewTest, AnimatedBarsStayInsideTheRangeAndMove)
{
    double lowest = 100, highest = 0;
    for (double t = 0; t < 60; t += 0.01) {
        for (double h : WaveformView::animatedHeights(t, 3, 14)) {
            lowest = std::min(lowest, h);
            highest = std::max(highest, h);
        }
    }
    EXPECT_GE(lowest, 3);
    EXPECT_LE(highest, 14);
    // Over a minute the bars sweep most of the range.
    EXPECT_LT(lowest, 4);
    EXPECT_GT(highest, 13);
    EXPECT_NE(WaveformView::animatedHeights(0, 3, 14), WaveformView::animatedHeights(1.0 / 60, 3, 14));
}

// The frame timer is what costs: it must run only while the meter is both
// shown and moving, and stop as soon as either ends.
TEST(WaveformViewTest, TheFrameTimerRunsOnlyWhileShownAndAnimating)
{
    ManualClock clock;
    ManualScheduler scheduler(clock);
    FixedReduceMotionSetting reduce(false);
    WaveformView view(true, {}, scheduler, clock, &reduce);
    int frames = 0;
    QObject::connect(&view, &WaveformView::frameDue, [&] { ++frames; });

    EXPECT_FALSE(view.isTicking()) << "not shown yet";
    scheduler.advance(1s);
    EXPECT_EQ(frames, 0);

    view.setShown(true);
    EXPECT_TRUE(view.isTicking());
    scheduler.advance(1s);
    EXPECT_GE(frames, 59);
    EXPECT_LE(frames, 60);

    struct Step {
        const char* name;
        std::function<void()> change;
        bool ticking;
    } steps[] = {
        {"paused", [&] { view.setPlaying(false); }, false},
        {"playing again", [&] { view.setPlaying(true); }, true},
        {"reduce motion turned on", [&] { reduce.setReduceMotion(true); }, false},
        {"reduce motion turned off", [&] { reduce.setReduceMotion(false); }, true},
        {"hidden", [&] { view.setShown(false); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(view.isTicking(), step.ticking);
        frames = 0;
        scheduler.advance(100ms);
        if (step.ticking) {
            EXPECT_GE(frames, 5);
        } else {
            EXPECT_LE(frames, 1) << "at most the one redraw that shows the change";
        }
    }
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(WaveformViewTest, TheRowIsFiveBarsAndFourGapsWideAndMaxHigh)
{
    ManualClock clock;
    ManualScheduler scheduler(clock);
    const WaveformView view(true, {2.5, 2.5, 14, 3}, scheduler, clock, nullptr);
    EXPECT_EQ(view.size(), (Size{22.5, 14}));
    EXPECT_TRUE(view.isAnimating()) << "no setting: motion is never reduced";
}

} // namespace
