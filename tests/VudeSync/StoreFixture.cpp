#include "StoreFixture.h"

void StoreFixture::SetUp()
{
    ASSERT_TRUE(m_folder.isValid());
    container = openContainer();
    ASSERT_NE(container, nullptr);
}

std::filesystem::path StoreFixture::folder() const
{
    return std::filesystem::path(m_folder.path().toStdString());
}

std::unique_ptr<ModelContainer> StoreFixture::openContainer()
{
    ModelConfiguration configuration;
    configuration.url = storeURL();
    configuration.busyTimeout = std::chrono::milliseconds(0);
    auto opened = ModelContainer::open(configuration);
    EXPECT_TRUE(opened.has_value()) << (opened ? "" : opened.error());
    return opened ? std::move(*opened) : nullptr;
}

StoreWriteLock::StoreWriteLock(const std::filesystem::path& storeURL)
{
    auto database = SqliteDatabase::open(storeURL, SqliteDatabase::OpenMode::readWrite);
    EXPECT_TRUE(database.has_value());
    m_database = std::move(*database);
    EXPECT_TRUE(m_database.execute("BEGIN IMMEDIATE").has_value());
    m_held = true;
}

StoreWriteLock::~StoreWriteLock()
{
    release();
}

void StoreWriteLock::release()
{
    if (m_held)
        (void)m_database.execute("ROLLBACK");
    m_held = false;
}

void executeOnStore(const std::filesystem::path& storeURL, const std::string& sql)
{
    auto database = SqliteDatabase::open(storeURL);
    ASSERT_TRUE(database.has_value());
    ASSERT_TRUE(database->execute("PRAGMA foreign_keys = ON").has_value());
    auto done = database->execute(sql);
    ASSERT_TRUE(done.has_value()) << done.error();
}

std::int64_t countOnStore(const std::filesystem::path& storeURL, const std::string& entity)
{
    auto database = SqliteDatabase::open(storeURL, SqliteDatabase::OpenMode::readWrite);
    if (!database)
        return -1;
    auto count = database->queryInteger("SELECT count(*) FROM \"" + entity + "\"");
    return count && *count ? **count : -1;
}
