// What the media widget's scrubber shows and how a touch on its bar reads,
// and which players the launch prompt offers.
#include "Vude/Desk/MediaPlayers.h"
#include "Vude/Desk/MediaTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>

using namespace std::chrono_literals;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(MediaTimelineTest, TimesReadAsWholeMinutesAndSeconds)
{
    const struct {
        double seconds;
        const char* shown;
        const char* why;
    } rows[] = {
        {0, "0:00", "the start"},
        {0.9, "0:00", "seconds are truncated, not rounded"},
        {59.999, "0:59", ""},
        {75, "1:15", ""},
        {600, "10:00", ""},
        {3725, "62:05", "no hour field: minutes go past 59"},
        {-1, "0:00", "negative"},
        {-0.4, "0:00", "negative, even when it truncates to zero"},
        {kNaN, "0:00", "not a number"},
        {kInfinity, "0:00", "infinite"},
        {-kInfinity, "0:00", "infinite"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(MediaTimeline::time(row.seconds), QString(row.shown)) << row.seconds;
    }
}

TEST(MediaTimelineTest, TheLengthIsTheDurationAndATrackWithoutOneCannotBeSought)
{
    const Date now = kReferenceDate + 1000s;
    NowPlayingState state;
    state.title = "Song";
    state.elapsed = 30;
    state.elapsedAsOf = now - 10s;
    state.playbackRate = 1;

    const struct {
        std::optional<double> duration;
        double length;
        double fraction;
        bool seekable;
        const char* why;
    } rows[] = {
        {200, 200, 40.0 / 200, true, "40 s into a 200 s track"},
        {0.5, 1, 0.5, true, "at least one second (the position is clamped to the duration)"},
        {std::nullopt, 1, 1, false, "none: 0:01 and full as soon as a second has played"},
        {0, 1, 0, false, "zero (the position is clamped to it)"},
        {-5, 1, 0, false, "negative (the position is clamped to it, then to 0)"},
        {kNaN, 1, 1, false, "not a number"},
        {kInfinity, 1, 1, false, "infinite"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        state.duration = row.duration;
        const MediaTimeline timeline = MediaTimeline::of(state, now);
        EXPECT_EQ(timeline.length, row.length);
        EXPECT_DOUBLE_EQ(timeline.fraction, row.fraction);
        EXPECT_EQ(timeline.seekable, row.seekable);
        EXPECT_EQ(MediaTimeline::time(timeline.length), row.length == 1 ? "0:01" : "3:20");
    }
}

TEST(MediaTimelineTest, TheScrubbedValueReplacesThePositionWhileScrubbing)
{
    NowPlayingState state;
    state.duration = 200;
    state.elapsed = 30;
    EXPECT_EQ(MediaTimeline::of(state, kReferenceDate).position, 30);
    EXPECT_EQ(MediaTimeline::of(state, kReferenceDate, 150.0).position, 150);
    EXPECT_DOUBLE_EQ(MediaTimeline::of(state, kReferenceDate, 150.0).fraction, 0.75);

    state.elapsed.reset();
    EXPECT_EQ(MediaTimeline::of(state, kReferenceDate).position, 0) << "no elapsed time: the start";
    state.elapsed = kNaN;
    EXPECT_EQ(MediaTimeline::of(state, kReferenceDate).fraction, 0) << "a broken position fills nothing";
    state.elapsed = -3;
    EXPECT_EQ(MediaTimeline::time(MediaTimeline::of(state, kReferenceDate).position), "0:00");
}

TEST(MediaTimelineTest, ATouchPicksItsShareOfTheBarWithinTheTrack)
{
    const struct {
        double x;
        double width;
        double value;
        const char* why;
    } rows[] = {
        {0, 100, 0, "the leading edge"},
        {25, 100, 50, "a quarter"},
        {100, 100, 200, "the trailing edge"},
        {180, 100, 200, "past the trailing edge"},
        {-40, 100, 0, "before the leading edge"},
        {0, 0, 0, "a bar with no width: 0/0 is no number"},
        {5, 0, 200, "a bar with no width: past its edge"},
        {kNaN, 100, 0, "no position"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(MediaTimeline::scrubValue(row.x, row.width, 200), row.value);
    }
}

TEST(MediaTimelineTest, ThePromptOffersTheFirstThreeInstalledPlayersInTableOrder)
{
    const std::vector<MediaPlayers::Player> table{
        {"A", {"a"}}, {"B", {"b", "org.example.B"}}, {"C", {"c"}}, {"D", {"d"}}, {"E", {"e"}}};
    const auto installed = [](std::map<std::string, QString> apps) {
        return [apps](const std::string& appId) -> std::optional<QIcon> {
            if (!apps.contains(appId))
                return std::nullopt;
            return QIcon();
        };
    };
    const auto ids = [](const std::vector<MediaPlayers::Found>& found) {
        std::vector<std::string> appIds;
        for (const auto& app : found)
            appIds.push_back(app.appId);
        return appIds;
    };
    const struct {
        std::map<std::string, QString> apps;
        std::vector<std::string> offered;
        const char* why;
    } rows[] = {
        {{{"a", ""}, {"c", ""}, {"d", ""}, {"e", ""}}, {"a", "c", "d"}, "three at most, in table order"},
        {{{"e", ""}, {"b", ""}}, {"b", "e"}, "fewer installed: fewer tiles, still in table order"},
        {{{"org.example.B", ""}}, {"org.example.B"}, "a player found by its second id"},
        {{{"b", ""}, {"org.example.B", ""}}, {"b"}, "a player once, by its first id"},
        {{}, {}, "none installed: no tiles"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(ids(MediaPlayers::firstInstalled(table, installed(row.apps))), row.offered);
    }
    EXPECT_TRUE(MediaPlayers::firstInstalled(table, {}).empty()) << "nothing to ask";
}

TEST(MediaTimelineTest, ThePlayerTableHasSixPlayersEachIdOnce)
{
    const auto& table = MediaPlayers::table();
    EXPECT_EQ(table.size(), 6u);
    std::set<std::string> seen;
    for (const auto& player : table) {
        EXPECT_FALSE(player.appIds.empty()) << player.name;
        for (const auto& appId : player.appIds) {
            EXPECT_TRUE(seen.insert(appId).second) << appId;
            EXPECT_EQ(appId.find(".desktop"), std::string::npos) << "app ids, not file names";
        }
    }
}

} // namespace
