#include "Platform/Core/FileBookmark.h"
#include "Platform/Core/FileTree.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

struct stat statOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

class FileTreeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    fs::path root() const { return m_root.path().toStdString(); }

    // A folder with a nested folder, a hidden file, a relative link, and a
    // FIFO that must never be opened.
    fs::path makeTree()
    {
        const fs::path tree = root() / "tree";
        fs::create_directories(tree / "inner");
        writeFile(tree / "a.txt", "alpha");
        writeFile(tree / ".hidden", "secret");
        writeFile(tree / "inner" / "b.bin", std::string("\0\1\2", 3));
        fs::create_symlink("a.txt", tree / "link");
        EXPECT_EQ(::mkfifo((tree / "pipe").c_str(), 0600), 0);
        return tree;
    }

    QTemporaryDir m_root;
};

TEST_F(FileTreeTest, CopiesATreeLeavingSpecialFilesOutUnread)
{
    const fs::path tree = makeTree();
    const timespec old{1'000'000'000, 0};
    const std::array<timespec, 2> times{old, old};
    ASSERT_EQ(::utimensat(AT_FDCWD, (tree / "a.txt").c_str(), times.data(), 0), 0);

    const fs::path copy = root() / "copy";
    const auto copied = FileTree::copy(tree, copy);
    ASSERT_TRUE(copied) << copied.error();

    EXPECT_EQ(testsupport::folderEntries(copy), (std::vector<std::string>{".hidden", "a.txt", "inner", "link"}));
    EXPECT_EQ(contentOf(copy / "a.txt"), "alpha");
    EXPECT_EQ(contentOf(copy / ".hidden"), "secret");
    EXPECT_EQ(contentOf(copy / "inner" / "b.bin"), std::string("\0\1\2", 3));
    EXPECT_TRUE(fs::is_symlink(copy / "link")) << "a link is copied as a link";
    EXPECT_EQ(fs::read_symlink(copy / "link"), "a.txt");
    EXPECT_EQ(statOf(copy / "a.txt").st_mtim.tv_sec, old.tv_sec) << "the modification time is kept";
    EXPECT_TRUE(fs::exists(tree / "a.txt")) << "the source is left as it was";
}

TEST_F(FileTreeTest, KeepsCopiedFoldersWritableSoTheCopyCanBeDeleted)
{
    const fs::path tree = root() / "locked";
    fs::create_directory(tree);
    writeFile(tree / "f", "x");
    fs::permissions(tree, fs::perms(0555));

    ASSERT_TRUE(FileTree::copy(tree, root() / "copy"));
    fs::permissions(tree, fs::perms(0755));
    EXPECT_EQ(statOf(root() / "copy").st_mode & 0777, 0755u) << "read and execute kept, the owner may write";
}

TEST_F(FileTreeTest, RefusesWhatIsNeitherFileNorFolder)
{
    const fs::path pipe = root() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Copying, or moving across file systems, would block on reading a FIFO
    // that no one writes; both refuse it before anything is opened.
    const auto copied = FileTree::copy(pipe, root() / "copy");
    ASSERT_FALSE(copied);
    EXPECT_NE(copied.error().find("named pipe"), std::string::npos) << copied.error();
    const auto moved = FileTree::move(pipe, root() / "moved");
    ASSERT_FALSE(moved);
    EXPECT_NE(moved.error().find("named pipe"), std::string::npos) << moved.error();
    EXPECT_EQ(FileTree::kind(pipe), FileTree::Kind::fifo);
    EXPECT_FALSE(fs::exists(root() / "copy"));
    EXPECT_FALSE(fs::exists(root() / "moved"));
}

TEST_F(FileTreeTest, RefusesToCopyAFolderIntoItself)
{
    const fs::path tree = makeTree();
    const auto copied = FileTree::copy(tree, tree / "inner" / "again");
    ASSERT_FALSE(copied);
    EXPECT_FALSE(fs::exists(tree / "inner" / "again"));
}

TEST_F(FileTreeTest, NeverReplacesTheDestination)
{
    writeFile(root() / "source", "new");
    writeFile(root() / "taken", "precious");
    EXPECT_FALSE(FileTree::copy(root() / "source", root() / "taken"));
    EXPECT_FALSE(FileTree::move(root() / "source", root() / "taken"));
    EXPECT_EQ(contentOf(root() / "taken"), "precious");
    EXPECT_EQ(contentOf(root() / "source"), "new");
}

TEST_F(FileTreeTest, MovesWithinAFileSystemByRenaming)
{
    const fs::path tree = makeTree();
    const auto inode = statOf(tree / "a.txt").st_ino;
    const auto moved = FileTree::move(tree, root() / "moved");
    ASSERT_TRUE(moved) << moved.error();
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(statOf(root() / "moved" / "a.txt").st_ino, inode);
    EXPECT_EQ(FileTree::kind(root() / "moved" / "pipe"), FileTree::Kind::fifo) << "a rename moves everything";
}

TEST_F(FileTreeTest, MovesAcrossFileSystemsByCopyingThenRemovingTheSource)
{
    const fs::path other = "/dev/shm";
    struct stat here {}, there {};
    if (::stat(root().c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "needs /dev/shm on another file system than " << root();
    QTemporaryDir otherRoot(QString::fromStdString((other / "vude-filetree-XXXXXX").string()));
    ASSERT_TRUE(otherRoot.isValid());
    const fs::path source = fs::path(otherRoot.path().toStdString()) / "tree";
    fs::create_directories(source / "inner");
    writeFile(source / "inner" / "b.txt", "bravo");

    const auto moved = FileTree::move(source, root() / "moved");
    ASSERT_TRUE(moved) << moved.error();
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(contentOf(root() / "moved" / "inner" / "b.txt"), "bravo");
}

// Where the test folder shares a file system with /dev/shm the test above
// skips; a rename that fails as across devices takes the same path anywhere.
TEST_F(FileTreeTest, AMoveAcrossFileSystemsRemovesOnlyWhatItCopied)
{
    const auto acrossDevices = [](const fs::path&, const fs::path&) { return EXDEV; };
    const fs::path tree = makeTree();
    const auto moved = FileTree::move(tree, root() / "moved", acrossDevices);
    ASSERT_TRUE(moved) << moved.error();

    const fs::path copy = root() / "moved";
    EXPECT_EQ(testsupport::folderEntries(copy), (std::vector<std::string>{".hidden", "a.txt", "inner", "link"}));
    EXPECT_EQ(contentOf(copy / "inner" / "b.bin"), std::string("\0\1\2", 3));
    EXPECT_EQ(fs::read_symlink(copy / "link"), "a.txt");
    // The named pipe was not copied, so it is not deleted either: it stays,
    // with the folder that holds it.
    ASSERT_TRUE(fs::is_directory(tree));
    EXPECT_EQ(testsupport::folderEntries(tree), std::vector<std::string>{"pipe"});
    EXPECT_EQ(FileTree::kind(tree / "pipe"), FileTree::Kind::fifo);

    writeFile(root() / "file", "plain");
    ASSERT_TRUE(FileTree::move(root() / "file", root() / "file moved", acrossDevices));
    EXPECT_FALSE(fs::exists(root() / "file"));
    EXPECT_EQ(contentOf(root() / "file moved"), "plain");

    // Linked to, a folder is copied and only the link goes, as with a rename.
    const fs::path folder = root() / "folder";
    fs::create_directory(folder);
    writeFile(folder / "kept", "k");
    fs::create_symlink(folder, root() / "to folder");
    ASSERT_TRUE(FileTree::move(root() / "to folder", root() / "folder moved", acrossDevices));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root() / "to folder")));
    EXPECT_EQ(contentOf(folder / "kept"), "k");
    EXPECT_EQ(contentOf(root() / "folder moved" / "kept"), "k");
}

TEST_F(FileTreeTest, ABookmarkFindsItsFileWhileItIsThere)
{
    const fs::path file = root() / "Report 100%.pdf";
    writeFile(file, "%PDF-");
    const auto bookmark = FileBookmark::create(file);
    ASSERT_TRUE(bookmark) << bookmark.error();
    EXPECT_EQ(FileBookmark::resolve(*bookmark), file);
    fs::remove(file);
    EXPECT_EQ(FileBookmark::resolve(*bookmark), std::nullopt);
    EXPECT_FALSE(FileBookmark::create(file)) << "nothing to bookmark";
    EXPECT_EQ(FileBookmark::resolve("not a URL"), std::nullopt);
}

} // namespace
