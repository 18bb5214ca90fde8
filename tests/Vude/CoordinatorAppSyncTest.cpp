// The sync task's store over the real sync coordinator, an in-memory cloud and
// a store in a private Application Support folder.
#include "Vude/App/CoordinatorAppSync.h"

#include "Platform/Cloud/InMemoryCloudDatabase.h"
#include "VudeKit/UserDefaults.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/Schema.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class CoordinatorAppSyncTest : public ::testing::Test {
protected:
    CoordinatorAppSync& make(std::shared_ptr<CloudDatabase> cloud)
    {
        sync = std::make_unique<CoordinatorAppSync>(std::move(cloud), fs::path(root.path().toStdString()), defaults,
                                                    scheduler, clock,
                                                    [this](const std::string& line) { trace.push_back(line); });
        return *sync;
    }

    bool start(AppSync& store, bool syncEnabled)
    {
        bool finished = false;
        store.start(syncEnabled, [&] { finished = true; });
        for (int i = 0; i < 20 && !finished; ++i)
            scheduler.advance(std::chrono::seconds(1));
        return finished;
    }

    QTemporaryDir root;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 9000)};
    ManualScheduler scheduler{clock};
    std::shared_ptr<UserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::vector<std::string> trace;
    std::unique_ptr<CoordinatorAppSync> sync;
};

TEST_F(CoordinatorAppSyncTest, SyncOffKeepsALocalStoreThatTheTaskCanUse)
{
    // An earlier version's to-dos, imported once.
    fs::create_directories(fs::path(root.path().toStdString()) / "Vude");
    std::ofstream(fs::path(root.path().toStdString()) / "Vude" / "todos.json")
        << R"([{"id":"6F1C9A8E-0D52-4B7E-9A3B-2C4D5E6F7A8B","title":"Old","isDone":false,"createdAt":0}])";

    AppSync& store = make(std::make_shared<InMemoryCloudDatabase>(CoordinatorAppSync::kContainerID, "a", clock));
    ASSERT_TRUE(start(store, false));
    EXPECT_TRUE(store.hasContainer());
    EXPECT_TRUE(store.isLocalOnly());
    EXPECT_EQ(store.statusSummary(), "Turned off in Vude's settings");

    const auto imported = store.importEarlierFiles("Test Laptop");
    ASSERT_TRUE(imported);
    const auto again = store.importEarlierFiles("Test Laptop");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->total(), 0) << "once only";

    auto repository = store.makeRepository("Test Laptop", {});
    ASSERT_NE(repository, nullptr);
    EXPECT_EQ(repository->todos().size(), std::size_t(imported->todos));
    repository->addTodo("Milk");
    repository->addTodo("Bread");
    repository->refresh();
    ASSERT_GE(repository->todos().size(), 2u);

    EXPECT_EQ(store.deduplicate(), 0);
    store.deleteAllRows();
    repository->refresh();
    EXPECT_TRUE(repository->todos().empty());
}

TEST_F(CoordinatorAppSyncTest, TheCloudProbeReportsTheAccount)
{
    auto cloud = std::make_shared<InMemoryCloudDatabase>(CoordinatorAppSync::kContainerID, "a", clock);
    AppSync& store = make(cloud);
    std::optional<std::pair<std::string, std::string>> answer;
    store.probeCloud([&](std::string summary, std::string detail) { answer.emplace(summary, detail); });
    for (int i = 0; i < 10 && !answer; ++i)
        scheduler.advance(std::chrono::seconds(1));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->first.rfind("\u2705 Sync folder reachable", 0), 0u) << answer->first;
}

} // namespace
