#include "Platform/Core/FolderWatcher.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using NameSet = std::set<std::string>;

class FolderWatcherTest : public ::testing::Test {
protected:
    fs::path folder() const { return fs::path(m_dir.path().toStdString()) / "watched"; }
    fs::path other() const { return fs::path(m_dir.path().toStdString()) / "other"; }

    void SetUp() override
    {
        fs::create_directories(folder());
        fs::create_directories(other());
        std::ofstream(folder() / "a.ics") << "a";
        if (!m_watcher.isAvailable())
            GTEST_SKIP() << "inotify cannot be opened here";
    }

    QTemporaryDir m_dir;
    FolderWatcher m_watcher;
};

TEST_F(FolderWatcherTest, HandsOverTheNamesItsEventsCarriedOnceEach)
{
    m_watcher.setPaths({folder()});
    {
        const auto changes = m_watcher.takeChanges();
        EXPECT_FALSE(changes.overflowed);
        ASSERT_TRUE(changes.paths.contains(folder()));
        EXPECT_TRUE(changes.paths.at(folder()).whole) << "nothing is known of what happened before the watch";
        EXPECT_FALSE(changes.paths.contains(other())) << "an unwatched path is not reported as unchanged";
    }

    struct Step {
        const char* why;
        std::function<void()> change;
        NameSet names;
        bool entries;
    };
    const Step steps[] = {
        {"nothing", [] {}, {}, false},
        {"a file written", [&] { std::ofstream(folder() / "a.ics") << "edited"; }, {"a.ics"}, false},
        {"a file made", [&] { std::ofstream(folder() / "b.ics") << "b"; }, {"b.ics"}, true},
        {"a file renamed", [&] { fs::rename(folder() / "b.ics", folder() / "c.ics"); }, {"b.ics", "c.ics"}, true},
        {"a file removed", [&] { fs::remove(folder() / "c.ics"); }, {"c.ics"}, true},
        {"a file changed outside", [&] { std::ofstream(other() / "d.ics") << "d"; }, {}, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        step.change();
        // The events still wait in the kernel: taking reads them.
        const auto changes = m_watcher.takeChanges();
        EXPECT_FALSE(changes.overflowed);
        ASSERT_TRUE(changes.paths.contains(folder()));
        const auto& changed = changes.paths.at(folder());
        EXPECT_FALSE(changed.whole);
        EXPECT_EQ(changed.names, step.names);
        EXPECT_EQ(changed.entries, step.entries);
    }
}

TEST_F(FolderWatcherTest, AFolderReplacedOrWatchedAnewIsReportedWhole)
{
    m_watcher.setPaths({folder()});
    m_watcher.takeChanges();

    // The folder is moved away: whatever is there now is another matter.
    fs::rename(folder(), fs::path(m_dir.path().toStdString()) / "gone");
    EXPECT_TRUE(m_watcher.takeChanges().paths.at(folder()).whole);
    m_watcher.setPaths({folder()});
    EXPECT_FALSE(m_watcher.takeChanges().paths.contains(folder())) << "nothing there to watch";

    // Another folder by that name is watched anew.
    fs::create_directories(folder());
    m_watcher.setPaths({folder()});
    EXPECT_TRUE(m_watcher.takeChanges().paths.at(folder()).whole);
    m_watcher.setPaths({folder()});
    EXPECT_FALSE(m_watcher.takeChanges().paths.at(folder()).whole) << "watching it again changes nothing";
}

TEST_F(FolderWatcherTest, EventsNotTakenAreStillSignalledAndKept)
{
    m_watcher.setPaths({folder()});
    m_watcher.takeChanges();
    QSignalSpy changed(&m_watcher, &FolderWatcher::changed);
    std::ofstream(folder() / "a.ics") << "edited";
    ASSERT_TRUE(testsupport::waitUntil([&] { return changed.count() > 0; }));
    EXPECT_EQ(m_watcher.takeChanges().paths.at(folder()).names, NameSet{"a.ics"});

    // Taken before the event loop saw them: not signalled as well.
    std::ofstream(folder() / "a.ics") << "again";
    m_watcher.takeChanges();
    const auto before = changed.count();
    testsupport::processEvents();
    EXPECT_EQ(changed.count(), before);
}

} // namespace
