#include "VudeServices/NowPlayingState.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;

constexpr Date t0 = kReferenceDate + 1000s;

NowPlayingState playingAt(std::optional<double> elapsed, std::optional<Date> asOf, double rate,
                          std::optional<double> duration = std::nullopt)
{
    NowPlayingState state;
    state.elapsed = elapsed;
    state.elapsedAsOf = asOf;
    state.playbackRate = rate;
    state.duration = duration;
    return state;
}

TEST(NowPlayingState, PositionExtrapolatesFromTheReportedTime)
{
    struct Row {
        const char* why;
        NowPlayingState state;
        Date at;
        std::optional<double> expected;
    };
    const Row rows[] = {
        {"paused: elapsed as it stands, even past the duration", playingAt(42, t0, 0, 30), t0 + 100s, 42.0},
        {"playing at rate 1, taken 5 s earlier", playingAt(10, t0, 1), t0 + 5s, 15.0},
        {"clamped to the duration", playingAt(10, t0, 1, 12), t0 + 5s, 12.0},
        {"rewinding stops at the start", playingAt(10, t0, -1), t0 + 20s, 0.0},
        {"double speed", playingAt(10, t0, 2), t0 + 1500ms, 13.0},
        {"a date before the report runs backwards", playingAt(10, t0, 1), t0 - 4s, 6.0},
        {"no report time: elapsed unchanged, not clamped", playingAt(50, std::nullopt, 1, 30), t0 + 5s, 50.0},
        {"no elapsed time at all", playingAt(std::nullopt, t0, 1, 30), t0 + 5s, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.state.position(row.at), row.expected);
    }
}

TEST(NowPlayingState, ItemKeyPrefersTheContentIdentifierThenJoinsPresentFields)
{
    struct Row {
        std::optional<std::string> title, artist, album, identifier;
        std::string expected;
    };
    const Row rows[] = {
        {"A", std::nullopt, "C", std::nullopt, "A|C"},
        {"A", "B", "C", std::nullopt, "A|B|C"},
        {std::nullopt, "B", std::nullopt, std::nullopt, "B"},
        {"", "B", std::nullopt, std::nullopt, "|B"}, // an empty title is present
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""},
        {"A", std::nullopt, "C", "x", "x"},
    };
    for (const auto& row : rows) {
        NowPlayingState state;
        state.title = row.title;
        state.artist = row.artist;
        state.album = row.album;
        state.contentItemIdentifier = row.identifier;
        EXPECT_EQ(state.itemKey(), row.expected);
    }
}

TEST(NowPlayingState, EmptyMeansNoTitleArtistOrAlbum)
{
    NowPlayingState state;
    EXPECT_TRUE(state.isEmpty());
    state.genre = "Jazz";
    state.isPlaying = true;
    state.contentItemIdentifier = "x";
    EXPECT_TRUE(state.isEmpty());
    state.album = "";
    EXPECT_FALSE(state.isEmpty());
}

TEST(NowPlayingState, EqualityLooksAtEveryArtworkByte)
{
    NowPlayingState a;
    a.title = "Song";
    a.artwork = ArtworkBytes({1, 2, 3, 4});
    NowPlayingState b = a;
    EXPECT_EQ(a, b);
    b.artwork = ArtworkBytes({1, 2, 3, 4}); // same bytes, another buffer
    EXPECT_EQ(a, b);
    b.artwork = ArtworkBytes({1, 2, 3, 5});
    EXPECT_NE(a, b);
    b.artwork = ArtworkBytes({1, 2, 3});
    EXPECT_NE(a, b);
    b.artwork = std::nullopt;
    EXPECT_NE(a, b);
    b.artwork = ArtworkBytes(std::vector<std::uint8_t>{});
    EXPECT_NE(a, b) << "empty artwork is still artwork";
}

TEST(NowPlayingState, ModesParseOnlyTheirExactRawTexts)
{
    EXPECT_EQ(enumFromRaw<ShuffleMode>("unknown"), ShuffleMode::unknown);
    EXPECT_EQ(enumFromRaw<ShuffleMode>("items"), ShuffleMode::items);
    EXPECT_EQ(enumFromRaw<ShuffleMode>("collections"), ShuffleMode::collections);
    EXPECT_EQ(enumFromRaw<ShuffleMode>("Items"), std::nullopt);
    EXPECT_EQ(enumFromRaw<ShuffleMode>(""), std::nullopt);
    EXPECT_EQ(enumFromRaw<RepeatMode>("one"), RepeatMode::one);
    EXPECT_EQ(enumFromRaw<RepeatMode>("all"), RepeatMode::all);
    EXPECT_EQ(enumFromRaw<RepeatMode>("unknown"), RepeatMode::unknown);
    EXPECT_EQ(enumFromRaw<RepeatMode>("track"), std::nullopt);
}

} // namespace
