#include "Platform/Core/QtScheduler.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(QtScheduler, RunsDelaysAndRepeatsFromTheEventLoop)
{
    QtScheduler scheduler;
    bool once = false;
    int repeats = 0;
    auto oneShot = scheduler.after(2ms, [&] { once = true; });
    auto repeating = scheduler.every(1ms, [&] { ++repeats; });
    EXPECT_FALSE(once) << "nothing runs before the event loop does";

    ASSERT_TRUE(testsupport::waitUntil([&] { return once && repeats >= 3; }));
    EXPECT_FALSE(oneShot.isActive());
    repeating.cancel();
    const int afterCancel = repeats;
    testsupport::waitUntil([] { return false; }, 20ms);
    EXPECT_EQ(repeats, afterCancel);
}

TEST(QtScheduler, CancelledAndOrphanedTimersNeverFire)
{
    bool fired = false;
    {
        QtScheduler scheduler;
        auto task = scheduler.after(1ms, [&] { fired = true; });
        task.cancel();
        testsupport::waitUntil([] { return false; }, 10ms);
        EXPECT_FALSE(fired);
        scheduler.after(1ms, [&] { fired = true; });
    } // the scheduler goes before its timer fires
    testsupport::waitUntil([] { return false; }, 10ms);
    EXPECT_FALSE(fired);
}

} // namespace
