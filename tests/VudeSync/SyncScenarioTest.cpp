// Two installs, each with its own store, repository and install id, sharing
// one cloud folder: what a user of two computers sees.
#include "CloudFixture.h"

#include "VudeSync/Deduplicator.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ScratchNote.h"

#include <QSignalSpy>

#include <fstream>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
constexpr Duration kExportDelay = std::chrono::seconds(2);
const std::string kSeparator(NoteMerge::separator);

} // namespace

class SyncScenarioTest : public CloudFixture {
protected:
    void SetUp() override
    {
        CloudFixture::SetUp();
        open("a");
        open("b");
        scheduler.runDue();
        deskA = std::make_unique<DidoDivuzerore>(installs["a"].container->makeContext(), "Desk A", clock);
        deskB = std::make_unique<DidoDivuzerore>(installs["b"].container->makeContext(), "Desk B", clock);
    }

    void TearDown() override
    {
        deskA.reset();
        deskB.reset();
        CloudFixture::TearDown();
    }

    /// Both installs pass until neither has anything left to send or apply.
    void syncBoth()
    {
        for (int round = 0; round < 4; ++round) {
            const auto a = installs["a"].sync();
            const auto b = installs["b"].sync();
            if (a.exported + a.imported + b.exported + b.imported == 0)
                return;
        }
        ADD_FAILURE() << "the installs did not settle";
    }

    Deduplicator::Summary deduplicate(const std::string& name)
    {
        auto context = installs[name].container->makeContext();
        auto summary = Deduplicator().run(*context);
        EXPECT_TRUE(summary.has_value());
        return summary ? *summary : Deduplicator::Summary{};
    }

    std::unique_ptr<DidoDivuzerore> deskA;
    std::unique_ptr<DidoDivuzerore> deskB;
};

TEST_F(SyncScenarioTest, AToDoAddedOnOneDeskShowsOnTheOther)
{
    QSignalSpy todosOnB(deskB.get(), &DidoDivuzerore::todosChanged);
    deskA->addTodo("Book the train");
    scheduler.advance(kExportDelay);
    installs["b"].sync();
    ASSERT_EQ(deskB->todos().size(), 1u) << "the remote change refreshes the repository by itself";
    EXPECT_EQ(deskB->todos()[0].title, "Book the train");
    EXPECT_EQ(todosOnB.count(), 1);

    deskB->toggleTodo(deskB->todos()[0].id);
    scheduler.advance(kExportDelay);
    installs["a"].sync();
    EXPECT_TRUE(deskA->todos()[0].isDone);
}

TEST_F(SyncScenarioTest, TheNoteEditedOnBothDesksShowsTheMergedTextWithTheConflictBlock)
{
    deskA->saveNote("Groceries\n");
    syncBoth();
    EXPECT_EQ(deskB->noteText(), "Groceries\n");

    deskA->saveNote("Groceries\nmilk");
    clock.advance(kSecond);
    deskB->saveNote("Groceries\neggs");
    syncBoth();
    const std::string merged = "Groceries\neggs" + kSeparator + "milk";
    EXPECT_EQ(deskA->noteText(), merged);
    EXPECT_EQ(deskB->noteText(), merged) << "both desks build the same text";
    EXPECT_TRUE(deskA->noteHadConflict());
    EXPECT_TRUE(deskB->noteHadConflict());
    EXPECT_EQ(installs["a"].rows<SyncedNote>().size(), 1u);
    EXPECT_EQ(installs["a"].rows<SyncedNoteRevision>().size(), 2u) << "one revision per desk";
}

TEST_F(SyncScenarioTest, NotesMadeOnBothDesksCollapseToOneThatHoldsEveryRevision)
{
    // Each desk writes before it has seen the other's note, so each makes one.
    deskA->saveNote("Groceries\nmilk");
    clock.advance(kSecond);
    deskB->saveNote("Groceries\neggs");
    syncBoth();
    ASSERT_EQ(installs["a"].rows<SyncedNote>().size(), 2u);
    ASSERT_EQ(installs["b"].rows<SyncedNote>().size(), 2u);

    EXPECT_EQ(deduplicate("a").notes, 1);
    EXPECT_EQ(deduplicate("b").notes, 1);
    scheduler.advance(kExportDelay);
    syncBoth();
    EXPECT_TRUE(deduplicate("a").isEmpty()) << "nothing is left to collapse";

    for (const auto* name : {"a", "b"}) {
        SCOPED_TRACE(name);
        const auto notes = installs[name].rows<SyncedNote>();
        ASSERT_EQ(notes.size(), 1u) << "exactly one note, and not zero";
        EXPECT_EQ(notes[0]->uuid, ScratchNote::kID);
        std::vector<std::string> texts;
        for (const auto& revision : notes[0]->revisions())
            texts.push_back(revision->text);
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, (std::vector<std::string>{"Groceries\neggs", "Groceries\nmilk"}));
        EXPECT_EQ(installs[name].rows<SyncedNoteRevision>().size(), 2u);
    }
    EXPECT_EQ(installs["a"].rows<SyncedNote>()[0]->recordName(), installs["b"].rows<SyncedNote>()[0]->recordName());
    // As the start-up task does after a run that removed rows.
    deskA->refresh();
    deskB->refresh();
    const std::string merged = "Groceries\neggs" + kSeparator + "milk";
    EXPECT_EQ(deskA->noteText(), merged);
    EXPECT_EQ(deskB->noteText(), merged);
}

TEST_F(SyncScenarioTest, AToDoImportedTwiceCollapsesToTheSameRowEverywhere)
{
    const Uuid legacy = Uuid::random();
    const Date created = clock.now() - std::chrono::hours(24);
    installs["a"].insert<SyncedTodo>(
        {std::make_shared<SyncedTodo>(legacy, "From the old file", false, false, created, std::nullopt, 0, "Desk A")});
    installs["b"].insert<SyncedTodo>(
        {std::make_shared<SyncedTodo>(legacy, "From the old file", false, false, created, std::nullopt, 0, "Desk B")});
    syncBoth();
    deduplicate("b");
    deduplicate("a");
    scheduler.advance(kExportDelay);
    syncBoth();
    ASSERT_EQ(installs["a"].rows<SyncedTodo>().size(), 1u);
    ASSERT_EQ(installs["b"].rows<SyncedTodo>().size(), 1u);
    EXPECT_EQ(installs["a"].rows<SyncedTodo>()[0]->recordName(), installs["b"].rows<SyncedTodo>()[0]->recordName());
}

// A third computer's file that nests 200,000 deep sits in the shared folder
// for good: the two desks skip it and still agree on everything else.
TEST_F(SyncScenarioTest, TheDesksConvergeWhileTheFolderHoldsAFileNestedTooDeep)
{
    const std::string third = "0C000000-0000-4000-8000-0000000000DE";
    std::filesystem::create_directories(containerFolder());
    std::ofstream(containerFolder() / (third + ".json"), std::ios::binary)
        << R"({"format": "vude-cloud-1", "install": ")" << third
        << R"(", "revision": 1, "records": [{"name": "deep", "type": "SyncedTodo", "modified": 1, "revision": 1, )"
        << R"("fields": {"title": )" << std::string(200'000, '[') << std::string(200'000, ']') << "}}]}";

    deskA->addTodo("Book the train");
    clock.advance(kSecond);
    deskB->addTodo("Water the plants");
    scheduler.advance(kExportDelay);
    syncBoth();
    ASSERT_EQ(deskA->todos().size(), 2u);
    ASSERT_EQ(deskB->todos().size(), 2u);

    const auto titled = [](const DidoDivuzerore& desk, const std::string& title) {
        for (const auto& todo : desk.todos())
            if (todo.title == title)
                return todo.id;
        ADD_FAILURE() << "no to-do " << title;
        return Uuid();
    };
    deskB->toggleTodo(titled(*deskB, "Book the train"));
    deskA->deleteTodo(titled(*deskA, "Water the plants"));
    scheduler.advance(kExportDelay);
    syncBoth();
    for (const auto* desk : {deskA.get(), deskB.get()}) {
        ASSERT_EQ(desk->todos().size(), 1u);
        EXPECT_EQ(desk->todos()[0].title, "Book the train");
        EXPECT_TRUE(desk->todos()[0].isDone);
    }
    EXPECT_TRUE(traced("a: cloud: skipped " + third + ".json"));
    EXPECT_TRUE(traced("b: cloud: skipped " + third + ".json"));
}
