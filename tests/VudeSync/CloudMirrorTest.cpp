#include "CloudFixture.h"

#include "Platform/Core/AtomicFile.h"

#include <QSignalSpy>

#include <fstream>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
constexpr Duration kExportDelay = std::chrono::seconds(2);

std::shared_ptr<SyncedTodo> todo(const std::string& title, Date createdAt)
{
    return std::make_shared<SyncedTodo>(Uuid::random(), title, false, false, createdAt, std::nullopt, 0, "a");
}

template <typename Model, typename Change>
void changeFirst(const Install& install, Change&& change)
{
    auto context = install.container->makeContext();
    auto rows = context->fetchAll<Model>();
    ASSERT_TRUE(rows.has_value());
    ASSERT_FALSE(rows->empty());
    change(*context, rows->front());
    ASSERT_TRUE(context->save().has_value());
}

} // namespace

class CloudMirrorTest : public CloudFixture {};

TEST_F(CloudMirrorTest, AnInsertAnEditAndADeleteOnOneInstallAppearOnTheOtherWithTheRemoteChangeSignal)
{
    auto& a = open("a");
    auto& b = open("b");
    scheduler.runDue();
    QSignalSpy remoteChanges(b.container.get(), &ModelContainer::remoteChange);

    const auto milk = std::make_shared<SyncedTodo>(Uuid::random(), "Buy milk", false, true, clock.now(),
                                                   std::nullopt, 3, "Desk A");
    a.insert<SyncedTodo>({milk});
    EXPECT_EQ(b.sync().imported, 0) << "nothing leaves A before the export delay";
    scheduler.advance(kExportDelay);
    EXPECT_EQ(b.sync().imported, 1);
    auto onB = b.rows<SyncedTodo>();
    ASSERT_EQ(onB.size(), 1u);
    EXPECT_EQ(onB[0]->recordName(), milk->recordName());
    EXPECT_EQ(onB[0]->uuid, milk->uuid);
    EXPECT_EQ(onB[0]->title, "Buy milk");
    EXPECT_TRUE(onB[0]->isFavorite);
    EXPECT_EQ(onB[0]->createdAt, milk->createdAt);
    EXPECT_EQ(onB[0]->sortIndex, 3);
    EXPECT_EQ(onB[0]->deviceID, "Desk A");
    EXPECT_EQ(remoteChanges.count(), 1);

    clock.advance(kSecond);
    const Date done = clock.now();
    changeFirst<SyncedTodo>(a, [&](ModelContext&, const auto& row) {
        row->isDone = true;
        row->completedAt = done;
    });
    scheduler.advance(kExportDelay);
    b.sync();
    onB = b.rows<SyncedTodo>();
    ASSERT_EQ(onB.size(), 1u);
    EXPECT_TRUE(onB[0]->isDone);
    EXPECT_EQ(onB[0]->completedAt, done);

    changeFirst<SyncedTodo>(a, [](ModelContext& context, const auto& row) { context.remove(row); });
    scheduler.advance(kExportDelay);
    b.sync();
    EXPECT_TRUE(b.rows<SyncedTodo>().empty()) << "the deletion travels";
    EXPECT_EQ(remoteChanges.count(), 3);

    EXPECT_EQ(b.sync().imported, 0) << "what was applied is not applied again";
    EXPECT_EQ(remoteChanges.count(), 3);
}

TEST_F(CloudMirrorTest, EveryModelAndTheNoteRelationshipTravel)
{
    auto& a = open("a");
    auto& b = open("b");
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", clock.now());
    auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), "héllo\n", clock.now(), "Desk A");
    revision->setNote(note);
    a.insert<SyncedNote>({note});
    a.insert<SyncedTimer>({std::make_shared<SyncedTimer>(Uuid::random(), "Tea", 180.5, 2)});
    a.insert<SyncedShortcut>({std::make_shared<SyncedShortcut>(Uuid::random(), "Resize", std::nullopt, "photo",
                                                                std::string("input"), 1)});
    a.sync();
    b.sync();

    const auto notes = b.rows<SyncedNote>();
    ASSERT_EQ(notes.size(), 1u);
    ASSERT_EQ(notes[0]->revisions().size(), 1u);
    EXPECT_EQ(notes[0]->revisions()[0]->text, "héllo\n");
    EXPECT_EQ(notes[0]->revisions()[0]->recordName(), revision->recordName());
    const auto timers = b.rows<SyncedTimer>();
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0]->total, 180.5);
    const auto shortcuts = b.rows<SyncedShortcut>();
    ASSERT_EQ(shortcuts.size(), 1u);
    EXPECT_EQ(shortcuts[0]->customName, std::nullopt);
    EXPECT_EQ(shortcuts[0]->textInput, std::optional<std::string>("input"));
}

TEST_F(CloudMirrorTest, ThePassesAreAnnouncedAsAStartWithoutAnEndDateThenAnEndWithItsDate)
{
    auto& a = open("a");
    scheduler.runDue();
    ASSERT_EQ(events.size(), 2u) << "the first pass is always announced";
    EXPECT_EQ(events[0].type, CloudMirrorEvent::Type::setup);
    EXPECT_FALSE(events[0].endDate.has_value());
    EXPECT_TRUE(events[1].succeeded);
    EXPECT_EQ(events[1].endDate, clock.now());

    events.clear();
    a.sync();
    EXPECT_TRUE(events.empty()) << "a pass with nothing to do is not news";

    a.insert<SyncedTodo>({todo("Call Ann", clock.now())});
    scheduler.advance(kSecond);
    EXPECT_TRUE(events.empty());
    a.insert<SyncedTodo>({todo("Call Bo", clock.now())});
    scheduler.advance(kSecond);
    ASSERT_EQ(events.size(), 2u) << "saves within the delay go out in one pass";
    EXPECT_EQ(events[1].type, CloudMirrorEvent::Type::exportChanges);
    EXPECT_EQ(events[1].endDate, clock.now());
    EXPECT_EQ(a.cloud->ownVersion(a.rows<SyncedTodo>()[1]->recordName())->modifiedAt, clock.now());
}

TEST_F(CloudMirrorTest, AFullCloudFailsThePassWithTheQuotaCodeAndKeepsTheChangeForLater)
{
    FolderCloudDatabase::Options small;
    small.quotaBytes = 600;
    auto& a = open("a", small);
    scheduler.runDue();
    events.clear();
    for (int i = 0; i < 10; ++i)
        a.insert<SyncedTodo>({todo("To-do number " + std::to_string(i), clock.now())});
    scheduler.advance(kExportDelay);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[1].succeeded);
    ASSERT_TRUE(events[1].error.has_value());
    EXPECT_EQ(events[1].error->code, CloudError::quotaExceeded);
    EXPECT_TRUE(events[1].endDate.has_value());
    EXPECT_EQ(a.rows<SyncedTodo>().size(), 10u) << "nothing local is lost";

    auto& reopened = open("a");
    auto& b = open("b");
    reopened.sync();
    b.sync();
    EXPECT_EQ(b.rows<SyncedTodo>().size(), 10u) << "with room again, the changes go out";
}

TEST_F(CloudMirrorTest, AHalfWrittenFileOfAnotherInstallIsSkippedAndNothingLocalIsLost)
{
    auto& a = open("a");
    auto& b = open("b");
    b.insert<SyncedTodo>({todo("From B", clock.now()), todo("Also from B", clock.now())});
    b.sync();
    a.sync();
    ASSERT_EQ(a.rows<SyncedTodo>().size(), 2u);

    const auto file = b.cloud->ownFile();
    const auto bytes = AtomicFile::read(file).value();
    close("b");
    std::ofstream(file, std::ios::trunc) << bytes.substr(0, bytes.size() / 3);
    QSignalSpy remoteChanges(a.container.get(), &ModelContainer::remoteChange);
    const auto result = a.mirror->synchronize();
    ASSERT_TRUE(result.has_value()) << "one bad file does not fail the sync";
    EXPECT_EQ(a.rows<SyncedTodo>().size(), 2u);
    EXPECT_EQ(remoteChanges.count(), 0);
    EXPECT_TRUE(traced("half-synced or damaged"));

    a.insert<SyncedTodo>({todo("From A", clock.now())});
    a.sync();
    EXPECT_EQ(a.rows<SyncedTodo>().size(), 3u) << "A keeps syncing meanwhile";
}

TEST_F(CloudMirrorTest, TheLaterOfTwoEditsWinsOnBothInstalls)
{
    auto& a = open("a");
    auto& b = open("b");
    a.insert<SyncedTodo>({todo("Draft", clock.now())});
    a.sync();
    b.sync();

    changeFirst<SyncedTodo>(a, [](ModelContext&, const auto& row) { row->title = "A's edit"; });
    a.sync();
    clock.advance(kSecond);
    changeFirst<SyncedTodo>(b, [](ModelContext&, const auto& row) { row->title = "B's later edit"; });
    b.sync();
    a.sync();
    b.sync();
    EXPECT_EQ(a.rows<SyncedTodo>()[0]->title, "B's later edit");
    EXPECT_EQ(b.rows<SyncedTodo>()[0]->title, "B's later edit");

    // At one time, the greater install id ("b") wins on both.
    changeFirst<SyncedTodo>(b, [](ModelContext&, const auto& row) { row->title = "B at t"; });
    changeFirst<SyncedTodo>(a, [](ModelContext&, const auto& row) { row->title = "A at t"; });
    clock.advance(kSecond);
    a.sync();
    b.sync();
    a.sync();
    EXPECT_EQ(a.rows<SyncedTodo>()[0]->title, "B at t");
    EXPECT_EQ(b.rows<SyncedTodo>()[0]->title, "B at t");
}

TEST_F(CloudMirrorTest, AnEditAfterADeletionWinsAndTheRowComesBack)
{
    auto& a = open("a");
    auto& b = open("b");
    a.insert<SyncedTodo>({todo("Keep me", clock.now())});
    a.sync();
    b.sync();
    changeFirst<SyncedTodo>(a, [](ModelContext& context, const auto& row) { context.remove(row); });
    a.sync();
    clock.advance(kSecond);
    changeFirst<SyncedTodo>(b, [](ModelContext&, const auto& row) { row->title = "Edited later"; });
    b.sync();
    a.sync();
    ASSERT_EQ(a.rows<SyncedTodo>().size(), 1u);
    EXPECT_EQ(a.rows<SyncedTodo>()[0]->title, "Edited later");
}

TEST_F(CloudMirrorTest, ARevisionThatArrivesBeforeItsNoteIsLinkedWhenTheNoteComes)
{
    auto& a = open("a");
    a.sync();
    // Another install's file, written in two steps as a sync tool might
    // deliver an older copy first.
    CloudInstallState other(installIDFor("c"));
    CloudRecord revision;
    revision.recordName = "revision-1";
    revision.recordType = "SyncedNoteRevision";
    revision.fields = {{"text", "from C"}, {"deviceID", "Desk C"}};
    revision.parent = "note-1";
    revision.modifiedAt = clock.now();
    other.apply({revision}, clock.now());
    ASSERT_TRUE(AtomicFile::write(containerFolder() / (other.installID + ".json"), other.encode()).has_value());
    a.sync();
    ASSERT_EQ(a.rows<SyncedNoteRevision>().size(), 1u);
    EXPECT_EQ(a.rows<SyncedNoteRevision>()[0]->note(), nullptr);
    a.sync();
    EXPECT_FALSE(a.cloud->ownVersion("revision-1").has_value()) << "A does not send the note-less copy back";

    CloudRecord note;
    note.recordName = "note-1";
    note.recordType = "SyncedNote";
    note.fields = {{"uuid", "00000000-0000-0000-0000-00006E6F7465"}, {"title", "Notes"}};
    note.modifiedAt = clock.now();
    other.apply({note}, clock.now());
    ASSERT_TRUE(AtomicFile::write(containerFolder() / (other.installID + ".json"), other.encode()).has_value());
    a.sync();
    const auto notes = a.rows<SyncedNote>();
    ASSERT_EQ(notes.size(), 1u);
    ASSERT_EQ(notes[0]->revisions().size(), 1u);
    EXPECT_EQ(notes[0]->revisions()[0]->text, "from C");
}

TEST_F(CloudMirrorTest, ANoteDeletedElsewhereThatStillHoldsTextHereIsKeptAndSentBack)
{
    auto& a = open("a");
    auto& b = open("b");
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", clock.now());
    a.insert<SyncedNote>({note});
    a.sync();
    b.sync();

    // A writes a first revision while B deletes the note.
    auto context = a.container->makeContext();
    auto mine = std::make_shared<SyncedNoteRevision>(Uuid::random(), "only on A", clock.now(), "Desk A");
    mine->setNote(context->fetchAll<SyncedNote>()->front());
    context->insert(mine);
    ASSERT_TRUE(context->save().has_value());
    changeFirst<SyncedNote>(b, [](ModelContext& context, const auto& row) { context.remove(row); });
    clock.advance(kSecond);
    b.sync();
    a.sync();
    ASSERT_EQ(a.rows<SyncedNote>().size(), 1u) << "deleting it would take A's text with it";
    EXPECT_TRUE(traced("kept note"));
    b.sync();
    const auto onB = b.rows<SyncedNote>();
    ASSERT_EQ(onB.size(), 1u) << "the note comes back to B, text and all";
    ASSERT_EQ(onB[0]->revisions().size(), 1u);
    EXPECT_EQ(onB[0]->revisions()[0]->text, "only on A");
}

TEST_F(CloudMirrorTest, WhatThisInstallsFileLostIsWrittenAgainAfterARestart)
{
    auto& a = open("a");
    a.insert<SyncedTodo>({todo("Precious", clock.now())});
    a.sync();
    const auto file = a.cloud->ownFile();
    close("a");
    std::filesystem::remove(file);

    auto& reopened = open("a");
    reopened.sync();
    auto& b = open("b");
    b.sync();
    ASSERT_EQ(b.rows<SyncedTodo>().size(), 1u);
    EXPECT_EQ(b.rows<SyncedTodo>()[0]->title, "Precious");
}

TEST_F(CloudMirrorTest, RowsSavedBeforeMirroringGoOutAtTheFirstPass)
{
    {
        ModelConfiguration local;
        local.url = base() / "a" / "Vude.store";
        std::filesystem::create_directories(local.url.parent_path());
        auto container = ModelContainer::open(local);
        ASSERT_TRUE(container.has_value());
        auto context = (*container)->makeContext();
        context->insert(todo("Written while sync was off", clock.now()));
        ASSERT_TRUE(context->save().has_value());
    }
    open("a");
    scheduler.runDue();
    auto& b = open("b");
    b.sync();
    EXPECT_EQ(b.rows<SyncedTodo>().size(), 1u);
}

TEST_F(CloudMirrorTest, WithoutTheCloudFolderTheMirrorWaitsQuietlyAndStartsWhenItAppears)
{
    std::filesystem::remove_all(cloudFolder());
    auto& a = open("a");
    a.insert<SyncedTodo>({todo("Offline", clock.now())});
    scheduler.advance(kExportDelay);
    EXPECT_TRUE(events.empty()) << "no account is not a failed sync";
    EXPECT_FALSE(std::filesystem::exists(cloudFolder()));

    std::filesystem::create_directories(cloudFolder());
    a.cloud->checkFolder(); // what the watcher or the poll does
    scheduler.runDue();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, CloudMirrorEvent::Type::setup);
    EXPECT_TRUE(events[1].succeeded);
    EXPECT_TRUE(std::filesystem::exists(a.cloud->ownFile()));
}

// A pass reads one committed snapshot of the store: a save still in its
// transaction is none of its business, and it takes no lock the saver holds
// (which, held past the store's busy timeout, would fail the pass).
TEST_F(CloudMirrorTest, APassReadsOnlyCommittedSavesAndWaitsForNoSaver)
{
    auto& a = open("a");
    a.insert<SyncedTodo>({todo("Saved", clock.now())});
    a.sync();
    auto saver = SqliteDatabase::open(a.container->configuration().url, SqliteDatabase::OpenMode::readWrite);
    ASSERT_TRUE(saver.has_value());
    ASSERT_TRUE(ModelContainer::configureConnection(*saver, std::chrono::milliseconds(0)).has_value());
    ASSERT_TRUE(saver->execute("BEGIN IMMEDIATE; INSERT INTO \"SyncedTodo\" (Z_RECORDNAME, title) VALUES "
                               "('half-saved', 'Half saved'); UPDATE \"SyncedTodo\" SET title = 'Half edited' "
                               "WHERE Z_RECORDNAME != 'half-saved'")
                    .has_value());

    const auto during = a.mirror->synchronize();
    ASSERT_TRUE(during.has_value()) << during.error().description;
    EXPECT_EQ(during->exported, 0) << "nothing of a save in progress goes out";
    EXPECT_FALSE(a.cloud->ownVersion("half-saved").has_value());

    ASSERT_TRUE(saver->execute("COMMIT").has_value());
    EXPECT_EQ(a.sync().exported, 2) << "once committed, the whole save goes out";
    auto& b = open("b");
    b.sync();
    std::vector<std::string> titles;
    for (const auto& row : b.rows<SyncedTodo>())
        titles.push_back(row->title);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"Half edited", "Half saved"}));
}

// Deleting a note deletes its revisions with it, inside the store: they go
// out as deletion marks too.
TEST_F(CloudMirrorTest, RevisionsDeletedWithTheirNoteGoOutAsDeletionMarks)
{
    auto& a = open("a");
    auto& b = open("b");
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", clock.now());
    auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), "text", clock.now(), "Desk A");
    revision->setNote(note);
    a.insert<SyncedNote>({note});
    a.sync();
    b.sync();
    ASSERT_EQ(b.rows<SyncedNoteRevision>().size(), 1u);

    clock.advance(kSecond);
    changeFirst<SyncedNote>(a, [](ModelContext& context, const auto& row) { context.remove(row); });
    EXPECT_EQ(a.sync().exported, 2);
    const auto records = a.cloud->fetchAll().value().records;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].deleted && records[1].deleted);
    b.sync();
    EXPECT_TRUE(b.rows<SyncedNote>().empty());
    EXPECT_TRUE(b.rows<SyncedNoteRevision>().empty());
}
