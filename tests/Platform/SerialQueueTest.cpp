#include "Platform/Core/MainThread.h"
#include "Platform/Core/SerialQueue.h"

#include "TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

TEST(SerialQueue, RunsWorkInOrderOffTheMainThreadAndPostsResultsBack)
{
    SerialQueue queue("app.ruvudav.notch.test");
    std::vector<int> order; // touched only by the queue's thread until idle
    std::atomic<bool> ranOnMain{false};
    for (int i = 0; i < 50; ++i)
        queue.async([&, i] {
            order.push_back(i);
            ranOnMain = ranOnMain || isMainThread();
        });
    queue.waitUntilIdle();
    ASSERT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_FALSE(ranOnMain);

    QObject receiver;
    bool resultOnMain = false;
    queue.async([&] { postTo(&receiver, [&] { resultOnMain = isMainThread(); }); });
    EXPECT_TRUE(testsupport::waitUntil([&] { return resultOnMain; }));
}

TEST(SerialQueue, DestructionFinishesQueuedWork)
{
    std::atomic<int> done{0};
    {
        SerialQueue queue("app.ruvudav.notch.drain");
        for (int i = 0; i < 20; ++i)
            queue.async([&] {
                QThread::usleep(100);
                ++done;
            });
    }
    EXPECT_EQ(done, 20);
}

TEST(SerialQueue, ResultsForADestroyedReceiverAreDropped)
{
    SerialQueue queue("app.ruvudav.notch.drop");
    bool delivered = false;
    {
        QObject receiver;
        queue.async([&, target = &receiver] { postTo(target, [&] { delivered = true; }); });
        queue.waitUntilIdle();
    }
    testsupport::processEvents();
    EXPECT_FALSE(delivered);
}

} // namespace
