#include "StoreFixture.h"

#include "VudeSync/DidoDivuzerore.h"

#include <QSignalSpy>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
constexpr Duration kDay = std::chrono::hours(24);

std::vector<std::string> titles(const std::vector<TodoSnapshot>& todos)
{
    std::vector<std::string> result;
    for (const auto& todo : todos)
        result.push_back(todo.title);
    return result;
}

using Titles = std::vector<std::string>;

} // namespace

class DidoDivuzeroreTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        clock.set(kReferenceDate + std::chrono::hours(24 * 365 * 20));
    }

    std::unique_ptr<DidoDivuzerore> makeRepository(const std::string& deviceID = "desk-a")
    {
        return std::make_unique<DidoDivuzerore>(container->makeContext(), deviceID, clock,
                                                [this](const std::string& line) { traceLines.push_back(line); });
    }

    /// Writes rows through a context of its own, as another device would.
    template <typename Model>
    void store(std::vector<std::shared_ptr<Model>> rows)
    {
        auto context = container->makeContext();
        for (const auto& row : rows)
            context->insert(row);
        ASSERT_TRUE(context->save().has_value());
    }

    std::shared_ptr<SyncedTodo> todoRow(const std::string& title, bool isDone, bool isFavorite, Date createdAt,
                                        std::optional<Date> completedAt = std::nullopt)
    {
        return std::make_shared<SyncedTodo>(Uuid::random(), title, isDone, isFavorite, createdAt, completedAt, 0, "x");
    }

    ManualClock clock;
    std::vector<std::string> traceLines;
};

TEST_F(DidoDivuzeroreTest, SortsOpenBeforeDoneThenFavouritesThenNewestFirst)
{
    const Date t = clock.now();
    store<SyncedTodo>({
        todoRow("done favourite, newest", true, true, t + 5 * kSecond),
        todoRow("open, old", false, false, t),
        todoRow("open favourite, old", false, true, t),
        todoRow("done, newest", true, false, t + 9 * kSecond),
        todoRow("open, new", false, false, t + kSecond),
        todoRow("open favourite, new", false, true, t + kSecond),
        todoRow("tie A", false, false, t - kSecond),
        todoRow("tie B", false, false, t - kSecond),
        todoRow("never dated", false, false, kDistantPast),
        todoRow("done, old", true, false, t),
    });
    const auto repository = makeRepository();
    EXPECT_EQ(titles(repository->todos()), (Titles{
                                               "open favourite, new",
                                               "open favourite, old",
                                               "open, new",
                                               "open, old",
                                               "tie A", // equal on every key: fetch order
                                               "tie B",
                                               "never dated",
                                               "done favourite, newest",
                                               "done, newest",
                                               "done, old",
                                           }));
}

TEST_F(DidoDivuzeroreTest, AddTodoTrimsWhiteSpaceAndIgnoresABlankTitle)
{
    const auto repository = makeRepository();
    QSignalSpy changed(repository.get(), &DidoDivuzerore::todosChanged);
    const struct {
        const char* why;
        std::string title;
        std::optional<std::string> stored;
    } cases[] = {
        {"spaces and line breaks", "  Buy milk \n", "Buy milk"},
        {"Unicode spaces", "\u00A0\u2003Call the bank\u3000\u2028", "Call the bank"},
        {"inner spaces stay", "\tpay  rent\r\n", "pay  rent"},
        {"only white space", " \n\t\u00A0\u2029 ", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        const auto before = repository->todos().size();
        const auto signalsBefore = changed.count();
        repository->addTodo(row.title);
        if (!row.stored) {
            EXPECT_EQ(repository->todos().size(), before);
            EXPECT_EQ(changed.count(), signalsBefore);
            continue;
        }
        ASSERT_EQ(repository->todos().size(), before + 1);
        const auto& added = repository->todos().front();
        EXPECT_EQ(added.title, *row.stored);
        EXPECT_FALSE(added.isDone);
        EXPECT_FALSE(added.isFavorite);
        EXPECT_EQ(added.createdAt, clock.now());
        clock.advance(kSecond);
    }
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 3);
    auto stored = container->makeContext()->fetchAll<SyncedTodo>();
    ASSERT_TRUE(stored.has_value());
    for (const auto& row : *stored) {
        EXPECT_EQ(row->deviceID, "desk-a");
        EXPECT_EQ(row->sortIndex, 0);
        EXPECT_EQ(row->completedAt, std::nullopt);
    }
}

TEST_F(DidoDivuzeroreTest, TogglingSetsAndClearsTheCompletionTime)
{
    const auto repository = makeRepository();
    repository->addTodo("Water plants");
    const Uuid id = repository->todos().front().id;
    const auto completedAt = [&] {
        return container->makeContext()->fetch<SyncedTodo>(id)->front()->completedAt;
    };

    clock.advance(kSecond);
    repository->toggleTodo(id);
    EXPECT_TRUE(repository->todos().front().isDone);
    EXPECT_EQ(completedAt(), clock.now());

    clock.advance(kSecond);
    repository->toggleTodo(id);
    EXPECT_FALSE(repository->todos().front().isDone);
    EXPECT_EQ(completedAt(), std::nullopt);

    clock.advance(kSecond);
    repository->toggleTodo(id);
    EXPECT_EQ(completedAt(), clock.now());

    repository->favoriteTodo(id);
    EXPECT_TRUE(repository->todos().front().isFavorite);
    repository->deleteTodo(id);
    EXPECT_TRUE(repository->todos().empty());
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 0);
}

TEST_F(DidoDivuzeroreTest, OperationsOnAnUnknownIdChangeNothing)
{
    const auto repository = makeRepository();
    repository->addTodo("kept");
    repository->addShortcut("Resize", "bolt");
    repository->addTimer(60, "tea");
    QSignalSpy todos(repository.get(), &DidoDivuzerore::todosChanged);
    QSignalSpy shortcuts(repository.get(), &DidoDivuzerore::shortcutsChanged);
    QSignalSpy timers(repository.get(), &DidoDivuzerore::timersChanged);
    const Uuid unknown = Uuid::random();

    repository->toggleTodo(unknown);
    repository->favoriteTodo(unknown);
    repository->deleteTodo(unknown);
    repository->removeShortcut(unknown);
    repository->removeTimer(unknown);

    EXPECT_EQ(todos.count() + shortcuts.count() + timers.count(), 0);
    EXPECT_EQ(repository->todos().size(), 1u);
    EXPECT_FALSE(repository->context().hasChanges());
}

TEST_F(DidoDivuzeroreTest, ArchiveExpiredDeletesOnlyDoneToDosCompletedLongerAgoThanTheLimit)
{
    const Date now = clock.now();
    store<SyncedTodo>({
        todoRow("exactly one day", true, false, now - 2 * kDay, now - kDay),
        todoRow("one second more", true, false, now - 2 * kDay, now - kDay - kSecond),
        todoRow("open, old", false, false, now - 9 * kDay),
        todoRow("done, no completion time", true, false, now - 9 * kDay),
        todoRow("done just now", true, false, now, now),
    });
    const auto repository = makeRepository();

    EXPECT_EQ(repository->archiveExpired(1, now), 1);
    EXPECT_EQ(titles(repository->todos()),
              (Titles{"open, old", "done just now", "exactly one day", "done, no completion time"}));

    QSignalSpy changed(repository.get(), &DidoDivuzerore::todosChanged);
    EXPECT_EQ(repository->archiveExpired(1, now), 0);
    EXPECT_EQ(changed.count(), 0);

    EXPECT_EQ(repository->archiveExpired(0, now + kSecond), 2);
    EXPECT_EQ(titles(repository->todos()), (Titles{"open, old", "done, no completion time"}));
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 2);
    // A day count beyond the clock's range deletes nothing and does not overflow.
    EXPECT_EQ(repository->archiveExpired(std::numeric_limits<int>::max(), now), 0);
}

TEST_F(DidoDivuzeroreTest, ArchiveExpiredMeasuresDamagedCompletionTimesWithoutOverflow)
{
    // Completion times at the ends of the clock's range, as a damaged row
    // from another device may hold: the time since them does not fit in a
    // duration, yet each still counts as long ago or in the future.
    executeOnStore(storeURL(), "INSERT INTO SyncedTodo (Z_RECORDNAME, title, isDone, completedAt) VALUES "
                               "('a', 'earliest', 1, -9223372036854775807 - 1), "
                               "('b', 'latest', 1, 9223372036854775807)");
    const auto repository = makeRepository();
    ASSERT_EQ(repository->todos().size(), 2u);

    const Date centuryLater = clock.now() + 100 * 365 * kDay;
    EXPECT_EQ(repository->archiveExpired(1, centuryLater), 1);
    EXPECT_EQ(titles(repository->todos()), (Titles{"latest"}));
    EXPECT_EQ(repository->archiveExpired(0, kDistantPast), 0);
    EXPECT_EQ(titles(repository->todos()), (Titles{"latest"}));
}

TEST_F(DidoDivuzeroreTest, ShortcutsAndTimersAreListedBySortIndexAndAddedAtTheEnd)
{
    store<SyncedShortcut>({
        std::make_shared<SyncedShortcut>(Uuid::random(), "third", std::nullopt, "a", std::nullopt, 30),
        std::make_shared<SyncedShortcut>(Uuid::random(), "first", std::string("Nickname"), "b", std::nullopt, 10),
        std::make_shared<SyncedShortcut>(Uuid::random(), "second A", std::string(""), "c", std::string("in"), 20),
        std::make_shared<SyncedShortcut>(Uuid::random(), "second B", std::nullopt, "d", std::nullopt, 20),
    });
    const auto repository = makeRepository();
    const auto names = [&] {
        std::vector<std::string> result;
        for (const auto& shortcut : repository->shortcuts())
            result.push_back(shortcut.displayName());
        return result;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Nickname", "", "second B", "third"}));

    repository->addShortcut("Resize", "bolt");
    EXPECT_EQ(names(), (std::vector<std::string>{"Resize", "Nickname", "", "second B", "third"}));
    const auto& resize = repository->shortcuts().front();
    EXPECT_EQ(resize.symbol, "bolt");
    EXPECT_EQ(resize.customName, std::nullopt);
    EXPECT_EQ(resize.textInput, std::nullopt);
    // Its index is the count listed when it was added (4), below the stored 10.
    auto rows = container->makeContext()->fetch<SyncedShortcut>(resize.id);
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ(rows->front()->sortIndex, 4);

    repository->removeShortcut(resize.id);
    EXPECT_EQ(names(), (std::vector<std::string>{"Nickname", "", "second B", "third"}));

    repository->addTimer(300, "  pasta ");
    repository->addTimer(60, "");
    ASSERT_EQ(repository->timers().size(), 2u);
    EXPECT_EQ(repository->timers()[0], (TimerSnapshot{repository->timers()[0].id, "  pasta ", 300}));
    EXPECT_EQ(repository->timers()[1].total, 60);
    repository->removeTimer(repository->timers()[0].id);
    ASSERT_EQ(repository->timers().size(), 1u);
    EXPECT_EQ(repository->timers()[0].label, "");
}

TEST_F(DidoDivuzeroreTest, ARefreshThatFindsTheSameListsNotifiesNoOne)
{
    const auto repository = makeRepository();
    repository->addTodo("one");
    repository->addShortcut("s", "bolt");
    repository->saveNote("note");
    QSignalSpy todos(repository.get(), &DidoDivuzerore::todosChanged);
    QSignalSpy shortcuts(repository.get(), &DidoDivuzerore::shortcutsChanged);
    QSignalSpy timers(repository.get(), &DidoDivuzerore::timersChanged);
    QSignalSpy note(repository.get(), &DidoDivuzerore::noteTextChanged);
    QSignalSpy conflict(repository.get(), &DidoDivuzerore::noteHadConflictChanged);

    repository->refresh();
    repository->reloadFromStore();

    EXPECT_EQ(todos.count() + shortcuts.count() + timers.count() + note.count() + conflict.count(), 0);
}

TEST_F(DidoDivuzeroreTest, AFailedSaveIsTracedKeptAndSavedByTheNextReload)
{
    const auto repository = makeRepository();
    StoreWriteLock lock(storeURL());

    repository->addTodo("written while locked");
    ASSERT_EQ(titles(repository->todos()), (Titles{"written while locked"}));
    ASSERT_EQ(traceLines.size(), 1u);
    EXPECT_NE(traceLines[0].find("save failed"), std::string::npos) << traceLines[0];
    EXPECT_NE(traceLines[0].find("locked"), std::string::npos) << traceLines[0];

    // Opening the Desk while the store is still locked drops nothing.
    repository->reloadFromStore();
    EXPECT_EQ(titles(repository->todos()), (Titles{"written while locked"}));
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 0);

    lock.release();
    repository->reloadFromStore();
    EXPECT_EQ(titles(repository->todos()), (Titles{"written while locked"}));
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 1);
    EXPECT_FALSE(repository->context().hasChanges());
    EXPECT_NE(traceLines.back().find("saved the changes kept"), std::string::npos) << traceLines.back();
}

TEST_F(DidoDivuzeroreTest, AFailedSaveIsWrittenByTheNextEdit)
{
    const auto repository = makeRepository();
    {
        StoreWriteLock lock(storeURL());
        repository->addTodo("first");
    }
    repository->addTodo("second");
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 2);
    EXPECT_FALSE(repository->context().hasChanges());
}

TEST_F(DidoDivuzeroreTest, ARemoteChangeRefreshesAndKeepsUnsavedEdits)
{
    const auto repository = makeRepository();
    repository->addTodo("mine");
    QSignalSpy changed(repository.get(), &DidoDivuzerore::todosChanged);
    {
        StoreWriteLock lock(storeURL());
        repository->favoriteTodo(repository->todos().front().id); // kept pending
    }
    store<SyncedTodo>({todoRow("from another device", false, false, clock.now() - kSecond)});

    container->postRemoteChange();

    EXPECT_EQ(titles(repository->todos()), (Titles{"mine", "from another device"}));
    EXPECT_TRUE(repository->todos().front().isFavorite);
    auto stored = container->makeContext()->fetch<SyncedTodo>(repository->todos().front().id);
    EXPECT_TRUE(stored->front()->isFavorite);
    EXPECT_GE(changed.count(), 2);
}

TEST_F(DidoDivuzeroreTest, StopEndsTheRemoteChangeObservation)
{
    const auto repository = makeRepository();
    repository->stop();
    repository->stop();
    store<SyncedTodo>({todoRow("from another device", false, false, clock.now())});

    container->postRemoteChange();
    EXPECT_TRUE(repository->todos().empty());
    repository->refresh();
    EXPECT_EQ(repository->todos().size(), 1u);
}

TEST_F(DidoDivuzeroreTest, ARepositoryGoneBeforeARemoteChangeIsNotCalled)
{
    makeRepository().reset();
    container->postRemoteChange(); // must not reach the destroyed repository
    SUCCEED();
}
