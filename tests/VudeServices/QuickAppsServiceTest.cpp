#include "VudeServices/QuickAppsService.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "Platform/Desktop/GioApplicationCatalog.h"

#include "DesktopEntryFolders.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using testsupport::DesktopEntryFolders;

namespace {

std::string readStoredFile(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

QuickApp app(const std::string& bundleID, std::optional<std::string> path = std::nullopt)
{
    return QuickApp{Uuid::random(), bundleID, bundleID, std::move(path)};
}

std::vector<std::string> bundleIDs(const std::vector<QuickApp>& apps)
{
    std::vector<std::string> ids;
    for (const auto& each : apps)
        ids.push_back(each.bundleID);
    return ids;
}

class QuickAppsServiceTest : public ::testing::Test {
protected:
    QuickAppsServiceTest()
        : support(fs::path(scratch.path().toStdString()) / "support")
    {
    }

    std::unique_ptr<QuickAppsService> makeService(ApplicationCatalog& source)
    {
        auto service = std::make_unique<QuickAppsService>("Vude", source, QuickAppsService::Options{support});
        service->setOnChange([this](const std::vector<QuickApp>& apps) { changes.push_back(apps); });
        QObject::connect(service.get(), &QuickAppsService::appsChanged, [this] { ++signalCount; });
        return service;
    }
    std::unique_ptr<QuickAppsService> makeService() { return makeService(catalog); }

    std::vector<QuickApp> installedFrom(QuickAppsService& service)
    {
        std::optional<std::vector<QuickApp>> apps;
        service.installed([&apps](std::vector<QuickApp> result) { apps = std::move(result); });
        EXPECT_TRUE(testsupport::waitUntil([&apps] { return apps.has_value(); }));
        return apps.value_or(std::vector<QuickApp>{});
    }

    QTemporaryDir scratch;
    fs::path support;
    FakeApplicationCatalog catalog;
    std::vector<std::vector<QuickApp>> changes;
    int signalCount = 0;
};

TEST_F(QuickAppsServiceTest, MoveClampsTheTargetAndIgnoresAPlaceOutsideTheList)
{
    struct Case {
        std::int64_t from;
        std::int64_t to;
        std::vector<std::string> order; // empty: nothing happens
    };
    const Case cases[] = {
        {0, 2, {"B", "C", "A"}}, {2, 0, {"C", "A", "B"}}, {1, 9, {"A", "C", "B"}}, {1, -4, {"B", "A", "C"}},
        {1, 1, {"A", "B", "C"}}, {5, 0, {}},              {3, 0, {}},              {-1, 0, {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::to_string(row.from) + " to " + std::to_string(row.to));
        fs::remove_all(support);
        auto service = makeService();
        for (const char* id : {"A", "B", "C"})
            service->add(app(id));
        fs::remove(service->url());
        changes.clear();

        service->move(row.from, row.to);
        if (row.order.empty()) {
            EXPECT_EQ(bundleIDs(service->apps()), (std::vector<std::string>{"A", "B", "C"}));
            EXPECT_TRUE(changes.empty()) << "nothing is saved";
            EXPECT_FALSE(fs::exists(service->url()));
        } else {
            EXPECT_EQ(bundleIDs(service->apps()), row.order);
            EXPECT_EQ(changes.size(), 1u);
            EXPECT_EQ(bundleIDs(decodeQuickApps(readStoredFile(service->url())).value()), row.order);
        }
    }
}

TEST_F(QuickAppsServiceTest, PinningAPinnedApplicationChangesNothingButStillDescribesIt)
{
    const fs::path entry = "/apps/org.example.Notes.desktop";
    catalog.entries[entry] = {"org.example.Notes", "Notes.app", entry};
    auto service = makeService();
    service->add(app("org.example.Notes"));
    const auto pinned = service->apps();
    const std::string file = readStoredFile(service->url());
    changes.clear();
    signalCount = 0;

    service->add(app("org.example.Notes"));
    const auto described = service->add(entry);
    ASSERT_TRUE(described);
    EXPECT_EQ(described->bundleID, "org.example.Notes");
    EXPECT_EQ(described->name, "Notes");
    EXPECT_EQ(described->path, entry.string());
    EXPECT_NE(described->id, pinned[0].id) << "a described app is a new pin";
    EXPECT_EQ(service->apps(), pinned);
    EXPECT_EQ(readStoredFile(service->url()), file);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(signalCount, 0);

    EXPECT_EQ(service->add(fs::path("/apps/not-an-entry.txt")), std::nullopt);
    EXPECT_EQ(service->describe("/apps/not-an-entry.txt"), std::nullopt);
    EXPECT_EQ(service->apps(), pinned);
}

TEST_F(QuickAppsServiceTest, RemovingWhatIsNotPinnedStillRewritesTheFile)
{
    auto service = makeService();
    service->add(app("A"));
    fs::remove(service->url());
    changes.clear();
    signalCount = 0;

    service->remove(app("A")); // same application, another pin
    EXPECT_EQ(service->apps().size(), 1u);
    EXPECT_TRUE(fs::exists(service->url()));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(signalCount, 0);

    service->remove(service->apps()[0]);
    EXPECT_TRUE(service->apps().empty());
    EXPECT_EQ(readStoredFile(service->url()), "[]");
    EXPECT_EQ(signalCount, 1);
}

TEST_F(QuickAppsServiceTest, TheFileKeepsTheFieldsAndABadOneIsAnEmptyList)
{
    {
        auto service = makeService();
        service->add(QuickApp{*Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), "org.example.A", "A",
                              std::string("/apps/a.desktop")});
        service->add(QuickApp{*Uuid::parse("00000000-0000-0000-0000-000000000002"), "b", "B", std::nullopt});
        EXPECT_EQ(readStoredFile(service->url()),
                  R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","bundleID":"org.example.A","name":"A",)"
                  R"("path":"/apps/a.desktop"},{"id":"00000000-0000-0000-0000-000000000002","bundleID":"b","name":"B"}])");
    }
    EXPECT_EQ(bundleIDs(makeService()->apps()), (std::vector<std::string>{"org.example.A", "b"}));

    struct Case {
        const char* why;
        std::string content;
        std::size_t count;
    };
    const Case cases[] = {
        {"no path is none", R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","bundleID":"a","name":"A","extra":[]}])", 1},
        {"a missing name spoils the whole file",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","bundleID":"a","name":"A"},)"
         R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5E","bundleID":"b"}])", 0},
        {"a path of the wrong type spoils it", R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","bundleID":"a","name":"A","path":1}])", 0},
        {"not JSON", "\xFF\xFE", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        ASSERT_TRUE(AtomicFile::write(support / "Vude" / "quickapps.json", row.content));
        auto service = makeService();
        EXPECT_EQ(service->apps().size(), row.count);
        if (row.count == 1) {
            EXPECT_EQ(service->apps()[0].path, std::nullopt);
        }
    }
}

TEST_F(QuickAppsServiceTest, ResolvingPrefersTheAppIdThenAUsableStoredEntry)
{
    catalog.locations["org.example.Moved"] = "/new/place/org.example.Moved.desktop";
    catalog.locations["/home/me/picked.desktop"] = "/home/me/picked.desktop";
    auto service = makeService();

    const auto moved = app("org.example.Moved", "/old/place/org.example.Moved.desktop");
    const auto picked = app("org.example.Gone", "/home/me/picked.desktop");
    const auto deleted = app("org.example.Deleted", "/old/place/org.example.Deleted.desktop");
    EXPECT_EQ(service->resolve(moved), fs::path("/new/place/org.example.Moved.desktop"));
    EXPECT_EQ(service->resolve(picked), fs::path("/home/me/picked.desktop"));
    EXPECT_EQ(service->resolve(deleted), std::nullopt);
    EXPECT_FALSE(service->isMissing(moved));
    EXPECT_TRUE(service->isMissing(deleted));
    EXPECT_TRUE(service->isMissing(app("org.example.Deleted")));

    service->launch(deleted);
    service->launch(moved);
    EXPECT_EQ(catalog.launched(), std::vector<fs::path>{"/new/place/org.example.Moved.desktop"});

    catalog.runningIds = {"org.example.Moved"};
    EXPECT_TRUE(service->isRunning(moved));
    EXPECT_FALSE(service->isRunning(deleted));
}

TEST_F(QuickAppsServiceTest, TheInstalledListIsSortedIgnoringCaseWithEachIdOnce)
{
    catalog.installed = {
        {"banana", "banana", "/a/banana.desktop"},
        {"Apple", "Apple.app", "/a/Apple.desktop"},
        {"cherry", "cherry", "/a/cherry.desktop"},
        {"banana", "Banana again", "/b/banana.desktop"},
    };
    auto service = makeService();
    const auto installed = installedFrom(*service);
    ASSERT_EQ(installed.size(), 3u);
    EXPECT_EQ(installed[0].name, "Apple");
    EXPECT_EQ(installed[1].name, "banana");
    EXPECT_EQ(installed[1].path, "/a/banana.desktop") << "the first of an id is kept";
    EXPECT_EQ(installed[2].name, "cherry");
    EXPECT_EQ(catalog.scans(), 1);
}

TEST(QuickAppNameTest, EveryDotAppIsTakenOut)
{
    struct Case {
        const char* display;
        const char* name;
    };
    const Case cases[] = {
        {"Safari.app", "Safari"}, {"My.app Editor.app", "My Editor"}, {"Whatsapp", "Whatsapp"},
        {"Web.application", "Weblication"}, {"..appapp", ".app"}, {".APP", ".APP"},
    };
    for (const auto& row : cases)
        EXPECT_EQ(quickAppName(row.display), row.name) << row.display;
}

// The service over the real desktop entries of temporary XDG folders.
TEST_F(QuickAppsServiceTest, OverDesktopEntriesTheScanLaunchAndRunningStateWork)
{
    DesktopEntryFolders folders;
    const fs::path marker = folders.root() / "launched";
    const auto program = fs::canonical(folders.program("cherry-app", "touch '" + marker.string() + "'"));
    folders.entry(folders.userFolder(), "cherry.desktop", DesktopEntryFolders::application("cherry", program.string()));
    folders.entry(folders.systemFolder(1), "Apple.desktop", DesktopEntryFolders::application("Apple", "/bin/sh"));
    folders.entry(folders.systemFolder(1), "cherry.desktop", DesktopEntryFolders::application("System cherry", "/bin/sh"));
    folders.entry(folders.systemFolder(2), "banana.desktop", DesktopEntryFolders::application("banana", "/bin/sh"));
    const fs::path proc = folders.root() / "proc" / "4242";
    fs::create_directories(proc);
    fs::create_symlink(program, proc / "exe");

    GioApplicationCatalog desktop({folders.environment(), folders.root() / "proc"});
    auto service = makeService(desktop);
    const auto installed = installedFrom(*service);
    ASSERT_EQ(bundleIDs(installed), (std::vector<std::string>{"Apple", "banana", "cherry"}));
    EXPECT_EQ(installed[2].path, (folders.userFolder() / "cherry.desktop").string());

    service->add(installed[2]);
    service->add(installed[0]);
    EXPECT_TRUE(service->isRunning(service->apps()[0]));
    EXPECT_FALSE(service->isRunning(service->apps()[1]));

    service->launch(service->apps()[0]);
    EXPECT_TRUE(testsupport::waitUntil([&] { return fs::exists(marker); })) << "the entry's command ran";

    fs::remove(folders.systemFolder(1) / "Apple.desktop");
    EXPECT_TRUE(service->isMissing(service->apps()[1]));
    EXPECT_EQ(service->apps().size(), 2u) << "a removed application stays pinned";
}

} // namespace
