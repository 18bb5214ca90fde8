#include "Platform/Desktop/Trash.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(Trash, OnlyTheUsersOwnTrashFoldersCount)
{
    const fs::path data = "/home/ann/.local/share";
    struct Row {
        const char* why;
        fs::path landed;
        uid_t uid;
        bool inTrash;
    } const rows[] = {
        {"the home Trash", data / "Trash/files/a.txt", 1000, true},
        {"a name the Trash made unique", data / "Trash/files/a.2.txt", 1000, true},
        {"a volume's own Trash of the user", "/media/usb/.Trash-1000/files/a.txt", 1000, true},
        {"a volume's shared Trash, the user's part", "/media/usb/.Trash/1000/files/a.txt", 1000, true},
        {"another user's Trash", "/media/usb/.Trash-1001/files/a.txt", 1000, false},
        {"another user's part of the shared Trash", "/media/usb/.Trash/1001/files/a.txt", 1000, false},
        {"relative to the working folder", "files/a.txt", 1000, false},
        {"a files folder in the working folder", "/work/build/files/a.txt", 1000, false},
        {"the record, not the file", data / "Trash/info/a.txt", 1000, false},
        {"deeper than an entry", data / "Trash/files/sub/a.txt", 1000, false},
        {"climbing out of it", data / "Trash/files/../../a.txt", 1000, false},
        {"the folder itself", data / "Trash/files/", 1000, false},
        {"another data folder's Trash", "/home/bob/.local/share/Trash/files/a.txt", 1000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(Trash::isInUsersTrash(row.landed, data, row.uid), row.inTrash);
    }
    EXPECT_FALSE(Trash::isInUsersTrash("/no-such-dir/Trash/files/a.txt", "no-such-dir", 1000))
        << "a relative data folder names no Trash";
}

// Qt's own Trash lies in the test's data folder (XDG_DATA_HOME).
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        fs::create_directories(qtData());
    }

    fs::path qtData() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
    }
    fs::path makeFile(const std::string& name)
    {
        const fs::path path = fs::path(m_folder.path().toStdString()) / name;
        std::ofstream(path) << "content of " << name;
        return path;
    }

    QTemporaryDir m_folder;
};

TEST_F(TrashTest, AFileQtTrashedIntoTheUsersTrashCounts)
{
    const fs::path file = makeFile("kept-in-trash-" + std::to_string(::getpid()) + ".txt");
    std::optional<fs::path> landed;
    const Trash::Mover recording = [&](const fs::path& path) { return landed = Trash::moveWithQt(path); };
    EXPECT_TRUE(Trash::moveToUsersTrash(file, recording, qtData(), ::getuid()));
    ASSERT_TRUE(landed);
    EXPECT_EQ(landed->parent_path(), qtData() / "Trash" / "files");
    EXPECT_TRUE(fs::exists(*landed));
    EXPECT_FALSE(fs::exists(file));
    fs::remove(*landed);
}

TEST_F(TrashTest, AFileThatLandedAnywhereElseIsMovedBack)
{
    // Qt trashes into its data folder; ours is elsewhere, so to us that is
    // not the user's Trash.
    const fs::path file = makeFile("moved-back-" + std::to_string(::getpid()) + ".txt");
    std::optional<fs::path> landed;
    const Trash::Mover recording = [&](const fs::path& path) { return landed = Trash::moveWithQt(path); };
    EXPECT_FALSE(Trash::moveToUsersTrash(file, recording, fs::path(m_folder.path().toStdString()) / "data", ::getuid()));
    ASSERT_TRUE(landed);
    EXPECT_TRUE(fs::exists(file)) << "back where it was";
    EXPECT_FALSE(fs::exists(*landed));
    fs::path record = landed->parent_path().parent_path() / "info" / landed->filename();
    record += ".trashinfo";
    EXPECT_FALSE(fs::exists(record));

    // A mover that did nothing, or lost the file: nothing to count.
    EXPECT_FALSE(Trash::moveToUsersTrash(file, [](const fs::path&) { return std::nullopt; }, qtData(), ::getuid()));
    EXPECT_FALSE(Trash::moveToUsersTrash(
        file, [&](const fs::path&) { return std::optional(qtData() / "Trash" / "files" / "never-there"); }, qtData(),
        ::getuid()));
    EXPECT_TRUE(fs::exists(file));
}

} // namespace
