#include "VudeKit/LocalizedCompare.h"

#include <gtest/gtest.h>

namespace {

// The tests run in the C.UTF-8 locale, whose own collation would put every
// capital before every lower-case letter.
TEST(LocalizedCompare, IgnoresCaseAndComparesNumbersByValue)
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
