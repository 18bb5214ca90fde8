#include "Platform/Core/XdgPaths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(XdgPaths, FoldersFollowTheXdgVariables)
{
    // The test runner sets XDG_DATA_HOME and XDG_CONFIG_HOME for every test.
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (!data || !config)
        GTEST_SKIP() << "run through ctest, which sets the XDG variables";
    EXPECT_EQ(XdgPaths::applicationSupport(), fs::path(data) / "Vude");
    EXPECT_EQ(XdgPaths::configDirectory(), fs::path(config) / "Vude");
}

TEST(XdgPaths, OnlyAbsoluteVariablesCountAndHomeFillsTheGaps)
{
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    const fs::path accountHome = entry->pw_dir;
    struct Row {
        const char* why;
        std::map<std::string, std::string> variables;
        fs::path data;
        fs::path config;
        fs::path cache;
    };
    const Row rows[] = {
        {"the XDG variables win", {{"HOME", "/h"}, {"XDG_DATA_HOME", "/d"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_CACHE_HOME", "/k"}},
         "/d", "/c", "/k"},
        {"unset: under HOME", {{"HOME", "/h"}}, "/h/.local/share", "/h/.config", "/h/.cache"},
        {"empty or relative: ignored",
         {{"HOME", "/h"}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", "relative/config"}, {"XDG_CACHE_HOME", "k"}},
         "/h/.local/share", "/h/.config", "/h/.cache"},
        {"a relative HOME: the account's home", {{"HOME", "h"}}, accountHome / ".local/share", accountHome / ".config",
         accountHome / ".cache"},
        {"no HOME: the account's home", {}, accountHome / ".local/share", accountHome / ".config", accountHome / ".cache"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto environment = Environment::fixed(row.variables);
        EXPECT_EQ(XdgPaths::dataHome(environment), row.data);
        EXPECT_EQ(XdgPaths::configHome(environment), row.config);
        EXPECT_EQ(XdgPaths::cacheHome(environment), row.cache);
        EXPECT_EQ(XdgPaths::applicationSupport(environment), row.data / "Vude");
        EXPECT_EQ(XdgPaths::configDirectory(environment), row.config / "Vude");
    }
}

class PrivateRuntimeDirectoryTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path base() const { return root.path().toStdString(); }
    fs::path ownFolder() const { return base() / ("vude-" + std::to_string(getuid())); }
};

TEST_F(PrivateRuntimeDirectoryTest, PrefersAPrivateRuntimeDir)
{
    const auto runtime = base() / "runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    EXPECT_EQ(XdgPaths::privateRuntimeDirectory(runtime, base()).value(), runtime);
}

TEST_F(PrivateRuntimeDirectoryTest, FallsBackToAnOwnFolderCreatedPrivate)
{
    const auto open = base() / "open-runtime";
    ASSERT_EQ(mkdir(open.c_str(), 0755), 0);
    ASSERT_EQ(chmod(open.c_str(), 0755), 0);
    for (const auto& runtime : {fs::path(), fs::path("relative/runtime"), open}) {
        const auto folder = XdgPaths::privateRuntimeDirectory(runtime, base());
        ASSERT_TRUE(folder) << folder.error();
        EXPECT_EQ(folder.value(), ownFolder());
        struct stat info {};
        ASSERT_EQ(lstat(ownFolder().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST_F(PrivateRuntimeDirectoryTest, TakesItsCandidatesFromTheEnvironment)
{
    const auto runtime = base() / "runtime";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    const auto fromRuntime = XdgPaths::privateRuntimeDirectory(
        Environment::fixed({{"XDG_RUNTIME_DIR", runtime.string()}, {"TMPDIR", base().string()}}));
    EXPECT_EQ(fromRuntime.value(), runtime);

    const auto fromTemporary = XdgPaths::privateRuntimeDirectory(Environment::fixed({{"TMPDIR", base().string()}}));
    EXPECT_EQ(fromTemporary.value(), ownFolder());
}

TEST_F(PrivateRuntimeDirectoryTest, RefusesAPlantedSymlinkOrAnOpenFolder)
{
    const auto elsewhere = base() / "elsewhere";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), ownFolder().c_str()), 0);
    const auto viaLink = XdgPaths::privateRuntimeDirectory({}, base());
    ASSERT_FALSE(viaLink);
    EXPECT_NE(viaLink.error().find("symbolic link"), std::string::npos) << viaLink.error();

    ASSERT_EQ(unlink(ownFolder().c_str()), 0);
    ASSERT_EQ(mkdir(ownFolder().c_str(), 0700), 0);
    ASSERT_EQ(chmod(ownFolder().c_str(), 0777), 0);
    EXPECT_FALSE(XdgPaths::privateRuntimeDirectory({}, base()));
}

} // namespace
