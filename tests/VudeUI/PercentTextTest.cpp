#include "VudeUI/PercentText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(PercentText, TruncatesTowardZero)
{
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Row {
        double fraction;
        const char* expected;
        const char* why;
    } rows[] = {
        {0.456, "45%", "truncates, does not round"},
        {0.29, "29%", "0.29 * 100 is 28.999999999999996 in binary"},
        {0.57, "57%", "0.57 * 100 is 56.99999999999999"},
        {0.999, "99%", "the nudge is far too small to round up"},
        {1.0, "100%", "full"},
        {0.0, "0%", "empty"},
        {-0.29, "-29%", "negative values truncate toward zero too"},
        {-0.001, "0%", "no negative zero"},
        {1.234, "123%", "above one"},
        {std::nan(""), "0%", "NaN"},
        {kInf, "0%", "infinity"},
        {-kInf, "0%", "negative infinity"},
        {1e300, "9223372036854775807%", "saturates"},
        {0.9999999999, "99%", "just below full is not full"},
        {0.99999999999999, "99%", "a hundred ulps below full"},
        {0.4999999999, "49%", "just below half"},
        {-0.9999999999, "-99%", "just above minus one"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(percentText(row.fraction), row.expected) << row.why;
}

TEST(PercentText, EveryWholePercentReadsAsWritten)
{
    for (int percent = 0; percent <= 100; ++percent) {
        EXPECT_EQ(percentText(percent / 100.0), std::to_string(percent) + "%");
        EXPECT_EQ(percentText(percent * 0.01), std::to_string(percent) + "%");
    }
}

} // namespace
