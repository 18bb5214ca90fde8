#include "VudeServices/TimerStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;

namespace {

class TimerStoreTest : public ::testing::Test {
protected:
    TimerStoreTest()
    {
        store.setOnChange([this](const std::vector<VudeTimer>& timers) { changes.push_back(timers); });
        store.setOnFinished([this](const VudeTimer& timer) { finished.push_back(timer.id); });
        QObject::connect(&store, &TimerStore::timersChanged, [this] { ++signals_; });
    }

    const VudeTimer& stored(std::size_t index) const { return store.timers().at(index); }

    ManualClock clock{kReferenceDate + 1000s};
    TimerStore store{clock};
    std::vector<std::vector<VudeTimer>> changes;
    std::vector<Uuid> finished;
    int signals_ = 0;
};

TEST_F(TimerStoreTest, PauseAndResumeKeepTheRemainingTime)
{
    const auto timer = store.add(60, "", true);
    EXPECT_EQ(timer.startedAt, clock.now());
    ASSERT_EQ(changes.size(), 1u);

    clock.advance(47500ms);
    store.toggle(timer, clock.now());
    EXPECT_FALSE(stored(0).isRunning());
    EXPECT_EQ(stored(0).pausedRemaining, 12.5);

    clock.advance(60s);
    EXPECT_EQ(stored(0).remaining(clock.now()), 12.5) << "a paused timer does not count down";
    store.toggle(timer, clock.now());
    EXPECT_TRUE(stored(0).isRunning());
    EXPECT_EQ(stored(0).pausedRemaining, std::nullopt);
    EXPECT_EQ(stored(0).remaining(clock.now()), 12.5) << "it goes on from where it stopped";
    EXPECT_EQ(stored(0).startedAt, clock.now() - 47500ms);

    clock.advance(12s);
    EXPECT_FALSE(stored(0).hasFinished(clock.now()));
    clock.advance(500ms);
    EXPECT_TRUE(stored(0).hasFinished(clock.now()));
    EXPECT_EQ(changes.size(), 3u);
    EXPECT_EQ(signals_, 3);
}

TEST_F(TimerStoreTest, ATimerNotStartedShowsItsTotalAndItsFirstToggleStartsIt)
{
    const auto timer = store.add(300, "tea", false);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(timer.pausedRemaining, std::nullopt);
    EXPECT_EQ(timer.remaining(clock.now() + 1h), 300);
    EXPECT_EQ(timer.label, "tea");

    store.toggle(timer, clock.now());
    EXPECT_EQ(stored(0).startedAt, clock.now());
    EXPECT_EQ(stored(0).remaining(clock.now()), 300);
}

TEST_F(TimerStoreTest, RemainingNeverGoesBelowZeroAndAPausedTimerNeverFinishes)
{
    const auto timer = store.add(10, "", true);
    EXPECT_EQ(stored(0).remaining(clock.now() + 24h * 365), 0);

    clock.advance(30s);
    store.toggle(timer, clock.now());
    EXPECT_EQ(stored(0).pausedRemaining, 0) << "paused after the end keeps 0, not a negative rest";
    EXPECT_FALSE(stored(0).hasFinished(clock.now()));
    store.check(clock.now());
    EXPECT_TRUE(finished.empty()) << "a paused timer at 0 s is not reported";

    clock.advance(5s);
    store.toggle(timer, clock.now());
    EXPECT_EQ(stored(0).startedAt, clock.now() - 10s);
    EXPECT_TRUE(stored(0).hasFinished(clock.now())) << "resumed with nothing left, it is done at once";
}

TEST_F(TimerStoreTest, CheckReportsEachTimerOnceInItsLifetime)
{
    const auto first = store.add(5, "", true);
    const auto paused = store.add(1, "", false);
    store.add(100, "", true);
    const auto changesBefore = changes.size();

    clock.advance(5s);
    store.check(clock.now());
    store.check(clock.now() + 1s);
    EXPECT_EQ(finished, std::vector<Uuid>{first.id}) << "reported once; the paused and the running one are not";
    EXPECT_EQ(changes.size(), changesBefore) << "check changes nothing";

    store.toggle(first, clock.now());
    store.toggle(first, clock.now());
    store.check(clock.now());
    EXPECT_EQ(finished.size(), 1u) << "pausing and resuming does not report it again";

    store.remove(first);
    const auto second = store.add(2, "", true);
    clock.advance(2s);
    store.check(clock.now());
    EXPECT_EQ(finished, (std::vector<Uuid>{first.id, second.id}));
    EXPECT_FALSE(stored(0).isRunning());
    EXPECT_EQ(stored(0).id, paused.id);
}

TEST_F(TimerStoreTest, UnknownTimersChangeNothingButRemoveStillReports)
{
    store.add(60, "", true);
    const auto before = store.timers();
    changes.clear();
    signals_ = 0;

    VudeTimer stranger;
    stranger.id = Uuid::random();
    stranger.total = 5;
    store.toggle(stranger, clock.now());
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(store.timers(), before);

    store.remove(stranger);
    ASSERT_EQ(changes.size(), 1u) << "remove reports even when nothing matched";
    EXPECT_EQ(changes[0], before);
    EXPECT_EQ(signals_, 0) << "but the list did not change";
}

TEST_F(TimerStoreTest, RemoveKeepsTheOrderOfTheOthers)
{
    const auto a = store.add(1, "a", true);
    const auto b = store.add(2, "b", true);
    const auto c = store.add(3, "c", true);
    store.remove(b);
    ASSERT_EQ(store.timers().size(), 2u);
    EXPECT_EQ(stored(0).id, a.id);
    EXPECT_EQ(stored(1).id, c.id);
}

TEST(VudeTimerTest, ProgressAndTheStoredForm)
{
    VudeTimer timer;
    timer.id = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    timer.total = 0;
    timer.startedAt = kReferenceDate;
    EXPECT_EQ(timer.progress(kReferenceDate + 10s), 0) << "no length, no progress";
    timer.total = 40;
    EXPECT_EQ(timer.progress(kReferenceDate + 10s), 0.25);
    EXPECT_EQ(timer.progress(kReferenceDate + 1h), 1);

    timer.startedAt = kReferenceDate + 1500ms;
    EXPECT_EQ(timer.encoded(),
              R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","label":"","total":40.0,"startedAt":1.5})");
    EXPECT_EQ(VudeTimer::decoded(timer.encoded()), timer);

    timer.startedAt.reset();
    timer.pausedRemaining = 7.25;
    EXPECT_EQ(VudeTimer::decoded(timer.encoded()), timer);
    EXPECT_EQ(VudeTimer::decoded(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","total":1})"),
              std::nullopt)
        << "the label is required";
}

} // namespace
