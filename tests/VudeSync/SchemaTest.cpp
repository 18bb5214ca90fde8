#include "StoreFixture.h"

using SchemaTest = StoreFixture;

namespace {

template <typename Model>
std::shared_ptr<Model> onlyRow(ModelContext& context)
{
    auto rows = context.fetchAll<Model>();
    EXPECT_TRUE(rows.has_value());
    EXPECT_EQ(rows ? rows->size() : 0u, 1u);
    return rows && rows->size() == 1 ? rows->front() : nullptr;
}

} // namespace

TEST_F(SchemaTest, RowsNeverGivenAValueReadTheDeclaredDefaults)
{
    // Rows written with nothing but their record name take the stored
    // defaults; rows made in memory take the same ones.
    for (const char* entity : {"SyncedTodo", "SyncedNote", "SyncedNoteRevision", "SyncedTimer", "SyncedShortcut"})
        executeOnStore(storeURL(),
                       "INSERT INTO " + std::string(entity) + " (Z_RECORDNAME) VALUES ('bare-" + entity + "')");
    auto context = container->makeContext();

    const auto stored = onlyRow<SyncedShortcut>(*context);
    const SyncedShortcut fresh;
    for (const SyncedShortcut* shortcut : std::initializer_list<const SyncedShortcut*>{stored.get(), &fresh}) {
        ASSERT_NE(shortcut, nullptr);
        EXPECT_EQ(shortcut->symbol, "sparkles");
        EXPECT_EQ(shortcut->shortcutName, "");
        EXPECT_EQ(shortcut->customName, std::nullopt);
        EXPECT_EQ(shortcut->textInput, std::nullopt);
        EXPECT_EQ(shortcut->sortIndex, 0);
        EXPECT_FALSE(shortcut->uuid.isNil());
    }
    const auto timer = onlyRow<SyncedTimer>(*context);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->total, 0.0);
    EXPECT_EQ(timer->label, "");
    const auto todo = onlyRow<SyncedTodo>(*context);
    ASSERT_NE(todo, nullptr);
    EXPECT_EQ(todo->createdAt, kDistantPast);
    EXPECT_EQ(todo->completedAt, std::nullopt);
    EXPECT_FALSE(todo->isDone);
    EXPECT_FALSE(todo->isFavorite);
    EXPECT_EQ(SyncedTodo().createdAt, kDistantPast);
    const auto note = onlyRow<SyncedNote>(*context);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->updatedAt, kDistantPast);
    EXPECT_TRUE(note->revisions().empty());
    const auto revision = onlyRow<SyncedNoteRevision>(*context);
    ASSERT_NE(revision, nullptr);
    EXPECT_EQ(revision->note(), nullptr);
    EXPECT_EQ(revision->editedAt, kDistantPast);
}

TEST_F(SchemaTest, DefaultIdentifiersAreFreshForEachRow)
{
    executeOnStore(storeURL(), "INSERT INTO SyncedTodo (Z_RECORDNAME) VALUES ('a'); "
                               "INSERT INTO SyncedTodo (Z_RECORDNAME) VALUES ('b');");
    auto todos = container->makeContext()->fetchAll<SyncedTodo>();
    ASSERT_TRUE(todos.has_value());
    ASSERT_EQ(todos->size(), 2u);
    EXPECT_NE((*todos)[0]->uuid, (*todos)[1]->uuid);
    EXPECT_FALSE((*todos)[0]->uuid.isNil());
    EXPECT_NE(SyncedTodo().uuid, SyncedTodo().uuid);
}

TEST_F(SchemaTest, DistantPastIsOlderThanEveryRealDateAndStoredExactly)
{
    const Date early = dateFromSecondsSinceReferenceDate(-3.2e10); // about 987 AD
    EXPECT_LT(kDistantPast, early);
    EXPECT_LT(kDistantPast, Date{});

    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "old", false, false, kDistantPast, std::nullopt, 0, ""));
    ASSERT_TRUE(context->save().has_value());
    const auto todo = onlyRow<SyncedTodo>(*container->makeContext());
    ASSERT_NE(todo, nullptr);
    EXPECT_EQ(todo->createdAt, kDistantPast);
}

TEST_F(SchemaTest, DatesAtBothEndsOfTheClockAreStoredExactly)
{
    // The earliest date whose offset from the reference date fits in the
    // stored integer, and the latest date there is.
    const Date earliest{Duration(std::numeric_limits<std::int64_t>::min() + kReferenceDate.time_since_epoch().count())};
    const Date latest = Date::max();
    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "ends", true, false, earliest, latest, 0, ""));
    ASSERT_TRUE(context->save().has_value());

    const auto todo = onlyRow<SyncedTodo>(*container->makeContext());
    ASSERT_NE(todo, nullptr);
    EXPECT_EQ(todo->createdAt, earliest);
    EXPECT_EQ(todo->completedAt, latest);
}

TEST_F(SchemaTest, EveryAttributeRoundTripsThroughTheStore)
{
    const Uuid id = Uuid::random();
    const Date created = kReferenceDate + Duration(778'899'123'456'789);
    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTodo>(id, "Café — ☕️ 'quoted' \"x\"", true, true, created,
                                                 created + Duration(1), -7, "Ann's Laptop (3fa91c)"));
    context->insert(std::make_shared<SyncedShortcut>(id, "Résumé", std::string(""), "bolt", std::string("in\nput"), 9));
    context->insert(std::make_shared<SyncedTimer>(id, "nan", std::numeric_limits<double>::quiet_NaN(), 1));
    ASSERT_TRUE(context->save().has_value());

    auto reader = container->makeContext();
    const auto todo = onlyRow<SyncedTodo>(*reader);
    ASSERT_NE(todo, nullptr);
    EXPECT_EQ(todo->uuid, id);
    EXPECT_EQ(todo->title, "Café — ☕️ 'quoted' \"x\"");
    EXPECT_TRUE(todo->isDone);
    EXPECT_TRUE(todo->isFavorite);
    EXPECT_EQ(todo->createdAt, created);
    EXPECT_EQ(todo->completedAt, created + Duration(1));
    EXPECT_EQ(todo->sortIndex, -7);
    EXPECT_EQ(todo->deviceID, "Ann's Laptop (3fa91c)");
    const auto shortcut = onlyRow<SyncedShortcut>(*reader);
    ASSERT_NE(shortcut, nullptr);
    EXPECT_EQ(shortcut->customName, std::optional<std::string>(""));
    EXPECT_EQ(shortcut->textInput, std::optional<std::string>("in\nput"));
    EXPECT_EQ(shortcut->sortIndex, 9);
    // NaN cannot be stored; it reads back as 0 instead of blocking the save.
    const auto timer = onlyRow<SyncedTimer>(*reader);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->total, 0.0);
}

TEST_F(SchemaTest, RowsSharingAUuidAreStoredApartAndNeverEqual)
{
    const Uuid shared = Uuid::random();
    auto context = container->makeContext();
    auto first = std::make_shared<SyncedTodo>(shared, "one", false, false, kReferenceDate, std::nullopt, 0, "a");
    auto second = std::make_shared<SyncedTodo>(shared, "one", false, false, kReferenceDate, std::nullopt, 0, "a");
    context->insert(first);
    context->insert(second);
    ASSERT_TRUE(context->save().has_value());

    auto found = container->makeContext()->fetch<SyncedTodo>(shared);
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), 2u);
    EXPECT_NE((*found)[0], (*found)[1]);
    EXPECT_NE((*found)[0]->storeKey(), (*found)[1]->storeKey());
    EXPECT_NE((*found)[0]->recordName(), (*found)[1]->recordName());
}

TEST_F(SchemaTest, SettingARevisionsNoteKeepsBothEndsInStep)
{
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    auto other = std::make_shared<SyncedNote>(Uuid::random(), "Other", kReferenceDate);
    auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), "text", kReferenceDate, "me");
    EXPECT_TRUE(note->revisions().empty());
    EXPECT_EQ(revision->note(), nullptr);

    revision->setNote(note);
    ASSERT_EQ(note->revisions().size(), 1u);
    EXPECT_EQ(note->revisions().front(), revision);

    other->addRevision(revision);
    EXPECT_TRUE(note->revisions().empty());
    EXPECT_EQ(revision->note(), other);

    other->removeRevision(revision);
    EXPECT_TRUE(other->revisions().empty());
    EXPECT_EQ(revision->note(), nullptr);
}

TEST_F(SchemaTest, ARevisionAttachedToAStoredNoteJoinsItsContext)
{
    auto context = container->makeContext();
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    context->insert(note);
    ASSERT_TRUE(context->save().has_value());

    auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), "hello", kReferenceDate, "me");
    revision->setNote(note);
    EXPECT_EQ(revision->modelContext(), context.get());
    ASSERT_TRUE(context->save().has_value());

    const auto stored = onlyRow<SyncedNote>(*container->makeContext());
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->revisions().size(), 1u);
    EXPECT_EQ(stored->revisions().front()->text, "hello");
    EXPECT_EQ(stored->revisions().front()->note(), stored);
}

TEST_F(SchemaTest, DeletingANoteDeletesItsRevisionsAndDeletingARevisionLeavesTheNote)
{
    auto context = container->makeContext();
    auto kept = std::make_shared<SyncedNote>(Uuid::random(), "kept", kReferenceDate);
    auto doomed = std::make_shared<SyncedNote>(Uuid::random(), "doomed", kReferenceDate);
    for (const auto& note : {kept, doomed}) {
        context->insert(note);
        for (const char* device : {"a", "b"})
            note->addRevision(std::make_shared<SyncedNoteRevision>(Uuid::random(), note->title, kReferenceDate, device));
    }
    ASSERT_TRUE(context->save().has_value());
    ASSERT_EQ(countOnStore(storeURL(), "SyncedNoteRevision"), 4);

    context->remove(doomed);
    context->remove(kept->revisions().front());
    auto revisions = context->fetchAll<SyncedNoteRevision>();
    ASSERT_TRUE(revisions.has_value());
    EXPECT_EQ(revisions->size(), 1u); // the deletions are visible before the save
    ASSERT_TRUE(context->save().has_value());

    EXPECT_EQ(countOnStore(storeURL(), "SyncedNote"), 1);
    EXPECT_EQ(countOnStore(storeURL(), "SyncedNoteRevision"), 1);
    const auto stored = onlyRow<SyncedNote>(*container->makeContext());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->title, "kept");
    ASSERT_EQ(stored->revisions().size(), 1u);
    EXPECT_EQ(stored->revisions().front()->deviceID, "b");
}

TEST_F(SchemaTest, ARevisionMovedOffANoteDeletedInTheSameSaveSurvives)
{
    auto context = container->makeContext();
    auto doomed = std::make_shared<SyncedNote>(Uuid::random(), "doomed", kReferenceDate);
    auto kept = std::make_shared<SyncedNote>(Uuid::random(), "kept", kReferenceDate);
    context->insert(doomed);
    context->insert(kept);
    auto moved = std::make_shared<SyncedNoteRevision>(Uuid::random(), "moved", kReferenceDate, "a");
    doomed->addRevision(moved);
    ASSERT_TRUE(context->save().has_value());

    kept->addRevision(moved);
    context->remove(doomed);
    ASSERT_TRUE(context->save().has_value());

    const auto stored = onlyRow<SyncedNote>(*container->makeContext());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->title, "kept");
    ASSERT_EQ(stored->revisions().size(), 1u);
    EXPECT_EQ(stored->revisions().front()->text, "moved");
}

TEST_F(SchemaTest, TheStoreCascadesANoteDeletionToRevisionsNoContextKnew)
{
    auto context = container->makeContext();
    auto note = std::make_shared<SyncedNote>(Uuid::random(), "Notes", kReferenceDate);
    context->insert(note);
    ASSERT_TRUE(context->save().has_value());
    // Another writer adds a revision this context has not fetched.
    executeOnStore(storeURL(), "INSERT INTO SyncedNoteRevision (Z_RECORDNAME, note) VALUES ('late', "
                                   + std::to_string(*note->storeKey()) + ")");

    context->remove(note);
    ASSERT_TRUE(context->save().has_value());
    EXPECT_EQ(countOnStore(storeURL(), "SyncedNoteRevision"), 0);
}
