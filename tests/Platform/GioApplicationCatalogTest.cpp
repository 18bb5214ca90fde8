#include "Platform/Desktop/GioApplicationCatalog.h"

#include "Platform/Desktop/DesktopAppId.h"

#include "DesktopEntryFolders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::DesktopEntryFolders;

namespace {

} // namespace

void PrintTo(const DesktopApplication& application, std::ostream* out)
{
    *out << "{" << application.appId << ", " << application.name << ", " << application.path << "}";
}

void PrintTo(const ApplicationIcon& icon, std::ostream* out)
{
    *out << "{";
    for (const auto& name : icon.themeNames)
        *out << name << " ";
    *out << "| " << icon.file << "}";
}

namespace {

class GioApplicationCatalogTest : public ::testing::Test {
protected:
    GioApplicationCatalog catalog(fs::path procRoot = "/proc") const
    {
        return GioApplicationCatalog({folders.environment(), std::move(procRoot)});
    }

    DesktopEntryFolders folders;
};

TEST(DesktopAppIdTest, AppIdsAreDesktopFileIdsWithoutTheSuffix)
{
    EXPECT_EQ(DesktopAppId::fromDesktopFileId("org.gnome.Calculator.desktop"), "org.gnome.Calculator");
    EXPECT_EQ(DesktopAppId::fromDesktopFileId("org.mpris.Player"), "org.mpris.Player") << "already an app id";
    EXPECT_EQ(DesktopAppId::fromDesktopFileId("firefox.desktop.desktop"), "firefox.desktop");
    EXPECT_EQ(DesktopAppId::desktopFileId("vlc"), "vlc.desktop");
    EXPECT_TRUE(DesktopAppId::namesPath("/home/me/Downloads/tool.desktop"));
    EXPECT_FALSE(DesktopAppId::namesPath("vlc"));
    for (const char* invalid : {"", "a/b", "../x", ".hidden"})
        EXPECT_FALSE(DesktopAppId::isValid(invalid)) << invalid;
}

TEST(DesktopAppIdTest, TheUsersFolderComesFirstAndEachFolderOnce)
{
    const auto folders = DesktopAppId::applicationFolders(Environment::fixed({
        {"HOME", "/home/me"},
        {"XDG_DATA_DIRS", "/usr/share/:relative:/opt/share:/usr/share:/home/me/.local/share"},
    }));
    EXPECT_EQ(folders, (std::vector<fs::path>{"/home/me/.local/share/applications", "/usr/share/applications",
                                              "/opt/share/applications"}));
    EXPECT_EQ(DesktopAppId::applicationFolders(Environment::fixed({{"XDG_DATA_HOME", "/d"}, {"XDG_DATA_DIRS", ""}})),
              (std::vector<fs::path>{"/d/applications", "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST_F(GioApplicationCatalogTest, InstalledApplicationsAreTheVisibleEntriesEachIdOnceUsersFirst)
{
    const std::string sh = "/bin/sh -c true";
    folders.entry(folders.userFolder(), "org.example.Editor.desktop", DesktopEntryFolders::application("My Editor", sh));
    folders.entry(folders.userFolder(), "org.example.Gone.desktop", DesktopEntryFolders::application("Gone", sh, "Hidden=true\n"));
    folders.entry(folders.systemFolder(1), "org.example.Editor.desktop", DesktopEntryFolders::application("Editor", sh));
    folders.entry(folders.systemFolder(1), "org.example.Gone.desktop", DesktopEntryFolders::application("Gone", sh));
    folders.entry(folders.systemFolder(1), "banana.desktop", DesktopEntryFolders::application("banana", sh));
    folders.entry(folders.systemFolder(2), "Apple.desktop", DesktopEntryFolders::application("Apple", sh));
    folders.entry(folders.systemFolder(2), "banana.desktop", DesktopEntryFolders::application("Other banana", sh));
    folders.entry(folders.systemFolder(2), "helper.desktop", DesktopEntryFolders::application("Helper", sh, "NoDisplay=true\n"));
    folders.entry(folders.systemFolder(2), "web.desktop", "Type=Link\nName=Web\nURL=https://example.com\n");
    folders.entry(folders.systemFolder(2), "absent.desktop", DesktopEntryFolders::application("Absent", "/no/such/program"));
    folders.entry(folders.systemFolder(2), "tryexec.desktop",
                  DesktopEntryFolders::application("TryExec", sh, "TryExec=/no/such/program\n"));
    folders.entry(folders.systemFolder(2) / "nested", "inner.desktop", DesktopEntryFolders::application("Inner", sh));
    folders.entry(folders.systemFolder(2), ".dot.desktop", DesktopEntryFolders::application("Dot", sh));
    folders.entry(folders.systemFolder(2), "notes.txt", DesktopEntryFolders::application("Notes", sh));
    folders.entry(folders.systemFolder(2), "broken.desktop", "this is no key file\n[[[\n");

    const auto installed = catalog().installedApplications();
    EXPECT_EQ(installed, (std::vector<DesktopApplication>{
                             {"org.example.Editor", "My Editor", folders.userFolder() / "org.example.Editor.desktop"},
                             {"banana", "banana", folders.systemFolder(1) / "banana.desktop"},
                             {"Apple", "Apple", folders.systemFolder(2) / "Apple.desktop"},
                         }));
}

TEST_F(GioApplicationCatalogTest, DescribeNamesEntriesInTheFoldersByIdAndOthersByPath)
{
    const auto inFolder = folders.entry(folders.systemFolder(1), "org.example.Tool.desktop",
                                        DesktopEntryFolders::application("Tool", "/bin/sh"));
    const auto elsewhere = folders.entry(folders.root() / "Downloads", "picked.desktop",
                                         DesktopEntryFolders::application("Picked", "/bin/sh"));
    const auto hidden = folders.entry(folders.root() / "Downloads", "hidden.desktop",
                                      DesktopEntryFolders::application("Hidden", "/bin/sh", "Hidden=true\n"));
    const auto quiet = folders.entry(folders.root() / "Downloads", "quiet.desktop",
                                     DesktopEntryFolders::application("Quiet", "/bin/sh", "NoDisplay=true\n"));
    const auto notAnEntry = folders.entry(folders.root() / "Downloads", "picked.txt",
                                          DesktopEntryFolders::application("Text", "/bin/sh"));
    const auto link = folders.entry(folders.root() / "Downloads", "link.desktop", "Type=Link\nName=L\nURL=x\n");

    const auto gio = catalog();
    EXPECT_EQ(gio.describe(inFolder), (DesktopApplication{"org.example.Tool", "Tool", inFolder}));
    EXPECT_EQ(gio.describe(folders.systemFolder(1) / "." / ".." / "applications" / "org.example.Tool.desktop"),
              (DesktopApplication{"org.example.Tool", "Tool", inFolder}));
    EXPECT_EQ(gio.describe(elsewhere), (DesktopApplication{elsewhere.string(), "Picked", elsewhere}));
    EXPECT_EQ(gio.describe(quiet)->name, "Quiet") << "picked by hand, an entry kept out of menus still counts";
    for (const auto& none : {hidden, notAnEntry, link, folders.root() / "missing.desktop", folders.root()}) {
        SCOPED_TRACE(none.string());
        EXPECT_EQ(gio.describe(none), std::nullopt);
    }
}

TEST_F(GioApplicationCatalogTest, LocateFollowsTheFoldersInOrder)
{
    const auto user = folders.entry(folders.userFolder(), "moved.desktop", DesktopEntryFolders::application("Moved", "/bin/sh"));
    folders.entry(folders.systemFolder(1), "moved.desktop", DesktopEntryFolders::application("Moved", "/bin/sh"));
    folders.entry(folders.userFolder(), "removed.desktop", DesktopEntryFolders::application("R", "/bin/sh", "Hidden=true\n"));
    const auto shadowed = folders.entry(folders.systemFolder(2), "removed.desktop", DesktopEntryFolders::application("R", "/bin/sh"));
    const auto quiet = folders.entry(folders.systemFolder(2), "quiet.desktop",
                                     DesktopEntryFolders::application("Q", "/bin/sh", "NoDisplay=true\n"));
    const auto picked = folders.entry(folders.root() / "Downloads", "picked.desktop", DesktopEntryFolders::application("P", "/bin/sh"));

    const auto gio = catalog();
    EXPECT_EQ(gio.locate("moved"), user);
    EXPECT_EQ(gio.locate("removed"), std::nullopt) << "the user's hidden entry removes the system's";
    EXPECT_EQ(gio.locate("quiet"), quiet);
    EXPECT_EQ(gio.locate(picked.string()), picked);
    EXPECT_EQ(gio.locate(shadowed.string()), shadowed) << "by its path an entry is itself";
    for (const char* none : {"unknown", "", "../applications/moved", "/no/such.desktop"})
        EXPECT_EQ(gio.locate(none), std::nullopt) << none;
}

TEST_F(GioApplicationCatalogTest, LaunchingAnEntryRunsItsCommand)
{
    const fs::path marker = folders.root() / "launched";
    const auto program = folders.program("make-marker", "touch '" + marker.string() + "'");
    const auto entry = folders.entry(folders.userFolder(), "marker.desktop",
                                     DesktopEntryFolders::application("Marker", program.string()));
    auto gio = catalog();
    ASSERT_TRUE(gio.launch(entry));
    EXPECT_TRUE(testsupport::waitUntil([&] { return fs::exists(marker); }));
    EXPECT_FALSE(gio.launch(folders.root() / "missing.desktop"));
}

TEST_F(GioApplicationCatalogTest, IconsComeFromTheThemeTheEntryFileOrThePixmaps)
{
    const auto themed = folders.entry(folders.userFolder(), "themed.desktop",
                                      DesktopEntryFolders::application("T", "/bin/sh", "Icon=org.example.Themed\n"));
    const auto legacy = folders.entry(folders.userFolder(), "legacy.desktop",
                                      DesktopEntryFolders::application("L", "/bin/sh", "Icon=legacy-app.png\n"));
    fs::create_directories(folders.systemFolder(2).parent_path() / "pixmaps");
    std::ofstream(folders.systemFolder(2).parent_path() / "pixmaps" / "legacy-app.png") << "png";
    const auto file = folders.entry(folders.userFolder(), "file.desktop",
                                    DesktopEntryFolders::application("F", "/bin/sh", "Icon=/opt/icons/f.svg\n"));
    const auto none = folders.entry(folders.userFolder(), "none.desktop", DesktopEntryFolders::application("N", "/bin/sh"));

    const auto gio = catalog();
    EXPECT_EQ(gio.icon(themed), (ApplicationIcon{{"org.example.Themed"}, {}}));
    EXPECT_EQ(gio.icon(legacy),
              (ApplicationIcon{{"legacy-app"}, folders.systemFolder(2).parent_path() / "pixmaps" / "legacy-app.png"}));
    EXPECT_EQ(gio.icon(file), (ApplicationIcon{{}, "/opt/icons/f.svg"}));
    EXPECT_EQ(gio.icon(none), std::nullopt);
    EXPECT_EQ(gio.icon(folders.root() / "missing.desktop"), std::nullopt);
}

// A process table of our own: <pid>/environ and <pid>/exe.
class FakeProcRoot {
public:
    explicit FakeProcRoot(fs::path root) : m_root(std::move(root)) { fs::create_directories(m_root); }

    void process(int pid, const std::vector<std::string>& environment, const std::string& exe = {}) const
    {
        const fs::path folder = m_root / std::to_string(pid);
        fs::create_directories(folder);
        std::ofstream stream(folder / "environ", std::ios::binary);
        for (const auto& variable : environment)
            stream << variable << '\0';
        if (!exe.empty())
            fs::create_symlink(exe, folder / "exe");
    }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

TEST_F(GioApplicationCatalogTest, RunningApplicationsAreFoundInTheProcessTable)
{
    const auto editorProgram = fs::canonical(folders.program("editor"));
    const auto viewerProgram = fs::canonical(folders.program("viewer"));
    const auto updatedProgram = fs::canonical(folders.program("updated"));
    const auto editor = folders.entry(folders.userFolder(), "org.example.Editor.desktop",
                                      DesktopEntryFolders::application("Editor", editorProgram.string() + " %F"));
    const auto terminal = folders.entry(folders.userFolder(), "terminal.desktop",
                                        DesktopEntryFolders::application("Terminal", "/bin/sh"));
    const auto viewer = folders.entry(folders.userFolder(), "viewer.desktop",
                                      DesktopEntryFolders::application("Viewer", viewerProgram.string()));
    const auto updated = folders.entry(folders.userFolder(), "updated.desktop",
                                       DesktopEntryFolders::application("Updated", updatedProgram.string()));
    const auto script = folders.entry(folders.userFolder(), "script.desktop",
                                      DesktopEntryFolders::application("Script", "sh -c 'exec sleep 100'"));
    const auto picked = folders.entry(folders.root() / "Downloads", "picked.desktop",
                                      DesktopEntryFolders::application("Picked", "/bin/sh"));

    const FakeProcRoot proc(folders.root() / "proc");
    // Launched from the system's entry of the same id.
    proc.process(100, {"HOME=/home/me",
                       "GIO_LAUNCHED_DESKTOP_FILE=" + (folders.systemFolder(2) / "org.example.Editor.desktop").string(),
                       "GIO_LAUNCHED_DESKTOP_FILE_PID=100"});
    // A shell started in a launched terminal inherits the terminal's variables.
    proc.process(201, {"GIO_LAUNCHED_DESKTOP_FILE=" + terminal.string(), "GIO_LAUNCHED_DESKTOP_FILE_PID=200"}, "/bin/bash");
    proc.process(300, {"PATH=/usr/bin"}, viewerProgram.string());
    proc.process(400, {}, "/usr/bin/sh");
    proc.process(500, {}, updatedProgram.string() + " (deleted)");
    proc.process(600, {"GIO_LAUNCHED_DESKTOP_FILE=" + picked.string()});
    fs::create_directories(proc.root() / "self");
    fs::create_directories(proc.root() / "sys");

    // Other users' processes are not ours to count.
    if (::getuid() == 0) {
        const fs::path folder = proc.root() / "700";
        proc.process(700, {"GIO_LAUNCHED_DESKTOP_FILE=" + terminal.string(), "GIO_LAUNCHED_DESKTOP_FILE_PID=700"});
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    }

    const auto gio = catalog(proc.root());
    struct Case {
        std::string appId;
        std::optional<fs::path> entry;
        bool running;
    };
    const Case cases[] = {
        {"org.example.Editor", editor, true},
        {"org.example.Editor", std::nullopt, true},
        {"terminal", terminal, false},
        {"viewer", viewer, true},
        {"viewer", std::nullopt, false},
        {"updated", updated, true},
        {"script", script, false},
        {picked.string(), picked, true},
        {"picked", std::nullopt, false},
        {"unknown", std::nullopt, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.appId);
        EXPECT_EQ(gio.isRunning(row.appId, row.entry), row.running);
    }

    EXPECT_FALSE(catalog(folders.root() / "no-proc").isRunning("viewer", viewer));
}

TEST_F(GioApplicationCatalogTest, TheProcessTableIsReadAgainOnlyAfterItsLifetime)
{
    const auto program = fs::canonical(folders.program("late"));
    const auto entry = folders.entry(folders.userFolder(), "late.desktop",
                                     DesktopEntryFolders::application("Late", program.string()));
    const FakeProcRoot proc(folders.root() / "proc");
    const GioApplicationCatalog fresh({folders.environment(), proc.root(), std::chrono::milliseconds(0)});
    const GioApplicationCatalog kept({folders.environment(), proc.root(), std::chrono::hours(1)});
    EXPECT_FALSE(fresh.isRunning("late", entry));
    EXPECT_FALSE(kept.isRunning("late", entry));

    proc.process(42, {}, program.string());
    EXPECT_TRUE(fresh.isRunning("late", entry));
    EXPECT_FALSE(kept.isRunning("late", entry)) << "the table read a moment ago still stands";
}

} // namespace
