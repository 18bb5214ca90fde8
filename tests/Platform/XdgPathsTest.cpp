#include "Platform/XdgPaths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

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
