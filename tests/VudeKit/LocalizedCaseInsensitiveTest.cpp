#include "VudeKit/LocalizedCaseInsensitive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(LocalizedCaseInsensitiveTest, ComparesWithoutCaseButWithAccents)
{
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"Apple", "banana", -1},
        {"banana", "Apple", 1},
        {"apple", "APPLE", 0},
        {"Zeta", "alpha", 1},
        {"resume", "r\xC3\xA9sum\xC3\xA9", -1}, // accents count
        {"r\xC3\xA9sum\xC3\xA9", "Re\xCC\x81sume\xCC\x81", 0}, // composed and combining, case aside
        {"", "a", -1},
        {"Work 10", "Work 2", -1}, // digits are text
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
        EXPECT_EQ(sign(localizedCaseInsensitiveCompare(row.a, row.b)), row.order);
    }
}

TEST(LocalizedCaseInsensitiveTest, AStableSortKeepsNamesThatDifferOnlyInCaseInTheirOrder)
{
    std::vector<std::string> names{"zeta", "beta", "Alpha", "BETA", "alpha"};
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return localizedCaseInsensitiveCompare(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha", "beta", "BETA", "zeta"}));
}

TEST(LocalizedCaseInsensitiveTest, ContainsFoldsCaseAndCanonicalForms)
{
    struct Case {
        const char* text;
        const char* part;
        bool contained;
    };
    const Case cases[] = {
        {"Pomodoro Timer", "timer", true},
        {"TIMER", "timer", true},
        {"Repair", "air", true},
        {"Air", "airplane", false},
        {"Stra\xC3\x9F" "e", "STRASSE", true}, // full folding: sharp s is "ss"
        {"Caf\xC3\xA9 Mode", "cafe\xCC\x81", true},
        {"Cafe Mode", "caf\xC3\xA9", false},
        {"Lock Screen", "", true},
        {"", "lock", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::string(row.text) + " / " + row.part);
        EXPECT_EQ(localizedCaseInsensitiveContains(row.text, row.part), row.contained);
    }
}

// The tests run in the C.UTF-8 locale, whose own collation would put every
// capital before every lower-case letter.
TEST(LocalizedCaseInsensitiveTest, StandardCompareIgnoresCaseAndComparesNumbersByValue)
{
    struct Row {
        const char* a;
        const char* b;
        int expected;
    };
    const Row rows[] = {
        {"Work 2", "Work 10", -1},
        {"file9.txt", "file10.txt", -1},
        {"apple", "Banana", -1},
        {"Zebra", "apple", 1},
        {"work", "WORK", 0},
        {"cote", "côte", -1}, // accents still count
        {"côte", "coter", -1},
        {"", "a", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
        const int result = localizedStandardCompare(row.a, row.b);
        EXPECT_EQ((result > 0) - (result < 0), row.expected);
    }
}

} // namespace
