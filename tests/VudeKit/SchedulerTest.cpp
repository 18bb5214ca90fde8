#include "VudeKit/Scheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

class ManualSchedulerTest : public ::testing::Test {
protected:
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    std::vector<std::string> log;

    auto record(std::string name)
    {
        return [this, name] { log.push_back(name + "@" + std::to_string((clock.now() - kReferenceDate) / 1ms)); };
    }
};

TEST_F(ManualSchedulerTest, RunsDueActionsInTimeThenInsertionOrder)
{
    scheduler.after(300ms, record("c"));
    scheduler.after(100ms, record("a"));
    scheduler.after(100ms, record("b"));
    scheduler.after(301ms, record("late"));
    scheduler.advance(300ms);
    EXPECT_EQ(log, (std::vector<std::string>{"a@100", "b@100", "c@300"}));
    EXPECT_EQ(clock.now(), kReferenceDate + 300ms);
    EXPECT_EQ(scheduler.pendingCount(), 1u);
}

TEST_F(ManualSchedulerTest, CancelledActionsNeverRun)
{
    auto task = scheduler.after(100ms, record("cancelled"));
    scheduler.after(100ms, record("kept"));
    EXPECT_TRUE(task.isActive());
    task.cancel();
    EXPECT_FALSE(task.isActive());
    scheduler.advance(1s);
    EXPECT_EQ(log, (std::vector<std::string>{"kept@100"}));
}

TEST_F(ManualSchedulerTest, RepeatingActionsRunEveryIntervalUntilCancelled)
{
    auto tick = scheduler.every(250ms, record("tick"));
    scheduler.advance(1s);
    EXPECT_EQ(log, (std::vector<std::string>{"tick@250", "tick@500", "tick@750", "tick@1000"}));
    tick.cancel();
    scheduler.advance(1s);
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(ManualSchedulerTest, ActionsScheduledByActionsRunWithinTheSameAdvance)
{
    scheduler.after(100ms, [this] {
        log.push_back("first");
        scheduler.after(0ms, record("same-time"));
        scheduler.after(50ms, record("later"));
        scheduler.after(500ms, record("beyond"));
    });
    scheduler.advance(200ms);
    EXPECT_EQ(log, (std::vector<std::string>{"first", "same-time@100", "later@150"}));
}

TEST_F(ManualSchedulerTest, AOneShotIsInactiveOnceItRan)
{
    auto task = scheduler.after(10ms, [] {});
    scheduler.advance(10ms);
    EXPECT_FALSE(task.isActive());
    task.cancel(); // harmless after the fact
}

} // namespace
