#include "Platform/Settings/SettingsLock.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using State = SettingsLock::State;

namespace {

class SettingsLockTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path settings() const { return fs::path(root.path().toStdString()) / "Vude" / "defaults.json"; }
    fs::path lockFile() const { return fs::path(settings()) += ".lock"; }
};

TEST_F(SettingsLockTest, OneHolderAtATimeUntilItLetsGo)
{
    auto first = SettingsLock::acquire(settings());
    ASSERT_EQ(first.state(), State::held) << first.error();
    EXPECT_TRUE(first.error().empty());

    const auto second = SettingsLock::acquire(settings());
    EXPECT_EQ(second.state(), State::heldElsewhere);
    EXPECT_TRUE(second.isHeldElsewhere());

    // Moving the lock keeps it held; destroying the holder releases it.
    {
        const auto moved = std::move(first);
        EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::heldElsewhere);
    }
    auto again = SettingsLock::acquire(settings());
    EXPECT_EQ(again.state(), State::held);
    again = SettingsLock::acquire(settings());
    EXPECT_EQ(again.state(), State::heldElsewhere) << "taken while the first was still held";
    EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::held) << "and the assignment let the first go";
}

TEST_F(SettingsLockTest, MakesAPrivateFolderAndLockFile)
{
    const auto lock = SettingsLock::acquire(settings());
    ASSERT_EQ(lock.state(), State::held) << lock.error();
    struct stat info {};
    ASSERT_EQ(::stat(lockFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(settings().parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(fs::exists(settings())) << "the settings file itself is not touched";
}

// An instance that dies, however it dies, leaves no lock behind.
TEST_F(SettingsLockTest, AKilledHolderReleasesTheLock)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto lock = SettingsLock::acquire(settings());
        const char held = lock.state() == State::held ? 'y' : 'n';
        (void)!::write(ready[1], &held, 1);
        for (;;)
            ::pause();
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(held, 'y');
    EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::heldElsewhere);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::held);
}

// A tool the app starts must not keep the lock after the app is gone.
TEST_F(SettingsLockTest, AProgramTheHolderStartsDoesNotInheritIt)
{
    QProcess tool;
    {
        const auto lock = SettingsLock::acquire(settings());
        ASSERT_EQ(lock.state(), State::held);
        tool.start("/bin/sleep", {"30"});
        ASSERT_TRUE(tool.waitForStarted());
    }
    EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::held);
    tool.kill();
    tool.waitForFinished();
}

// A hang here shows as the test program's timeout.
TEST_F(SettingsLockTest, AnythingButAFileAtTheLockPathMakesItUnavailable)
{
    fs::create_directories(settings().parent_path());
    ASSERT_EQ(::mkfifo(lockFile().c_str(), 0600), 0);
    const auto onFifo = SettingsLock::acquire(settings());
    EXPECT_EQ(onFifo.state(), State::unavailable);
    EXPECT_NE(onFifo.error().find(lockFile().string()), std::string::npos) << onFifo.error();

    fs::remove(lockFile());
    fs::create_symlink(root.path().toStdString() + "/elsewhere", lockFile());
    EXPECT_EQ(SettingsLock::acquire(settings()).state(), State::unavailable);
    EXPECT_FALSE(fs::exists(root.path().toStdString() + "/elsewhere")) << "never created through a symlink";
}

} // namespace
