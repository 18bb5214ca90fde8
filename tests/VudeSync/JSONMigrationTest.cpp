#include "StoreFixture.h"

#include "VudeSync/JSONMigration.h"
#include "VudeSync/ScratchNote.h"

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const Date kNow = kReferenceDate + std::chrono::hours(24 * 365 * 20);
const std::string kMilkID = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

const std::string kGoodShortcuts = R"([{"id": "11111111-2222-4333-8444-555555555555", "shortcutName": "Resize",
    "customName": "Small", "symbol": "photo", "textInput": "50%"}, {"shortcutName": "Plain"}])";

} // namespace

class JSONMigrationTest : public StoreFixture {
protected:
    fs::path legacyFolder() const { return folder() / "Support" / "Vude"; }

    void writeLegacy(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(legacyFolder());
        std::ofstream(legacyFolder() / name, std::ios::binary) << bytes;
    }

    JSONMigration migration() const
    {
        return JSONMigration("Vude", "Desk A", {folder() / "Support", defaults, &clock});
    }

    Expected<JSONMigration::Summary, std::string> run(bool force = false)
    {
        auto context = container->makeContext();
        return migration().run(*context, force);
    }

    template <typename Model>
    std::vector<std::shared_ptr<Model>> stored() const
    {
        return container->makeContext()->fetchAll<Model>().value();
    }

    ManualClock clock{kNow};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
};

TEST_F(JSONMigrationTest, ImportsEachFileOnceAndSetsTheFlag)
{
    writeLegacy("todos.json", R"([
        {"id": ")" + kMilkID + R"(", "title": "  Milk ", "isDone": true, "isFavorite": true, "createdAt": 600000000.5,
         "completedAt": 600000100},
        {"title": "Eggs", "unknown": [1, 2], "completedAt": 600000200, "isDone": null},
        {}
    ])");
    writeLegacy("shortcuts.json", kGoodShortcuts);
    writeLegacy("note.txt", "Shopping\n  - bread \n");

    const auto summary = run();
    ASSERT_TRUE(summary.has_value()) << summary.error();
    EXPECT_EQ(*summary, (JSONMigration::Summary{3, 0, 2, 1}));
    EXPECT_EQ(JSONMigration::traceLine(*summary), "migrated todos=3 notes=1 shortcuts=2 total=6");
    EXPECT_TRUE(migration().hasRun());

    auto todos = stored<SyncedTodo>();
    ASSERT_EQ(todos.size(), 3u);
    EXPECT_EQ(todos[0]->uuid.toString(), kMilkID);
    EXPECT_EQ(todos[0]->title, "  Milk ") << "not trimmed";
    EXPECT_TRUE(todos[0]->isDone);
    EXPECT_TRUE(todos[0]->isFavorite);
    EXPECT_EQ(todos[0]->createdAt, dateFromSecondsSinceReferenceDate(600000000.5));
    EXPECT_EQ(todos[0]->deviceID, "Desk A");
    EXPECT_EQ(todos[1]->title, "Eggs");
    EXPECT_FALSE(todos[1]->isDone) << "null is the same as absent";
    EXPECT_EQ(todos[1]->completedAt, dateFromSecondsSinceReferenceDate(600000200)) << "kept although not done";
    EXPECT_EQ(todos[1]->createdAt, kNow) << "the time of the import";
    EXPECT_EQ(todos[2]->title, "");
    EXPECT_EQ(todos[2]->sortIndex, 2);

    auto shortcuts = stored<SyncedShortcut>();
    ASSERT_EQ(shortcuts.size(), 2u);
    EXPECT_EQ(shortcuts[0]->shortcutName, "Resize");
    EXPECT_EQ(shortcuts[0]->customName, std::optional<std::string>("Small"));
    EXPECT_EQ(shortcuts[0]->textInput, std::optional<std::string>("50%"));
    EXPECT_EQ(shortcuts[1]->symbol, "sparkles");
    EXPECT_EQ(shortcuts[1]->customName, std::nullopt);
    EXPECT_EQ(shortcuts[1]->sortIndex, 1);

    auto notes = stored<SyncedNote>();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0]->uuid, ScratchNote::kID);
    EXPECT_EQ(notes[0]->title, "Notes");
    ASSERT_EQ(notes[0]->revisions().size(), 1u);
    EXPECT_EQ(notes[0]->revisions()[0]->text, "Shopping\n  - bread \n") << "whitespace kept";
    EXPECT_EQ(notes[0]->revisions()[0]->deviceID, "Desk A");

    const auto again = run();
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isEmpty()) << "the flag is set: nothing is read again";
    EXPECT_EQ(stored<SyncedTodo>().size(), 3u);
}

TEST_F(JSONMigrationTest, WithoutFilesNothingIsImportedButTheFlagIsSet)
{
    const auto summary = run();
    ASSERT_TRUE(summary.has_value());
    EXPECT_TRUE(summary->isEmpty());
    EXPECT_EQ(summary->timers, 0);
    EXPECT_TRUE(migration().hasRun());
    EXPECT_FALSE(fs::exists(legacyFolder())) << "nothing is created there";
}

TEST_F(JSONMigrationTest, AFileThatDoesNotDecodeAsAWholeContributesNothingAndTheOthersStillImport)
{
    const struct {
        const char* what;
        std::string todos;
    } cases[] = {
        {"a Boolean written as text", R"([{"title": "ok"}, {"title": "bad", "isDone": "yes"}])"},
        {"a Boolean written as a number", R"([{"title": "bad", "isDone": 1}])"},
        {"a date written as text", R"([{"title": "bad", "createdAt": "2024-01-01"}])"},
        {"an identifier that is not a UUID", R"([{"id": "milk", "title": "bad"}])"},
        {"an element that is not an object", R"([{"title": "ok"}, "bad"])"},
        {"a top level that is not a list", R"({"title": "bad"})"},
        {"broken JSON", R"([{"title": "ok"})"},
        {"text that is not UTF-8", "[{\"title\": \"b\xFF\"}]"},
    };
    writeLegacy("shortcuts.json", kGoodShortcuts);
    writeLegacy("note.txt", "note");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        executeOnStore(storeURL(), "DELETE FROM SyncedTodo; DELETE FROM SyncedShortcut; DELETE FROM SyncedNote;");
        writeLegacy("todos.json", c.todos);
        const auto summary = run(true);
        ASSERT_TRUE(summary.has_value());
        EXPECT_EQ(*summary, (JSONMigration::Summary{0, 0, 2, 1}));
        EXPECT_TRUE(stored<SyncedTodo>().empty());
    }
}

TEST_F(JSONMigrationTest, RowsAlreadyStoredAreSkippedAndPositionsStillCount)
{
    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTodo>(*Uuid::parse(kMilkID), "Stored", false, false, kNow, std::nullopt, 9, "B"));
    ASSERT_TRUE(context->save().has_value());
    const std::string twice = "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE";
    std::string lowerMilk = kMilkID;
    std::transform(lowerMilk.begin(), lowerMilk.end(), lowerMilk.begin(), ::tolower);
    writeLegacy("todos.json", R"([{"id": ")" + lowerMilk + R"(", "title": "Milk"}, {"id": ")" + twice
                                  + R"(", "title": "One"}, {"id": ")" + twice + R"(", "title": "Two"}])");

    const auto summary = run();
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->todos, 2) << "the same identifier twice in one file is inserted twice";
    auto todos = stored<SyncedTodo>();
    ASSERT_EQ(todos.size(), 3u);
    EXPECT_EQ(todos[0]->title, "Stored") << "identifiers compare as values, in either case";
    EXPECT_EQ(todos[1]->sortIndex, 1) << "the skipped element still counts its position";
    EXPECT_EQ(todos[2]->sortIndex, 2);
}

TEST_F(JSONMigrationTest, AForcedRunIgnoresTheFlagAndElementsWithoutAnIdComeAgain)
{
    writeLegacy("todos.json", R"([{"title": "No id"}])");
    ASSERT_EQ(run()->todos, 1);
    EXPECT_EQ(run()->todos, 0);
    const auto forced = run(true);
    ASSERT_TRUE(forced.has_value());
    EXPECT_EQ(forced->todos, 1);
    EXPECT_EQ(stored<SyncedTodo>().size(), 2u);
}

TEST_F(JSONMigrationTest, TheNoteFileAndTheStoredNote)
{
    const struct {
        const char* what;
        std::optional<std::string> file;
        int notes;
    } cases[] = {
        {"no file", std::nullopt, 0},
        {"zero bytes", "", 0},
        {"not UTF-8", "caf\xE9", 0},
        {"a lone line break", "\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        executeOnStore(storeURL(), "DELETE FROM SyncedNote;");
        fs::remove(legacyFolder() / "note.txt");
        if (c.file)
            writeLegacy("note.txt", *c.file);
        writeLegacy("note.txt.bak", "the backup is never read");
        const auto summary = run(true);
        ASSERT_TRUE(summary.has_value());
        EXPECT_EQ(summary->notes, c.notes);
        EXPECT_EQ(stored<SyncedNote>().size(), std::size_t(c.notes));
    }
    EXPECT_EQ(stored<SyncedNoteRevision>()[0]->text, "\n");

    writeLegacy("note.txt", "new text");
    const auto summary = run(true);
    EXPECT_EQ(summary->notes, 0) << "the scratch note is already there; its text is not merged";
    EXPECT_EQ(stored<SyncedNote>().size(), 1u);
}

TEST_F(JSONMigrationTest, AFailedSaveLeavesTheFlagUnsetSoTheNextLaunchTriesAgain)
{
    writeLegacy("todos.json", R"([{"title": "Milk"}])");
    {
        StoreWriteLock lock(storeURL());
        const auto failed = run();
        EXPECT_FALSE(failed.has_value());
        EXPECT_FALSE(migration().hasRun());
    }
    const auto retried = run();
    ASSERT_TRUE(retried.has_value());
    EXPECT_EQ(retried->todos, 1);
    EXPECT_TRUE(migration().hasRun());
}
