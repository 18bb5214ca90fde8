#include "Platform/Settings/SettingsLock.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Every path under `root` with its size and modification time.
std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> snapshot(const fs::path& root)
{
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::error_code error;
        const auto size = entry.is_regular_file() ? entry.file_size(error) : 0;
        entries[entry.path().string()] = {size, fs::last_write_time(entry.path(), error)};
    }
    return entries;
}

// The running instance is stood in for by this test holding the lock. Without
// the check, the second instance would run on and the test would hit its
// timeout.
TEST(SecondInstanceTest, SaysVudeIsAlreadyRunningAndLeavesWithoutWritingAnything)
{
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
    environment.insert("XDG_DATA_HOME", home.path() + "/data");
    environment.insert("XDG_CACHE_HOME", home.path() + "/cache");
    environment.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
    fs::create_directories(root / "runtime");

    const auto running = SettingsLock::acquire(root / "config" / "Vude" / "defaults.json");
    ASSERT_EQ(running.state(), SettingsLock::State::held) << running.error();
    const auto before = snapshot(root);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(VUDE_EXECUTABLE), {});
    ASSERT_TRUE(second.waitForFinished(-1));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardError().toStdString(), "vude: Vude is already running\n");
    EXPECT_EQ(snapshot(root), before);
}

} // namespace
