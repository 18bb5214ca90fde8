#include "Platform/Desktop/CalendarFolderAccess.h"

#include "Platform/Core/XdgPaths.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Status = CalendarAuthorizationStatus;

class CalendarFolderAccessTest : public testing::Test {
protected:
    fs::path scratch() const { return m_dir.path().toStdString(); }

    // Runs a request and waits for its answer.
    bool request(CalendarFolderAccess& access)
    {
        std::mutex mutex;
        std::optional<bool> granted;
        access.requestFullAccess([&](bool value) {
            std::lock_guard lock(mutex);
            granted = value;
            m_answeredOn = std::this_thread::get_id();
        });
        EXPECT_TRUE(testsupport::waitUntil([&] {
            std::lock_guard lock(mutex);
            return granted.has_value();
        }));
        std::lock_guard lock(mutex);
        return granted.value_or(false);
    }

    std::thread::id m_answeredOn;

private:
    QTemporaryDir m_dir;
};

TEST_F(CalendarFolderAccessTest, AnAbsentFolderIsUndecidedUntilARequestMakesItForThisUserOnly)
{
    const fs::path folder = scratch() / "data" / "Vude" / "Calendars";
    CalendarFolderAccess access(folder);
    EXPECT_EQ(access.authorizationStatus(), Status::notDetermined);

    EXPECT_TRUE(request(access));
    EXPECT_NE(m_answeredOn, std::this_thread::get_id());
    EXPECT_EQ(access.authorizationStatus(), Status::fullAccess);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

    // A folder that is there is left as it is.
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    std::ofstream(folder / "work.ics") << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
    EXPECT_TRUE(request(access));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all,
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_TRUE(fs::exists(folder / "work.ics"));
}

TEST_F(CalendarFolderAccessTest, SomethingElseInThePlaceOfTheFolderDeniesAndIsLeftAlone)
{
    const fs::path file = scratch() / "Calendars";
    std::ofstream(file) << "not a folder";
    CalendarFolderAccess access(file);
    EXPECT_EQ(access.authorizationStatus(), Status::denied);
    EXPECT_FALSE(request(access));
    EXPECT_TRUE(fs::is_regular_file(file));

    // A file where a parent folder should be: nothing can be made below it.
    CalendarFolderAccess below(file / "Calendars");
    EXPECT_EQ(below.authorizationStatus(), Status::denied);
    EXPECT_FALSE(request(below));
}

TEST_F(CalendarFolderAccessTest, AFolderWeMayNotReadIsDeniedOrWriteOnly)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder whatever its mode";
    const struct {
        fs::perms mode;
        Status expected;
    } rows[] = {
        {fs::perms::owner_all, Status::fullAccess},
        {fs::perms::owner_read | fs::perms::owner_exec, Status::fullAccess},
        {fs::perms::owner_write | fs::perms::owner_exec, Status::writeOnly},
        {fs::perms::owner_read, Status::denied},
        {fs::perms::none, Status::denied},
    };
    const fs::path folder = scratch() / "Calendars";
    fs::create_directory(folder);
    CalendarFolderAccess access(folder);
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.mode));
        fs::permissions(folder, row.mode);
        EXPECT_EQ(access.authorizationStatus(), row.expected);
    }
    fs::permissions(folder, fs::perms::none);
    EXPECT_FALSE(request(access)) << "a request does not take over a folder it may not read";
    fs::permissions(folder, fs::perms::owner_all);
}

TEST_F(CalendarFolderAccessTest, TheStandardFolderIsTheAppsCalendarsFolder)
{
    EXPECT_EQ(CalendarFolderAccess::standardFolder(), XdgPaths::applicationSupport() / "Calendars");
    EXPECT_EQ(CalendarFolderAccess().folder(), CalendarFolderAccess::standardFolder());
}

} // namespace
