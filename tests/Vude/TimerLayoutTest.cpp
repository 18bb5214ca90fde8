// The timer widget's decisions: a countdown's text and ring, the presets,
// Start, how a length splits over the picker's wheels, where a wheel's rows
// are and how often it ticks.
#include "Vude/Desk/TimerLayout.h"
#include "Vude/Desk/TimerWheelLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::chrono_literals;

namespace {

TEST(TimerLayoutTest, TheTimeLeftIsRoundedUpToAWholeSecondAndTheRingFillsAsItRunsOut)
{
    const struct Row {
        const char* why;
        double total;
        double remaining;
        const char* text;
        double progress;
    } rows[] = {
        {"under an hour: minutes and seconds", 3600, 3599, "59:59", 1 - 3599.0 / 3600},
        {"a fraction rounds up, here to a whole hour", 3600, 3599.2, "1:00:00", 1 - 3599.2 / 3600},
        {"61.2 s is 62 s", 120, 61.2, "1:02", 1 - 61.2 / 120},
        {"a moment left still shows a second", 60, 0.4, "0:01", 1 - 0.4 / 60},
        {"run out: 0:00 and a full ring", 300, 0, "0:00", 1},
        {"a whole length: an empty ring", 300, 300, "5:00", 0},
        {"hours and more", 90000, 86399, "23:59:59", 1 - 86399.0 / 90000},
        {"a total of 0: an empty ring", 0, 0, "0:00", 0},
        {"a negative total: an empty ring", -5, 3, "0:03", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(TimerLayout::formatted(row.remaining), row.text);
        EXPECT_DOUBLE_EQ(TimerLayout::progress(row.total, row.remaining), row.progress);
    }
    EXPECT_EQ(TimerLayout::formatted(std::numeric_limits<double>::quiet_NaN()), "0:00");
    EXPECT_EQ(TimerLayout::formatted(-3), "0:00");
}

TEST(TimerLayoutTest, ARunningTimerCountsDownToZeroAndAPausedOneKeepsItsRemainder)
{
    const Date start = kReferenceDate + 1000s;
    const NotchTimer running{Uuid::random(), "", 60, start, std::nullopt};
    EXPECT_DOUBLE_EQ(TimerLayout::remaining(running, start + 15500ms), 44.5);
    EXPECT_DOUBLE_EQ(TimerLayout::remaining(running, start + 1h), 0) << "never below 0";

    const NotchTimer paused{Uuid::random(), "", 60, std::nullopt, 12.5};
    EXPECT_DOUBLE_EQ(TimerLayout::remaining(paused, start + 1h), 12.5);
    const NotchTimer unstarted{Uuid::random(), "", 60, std::nullopt, std::nullopt};
    EXPECT_DOUBLE_EQ(TimerLayout::remaining(unstarted, start), 60);
}

TEST(TimerLayoutTest, PresetsReadInMinutesOrHoursAndStartNeedsASecond)
{
    EXPECT_EQ(TimerLayout::presetText(60), "1m");
    EXPECT_EQ(TimerLayout::presetText(300), "5m");
    EXPECT_EQ(TimerLayout::presetText(600), "10m");
    EXPECT_EQ(TimerLayout::presetText(3600), "1h");
    EXPECT_EQ(TimerLayout::presetText(7200), "2h");

    EXPECT_FALSE(TimerLayout::canStart(0));
    EXPECT_FALSE(TimerLayout::canStart(0.99));
    EXPECT_TRUE(TimerLayout::canStart(1));
    EXPECT_FALSE(TimerLayout::canStart(std::numeric_limits<double>::quiet_NaN()));
}

TEST(TimerLayoutTest, ALengthSplitsIntoItsWholeHoursMinutesAndSeconds)
{
    const struct Row {
        const char* why;
        double duration;
        DurationComponents expected;
    } rows[] = {
        {"3725 s", 3725, {1, 2, 5}},
        {"a fraction is cut off", 90.7, {0, 1, 30}},
        {"the largest the wheels show", 86399, {23, 59, 59}},
        {"a whole day is more than the wheels show", 86400, {23, 59, 59}},
        {"nothing", 0, {0, 0, 0}},
        {"below nothing", -12, {0, 0, 0}},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), {0, 0, 0}},
        {"endless", std::numeric_limits<double>::infinity(), {23, 59, 59}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(DurationComponents::of(row.duration), row.expected);
    }
    // Put back together in whole seconds, one wheel changed.
    DurationComponents turned = DurationComponents::of(3725);
    turned.minutes = 0;
    EXPECT_EQ(turned.total(), 3605);
    EXPECT_EQ((DurationComponents{23, 59, 59}.total()), 86399);
}

TEST(TimerLayoutTest, AWheelRestsOnTheRowNearestItsMiddleBetweenItsEnds)
{
    const TimerWheelLayout wheel{60, 26, 3};
    EXPECT_EQ(wheel.height(), 78);
    EXPECT_EQ(wheel.offsetOf(5), 130);
    EXPECT_EQ(wheel.rowCentre(5, 130), 39) << "centred in the band";
    EXPECT_EQ(wheel.rowCentre(4, 130), 13);
    const struct Row {
        double offset;
        int row;
    } rows[] = {{0, 0}, {12.9, 0}, {13.1, 1}, {130, 5}, {-50, 0}, {10000, 59}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.offset);
        EXPECT_EQ(wheel.nearestRow(row.offset), row.row);
    }
    EXPECT_EQ(wheel.clamped(-1), 0);
    EXPECT_EQ(wheel.clamped(1e9), 59 * 26);
    EXPECT_EQ(wheel.clamped(std::nan("")), 0);
    EXPECT_EQ(wheel.firstShown(0), 0);
    EXPECT_EQ(wheel.lastShown(59 * 26), 59);
    EXPECT_LE(wheel.firstShown(130), 3);
    EXPECT_GE(wheel.lastShown(130), 7);
}

TEST(TimerLayoutTest, TicksComeAtMostOncePer40MillisecondsAndTheFirstAlways)
{
    HapticThrottle throttle;
    const Date start = kReferenceDate + 1h;
    const struct Row {
        Duration at;
        bool plays;
        const char* why;
    } rows[] = {
        {0ms, true, "the first always plays"},
        {10ms, false, "too soon"},
        {40ms, false, "exactly 40 ms is not more than 40 ms"},
        {41ms, true, "just after"},
        {70ms, false, "measured from the last tick played, not the last asked for"},
        {90ms, true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(throttle.admit(start + row.at), row.plays);
    }
}

} // namespace
