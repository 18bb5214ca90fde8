#include "StoreFixture.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QThread>

#include <fstream>
#include <sstream>

namespace {

std::string fileContents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// What a rewrite of a database moves first: its size, the journal-mode bytes
// (18 and 19, 1 for a rollback journal, 2 for WAL) and the change counter.
std::string headerSummary(const std::string& file)
{
    if (file.size() < 100 || !file.starts_with("SQLite format 3"))
        return std::to_string(file.size()) + " bytes";
    const auto byte = [&file](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(file[at])); };
    const unsigned counter = byte(24) << 24 | byte(25) << 16 | byte(26) << 8 | byte(27);
    return "{" + std::to_string(file.size()) + " bytes, journal " + std::to_string(byte(18)) + "/"
        + std::to_string(byte(19)) + ", change counter " + std::to_string(counter) + "}";
}

} // namespace

using ModelContainerTest = StoreFixture;

TEST_F(ModelContainerTest, KeepsTheWriteAheadLogBesideTheStoreUnderItsCompanionNames)
{
    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTodo>());
    ASSERT_TRUE(context->save().has_value());

    EXPECT_TRUE(std::filesystem::exists(folder() / "Vude.store"));
    EXPECT_TRUE(std::filesystem::exists(folder() / "Vude.store-wal"));
    EXPECT_TRUE(std::filesystem::exists(folder() / "Vude.store-shm"));
}

TEST_F(ModelContainerTest, ReopensWithTheRowsAndTheSchemaVersion)
{
    auto context = container->makeContext();
    context->insert(std::make_shared<SyncedTimer>(Uuid::random(), "Tea", 180, 0));
    ASSERT_TRUE(context->save().has_value());
    context.reset();
    container.reset();

    auto reopened = openContainer();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->schemaVersion().toString(), "1.0.0");
    auto timers = reopened->makeContext()->fetchAll<SyncedTimer>();
    ASSERT_TRUE(timers.has_value());
    ASSERT_EQ(timers->size(), 1u);
    EXPECT_EQ(timers->front()->label, "Tea");
}

TEST_F(ModelContainerTest, SchemaHasOneVersionAndNoMigrationStage)
{
    EXPECT_EQ(VudeSchemaV1::versionIdentifier, (SchemaVersion{1, 0, 0}));
    EXPECT_EQ(VudeMigrationPlan::schemas.size(), 1u);
    EXPECT_EQ(VudeMigrationPlan::schemas.front(), VudeSchemaV1::versionIdentifier);
    EXPECT_TRUE(VudeMigrationPlan::stages.empty());
    const std::array<std::string_view, 5> expected{"SyncedTodo", "SyncedNote", "SyncedNoteRevision", "SyncedTimer",
                                                   "SyncedShortcut"};
    EXPECT_EQ(VudeSchemaV1::modelNames, expected);
}

TEST(SchemaVersionTest, ParsesOnlyThreeWholeNumbers)
{
    const struct {
        const char* text;
        std::optional<SchemaVersion> expected;
    } cases[] = {
        {"1.0.0", SchemaVersion{1, 0, 0}},
        {"2.10.3", SchemaVersion{2, 10, 3}},
        {"1.0", std::nullopt},
        {"1.0.0.0", std::nullopt},
        {"1.-1.0", std::nullopt},
        {"a.b.c", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        const auto parsed = SchemaVersion::parse(row.text);
        ASSERT_EQ(parsed.has_value(), row.expected.has_value());
        if (parsed) {
            EXPECT_EQ(*parsed, *row.expected);
        }
    }
}

class ModelContainerRefusalTest : public testing::Test {
protected:
    QTemporaryDir m_folder;
    std::filesystem::path storeURL() const { return std::filesystem::path(m_folder.path().toStdString()) / "Vude.store"; }
};

TEST_F(ModelContainerRefusalTest, RefusesFilesItCannotOwnAndLeavesThemAsTheyWere)
{
    const struct {
        const char* why;
        std::function<void(const std::filesystem::path&)> make;
        const char* messagePart;
    } cases[] = {
        {"not a database",
         [](const auto& path) { std::ofstream(path, std::ios::binary) << std::string(4096, 'x'); },
         "not a database"},
        {"another program's database",
         [](const auto& path) { executeOnStore(path, "CREATE TABLE notes (body TEXT); INSERT INTO notes VALUES ('keep');"); },
         "another program"},
        {"a store of a newer schema",
         [](const auto& path) {
             ModelConfiguration configuration;
             configuration.url = path;
             ASSERT_TRUE(ModelContainer::open(configuration).has_value());
             executeOnStore(path, "UPDATE Z_METADATA SET Z_VALUE = '2.0.0' WHERE Z_KEY = 'schemaVersion';"
                                  "PRAGMA wal_checkpoint(TRUNCATE);");
         },
         "2.0.0"},
        {"a store of a newer schema, in rollback-journal mode",
         [](const auto& path) {
             ModelConfiguration configuration;
             configuration.url = path;
             ASSERT_TRUE(ModelContainer::open(configuration).has_value());
             executeOnStore(path, "UPDATE Z_METADATA SET Z_VALUE = '2.0.0' WHERE Z_KEY = 'schemaVersion';"
                                  "PRAGMA journal_mode = DELETE;");
         },
         "2.0.0"},
        {"a Vude store without its metadata, in rollback-journal mode",
         [](const auto& path) {
             ModelConfiguration configuration;
             configuration.url = path;
             ASSERT_TRUE(ModelContainer::open(configuration).has_value());
             executeOnStore(path, "DROP TABLE Z_METADATA; PRAGMA journal_mode = DELETE;");
         },
         "no schema version"},
        {"another program's database without tables",
         [](const auto& path) { executeOnStore(path, "PRAGMA application_id = 1095779924;"); },
         "another program"},
        {"another program's database without tables, in WAL mode",
         [](const auto& path) { executeOnStore(path, "PRAGMA application_id = 42; PRAGMA journal_mode = WAL;"); },
         "another program"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        std::filesystem::remove(storeURL());
        std::filesystem::remove(storeURL().string() + "-wal");
        std::filesystem::remove(storeURL().string() + "-shm");
        row.make(storeURL());
        const auto before = fileContents(storeURL());

        ModelConfiguration configuration;
        configuration.url = storeURL();
        const auto opened = ModelContainer::open(configuration);

        ASSERT_FALSE(opened.has_value());
        EXPECT_NE(opened.error().find(row.messagePart), std::string::npos) << opened.error();
        const auto after = fileContents(storeURL());
        EXPECT_TRUE(after == before) << "rewritten: " << headerSummary(before) << " became " << headerSummary(after);
        EXPECT_FALSE(std::filesystem::exists(storeURL().string() + "-wal"));
        EXPECT_FALSE(std::filesystem::exists(storeURL().string() + "-journal"));
    }
}

TEST_F(ModelContainerRefusalTest, TakesAnEmptyFileAsANewStore)
{
    std::ofstream(storeURL(), std::ios::binary).flush();
    ModelConfiguration configuration;
    configuration.url = storeURL();
    const auto opened = ModelContainer::open(configuration);
    ASSERT_TRUE(opened.has_value()) << opened.error();
    EXPECT_TRUE((*opened)->makeContext()->fetchAll<SyncedTodo>().has_value());
}

TEST_F(ModelContainerRefusalTest, ReportsAMissingFolder)
{
    ModelConfiguration configuration;
    configuration.url = storeURL().parent_path() / "missing" / "Vude.store";
    const auto opened = ModelContainer::open(configuration);
    ASSERT_FALSE(opened.has_value());
    EXPECT_NE(opened.error().find("Vude.store"), std::string::npos);
}

TEST_F(ModelContainerTest, RemembersWhetherItIsMirrored)
{
    EXPECT_FALSE(container->isMirrored());
    ModelConfiguration configuration;
    configuration.url = storeURL();
    configuration.cloudContainerID = "iCloud.app.ruvudav.notch";
    auto mirrored = ModelContainer::open(configuration);
    ASSERT_TRUE(mirrored.has_value());
    EXPECT_TRUE((*mirrored)->isMirrored());
}

TEST_F(ModelContainerTest, DeliversARemoteChangePostedFromAnotherThreadOnTheMainThread)
{
    QSignalSpy spy(container.get(), &ModelContainer::remoteChange);
    QThread* deliveredOn = nullptr;
    QObject::connect(container.get(), &ModelContainer::remoteChange, container.get(),
                     [&] { deliveredOn = QThread::currentThread(); });

    std::unique_ptr<QThread> mirror(QThread::create([&] { container->postRemoteChange(); }));
    mirror->start();
    mirror->wait();

    ASSERT_TRUE(testsupport::waitUntil([&] { return spy.count() == 1; }));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}
