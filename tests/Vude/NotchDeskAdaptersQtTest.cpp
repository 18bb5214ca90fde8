// The Desk's services as the view models and the Desk see them: every value
// a widget reads carried across, and every action reaching the real service.
#include "Vude/Shell/NotchDeskAdapters.h"

#include "Platform/Shell/UrlOpener.h"
#include "VudeServices/Clip.h"
#include "VudeServices/PipelineRunner.h"
#include "VudeServices/QuickApp.h"
#include "VudeServices/TimerStore.h"
#include "VudeServices/TrayStore.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class TrayStoreAdapterTest : public ::testing::Test {
protected:
    TrayStoreAdapterTest()
    {
        TrayStore::Options options;
        options.applicationSupport = base() / "support";
        options.clock = &clock;
        options.urlOpener = &opener;
        options.typeIcon = [](const std::string&, int) -> std::optional<QImage> { return std::nullopt; };
        store = std::make_unique<TrayStore>("Vude", options);
    }

    fs::path base() const { return folder.path().toStdString(); }

    std::vector<TrayItem> add(const std::vector<fs::path>& urls)
    {
        std::optional<std::vector<TrayItem>> added;
        store->add(urls, false, [&](const std::vector<TrayItem>& items) { added = items; });
        EXPECT_TRUE(testsupport::waitUntil([&] { return added.has_value(); }));
        return added.value_or(std::vector<TrayItem>());
    }

    fs::path makeFile(const std::string& name, const std::string& content)
    {
        const fs::path path = base() / "sources" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    QTemporaryDir folder;
    ManualClock clock;
    RecordingUrlOpener opener;
    std::unique_ptr<TrayStore> store;
};

TEST_F(TrayStoreAdapterTest, ItemsCarryWhatTheTrayWidgetShowsAndDrags)
{
    makeFile("photos/a.txt", "aaaa");
    const auto added = add({makeFile("report.txt", "twelve bytes"), base() / "sources" / "photos"});
    ASSERT_EQ(added.size(), 2u);
    TrayStoreAdapter adapter(*store);
    const std::vector<NotchTrayItem> items = adapter.items();
    ASSERT_EQ(items.size(), 2u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(added[i].displayName);
        EXPECT_EQ(items[i].id, added[i].id);
        EXPECT_EQ(items[i].displayName, added[i].displayName);
        EXPECT_EQ(items[i].originalPath, added[i].originalPath);
        EXPECT_EQ(items[i].storedPath, added[i].storedPath);
        EXPECT_EQ(items[i].isDirectory, added[i].isDirectory);
        EXPECT_EQ(items[i].subtitle, added[i].subtitle());
        EXPECT_EQ(items[i].type, added[i].utTypeIdentifier);
    }
    EXPECT_EQ(items[0].type, "text/plain");
    EXPECT_FALSE(items[0].subtitle.empty());
    EXPECT_TRUE(items[1].isDirectory);
    EXPECT_EQ(items[1].subtitle.substr(0, 6), "1 item");
}

TEST_F(TrayStoreAdapterTest, RemovalsDeleteTheCopyUnlessOnlyTheEntryGoes)
{
    const auto added = add({makeFile("a.txt", "a"), makeFile("b.txt", "b"), makeFile("c.txt", "c")});
    TrayStoreAdapter adapter(*store);
    const std::vector<NotchTrayItem> items = adapter.items();

    adapter.removeEntry(items[0]);
    adapter.remove(items[1]);
    store->waitUntilIdle();
    ASSERT_EQ(adapter.items(), std::vector<NotchTrayItem>{items[2]});
    EXPECT_TRUE(fs::exists(items[0].storedPath)) << "the entry alone went";
    EXPECT_FALSE(fs::exists(items[1].storedPath));

    // An item no longer listed is left alone, its folder too.
    adapter.remove(items[0]);
    store->waitUntilIdle();
    EXPECT_TRUE(fs::exists(items[0].storedPath));

    adapter.quickLook(items[2]);
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], QUrl::fromLocalFile(QString::fromStdString(items[2].storedPath)));
    adapter.quickLook(items[0]);
    EXPECT_EQ(opener.opened.size(), 1u) << "nothing opens for an item no longer listed";

    adapter.removeAll();
    store->waitUntilIdle();
    EXPECT_TRUE(adapter.items().empty());
    EXPECT_FALSE(fs::exists(items[2].storedPath));
}

TEST_F(TrayStoreAdapterTest, AThumbnailArrivesLaterAndNotForAGoneContext)
{
    const auto added = add({makeFile("a.txt", "a")});
    TrayStoreAdapter adapter(*store);
    const NotchTrayItem listed = adapter.items()[0];
    NotchTrayItem gone = listed;
    gone.id = Uuid::random();

    for (const NotchTrayItem& item : {listed, gone}) {
        SCOPED_TRACE(item.id == listed.id ? "listed" : "not listed");
        QObject context;
        bool answered = false;
        adapter.thumbnail(item, 56, &context, [&](std::optional<QImage>) { answered = true; });
        EXPECT_FALSE(answered) << "never during the call";
        EXPECT_TRUE(testsupport::waitUntil([&] { return answered; }));
    }

    bool answered = false;
    {
        QObject context;
        adapter.thumbnail(gone, 56, &context, [&](std::optional<QImage>) { answered = true; });
    }
    testsupport::processEvents();
    EXPECT_FALSE(answered);
}

TEST(TimerStoreAdapterTest, TogglesAndRemovalsFindTheStoredTimerById)
{
    ManualClock clock;
    TimerStore store(clock);
    TimerStoreAdapter adapter(store);
    adapter.add(300, "Tea", true);
    adapter.add(60, "Eggs", true);
    NotchTimer tea = adapter.timers()[0];

    // What the Desk hands back may be stale; the store goes by its own state.
    clock.advance(100s);
    tea.startedAt.reset();
    adapter.toggle(tea, clock.now());
    EXPECT_EQ(adapter.timers()[0].startedAt, std::nullopt);
    EXPECT_EQ(adapter.timers()[0].pausedRemaining, std::optional<double>(200));
    adapter.toggle(tea, clock.now());
    EXPECT_TRUE(adapter.timers()[0].startedAt.has_value());

    adapter.remove(tea);
    ASSERT_EQ(adapter.timers().size(), 1u);
    EXPECT_EQ(adapter.timers()[0].label, "Eggs");
}

TEST(PipelineRunnerAdapterTest, TheBannerHearsTheStateAndUndoGivesBackTheOutputs)
{
    QTemporaryDir folder;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    PipelineRunnerAdapter adapter(PipelineRegistry(PipelineRegistry::defaultPipelines(nullptr)), scheduler);
    int changes = 0;
    QObject::connect(&adapter, &NotchPipelineRunner::stateChanged, [&] { ++changes; });
    EXPECT_EQ(adapter.state(), PipelineRunState::idle());
    EXPECT_TRUE(adapter.undo().empty());

    const fs::path dropped = fs::path(folder.path().toStdString()) / "notes.txt";
    std::ofstream(dropped) << "notes";
    const fs::path out = fs::path(folder.path().toStdString()) / "out";
    fs::create_directories(out);
    PipelineRegistry::Pipeline zip;
    for (const auto& pipeline : adapter.registry()->all())
        if (pipeline->id() == PipelineID::zip)
            zip = pipeline;
    ASSERT_TRUE(zip);
    std::vector<fs::path> produced;
    adapter.run(zip, {dropped}, out, [&](const std::vector<fs::path>& files) { produced = files; });
    ASSERT_TRUE(testsupport::waitUntil([&] { return !produced.empty(); }));
    EXPECT_GT(changes, 0);
    EXPECT_NE(adapter.state().as<PipelineRunState::Finished>(), nullptr);

    EXPECT_EQ(adapter.undo(), produced);
    EXPECT_EQ(adapter.state(), PipelineRunState::idle());
    EXPECT_FALSE(fs::exists(produced[0]));
}

TEST(NotchDeskValuesTest, ClipsAndQuickAppsCarryWhatTheWidgetsNeed)
{
    Clip clip;
    clip.id = Uuid::random();
    clip.kind = Clip::Kind::url;
    clip.text = "https://example.org/a\tlong  link";
    const NotchClip shown = notchClip(clip);
    EXPECT_EQ(shown.id, clip.id);
    EXPECT_EQ(shown.kind, Clip::Kind::url);
    EXPECT_EQ(shown.text, clip.text) << "the whole text, for the tooltip";
    EXPECT_EQ(shown.preview, clip.preview());

    const QuickApp app{Uuid::random(), "org.gnome.Calculator", "Calculator", "/usr/share/applications/calc.desktop"};
    const NotchQuickApp tile = notchQuickApp(app);
    EXPECT_EQ(tile.id, app.id);
    EXPECT_EQ(tile.bundleIdentifier, app.bundleID);
    EXPECT_EQ(tile.path, app.path);
    EXPECT_EQ(quickApp(tile), app) << "the service finds its own pin again";
}

} // namespace
