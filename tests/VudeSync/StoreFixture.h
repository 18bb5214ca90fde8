#pragma once
// A fresh store in a temporary folder for each test, and a way to make its
// saves fail for real: another connection holding the write lock.

#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/SqliteDatabase.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

class StoreFixture : public testing::Test {
protected:
    void SetUp() override;

    std::filesystem::path folder() const;
    std::filesystem::path storeURL() const { return folder() / "Vude.store"; }
    /// Opens (another) container on the fixture's store. Saves give up at once
    /// when another connection holds the write lock.
    std::unique_ptr<ModelContainer> openContainer();

    QTemporaryDir m_folder;
    std::unique_ptr<ModelContainer> container;
};

/// Holds the store's write lock from another connection while it lives, so
/// every save on the store fails with "database is locked".
class StoreWriteLock {
public:
    explicit StoreWriteLock(const std::filesystem::path& storeURL);
    ~StoreWriteLock();
    void release();

private:
    SqliteDatabase m_database;
    bool m_held = false;
};

/// Runs SQL on the store (created when missing) through a connection of its
/// own (for rows written by
/// "someone else", and for looking at what is really stored).
void executeOnStore(const std::filesystem::path& storeURL, const std::string& sql);
std::int64_t countOnStore(const std::filesystem::path& storeURL, const std::string& entity);
