#include "VudeKit/AsciiCase.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiCase, ChangesOnlyAsciiLettersWhateverTheLocale)
{
    EXPECT_EQ(asciiLower('I'), 'i') << "the Turkish rules would keep a dotted capital";
    EXPECT_EQ(asciiUpper('i'), 'I');
    EXPECT_EQ(asciiUppercased("heic.tif"), "HEIC.TIF");
    // UTF-8 bytes of "é" and digits pass through untouched.
    EXPECT_EQ(asciiUppercased("caf\xC3\xA9 2"), "CAF\xC3\xA9 2");
    EXPECT_EQ(asciiLower('@'), '@');
    EXPECT_EQ(asciiLower('['), '[');
}

} // namespace
