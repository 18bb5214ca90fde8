#include "Vude/App/ShortcutSeeding.h"

#include "VudeKit/UserDefaults.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class ShortcutSeedingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path folder = scratch.path().toStdString();
        ModelConfiguration configuration;
        configuration.url = folder / "Vude.store";
        auto opened = ModelContainer::open(configuration);
        ASSERT_TRUE(opened) << opened.error();
        container = std::move(*opened);
        repository = std::make_unique<DidoDivuzerore>(container->makeContext(), "Test Mac", clock);

        // The user's shortcuts, as the runner lists them.
        runner = folder / "runner";
        std::ofstream(runner) << "#!/bin/sh\n[ \"$1\" = list ] || exit 2\n"
                                 "printf 'Morning Music\\nTimer 5 min\\nBackup\\nAlpha\\nLock Screen\\n'\n";
        fs::permissions(runner, fs::perms(0755));
        ShortcutsService::Options options;
        options.tool = runner;
        options.applicationSupport = folder / "support";
        shortcuts = std::make_unique<ShortcutsService>("Vude", options);
    }

    void seed()
    {
        ShortcutSeeding::seedIfNeeded(defaults, [this] { return repository.get(); }, *shortcuts,
                                      [this](const std::string& line) { trace.push_back(line); });
    }

    bool seeded() const { return defaults.boolForKey(ShortcutSeeding::kSeededKey).value_or(false); }

    std::vector<std::pair<std::string, std::string>> stored() const
    {
        std::vector<std::pair<std::string, std::string>> result;
        for (const auto& shortcut : repository->shortcuts())
            result.emplace_back(shortcut.shortcutName, shortcut.symbol);
        return result;
    }

    QTemporaryDir scratch;
    ManualClock clock;
    InMemoryUserDefaults defaults;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<DidoDivuzerore> repository;
    fs::path runner;
    std::unique_ptr<ShortcutsService> shortcuts;
    std::vector<std::string> trace;
};

TEST_F(ShortcutSeedingTest, AnEmptyStoreGetsTheSeedersPicksOnce)
{
    seed();
    ASSERT_TRUE(testsupport::waitUntil([this] { return seeded(); }));
    EXPECT_EQ(stored(), (std::vector<std::pair<std::string, std::string>>{
                            {"Timer 5 min", "timer"},
                            {"Lock Screen", "lock.fill"},
                            {"Morning Music", "music.note"},
                            {"Alpha", "sparkles"},
                        }));
    EXPECT_EQ(trace, std::vector<std::string>{"seeded 4 shortcut(s) from 5 available"});

    repository->removeShortcut(repository->shortcuts()[0].id);
    seed();
    testsupport::processEvents();
    EXPECT_EQ(repository->shortcuts().size(), 3u) << "seeding happens once";
}

TEST_F(ShortcutSeedingTest, WithoutARepositoryNothingHappensYet)
{
    ShortcutSeeding::seedIfNeeded(defaults, [] { return nullptr; }, *shortcuts);
    testsupport::processEvents();
    EXPECT_FALSE(seeded()) << "the flag waits for a repository";
}

TEST_F(ShortcutSeedingTest, AStoreWithShortcutsOnlySetsTheFlag)
{
    repository->addShortcut("Mine", "star");
    seed();
    EXPECT_TRUE(seeded());
    testsupport::processEvents();
    EXPECT_EQ(stored(), (std::vector<std::pair<std::string, std::string>>{{"Mine", "star"}}));
    EXPECT_TRUE(trace.empty());
}

TEST_F(ShortcutSeedingTest, AShortcutAddedWhileListingWins)
{
    seed();
    repository->addShortcut("Synced from elsewhere", "star");
    ASSERT_TRUE(testsupport::waitUntil([this] { return seeded(); }));
    EXPECT_EQ(stored(), (std::vector<std::pair<std::string, std::string>>{{"Synced from elsewhere", "star"}}));
    EXPECT_TRUE(trace.empty());
}

TEST_F(ShortcutSeedingTest, ARepositoryGoneWhileListingOnlySetsTheFlag)
{
    seed();
    repository.reset();
    ASSERT_TRUE(testsupport::waitUntil([this] { return seeded(); }));
    EXPECT_TRUE(trace.empty());
}

TEST_F(ShortcutSeedingTest, NoShortcutsToListStillCountsAsSeeded)
{
    fs::remove(runner);
    seed();
    ASSERT_TRUE(testsupport::waitUntil([this] { return seeded(); }));
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(trace, std::vector<std::string>{"seeded 0 shortcut(s) from 0 available"});
}

} // namespace
