#include "Platform/Core/NewFile.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

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

class NewFileTest : public ::testing::TestWithParam<NewFile::Strategy> {
protected:
    QTemporaryDir root;
    fs::path folder() const { return root.path().toStdString(); }
};

TEST_P(NewFileTest, AppearsWholeUnderItsNameOnlyWhenCommitted)
{
    auto file = NewFile::create(folder(), GetParam());
    ASSERT_TRUE(file) << file.error();
    ASSERT_TRUE(file->write("first part, "));
    ASSERT_TRUE(file->write("second part"));
    EXPECT_FALSE(fs::exists(folder() / "out.txt"));
    if (GetParam() == NewFile::Strategy::anonymous) {
        EXPECT_TRUE(testsupport::folderEntries(folder()).empty()) << "an unnamed file shows nowhere while it is written";
    }

    ASSERT_TRUE(file->commit(folder() / "out.txt", 0640));
    EXPECT_EQ(contentOf(folder() / "out.txt"), "first part, second part");
    EXPECT_EQ(testsupport::folderEntries(folder()), std::vector<std::string>{"out.txt"});
    struct stat info {};
    ASSERT_EQ(::stat((folder() / "out.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_P(NewFileTest, NeverTakesThePlaceOfAnythingAlreadyThere)
{
    std::ofstream(folder() / "taken.txt") << "precious";
    ASSERT_EQ(::symlink("nowhere", (folder() / "dangling").c_str()), 0);
    fs::create_directory(folder() / "folder");

    for (const char* name : {"taken.txt", "dangling", "folder"}) {
        SCOPED_TRACE(name);
        auto file = NewFile::create(folder(), GetParam());
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->write("new"));
        EXPECT_FALSE(file->commit(folder() / name));
    }
    EXPECT_EQ(contentOf(folder() / "taken.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(folder() / "dangling"));
    EXPECT_FALSE(fs::exists(folder() / "nowhere")) << "the link was not followed";
    EXPECT_EQ(testsupport::folderEntries(folder()), (std::vector<std::string>{"dangling", "folder", "taken.txt"}))
        << "failed commits leave nothing behind";
}

TEST_P(NewFileTest, AnAbandonedFileLeavesNothing)
{
    {
        auto file = NewFile::create(folder(), GetParam());
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->write("half a picture"));
    }
    EXPECT_TRUE(testsupport::folderEntries(folder()).empty());
}

INSTANTIATE_TEST_SUITE_P(Strategies, NewFileTest,
                         ::testing::Values(NewFile::Strategy::anonymous, NewFile::Strategy::hidden),
                         [](const auto& info) {
                             return info.param == NewFile::Strategy::anonymous ? "anonymous" : "hidden";
                         });

TEST(NewFileCreateTest, FailsForAMissingFolder)
{
    QTemporaryDir root;
    const fs::path missing = fs::path(root.path().toStdString()) / "missing";
    const auto file = NewFile::create(missing);
    ASSERT_FALSE(file);
    EXPECT_NE(file.error().find("missing"), std::string::npos) << file.error();
}

} // namespace
