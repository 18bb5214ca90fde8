#include "Vude/Shell/Views/NotchDemo.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace std::chrono_literals;
using Script = NotchDemo::Script;
using Size = NotchDemo::Size;

TEST(NotchDemoTest, SizeTable)
{
    struct Row {
        Script script;
        int beat;
        Size size;
        bool open;
    };
    const Row rows[] = {
        {Script::overview, 0, {180, 32}, false}, {Script::overview, 1, {276, 32}, false},
        {Script::overview, 2, {250, 96}, true},  {Script::gestures, 0, {180, 32}, false},
        {Script::gestures, 1, {264, 32}, false}, {Script::gestures, 4, {264, 32}, false},
        {Script::media, 0, {296, 35}, false},    {Script::media, 3, {296, 35}, false},
        {Script::ravo, 0, {180, 32}, false},     {Script::ravo, 1, {250, 96}, true},
        {Script::ravo, 2, {180, 32}, false},     {Script::ravo, 3, {250, 96}, true},
    };
    for (const auto& row : rows) {
        NotchDemo demo(row.script, 180, 32);
        demo.setBeat(row.beat);
        EXPECT_EQ(demo.currentSize(), row.size) << int(row.script) << " beat " << row.beat;
        EXPECT_EQ(demo.isOpen(), row.open) << int(row.script) << " beat " << row.beat;
    }
}

TEST(NotchDemoTest, GestureCueTableClampsAtTheLastCue)
{
    struct Row {
        int beat;
        std::string_view symbol;
        std::string_view label;
    };
    const Row rows[] = {{0, "", ""},
                        {1, "arrow.left.arrow.right", "Skip"},
                        {2, "arrow.up.arrow.down", "Open"},
                        {3, "cursorarrow.click", "Desk"},
                        {4, "arrow.down.doc.fill", "Drop"},
                        {7, "arrow.down.doc.fill", "Drop"}};
    NotchDemo demo(Script::gestures, 180, 32);
    for (const auto& row : rows) {
        demo.setBeat(row.beat);
        EXPECT_EQ(demo.gestureSymbol(), row.symbol) << row.beat;
        EXPECT_EQ(demo.gestureLabel(), row.label) << row.beat;
    }
}

TEST(NotchDemoTest, ScriptsPlayTheirStepsInALoopAndStopMidSleep)
{
    struct Row {
        Script script;
        std::vector<std::pair<Duration, int>> beats; // at time, beat now
    };
    const Row rows[] = {
        {Script::overview, {{0ms, 0}, {1099ms, 0}, {1100ms, 1}, {2900ms, 2}, {5299ms, 2}, {5300ms, 0}, {6400ms, 1}}},
        {Script::gestures,
         {{0ms, 0}, {600ms, 1}, {1800ms, 2}, {3000ms, 3}, {4200ms, 4}, {5399ms, 4}, {5400ms, 0}, {6000ms, 1}}},
        {Script::ravo, {{0ms, 0}, {1200ms, 1}, {3799ms, 1}, {3800ms, 0}, {5000ms, 1}}},
    };
    for (const auto& row : rows) {
        ManualClock clock{kReferenceDate};
        ManualScheduler scheduler{clock};
        NotchDemo demo(row.script, 180, 32);
        demo.setBeat(3);
        int changes = 0;
        demo.start(scheduler, [&] { ++changes; });
        Duration at{};
        for (const auto& [time, beat] : row.beats) {
            scheduler.advance(time - at);
            at = time;
            EXPECT_EQ(demo.beat(), beat) << int(row.script) << " at " << time.count();
        }
        const int seen = changes;
        const int beat = demo.beat();
        demo.stop();
        scheduler.advance(20s);
        EXPECT_EQ(demo.beat(), beat);
        EXPECT_EQ(changes, seen);
        EXPECT_FALSE(demo.isRunning());
    }
}

TEST(NotchDemoTest, MediaMovesOnlyItsPhase)
{
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    NotchDemo demo(Script::media, 180, 32);
    EXPECT_DOUBLE_EQ(demo.barHeight(0), 3);
    demo.start(scheduler, [] {});
    scheduler.advance(700ms);
    EXPECT_NEAR(demo.phase(), 4.2, 1e-9);
    EXPECT_EQ(demo.beat(), 0);
    EXPECT_EQ(demo.currentSize(), (Size{296, 35}));
    for (int i = 0; i < 5; ++i) {
        EXPECT_GE(demo.barHeight(i), 3);
        EXPECT_LE(demo.barHeight(i), 8);
    }
    EXPECT_NEAR(demo.barHeight(1), std::abs(std::sin(4.2 + 0.8)) * 5 + 3, 1e-9);
    demo.stop();
    scheduler.advance(1s);
    EXPECT_NEAR(demo.phase(), 4.2, 1e-9);
}

} // namespace
