#include "VudeKit/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SaturatingCast, DefinesEveryDouble)
{
    struct Row {
        double input;
        int expected;
        const char* why;
    } rows[] = {
        {std::nan(""), 0, "NaN"},
        {kInf, std::numeric_limits<int>::max(), "+inf"},
        {-kInf, std::numeric_limits<int>::min(), "-inf"},
        {1e300, std::numeric_limits<int>::max(), "far above"},
        {2147483647.0, std::numeric_limits<int>::max(), "exactly max"},
        {2147483648.0, std::numeric_limits<int>::max(), "one past max"},
        {-2147483649.0, std::numeric_limits<int>::min(), "one below min"},
        {2.9, 2, "truncates"},
        {-2.9, -2, "truncates toward zero"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(saturatingCast<int>(row.input), row.expected) << row.why;
    EXPECT_EQ(saturatingCast<std::int64_t>(9.3e18), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(saturatingCast<std::uint8_t>(-3.0), 0);
    EXPECT_EQ(saturatingCast<std::uint8_t>(300.0), 255);
}

TEST(SaturatingRound, RoundsHalfAwayFromZero)
{
    EXPECT_EQ(saturatingRound<int>(29.5), 30);
    EXPECT_EQ(saturatingRound<int>(-29.5), -30);
    EXPECT_EQ(saturatingRound<int>(0.29 * 100), 29);
    EXPECT_EQ(saturatingRound<int>(std::nan("")), 0);
    EXPECT_EQ(saturatingRound<int>(-kInf), std::numeric_limits<int>::min());
}

TEST(ClampedOrLower, NaNTakesTheLowerBound)
{
    EXPECT_EQ(clampedOrLower(std::nan(""), 0.1, 1.0), 0.1);
    EXPECT_EQ(clampedOrLower(-5, 0.1, 1.0), 0.1);
    EXPECT_EQ(clampedOrLower(5, 0.1, 1.0), 1.0);
    EXPECT_EQ(clampedOrLower(0.5, 0.1, 1.0), 0.5);
}

TEST(FormatNumbers, IgnoreTheProcessLocale)
{
    // A locale with a decimal comma, where one is installed, must not leak in.
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(formatFixed(0.5, 3), "0.500");
    EXPECT_EQ(formatFixed(-12.3456, 2), "-12.35");
    EXPECT_EQ(formatFixed(2.0, 0), "2");
    EXPECT_EQ(formatInteger(-1234567), "-1234567");
    EXPECT_EQ(formatShortest(0.1), "0.1");
    EXPECT_EQ(formatFixed(std::nan(""), 2), "nan");
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
