#include "Platform/Core/AtomicFile.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path base() const { return root.path().toStdString(); }

    std::vector<std::string> folderEntries() const { return testsupport::folderEntries(base()); }
};

TEST_F(AtomicFileTest, WritesAndReplacesWithTheRequestedModeAndNoLeftovers)
{
    const auto path = base() / "nested" / "defaults.json";
    ASSERT_TRUE(AtomicFile::write(path, "first", 0600));
    ASSERT_TRUE(AtomicFile::write(path, std::string("second\0with nul", 15), 0600));
    EXPECT_EQ(AtomicFile::read(path).value(), std::string("second\0with nul", 15));

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(testsupport::folderEntries(path.parent_path()), std::vector<std::string>{"defaults.json"})
        << "no temporary file is left next to the target";
}

TEST_F(AtomicFileTest, EveryMissingParentFolderIsCreatedPrivate)
{
    const auto path = base() / "config" / "Vude" / "defaults.json";
    ASSERT_TRUE(AtomicFile::write(path, "{}"));
    for (const auto& folder : {base() / "config", base() / "config" / "Vude"}) {
        SCOPED_TRACE(folder.string());
        struct stat info {};
        ASSERT_EQ(stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    struct stat existing {};
    ASSERT_EQ(chmod(base().c_str(), 0755), 0);
    ASSERT_TRUE(AtomicFile::write(base() / "top.json", "{}"));
    ASSERT_EQ(stat(base().c_str(), &existing), 0);
    EXPECT_EQ(existing.st_mode & 0777, 0755u) << "a folder that was already there keeps its mode";
}

TEST_F(AtomicFileTest, ASymlinkAtTheTargetIsReplacedNotFollowed)
{
    const auto victim = base() / "victim";
    ASSERT_TRUE(AtomicFile::write(victim, "precious"));
    const auto path = base() / "link";
    ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);

    ASSERT_TRUE(AtomicFile::write(path, "new"));
    EXPECT_EQ(AtomicFile::read(victim).value(), "precious");
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(AtomicFile::read(path).value(), "new");
}

TEST_F(AtomicFileTest, AFailedWriteKeepsTheOldFileAndSaysWhy)
{
    const auto path = base() / "store.json";
    ASSERT_TRUE(AtomicFile::write(path, "old"));
    // A folder where the target should be: the rename cannot replace it.
    const auto blocked = base() / "blocked";
    fs::create_directories(blocked / "child");
    const auto failed = AtomicFile::write(blocked, "new");
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().find("blocked"), std::string::npos) << failed.error();
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"blocked", "store.json"}));

    const auto underAFile = AtomicFile::write(path / "impossible", "x");
    EXPECT_FALSE(underAFile);
    EXPECT_EQ(AtomicFile::read(path).value(), "old");
}

TEST_F(AtomicFileTest, ReadRefusesMissingAndOversizedFiles)
{
    EXPECT_FALSE(AtomicFile::read(base() / "missing"));
    ASSERT_TRUE(AtomicFile::write(base() / "big", std::string(100, 'x')));
    EXPECT_FALSE(AtomicFile::read(base() / "big", 99));
    EXPECT_TRUE(AtomicFile::read(base() / "big", 100));
    EXPECT_FALSE(AtomicFile::read(base())) << "a folder is not a file";
}

// A hang here shows as the test program's timeout.
TEST_F(AtomicFileTest, ReadRefusesAFifoOrADeviceWithoutWaiting)
{
    const auto fifo = base() / "photo.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto fromFifo = AtomicFile::read(fifo);
    ASSERT_FALSE(fromFifo);
    EXPECT_NE(fromFifo.error().find("not a regular file"), std::string::npos) << fromFifo.error();

    fs::create_symlink(fifo, base() / "link.jpg");
    EXPECT_FALSE(AtomicFile::read(base() / "link.jpg")) << "nor through a symlink";
    EXPECT_FALSE(AtomicFile::read("/dev/zero"));
}

TEST_F(AtomicFileTest, AWriterKilledAtAnyMomentLeavesOneWholeVersion)
{
    const auto path = base() / "state";
    const std::string a(256 * 1024, 'a');
    const std::string b(256 * 1024, 'b');
    ASSERT_TRUE(AtomicFile::write(path, a));

    std::mt19937 random(42);
    for (int round = 0; round < 30; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                (void)AtomicFile::write(path, i % 2 ? a : b);
        }
        usleep(std::uniform_int_distribution<useconds_t>(200, 5000)(random));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        const auto content = AtomicFile::read(path);
        ASSERT_TRUE(content) << content.error();
        ASSERT_TRUE(content.value() == a || content.value() == b) << "round " << round << ": torn file";
    }
}

} // namespace
