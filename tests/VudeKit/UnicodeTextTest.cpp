#include "VudeKit/UnicodeText.h"

#include <gtest/gtest.h>

namespace {

TEST(UnicodeText, CountsWhatTheReaderSeesAsOneCharacter)
{
    const struct {
        const char* why;
        std::string text;
        std::size_t count;
    } rows[] = {
        {"empty", "", 0},
        {"ASCII", "Hiver", 5},
        {"a precomposed letter", "\xC3\x89t\xC3\xA9", 3},
        {"a letter and a combining accent", "E\xCC\x81t", 2},
        {"a flag of two regional indicators", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", 1},
        {"a family joined by zero-width joiners", "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", 1},
        {"a carriage return and a line feed", "a\r\nb", 3},
    };
    for (const auto& row : rows)
        EXPECT_EQ(graphemeCount(row.text), row.count) << row.why;
}

TEST(UnicodeText, PrefixesKeepWholeCharacters)
{
    const struct {
        const char* why;
        std::string text;
        std::size_t count;
        std::string prefix;
    } rows[] = {
        {"nothing asked", "abc", 0, ""},
        {"shorter than asked", "ab", 5, "ab"},
        {"exactly as long", "abc", 3, "abc"},
        {"a combining accent stays with its letter", "E\xCC\x81tat", 1, "E\xCC\x81"},
        {"a flag is not split between its indicators",
         "a\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7" "b", 2, "a\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"},
        {"a carriage return and line feed are one character", "a\r\nb", 2, "a\r\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(graphemePrefix(row.text, row.count), row.prefix) << row.why;
}

TEST(UnicodeText, CanonicallyEquivalentTextsNormalizeAlike)
{
    const std::string precomposed = "Zo\xC3\xAB";
    const std::string decomposed = "Zoe\xCC\x88";
    EXPECT_EQ(nfcNormalized(decomposed), precomposed);
    EXPECT_EQ(nfcNormalized(precomposed), precomposed);
    EXPECT_EQ(nfcNormalized("plain"), "plain");
    const std::string invalid = "a\xFF" "b";
    EXPECT_EQ(nfcNormalized(invalid), invalid);
}

} // namespace
