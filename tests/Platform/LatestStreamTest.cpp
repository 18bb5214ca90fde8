#include "Platform/Core/LatestStream.h"

#include "TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(LatestStream, ABusyConsumerGetsOnlyTheNewestValuesInOrder)
{
    LatestStream<int> stream(2);
    QObject consumer;
    std::vector<int> delivered;
    stream.consume(&consumer, [&](const int& value) { delivered.push_back(value); });

    // The main thread does not return to its event loop while these arrive.
    for (int value = 1; value <= 5; ++value)
        stream.yield(value);
    EXPECT_TRUE(delivered.empty()) << "delivery waits for the event loop";

    testsupport::processEvents();
    EXPECT_EQ(delivered, (std::vector<int>{4, 5}));
}

TEST(LatestStream, ValuesFromAWorkerThreadArriveOnTheConsumersThread)
{
    LatestStream<int> stream(8);
    QObject consumer;
    std::vector<int> delivered;
    bool onConsumerThread = true;
    bool finished = false;
    stream.consume(
        &consumer,
        [&](const int& value) {
            onConsumerThread = onConsumerThread && QThread::currentThread() == consumer.thread();
            delivered.push_back(value);
        },
        [&] { finished = true; });

    std::thread producer([stream]() mutable {
        for (int value = 0; value < 100; ++value)
            stream.yield(value);
        stream.finish();
    });
    producer.join();

    ASSERT_TRUE(testsupport::waitUntil([&] { return finished; }));
    EXPECT_TRUE(onConsumerThread);
    ASSERT_FALSE(delivered.empty());
    EXPECT_EQ(delivered.back(), 99) << "the newest value is never dropped";
    EXPECT_LE(delivered.size(), 100u);
    EXPECT_TRUE(std::is_sorted(delivered.begin(), delivered.end()));
}

TEST(LatestStream, ValuesBufferedBeforeTheConsumerAttachesAreKept)
{
    LatestStream<std::string> stream(2);
    stream.yield("a");
    stream.yield("b");
    stream.yield("c");
    QObject consumer;
    std::vector<std::string> delivered;
    stream.consume(&consumer, [&](const std::string& value) { delivered.push_back(value); });
    testsupport::processEvents();
    EXPECT_EQ(delivered, (std::vector<std::string>{"b", "c"}));
}

TEST(LatestStream, NothingIsDeliveredToADestroyedConsumerOrAfterFinish)
{
    LatestStream<int> stream(2);
    int calls = 0;
    {
        QObject consumer;
        stream.consume(&consumer, [&](const int&) { ++calls; });
        stream.yield(1);
    } // consumer gone before the event loop runs
    testsupport::processEvents();
    EXPECT_EQ(calls, 0);

    // A new consumer still gets what the dead one never saw.
    QObject successor;
    std::vector<int> delivered;
    stream.consume(&successor, [&](const int& value) { delivered.push_back(value); });
    testsupport::processEvents();
    EXPECT_EQ(delivered, std::vector<int>{1});

    stream.finish();
    stream.yield(2);
    EXPECT_TRUE(stream.takeAll().empty()) << "a finished stream drops new values";
}

} // namespace
