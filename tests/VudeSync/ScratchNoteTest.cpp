#include "StoreFixture.h"

#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ScratchNote.h"

#include <QSignalSpy>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
const std::string kSeparator(NoteMerge::separator);

} // namespace

/// Several devices sharing one store, each through its own repository, as the
/// mirror leaves them: every device's rows side by side.
class ScratchNoteTest : public StoreFixture {
protected:
    DidoDivuzerore& device(const std::string& name)
    {
        auto& repository = devices[name];
        if (!repository)
            repository = std::make_unique<DidoDivuzerore>(container->makeContext(), name, clock);
        return *repository;
    }

    /// Each save happens a second after the previous one.
    void write(const std::string& name, const std::string& text)
    {
        clock.advance(kSecond);
        device(name).saveNote(text);
    }

    std::vector<std::shared_ptr<SyncedNoteRevision>> storedRevisions()
    {
        auto revisions = container->makeContext()->fetchAll<SyncedNoteRevision>();
        EXPECT_TRUE(revisions.has_value());
        return revisions ? *revisions : std::vector<std::shared_ptr<SyncedNoteRevision>>{};
    }

    ManualClock clock{kReferenceDate + std::chrono::hours(1000)};
    std::map<std::string, std::unique_ptr<DidoDivuzerore>> devices;
};

TEST_F(ScratchNoteTest, HasTheFixedIdentity)
{
    EXPECT_EQ(DidoDivuzerore::scratchNoteID.toString(), "00000000-0000-0000-0000-00006E6F7465");
}

TEST_F(ScratchNoteTest, TheFirstSaveCreatesTheNoteWithOneRevisionOfThisDevice)
{
    auto& mine = device("a");
    EXPECT_EQ(mine.noteText(), "");
    EXPECT_FALSE(mine.noteHadConflict());

    write("a", "hello");

    EXPECT_EQ(mine.noteText(), "hello");
    auto notes = container->makeContext()->fetch<SyncedNote>(DidoDivuzerore::scratchNoteID);
    ASSERT_TRUE(notes.has_value());
    ASSERT_EQ(notes->size(), 1u);
    const auto& note = notes->front();
    EXPECT_EQ(note->title, "Notes");
    EXPECT_EQ(note->updatedAt, clock.now());
    ASSERT_EQ(note->revisions().size(), 1u);
    EXPECT_EQ(note->revisions()[0]->deviceID, "a");
    EXPECT_EQ(note->revisions()[0]->text, "hello");
    EXPECT_EQ(note->revisions()[0]->editedAt, clock.now());
}

TEST_F(ScratchNoteTest, WhatEachDeviceShows)
{
    const struct {
        const char* why;
        std::vector<std::pair<std::string, std::string>> writes; // device, text; in time order
        std::string shownOnA;
        bool conflictOnA;
    } cases[] = {
        {"only another device has written: its text, no conflict", {{"b", "from b"}}, "from b", false},
        {"only my own revision", {{"a", "mine"}}, "mine", false},
        {"my text begins the other's newer text", {{"a", "Buy milk"}, {"b", "Buy milk\nCall the bank"}},
         "Buy milk\nCall the bank", false},
        {"both changed the same line", {{"a", "list\nmilk"}, {"b", "list\nbread"}},
         "list\nbread" + kSeparator + "milk", true},
        {"my revision is empty", {{"a", ""}, {"b", "theirs"}}, "theirs", false},
        {"three devices: only the newest other is merged", {{"b", "zzz old b"}, {"a", "mine"}, {"c", "mine, extended by c"}},
         "mine, extended by c", false},
        {"three devices: the older other is ignored even when it differs from both",
         {{"c", "something else"}, {"a", "mine"}, {"b", "mine and more"}}, "mine and more", false},
        {"the newest other conflicts", {{"a", "x\nmine"}, {"c", "x\nolder c"}, {"b", "x\nnewest b"}},
         "x\nmine" + kSeparator + "newest b", true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        {
            auto wipe = container->makeContext();
            ASSERT_TRUE(wipe->removeAll<SyncedNote>().has_value());
            ASSERT_TRUE(wipe->save().has_value());
        }
        devices.clear();
        for (const auto& [name, text] : row.writes)
            write(name, text);
        const auto revisionsBefore = storedRevisions().size();

        device("a").refresh();

        EXPECT_EQ(device("a").noteText(), row.shownOnA);
        EXPECT_EQ(device("a").noteHadConflict(), row.conflictOnA);
        EXPECT_EQ(storedRevisions().size(), revisionsBefore); // showing stores nothing
    }
}

TEST_F(ScratchNoteTest, TwoDevicesSeeTheSameConflictAndNeitherOverwritesTheOther)
{
    write("a", "plan\nbeach");
    write("b", "plan\nmountains");
    device("a").refresh();
    device("b").refresh();

    EXPECT_EQ(device("a").noteText(), device("b").noteText());
    EXPECT_TRUE(device("a").noteHadConflict());
    EXPECT_TRUE(device("b").noteHadConflict());
    const auto revisions = storedRevisions();
    ASSERT_EQ(revisions.size(), 2u);
    EXPECT_EQ(revisions[0]->text, "plan\nbeach");
    EXPECT_EQ(revisions[1]->text, "plan\nmountains");

    // Settling the conflict on one device makes it the newest text for both.
    write("a", "plan\nmountains, then beach");
    device("b").refresh();
    EXPECT_EQ(device("b").noteText(), "plan\nmountains, then beach");
    EXPECT_FALSE(device("b").noteHadConflict());
}

TEST_F(ScratchNoteTest, SavingLeavesTheConflictFlagToTheNextRefresh)
{
    write("a", "x\nmine");
    write("b", "x\ntheirs");
    device("a").refresh();
    ASSERT_TRUE(device("a").noteHadConflict());

    write("a", "x\ntheirs, and mine");
    EXPECT_EQ(device("a").noteText(), "x\ntheirs, and mine");
    EXPECT_TRUE(device("a").noteHadConflict());
    device("a").refresh();
    EXPECT_FALSE(device("a").noteHadConflict());
}

TEST_F(ScratchNoteTest, SavingTheSameTextAgainStillMovesItsTime)
{
    write("a", "same");
    write("a", "same");
    const auto revisions = storedRevisions();
    ASSERT_EQ(revisions.size(), 1u);
    EXPECT_EQ(revisions[0]->editedAt, clock.now());
}

TEST_F(ScratchNoteTest, ANoteWithoutRevisionsShowsNothingAndKeepsTheConflictFlag)
{
    write("a", "x\nmine");
    write("b", "x\ntheirs");
    device("a").refresh();
    ASSERT_TRUE(device("a").noteHadConflict());
    {
        auto context = container->makeContext();
        ASSERT_TRUE(context->removeAll<SyncedNoteRevision>().has_value());
        ASSERT_TRUE(context->save().has_value());
    }
    device("a").refresh();
    EXPECT_EQ(device("a").noteText(), "");
    EXPECT_TRUE(device("a").noteHadConflict());
}

TEST_F(ScratchNoteTest, SaveUpdatesTheFirstRevisionOfThisDeviceAndShowsTheNewest)
{
    // Two revisions of this device (two installs that once shared a name):
    // the first in stored order is written, the newest is shown.
    auto context = container->makeContext();
    auto note = std::make_shared<SyncedNote>(DidoDivuzerore::scratchNoteID, "Notes", clock.now());
    context->insert(note);
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "first", clock.now(), "a"));
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "second", clock.now() + 10 * kSecond, "a"));
    ASSERT_TRUE(context->save().has_value());

    device("a").refresh();
    EXPECT_EQ(device("a").noteText(), "second");
    write("a", "rewritten"); // one second later: still older than "second"
    EXPECT_EQ(device("a").noteText(), "rewritten");
    const auto revisions = storedRevisions();
    ASSERT_EQ(revisions.size(), 2u);
    EXPECT_EQ(revisions[0]->text, "rewritten");
    EXPECT_EQ(revisions[1]->text, "second");
    device("a").refresh();
    EXPECT_EQ(device("a").noteText(), "second");
}

// A device's name may reach the store precomposed or decomposed (é as one
// code point, or e and a combining accent); either way it is one device.
TEST_F(ScratchNoteTest, ADeviceNameIsTheSameDeviceInEitherUnicodeForm)
{
    const std::string precomposed = "Zo\xC3\xAB's laptop";
    const std::string decomposed = "Zoe\xCC\x88's laptop";

    // Revisions already stored under both spellings are both this device's:
    // the newest is shown, with no conflict against itself.
    {
        auto context = container->makeContext();
        auto note = std::make_shared<SyncedNote>(DidoDivuzerore::scratchNoteID, "Notes", clock.now());
        context->insert(note);
        note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "list\nmilk", clock.now(), decomposed));
        note->addRevision(
            std::make_shared<SyncedNoteRevision>(Uuid::random(), "list\nbread", clock.now() + kSecond, precomposed));
        ASSERT_TRUE(context->save().has_value());
    }
    device(precomposed).refresh();
    EXPECT_EQ(device(precomposed).noteText(), "list\nbread");
    EXPECT_FALSE(device(precomposed).noteHadConflict());

    // Saving under one spelling updates the revision stored under the other.
    {
        auto wipe = container->makeContext();
        ASSERT_TRUE(wipe->removeAll<SyncedNote>().has_value());
        ASSERT_TRUE(wipe->save().has_value());
    }
    devices.clear();
    write(decomposed, "list\nmilk");
    write(precomposed, "list\nbread");
    EXPECT_EQ(storedRevisions().size(), 1u);
    device(precomposed).refresh();
    EXPECT_EQ(device(precomposed).noteText(), "list\nbread");
    EXPECT_FALSE(device(precomposed).noteHadConflict());
}

TEST_F(ScratchNoteTest, OfTwoOtherRevisionsAtOneTimeTheFirstInOrderWins)
{
    auto context = container->makeContext();
    auto note = std::make_shared<SyncedNote>(DidoDivuzerore::scratchNoteID, "Notes", clock.now());
    context->insert(note);
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "from b", clock.now(), "b"));
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "from c", clock.now(), "c"));
    ASSERT_TRUE(context->save().has_value());

    EXPECT_EQ(device("a").noteText(), "from b");
}

TEST_F(ScratchNoteTest, ASecondNoteRowWithTheFixedIdentityIsLeftForTheDeduplicator)
{
    // Two devices created the note before they synced: the first row fetched
    // is read and written.
    write("a", "on a");
    auto context = container->makeContext();
    auto other = std::make_shared<SyncedNote>(DidoDivuzerore::scratchNoteID, "Notes", clock.now());
    context->insert(other);
    other->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "on b", clock.now(), "b"));
    ASSERT_TRUE(context->save().has_value());

    device("a").refresh();
    EXPECT_EQ(device("a").noteText(), "on a");
    write("a", "on a, again");
    EXPECT_EQ(countOnStore(storeURL(), "SyncedNote"), 2);
    EXPECT_EQ(countOnStore(storeURL(), "SyncedNoteRevision"), 2);
}

TEST_F(ScratchNoteTest, AFailedNoteSaveIsKeptForTheNextReload)
{
    auto& mine = device("a");
    {
        StoreWriteLock lock(storeURL());
        write("a", "typed while locked");
        mine.reloadFromStore();
        EXPECT_EQ(mine.noteText(), "typed while locked");
    }
    mine.reloadFromStore();
    const auto revisions = storedRevisions();
    ASSERT_EQ(revisions.size(), 1u);
    EXPECT_EQ(revisions[0]->text, "typed while locked");
}
