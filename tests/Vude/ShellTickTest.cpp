#include "Vude/ShellTick.h"

#include "VudeKit/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> calls;
    double maxItems = 40;
    bool coordinatorMoves = false;

    ShellTick make()
    {
        return ShellTick({
            .pollDragPasteboard = [this] { calls.push_back("drag"); },
            .checkUpcomingEvent = [this] { calls.push_back("calendar"); },
            .clipboardEnabled = [] { return true; },
            .clipboardMaxItems = [this] { return maxItems; },
            .clipboardPersists = [] { return false; },
            .pollClipboard =
                [this](bool enabled, std::int64_t limit, bool persists) {
                    calls.push_back("clipboard " + formatInteger(limit) + (enabled ? " on" : " off") +
                                    (persists ? " kept" : ""));
                },
            .coordinatorTick =
                [this] {
                    calls.push_back("coordinator");
                    return coordinatorMoves;
                },
            .mirrorCurrentActivity = [this] { calls.push_back("mirror"); },
        });
    }
};

TEST(ShellTick, EachTickRunsItsPollsInOrder)
{
    using Calls = std::vector<std::string>;
    const std::map<std::int64_t, Calls> expected{
        {1, {"drag", "coordinator"}},
        {2, {"drag", "clipboard 40 on", "coordinator"}},
        {59, {"drag", "coordinator"}},
        {60, {"drag", "calendar", "clipboard 40 on", "coordinator"}},
        {120, {"drag", "calendar", "clipboard 40 on", "coordinator"}},
    };
    Recorder recorder;
    ShellTick tick = recorder.make();
    for (std::int64_t number = 1; number <= 120; ++number) {
        recorder.calls.clear();
        tick.tick();
        ASSERT_EQ(tick.count(), number);
        if (const auto row = expected.find(number); row != expected.end()) {
            SCOPED_TRACE(number);
            EXPECT_EQ(recorder.calls, row->second);
        }
    }
}

TEST(ShellTick, MirrorsOnlyWhenTheCoordinatorMovedOn)
{
    Recorder recorder;
    ShellTick tick = recorder.make();
    tick.tick();
    EXPECT_EQ(recorder.calls.back(), "coordinator");
    recorder.coordinatorMoves = true;
    tick.tick();
    EXPECT_EQ(recorder.calls.back(), "mirror");
}

TEST(ShellTick, ClipboardLimitTruncatesAndSkipsWhatIsNoNumber)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        double setting;
        std::optional<std::int64_t> limit;
    } rows[] = {
        {40, 40},
        {40.9, 40},
        {5.5, 5},
        {-3.7, -3},
        {1e30, std::numeric_limits<std::int64_t>::max()},
        {-1e30, std::numeric_limits<std::int64_t>::min()},
        {std::nan(""), std::nullopt},
        {infinity, std::nullopt},
        {-infinity, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.setting);
        EXPECT_EQ(ShellTick::clipboardLimit(row.setting), row.limit);
    }
}

// A stored limit that is no number leaves the history alone, and the tick
// goes on.
TEST(ShellTick, ANaNLimitSkipsTheClipboardPollButNotTheTick)
{
    Recorder recorder;
    recorder.maxItems = std::nan("");
    ShellTick tick = recorder.make();
    tick.tick();
    tick.tick();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"drag", "coordinator", "drag", "coordinator"}));
}

} // namespace
