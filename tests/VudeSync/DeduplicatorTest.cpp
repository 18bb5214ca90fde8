#include "StoreFixture.h"

#include "VudeSync/Deduplicator.h"

#include <QSignalSpy>

#include <algorithm>
#include <set>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
const Date kT1 = kReferenceDate + std::chrono::hours(24 * 365 * 20);

/// A row with a chosen record name, so the tests say which one comes first.
template <typename Model, typename... Arguments>
std::shared_ptr<Model> named(const std::string& recordName, Arguments&&... arguments)
{
    auto row = std::make_shared<Model>(std::forward<Arguments>(arguments)...);
    row->setRecordName(recordName);
    return row;
}

std::shared_ptr<SyncedTodo> todo(const std::string& recordName, const Uuid& uuid, Date createdAt, bool isDone,
                                 const std::string& title = "")
{
    return named<SyncedTodo>(recordName, uuid, title, isDone, false, createdAt, std::nullopt, 0, "x");
}

std::shared_ptr<SyncedNote> noteWith(const std::string& recordName, const Uuid& uuid, int revisionCount,
                                     const std::string& device)
{
    auto note = named<SyncedNote>(recordName, uuid, "Notes", kT1);
    for (int i = 0; i < revisionCount; ++i) {
        auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), device + " " + std::to_string(i), kT1,
                                                             device + std::to_string(i));
        revision->setNote(note);
    }
    return note;
}

} // namespace

class DeduplicatorTest : public StoreFixture {
protected:
    /// Inserts in the given order, so the store's own order (Z_PK) is this one.
    template <typename Model>
    void store(const std::vector<std::shared_ptr<Model>>& rows)
    {
        auto context = container->makeContext();
        for (const auto& row : rows)
            context->insert(row);
        ASSERT_TRUE(context->save().has_value());
    }

    Deduplicator::Summary run()
    {
        auto context = container->makeContext();
        auto summary = Deduplicator().run(*context);
        EXPECT_TRUE(summary.has_value()) << (summary ? "" : summary.error());
        return summary ? *summary : Deduplicator::Summary{};
    }

    template <typename Model>
    std::vector<std::string> survivors()
    {
        std::vector<std::string> names;
        const auto rows = container->makeContext()->fetchAll<Model>().value();
        for (const auto& row : rows)
            names.push_back(row->recordName());
        std::sort(names.begin(), names.end());
        return names;
    }

    using Names = std::vector<std::string>;
};

TEST_F(DeduplicatorTest, AStoreWithoutDuplicatesIsLeftAsItIsAndNotSaved)
{
    store<SyncedTodo>({todo("a", Uuid::random(), kT1, false, "Same"), todo("b", Uuid::random(), kT1, false, "Same")});
    store<SyncedShortcut>({named<SyncedShortcut>("s", Uuid::random(), "Resize", std::nullopt, "photo", std::nullopt, 0)});
    QSignalSpy saves(container.get(), &ModelContainer::localSave);
    const auto summary = run();
    EXPECT_EQ(summary, Deduplicator::Summary{});
    EXPECT_TRUE(summary.isEmpty());
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(survivors<SyncedTodo>(), (Names{"a", "b"})) << "alike contents under different uuids are not duplicates";
}

TEST_F(DeduplicatorTest, TheEarliestToDoSurvivesAndAtOneTimeTheDoneOne)
{
    const Uuid one = Uuid::random();
    store<SyncedTodo>({todo("c", one, kT1 + kSecond, false), todo("a", one, kT1, false), todo("b", one, kT1 + kSecond, false)});
    EXPECT_EQ(run().todos, 2);
    EXPECT_EQ(survivors<SyncedTodo>(), Names{"a"});

    const Uuid two = Uuid::random();
    for (const bool doneFirst : {true, false}) {
        SCOPED_TRACE(doneFirst ? "the done one met first" : "the done one met second");
        executeOnStore(storeURL(), "DELETE FROM SyncedTodo");
        store<SyncedTodo>({todo(doneFirst ? "d" : "e", two, kT1, true), todo(doneFirst ? "e" : "d", two, kT1, false)});
        EXPECT_EQ(run().todos, 1);
        EXPECT_EQ(survivors<SyncedTodo>(), Names{doneFirst ? "d" : "e"});
    }
}

TEST_F(DeduplicatorTest, TheDistantPastDefaultBeatsEveryRealCreationTime)
{
    const Uuid one = Uuid::random();
    auto defaulted = named<SyncedTodo>("z");
    defaulted->uuid = one;
    store<SyncedTodo>({todo("a", one, kT1, true), defaulted});
    run();
    EXPECT_EQ(survivors<SyncedTodo>(), Names{"z"});
}

TEST_F(DeduplicatorTest, FullTiesKeepTheFirstRecordNameWhateverTheStoresOwnOrder)
{
    // Two devices hold the same rows in opposite store orders; both must keep
    // the same one, or each would delete the other's and nothing would stay.
    const Uuid todoID = Uuid::random();
    const Uuid timerID = Uuid::random();
    const Uuid shortcutID = Uuid::random();
    store<SyncedTodo>({todo("B-todo", todoID, kT1, true), todo("A-todo", todoID, kT1, true)});
    store<SyncedTimer>({named<SyncedTimer>("B-timer", timerID, "Tea", 60.0, 1), named<SyncedTimer>("A-timer", timerID, "Tea", 60.0, 1)});
    store<SyncedShortcut>({named<SyncedShortcut>("B-sc", shortcutID, "X", std::nullopt, "sparkles", std::nullopt, 0),
                           named<SyncedShortcut>("A-sc", shortcutID, "X", std::nullopt, "sparkles", std::nullopt, 0)});
    const auto summary = run();
    EXPECT_EQ(summary, (Deduplicator::Summary{1, 0, 1, 1}));
    EXPECT_EQ(summary.total(), 3);
    EXPECT_EQ(survivors<SyncedTodo>(), Names{"A-todo"});
    EXPECT_EQ(survivors<SyncedTimer>(), Names{"A-timer"});
    EXPECT_EQ(survivors<SyncedShortcut>(), Names{"A-sc"});
}

TEST_F(DeduplicatorTest, TheLowestSortIndexWinsForTimersAndShortcuts)
{
    const Uuid timerID = Uuid::random();
    const Uuid shortcutID = Uuid::random();
    store<SyncedTimer>({named<SyncedTimer>("a", timerID, "Tea", 60.0, 3), named<SyncedTimer>("b", timerID, "Tea", 60.0, 1),
                        named<SyncedTimer>("c", timerID, "Tea", 60.0, 2)});
    store<SyncedShortcut>({named<SyncedShortcut>("d", shortcutID, "X", std::string("Mine"), "photo", std::nullopt, 5),
                           named<SyncedShortcut>("e", shortcutID, "X", std::nullopt, "photo", std::nullopt, 4)});
    const auto summary = run();
    EXPECT_EQ(summary.timers, 2);
    EXPECT_EQ(summary.shortcuts, 1);
    EXPECT_EQ(survivors<SyncedTimer>(), Names{"b"});
    EXPECT_EQ(survivors<SyncedShortcut>(), Names{"e"}) << "nothing is copied from the loser";
    EXPECT_EQ(container->makeContext()->fetchAll<SyncedShortcut>().value()[0]->customName, std::nullopt);
}

TEST_F(DeduplicatorTest, TheNoteWithMoreRevisionsStaysAndTakesTheOthersRevisions)
{
    const Uuid scratch = Uuid::random();
    store<SyncedNote>({noteWith("a", scratch, 2, "desk-a"), noteWith("b", scratch, 5, "desk-b")});
    const auto summary = run();
    EXPECT_EQ(summary.notes, 1);
    EXPECT_EQ(summary.total(), 1) << "revisions are not counted";
    EXPECT_EQ(survivors<SyncedNote>(), Names{"b"});
    const auto notes = container->makeContext()->fetchAll<SyncedNote>().value();
    ASSERT_EQ(notes.size(), 1u);
    std::set<std::string> texts;
    for (const auto& revision : notes[0]->revisions())
        texts.insert(revision->text);
    EXPECT_EQ(texts.size(), 7u) << "the removed note's text is kept, not cascaded away";
    EXPECT_TRUE(texts.contains("desk-a 1"));
    EXPECT_EQ(countOnStore(storeURL(), "SyncedNoteRevision"), 7);
}

TEST_F(DeduplicatorTest, NotesWithEqualRevisionCountsKeepTheFirstRecordName)
{
    const Uuid scratch = Uuid::random();
    store<SyncedNote>({noteWith("n2", scratch, 1, "desk-b"), noteWith("n1", scratch, 1, "desk-a"),
                       noteWith("n3", Uuid::random(), 0, "none")});
    EXPECT_EQ(run().notes, 1);
    EXPECT_EQ(survivors<SyncedNote>(), (Names{"n1", "n3"}));
    const auto notes = container->makeContext()->fetch<SyncedNote>(scratch).value();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0]->revisions().size(), 2u);
}

TEST_F(DeduplicatorTest, AFailedSaveIsReturnedAndNothingIsDeleted)
{
    const Uuid one = Uuid::random();
    store<SyncedTodo>({todo("a", one, kT1, false), todo("b", one, kT1, false)});
    StoreWriteLock lock(storeURL());
    auto context = container->makeContext();
    auto summary = Deduplicator().run(*context);
    EXPECT_FALSE(summary.has_value());
    lock.release();
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 2);
}

TEST(RecordNameTest, NamesMadeOneAfterAnotherSortInThatOrder)
{
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i)
        names.push_back(PersistentModel::newRecordName());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    for (const auto& name : {names.front(), names.back()}) {
        const auto uuid = Uuid::parse(name);
        ASSERT_TRUE(uuid.has_value()) << name;
        EXPECT_EQ(uuid->toString(), name);
    }
}
