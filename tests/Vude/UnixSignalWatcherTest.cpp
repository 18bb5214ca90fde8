#include "Vude/App/UnixSignalWatcher.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <pthread.h>
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

// A signal that arrives while the app is still starting (caught, but no
// event loop yet) is reported once the watcher exists.
TEST(UnixSignalWatcher, ReportsASignalCaughtBeforeItWasMade)
{
    UnixSignalWatcher::catchSignals({SIGUSR1});
    ASSERT_EQ(std::raise(SIGUSR1), 0);

    UnixSignalWatcher watcher({SIGUSR1});
    std::vector<int> received;
    QObject::connect(&watcher, &UnixSignalWatcher::received, [&](int signalNumber) { received.push_back(signalNumber); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<int>{SIGUSR1});
}

// A parent may start the app with the signals blocked; they would then stay
// pending for ever and the app could not be asked to quit.
TEST(UnixSignalWatcher, UnblocksTheSignalsItWatches)
{
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, nullptr), 0);
    ASSERT_EQ(std::raise(SIGUSR2), 0); // pending

    UnixSignalWatcher watcher({SIGUSR2});
    std::vector<int> received;
    QObject::connect(&watcher, &UnixSignalWatcher::received, [&](int signalNumber) { received.push_back(signalNumber); });
    EXPECT_TRUE(testsupport::waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<int>{SIGUSR2});

    sigset_t current;
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &current), 0);
    EXPECT_FALSE(sigismember(&current, SIGUSR2));
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
}

} // namespace
