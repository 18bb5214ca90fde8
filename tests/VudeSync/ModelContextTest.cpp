#include "StoreFixture.h"

#include <algorithm>

namespace {

std::shared_ptr<SyncedTodo> makeTodo(const std::string& title, Uuid id = Uuid::random())
{
    return std::make_shared<SyncedTodo>(id, title, false, false, kReferenceDate, std::nullopt, 0, "me");
}

template <typename Model>
std::vector<std::string> titlesIn(ModelContext& context)
{
    std::vector<std::string> titles;
    auto rows = context.fetchAll<Model>();
    EXPECT_TRUE(rows.has_value()) << (rows ? "" : rows.error());
    if (rows)
        for (const auto& row : *rows)
            titles.push_back(row->title);
    return titles;
}

using Titles = std::vector<std::string>;

} // namespace

class ModelContextTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        context = container->makeContext();
        for (const char* title : {"one", "two", "three"})
            context->insert(makeTodo(title));
        ASSERT_TRUE(context->save().has_value());
    }

    std::shared_ptr<SyncedTodo> todo(const std::string& title)
    {
        auto rows = context->fetchAll<SyncedTodo>();
        const auto found = std::find_if(rows->begin(), rows->end(), [&](const auto& row) { return row->title == title; });
        return found == rows->end() ? nullptr : *found;
    }

    std::unique_ptr<ModelContext> context;
};

TEST_F(ModelContextTest, FetchesSeePendingInsertsEditsAndDeletionsBeforeTheSave)
{
    const Uuid fresh = Uuid::random();
    context->insert(makeTodo("four", fresh));
    todo("two")->title = "two (edited)";
    context->remove(todo("three"));

    EXPECT_EQ(titlesIn<SyncedTodo>(*context), (Titles{"one", "two (edited)", "four"}));
    auto byUuid = context->fetch<SyncedTodo>(fresh);
    ASSERT_TRUE(byUuid.has_value());
    ASSERT_EQ(byUuid->size(), 1u);
    EXPECT_EQ(byUuid->front()->title, "four");
    EXPECT_TRUE(context->hasChanges());
    // Nothing reached the store yet.
    EXPECT_EQ(titlesIn<SyncedTodo>(*container->makeContext()), (Titles{"one", "two", "three"}));

    ASSERT_TRUE(context->save().has_value());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(titlesIn<SyncedTodo>(*container->makeContext()), (Titles{"one", "two (edited)", "four"}));
}

TEST_F(ModelContextTest, FetchingARowTwiceGivesTheSameObject)
{
    const auto first = todo("one");
    auto again = context->fetch<SyncedTodo>(first->uuid);
    ASSERT_TRUE(again.has_value());
    ASSERT_EQ(again->size(), 1u);
    EXPECT_EQ(again->front(), first);
    EXPECT_EQ(first->modelContext(), context.get());
}

TEST_F(ModelContextTest, RollbackRestoresTheStoredState)
{
    auto inserted = makeTodo("four");
    context->insert(inserted);
    const auto edited = todo("two");
    edited->title = "changed";
    edited->isDone = true;
    const auto deleted = todo("three");
    context->remove(deleted);

    context->rollback();

    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(titlesIn<SyncedTodo>(*context), (Titles{"one", "two", "three"}));
    EXPECT_EQ(edited->title, "two");
    EXPECT_FALSE(edited->isDone);
    EXPECT_EQ(inserted->modelContext(), nullptr);
    EXPECT_EQ(deleted->modelContext(), context.get());
}

TEST_F(ModelContextTest, RollbackPutsRevisionsBackOnTheirNote)
{
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    context->insert(note);
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "a", kReferenceDate, "a"));
    ASSERT_TRUE(context->save().has_value());
    const auto stored = note->revisions().front();

    context->remove(note); // takes the revision with it
    note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), "b", kReferenceDate, "b"));
    context->rollback();

    ASSERT_EQ(note->revisions().size(), 1u);
    EXPECT_EQ(note->revisions().front(), stored);
    EXPECT_EQ(stored->note(), note);
}

TEST_F(ModelContextTest, AFailedSaveWritesNothingAndKeepsEveryChangePending)
{
    context->insert(makeTodo("four"));
    todo("one")->isFavorite = true;
    context->remove(todo("two"));
    {
        StoreWriteLock lock(storeURL());
        const auto saved = context->save();
        ASSERT_FALSE(saved.has_value());
        EXPECT_NE(saved.error().find("locked"), std::string::npos) << saved.error();
        EXPECT_EQ(titlesIn<SyncedTodo>(*container->makeContext()), (Titles{"one", "two", "three"}));
        EXPECT_TRUE(context->hasChanges());
        EXPECT_EQ(titlesIn<SyncedTodo>(*context), (Titles{"one", "three", "four"}));
    }
    ASSERT_TRUE(context->save().has_value());
    auto reader = container->makeContext();
    EXPECT_EQ(titlesIn<SyncedTodo>(*reader), (Titles{"one", "three", "four"}));
    auto one = reader->fetchAll<SyncedTodo>()->front();
    EXPECT_TRUE(one->isFavorite);
}

TEST_F(ModelContextTest, AnUnchangedRowTakesAnotherWritersValues)
{
    const auto mine = todo("one");
    auto other = container->makeContext();
    auto theirs = other->fetch<SyncedTodo>(mine->uuid)->front();
    theirs->title = "renamed elsewhere";
    ASSERT_TRUE(other->save().has_value());

    EXPECT_EQ(mine->title, "one");
    context->fetchAll<SyncedTodo>();
    EXPECT_EQ(mine->title, "renamed elsewhere");
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ModelContextTest, APendingChangeSurvivesAnotherWritersChangeToOtherAttributes)
{
    const auto mine = todo("one");
    mine->isDone = true; // pending here
    auto other = container->makeContext();
    auto theirs = other->fetch<SyncedTodo>(mine->uuid)->front();
    theirs->title = "renamed elsewhere";
    theirs->isFavorite = true;
    ASSERT_TRUE(other->save().has_value());

    context->fetchAll<SyncedTodo>();
    EXPECT_TRUE(mine->isDone);
    EXPECT_EQ(mine->title, "renamed elsewhere");
    ASSERT_TRUE(context->save().has_value());

    auto stored = container->makeContext()->fetch<SyncedTodo>(mine->uuid)->front();
    EXPECT_TRUE(stored->isDone);
    EXPECT_TRUE(stored->isFavorite);
    EXPECT_EQ(stored->title, "renamed elsewhere");
}

TEST_F(ModelContextTest, ARowDeletedInTheStoreLeavesTheContext)
{
    const auto gone = todo("two");
    gone->title = "edited here";
    executeOnStore(storeURL(), "DELETE FROM SyncedTodo WHERE Z_PK = " + std::to_string(*gone->storeKey()));

    EXPECT_EQ(titlesIn<SyncedTodo>(*context), (Titles{"one", "three"}));
    EXPECT_EQ(gone->modelContext(), nullptr);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(ModelContextTest, ARevisionMovedElsewhereOffANoteDeletedThereFollowsItsNewNote)
{
    // Another connection (the de-duplicator, the mirror) moves a revision to
    // the note that stays and deletes the other note, in one save.
    auto kept = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    auto lost = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), "text", kReferenceDate, "me");
    revision->setNote(lost);
    context->insert(kept);
    context->insert(lost);
    ASSERT_TRUE(context->save().has_value());

    auto other = container->makeContext();
    auto notes = other->fetchAll<SyncedNote>().value();
    auto theirs = other->fetchAll<SyncedNoteRevision>().value().front();
    const auto otherKept = *std::find_if(notes.begin(), notes.end(), [&](const auto& n) { return n->uuid == kept->uuid; });
    const auto otherLost = *std::find_if(notes.begin(), notes.end(), [&](const auto& n) { return n->uuid == lost->uuid; });
    theirs->setNote(otherKept);
    other->remove(otherLost);
    ASSERT_TRUE(other->save().has_value());

    ASSERT_TRUE(context->fetchAll<SyncedNote>().has_value());
    EXPECT_EQ(revision->note(), kept) << "the move is the store's, not a change of this context";
    EXPECT_FALSE(context->hasChanges());
    ASSERT_EQ(kept->revisions().size(), 1u);
}

TEST_F(ModelContextTest, FetchByUuidFollowsPendingUuidChanges)
{
    const Uuid target = Uuid::random();
    const auto moved = todo("one");
    moved->uuid = target;
    auto found = context->fetch<SyncedTodo>(target);
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(found->front(), moved);
}

TEST_F(ModelContextTest, RemoveAllDeletesEveryRowOfOneModelOnSave)
{
    auto timer = std::make_shared<SyncedTimer>(Uuid::random(), "t", 60, 0);
    context->insert(timer);
    ASSERT_TRUE(context->save().has_value());

    ASSERT_TRUE(context->removeAll<SyncedTodo>().has_value());
    EXPECT_TRUE(titlesIn<SyncedTodo>(*context).empty());
    ASSERT_TRUE(context->save().has_value());
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTodo"), 0);
    EXPECT_EQ(countOnStore(storeURL(), "SyncedTimer"), 1);
}

TEST_F(ModelContextTest, RowsOutliveTheirContextWithoutPointingAtIt)
{
    const auto kept = todo("one");
    context.reset();
    EXPECT_EQ(kept->modelContext(), nullptr);
    EXPECT_EQ(kept->title, "one");
}

TEST_F(ModelContextTest, ASaveWithNothingPendingWritesNothing)
{
    StoreWriteLock lock(storeURL());
    EXPECT_TRUE(context->save().has_value());
}
