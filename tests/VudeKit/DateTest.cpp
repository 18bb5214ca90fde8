#include "VudeKit/ClockSource.h"
#include "VudeKit/Date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::chrono_literals;

namespace {

TEST(Date, StoredSecondsRoundTripExactly)
{
    const Date dates[] = {
        kReferenceDate,
        kReferenceDate + 400ms,
        kReferenceDate - 1us,
        kReferenceDate + 786'000'000'123'457us, // late 2025, odd microseconds
        std::chrono::time_point_cast<Duration>(std::chrono::sys_days{std::chrono::year{1970} / 1 / 1}),
        std::chrono::time_point_cast<Duration>(std::chrono::sys_days{std::chrono::year{2100} / 12 / 31}) + 999'999us,
    };
    for (const auto date : dates) {
        const double stored = secondsSinceReferenceDate(date);
        EXPECT_EQ(dateFromSecondsSinceReferenceDate(stored), date) << stored;
    }
}

TEST(Date, ReferenceDateIsTheStartOf2001Utc)
{
    // 978307200 is 2001-01-01T00:00:00Z in Unix time.
    EXPECT_EQ(kReferenceDate.time_since_epoch(), 978'307'200s);
    EXPECT_EQ(secondsSinceReferenceDate(kReferenceDate + 1500ms), 1.5);
}

TEST(Date, DurationBoundariesCompareExactly)
{
    // 0.4 s counted up from tenths must equal the constant: no float drift.
    Duration sum{};
    for (int i = 0; i < 4; ++i)
        sum += durationFromSeconds(0.1);
    EXPECT_EQ(sum, 400ms);
    EXPECT_EQ(durationFromSeconds(0.4), 400ms);
    const Date expiry = kReferenceDate + durationFromSeconds(0.4);
    EXPECT_TRUE(kReferenceDate + 400ms >= expiry);
    EXPECT_FALSE(kReferenceDate + 399'999us >= expiry);
}

TEST(Date, NonFiniteSecondsAreDefined)
{
    EXPECT_EQ(durationFromSeconds(std::nan("")), Duration::zero());
    EXPECT_EQ(durationFromSeconds(std::numeric_limits<double>::infinity()), Duration::max());
    EXPECT_EQ(durationFromSeconds(-std::numeric_limits<double>::infinity()), Duration::min());
    EXPECT_EQ(dateFromSecondsSinceReferenceDate(std::nan("")), kReferenceDate);
}

// A stored date comes from a file anyone may edit: however far out it is, it
// must clamp to the ends of the range, not overflow past them.
TEST(Date, StoredSecondsBeyondTheRangeSaturate)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Row {
        double seconds;
        const char* why;
    } futures[] = {
        {1e300, "far in the future"},
        {kInf, "+inf"},
        {9.2233e12, "in range as a duration, not once the reference date is added"},
    };
    for (const auto& row : futures)
        EXPECT_EQ(dateFromSecondsSinceReferenceDate(row.seconds), Date::max()) << row.why;

    const Date earliest = dateFromSecondsSinceReferenceDate(-kInf);
    EXPECT_EQ(dateFromSecondsSinceReferenceDate(-1e300), earliest);
    EXPECT_LT(earliest, std::chrono::time_point_cast<Duration>(std::chrono::sys_days{std::chrono::year{-29000} / 1 / 1}));
}

TEST(Date, SaturatingAddClampsAtBothEnds)
{
    struct Row {
        Date from;
        Duration by;
        Date expected;
        const char* why;
    } rows[] = {
        {kReferenceDate, 1500ms, kReferenceDate + 1500ms, "an ordinary step"},
        {kReferenceDate, -1500ms, kReferenceDate - 1500ms, "a step back"},
        {kReferenceDate, Duration::max(), Date::max(), "an endless duration"},
        {Date{} - 1us, Duration::min(), Date::min(), "an endless step back"},
        {Date::max() - 1us, 1us, Date::max(), "exactly to the end"},
        {Date::min() + 1us, -1us, Date::min(), "exactly to the start"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(saturatingAdd(row.from, row.by), row.expected) << row.why;
}

TEST(Clock, ManualClockMovesOnlyWhenTold)
{
    ManualClock clock(kReferenceDate + 10s);
    EXPECT_EQ(clock.now(), kReferenceDate + 10s);
    clock.advance(250ms);
    EXPECT_EQ(clock.now(), kReferenceDate + 10250ms);
    clock.set(kReferenceDate);
    EXPECT_EQ(clock.now(), kReferenceDate);

    const SystemClock system;
    EXPECT_GT(system.now(), kReferenceDate + 24 * 365 * 24h) << "the system clock reads today, not 2001";
}

} // namespace
