// Launch at login: the autostart entry the setting writes and removes, its
// Exec quoting, and what happens when the folder cannot be written.
#include "Vude/App/LaunchAtLogin.h"
#include "Platform/Core/AtomicFile.h"
#include "VudeKit/UserDefaults.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    const auto text = AtomicFile::read(path);
    return text ? *text : std::string();
}

/// Runs the entry's Exec as a launcher would: the value's string escapes
/// undone, `%%` undone, the quoting taken by the shell (the same rules).
int runExec(const std::string& entry)
{
    const auto start = entry.find("\nExec=");
    if (start == std::string::npos)
        return -1;
    const auto end = entry.find('\n', start + 1);
    const std::string value = entry.substr(start + 6, end - start - 6);
    std::string command;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\')
            ++i;
        else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%')
            ++i;
        command += value[i];
    }
    return QProcess::execute("/bin/sh", {"-c", QString::fromStdString(command)});
}

class LaunchAtLoginTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    fs::path root() const { return dir.path().toStdString(); }
    fs::path entry() const { return root() / "config" / "autostart" / "vude.desktop"; }

    std::unique_ptr<LaunchAtLogin> make(fs::path program = "/usr/bin/vude")
    {
        return std::make_unique<LaunchAtLogin>(store, entry(), std::move(program),
                                               [this](const std::string& line) { traced.push_back(line); });
    }

    QTemporaryDir dir;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    SettingsStore store{defaults};
    std::vector<std::string> traced;
};

TEST_F(LaunchAtLoginTest, TheEntryLivesInTheConfigFolderTheEnvironmentNames)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string> variables;
        std::optional<fs::path> expected;
    };
    for (const Case& each : {
             Case{"XDG_CONFIG_HOME", {{"XDG_CONFIG_HOME", "/x/conf"}, {"HOME", "/home/u"}},
                  fs::path("/x/conf/autostart/vude.desktop")},
             Case{"no XDG_CONFIG_HOME", {{"HOME", "/home/u"}}, fs::path("/home/u/.config/autostart/vude.desktop")},
             Case{"a relative XDG_CONFIG_HOME is ignored",
                  {{"XDG_CONFIG_HOME", "conf"}, {"HOME", "/home/u"}},
                  fs::path("/home/u/.config/autostart/vude.desktop")},
             Case{"neither", {}, std::nullopt},
         }) {
        SCOPED_TRACE(each.name);
        EXPECT_EQ(LaunchAtLogin::entryPath(Environment::fixed(each.variables)), each.expected);
    }
}

TEST_F(LaunchAtLoginTest, TheExecStartsTheProgramWhateverItsPathHolds)
{
    const bool validator = QProcess::execute("/bin/sh", {"-c", "command -v desktop-file-validate >/dev/null"}) == 0;
    for (const std::string name : {"plain", "with space", "100% sure", "a \"quoted\" $HOME `x` back\\slash"}) {
        SCOPED_TRACE(name);
        const fs::path folder = root() / ("bin " + name);
        fs::create_directories(folder);
        const fs::path program = folder / "vude";
        const fs::path marker = root() / "ran";
        fs::remove(marker);
        std::ofstream(program) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
        fs::permissions(program, fs::perms::owner_all);

        const std::string text = LaunchAtLogin::entryText(program);
        EXPECT_EQ(LaunchAtLogin::execProgram(text), program.string());
        EXPECT_EQ(runExec(text), 0);
        EXPECT_TRUE(fs::exists(marker)) << "the Exec started the program";

        if (!validator)
            continue;
        const fs::path written = root() / "check" / "vude.desktop";
        ASSERT_TRUE(AtomicFile::write(written, text));
        QProcess validate;
        validate.start("desktop-file-validate", {QString::fromStdString(written.string())});
        ASSERT_TRUE(validate.waitForFinished(10000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
        EXPECT_EQ(validate.readAllStandardOutput().toStdString(), "") << "no warning either";
    }
    if (!validator)
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
}

TEST_F(LaunchAtLoginTest, TheSettingWritesAndRemovesTheEntry)
{
    auto launch = make();
    EXPECT_FALSE(fs::exists(entry())) << "off at start: nothing written";

    store.setLaunchAtLogin(true);
    ASSERT_TRUE(fs::exists(entry()));
    EXPECT_EQ(LaunchAtLogin::execProgram(readFile(entry())), "/usr/bin/vude");
    EXPECT_EQ(fs::status(entry()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    store.setLaunchAtLogin(false);
    EXPECT_FALSE(fs::exists(entry()));

    store.setLaunchAtLogin(true);
    ASSERT_TRUE(fs::exists(entry()));
    store.resetAll();
    EXPECT_FALSE(store.launchAtLogin());
    EXPECT_FALSE(fs::exists(entry())) << "resetting every setting turns it off";
    EXPECT_TRUE(traced.empty());
    EXPECT_TRUE(fs::is_empty(entry().parent_path())) << "no temporary file left";
}

TEST_F(LaunchAtLoginTest, AtStartAnEntryForAnotherProgramIsRewrittenAndOneForThisKept)
{
    store.setLaunchAtLogin(true);
    ASSERT_TRUE(AtomicFile::write(entry(), LaunchAtLogin::entryText("/opt/old/vude")));
    auto moved = make("/usr/bin/vude");
    EXPECT_EQ(LaunchAtLogin::execProgram(readFile(entry())), "/usr/bin/vude");
    moved.reset();

    const std::string own = LaunchAtLogin::entryText("/usr/bin/vude") + "X-Note=kept\n";
    ASSERT_TRUE(AtomicFile::write(entry(), own));
    auto same = make("/usr/bin/vude");
    EXPECT_EQ(readFile(entry()), own) << "an entry that starts this binary is left as it is";
    same.reset();

    fs::remove(entry());
    auto missing = make("/usr/bin/vude");
    EXPECT_TRUE(fs::exists(entry())) << "on, but the entry was deleted: written again";
    missing.reset();

    store.setLaunchAtLogin(false);
    ASSERT_TRUE(AtomicFile::write(entry(), own));
    auto off = make("/usr/bin/vude");
    EXPECT_EQ(readFile(entry()), own) << "off at start: an entry the user made is left alone";
}

TEST_F(LaunchAtLoginTest, AFolderThatCannotBeWrittenTracesOneLineAndKeepsTheSetting)
{
    // A file where the autostart folder should be: nothing can go inside it.
    fs::create_directories(root() / "config");
    std::ofstream(root() / "config" / "autostart") << "not a folder";
    auto launch = make();
    store.setLaunchAtLogin(true);
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_NE(traced[0].find("launch at login"), std::string::npos) << traced[0];
    EXPECT_TRUE(store.launchAtLogin()) << "the switch keeps reading the setting";

    store.setDemoMode(true);
    EXPECT_EQ(traced.size(), 1u) << "other writes try nothing";
}

TEST_F(LaunchAtLoginTest, WithoutAConfigFolderTurningOnTracesAndWritesNothing)
{
    auto launch = std::make_unique<LaunchAtLogin>(store, std::nullopt, "/usr/bin/vude",
                                                  [this](const std::string& line) { traced.push_back(line); });
    store.setLaunchAtLogin(true);
    EXPECT_EQ(traced.size(), 1u);
    store.setLaunchAtLogin(false);
    EXPECT_EQ(traced.size(), 1u);
}

} // namespace
