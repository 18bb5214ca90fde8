#include "VudeSync/NoteMerge.h"

#include <gtest/gtest.h>

namespace {

const std::string kSeparator(NoteMerge::separator);

struct MergeCase {
    const char* why;
    std::optional<std::string> base;
    std::string local;
    std::string remote;
    std::string expected;
};

std::string conflict(const std::string& prefix, const std::string& first, const std::string& second)
{
    return prefix + first + kSeparator + second;
}

} // namespace

TEST(NoteMergeTest, SeparatorIsTwentySevenCharacters)
{
    EXPECT_EQ(NoteMerge::separator, "\n\n--- conflicted copy ---\n\n");
    EXPECT_EQ(NoteMerge::separator.size(), 27u);
}

TEST(NoteMergeTest, MergesByTheFirstRuleThatApplies)
{
    const std::string decomposed = "Cafe\u0301 au lait"; // e + combining acute
    const std::string precomposed = "Caf\u00E9 au lait";
    const MergeCase cases[] = {
        {"equal texts", std::nullopt, "same", "same", "same"},
        {"equal texts with a base", std::string("old"), "same", "same", "same"},
        {"empty local takes remote, separator and all", std::nullopt, "", "a" + kSeparator + "b", "a" + kSeparator + "b"},
        {"empty remote takes local", std::nullopt, "mine", "", "mine"},
        {"remote extends local", std::nullopt, "Buy milk", "Buy milk\nCall the bank", "Buy milk\nCall the bank"},
        {"local extends remote", std::nullopt, "Buy milk\nCall the bank", "Buy milk", "Buy milk\nCall the bank"},
        {"base shows only remote changed", std::string("A"), "A", "B", "B"},
        {"base shows only local changed", std::string("A"), "B", "A", "B"},
        {"base equal to neither still conflicts", std::string("C"), "A", "B", conflict("", "A", "B")},
        {"no base: both kept", std::nullopt, "A", "B", conflict("", "A", "B")},
        {"remainders ordered by text, not side", std::nullopt, "x\nzeta", "x\nalpha", conflict("x\n", "alpha", "zeta")},
        {"prefix without a line feed is kept whole", std::nullopt, "abc", "abd", conflict("ab", "c", "d")},
        {"prefix cut after its last line feed", std::nullopt, "one\ntwo\nthree", "one\ntwo\nfour",
         conflict("one\ntwo\n", "four", "three")},
        {"cut drops the partial line", std::nullopt, "ab\ncd", "ab\nce", conflict("ab\n", "cd", "ce")},
        {"CR LF is one character and no line boundary", std::nullopt, "one\r\ntwo", "one\r\nthree",
         conflict("one\r\nt", "hree", "wo")},
        {"a lone line feed before CR LF lines still cuts", std::nullopt, "a\nb\r\nc", "a\nb\r\nd",
         conflict("a\n", "b\r\nc", "b\r\nd")},
        {"canonically equal texts are equal", std::nullopt, decomposed, precomposed, decomposed},
        {"canonically equal beginning extends", std::nullopt, decomposed, precomposed + "!", precomposed + "!"},
        {"a base letter does not begin its accented form", std::nullopt, "Cafe", decomposed,
         conflict("Caf", "e", "e\u0301 au lait")},
        {"part of a character does not begin it, nor join the prefix", std::nullopt, "x\U0001F44D\U0001F3FD",
         "x\U0001F44D", conflict("x", "\U0001F44D", "\U0001F44D\U0001F3FD")},
        {"ordered by code point, not by byte sign", std::nullopt, "n\n\u00E9t\u00E9", "n\nzoo",
         conflict("n\n", "zoo", "\u00E9t\u00E9")},
        {"ordered by code point: astral after BMP", std::nullopt, "\U0001F600", "\uFF21",
         conflict("", "\uFF21", "\U0001F600")},
    };
    const NoteMerge merger;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(merger.merge(row.base, row.local, row.remote), row.expected);
    }
}

TEST(NoteMergeTest, TwoDevicesMergingEachOthersTextBuildTheSameResult)
{
    const NoteMerge merger;
    const std::string mine = "list\nmilk\neggs";
    const std::string theirs = "list\nbread";
    EXPECT_EQ(merger.merge(std::nullopt, mine, theirs), merger.merge(std::nullopt, theirs, mine));
}

TEST(NoteMergeTest, CommonPrefixIsWalkedInCanonicallyEqualCharacters)
{
    // The shared beginning is spelled differently on each side; the result
    // keeps the local spelling and cuts the remote text after the same
    // number of characters.
    const NoteMerge merger;
    const std::string local = "Cafe\u0301\nmine";
    const std::string remote = "Caf\u00E9\ntheirs";
    EXPECT_EQ(merger.merge(std::nullopt, local, remote), conflict("Cafe\u0301\n", "mine", "theirs"));
}

TEST(NoteMergeTest, WouldConflictMatchesTheSeparatorInTheResult)
{
    const NoteMerge merger;
    const struct {
        const char* why;
        std::string local;
        std::string remote;
        bool expected;
    } cases[] = {
        {"a conflict", "A", "B", true},
        {"one side extends the other", "A", "AB", false},
        {"an empty side returns a text already holding the separator", "", "x" + kSeparator + "y", true},
        {"equal texts", "A", "A", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(merger.wouldConflict(std::nullopt, row.local, row.remote), row.expected);
    }
}

TEST(NoteMergeTest, MalformedUtf8IsMergedWithoutLosingBytes)
{
    const NoteMerge merger;
    const std::string local = "ok\n\xFF\xFEmine";
    const std::string remote = "ok\n\xC3theirs";
    const auto merged = merger.merge(std::nullopt, local, remote);
    EXPECT_EQ(merged.substr(0, 3), "ok\n");
    EXPECT_NE(merged.find("\xFF\xFEmine"), std::string::npos);
    EXPECT_NE(merged.find("\xC3theirs"), std::string::npos);
}
