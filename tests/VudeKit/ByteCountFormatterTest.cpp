#include "VudeKit/ByteCountFormatter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace {

TEST(FileByteCount, FollowsTheFileManagerStyle)
{
    struct Row {
        std::int64_t bytes;
        const char* expected;
        const char* why;
    } rows[] = {
        {0, "Zero KB", "nothing has its own text"},
        {1, "1 byte", "singular"},
        {2, "2 bytes", "plural from two"},
        {999, "999 bytes", "the last count in bytes"},
        {1000, "1 KB", "decimal units: 1000, not 1024"},
        {1499, "1 KB", "kilobytes are whole"},
        {1500, "2 KB", "half rounds up"},
        {999'499, "999 KB", "the last whole kilobyte count"},
        {999'500, "1 MB", "rounding up to 1000 KB moves to the next unit"},
        {1'000'000, "1 MB", "a trailing .0 is dropped"},
        {1'234'567, "1.2 MB", "megabytes keep one decimal"},
        {1'250'000, "1.3 MB", "half a tenth rounds up"},
        {999'949'999, "999.9 MB", "the last megabyte count"},
        {999'950'000, "1 GB", "rounds into gigabytes"},
        {1'230'000'000, "1.23 GB", "gigabytes keep two decimals"},
        {1'200'000'000, "1.2 GB", "a trailing zero decimal is dropped"},
        {1'005'000'000, "1.01 GB", "a zero inside the decimals stays"},
        {2'000'000'000'000, "2 TB", "terabytes"},
        {std::numeric_limits<std::int64_t>::max(), "9.22 EB", "the largest count"},
        {-1'234'567, "-1.2 MB", "a negative count keeps its sign"},
        {std::numeric_limits<std::int64_t>::min(), "-9.22 EB", "the smallest count does not overflow"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(formatFileByteCount(row.bytes), row.expected) << row.why << " (" << row.bytes << ")";
}

TEST(FileByteCount, UsesAPointWhateverTheLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(formatFileByteCount(1'234'567), "1.2 MB");
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
