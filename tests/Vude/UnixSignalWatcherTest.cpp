#include "Vude/UnixSignalWatcher.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace {

// A signal arrives as a Qt signal on the event loop, in order, and the
// process survives it (no default action runs).
TEST(UnixSignalWatcher, DeliversEachSignalOnTheEventLoop)
{
    UnixSignalWatcher watcher({SIGUSR1, SIGUSR2});
    std::vector<int> received;
    QObject::connect(&watcher, &UnixSignalWatcher::received, [&](int signalNumber) { received.push_back(signalNumber); });

    ASSERT_EQ(std::raise(SIGUSR2), 0);
    ASSERT_EQ(std::raise(SIGUSR1), 0);
    EXPECT_TRUE(received.empty()) << "nothing runs inside the handler";
    ASSERT_TRUE(testsupport::waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int>{SIGUSR2, SIGUSR1}));
}

} // namespace
