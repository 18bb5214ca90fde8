#include "Vude/App/ShellTick.h"

#include "VudeKit/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> calls;
    double maxItems = 40;
    bool coordinatorMoves = false;
    bool enabled = true;
    std::optional<bool> inputsSettled; // none: the step is not handed in

    ShellTick make()
    {
        return ShellTick({
            .pollDragPasteboard = [this] { calls.push_back("drag"); },
            .checkUpcomingEvent = [this] { calls.push_back("calendar"); },
            .clipboardEnabled = [this] { return enabled; },
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
            .inputsSettled = inputsSettled ? std::function<bool()>([this] { return *inputsSettled; })
                                           : std::function<bool()>(),
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

// A tick may rest only when it would change nothing: inputs settled, and the
// clipboard poll already handed the settings in force.
TEST(ShellTick, IsSettledOnlyWhenATickWouldFindNothing)
{
    const struct {
        const char* why;
        std::optional<bool> inputs;
        int ticks;
        std::function<void(Recorder&)> then;
        bool settled;
    } rows[] = {
        {"no step handed in", std::nullopt, 2, {}, false},
        {"settled after a clipboard poll", true, 2, {}, true},
        {"no clipboard poll yet", true, 1, {}, false},
        {"an input moved", false, 2, {}, false},
        {"the limit changed since the poll", true, 2, [](Recorder& r) { r.maxItems = 10; }, false},
        {"the history was turned off since the poll", true, 2, [](Recorder& r) { r.enabled = false; }, false},
        {"the limit became no number since the poll", true, 2, [](Recorder& r) { r.maxItems = std::nan(""); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Recorder recorder;
        recorder.inputsSettled = row.inputs;
        ShellTick tick = recorder.make();
        for (int i = 0; i < row.ticks; ++i)
            tick.tick();
        if (row.then)
            row.then(recorder);
        EXPECT_EQ(tick.isSettled(), row.settled);
    }

    // A NaN limit skips the poll, and the next poll with it settles.
    Recorder recorder;
    recorder.inputsSettled = true;
    recorder.maxItems = std::nan("");
    ShellTick tick = recorder.make();
    tick.tick();
    tick.tick();
    EXPECT_TRUE(tick.isSettled());
}

// Skipped ticks count, but never the calendar's: it still runs on every 60th.
TEST(ShellTick, SkippingNeverPassesACalendarTick)
{
    Recorder recorder;
    ShellTick tick = recorder.make();
    tick.tick();
    EXPECT_EQ(tick.ticksUntilCalendar(), 59);
    tick.skip(1000);
    EXPECT_EQ(tick.count(), 59);
    EXPECT_EQ(tick.ticksUntilCalendar(), 1);
    recorder.calls.clear();
    tick.tick();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"drag", "calendar", "clipboard 40 on", "coordinator"}));
    EXPECT_EQ(tick.ticksUntilCalendar(), 60);
    tick.skip(-5);
    EXPECT_EQ(tick.count(), 60);
    tick.skip(10);
    EXPECT_EQ(tick.count(), 70);
}

} // namespace
