#include "Platform/Camera/V4l2CameraAccess.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Access = CameraNodeAccess;
using Status = CameraAuthorizationStatus;

// A scratch /dev holding files named like device nodes.
class FakeDevices {
public:
    fs::path root() const { return m_dir.path().toStdString(); }
    fs::path add(const std::string& name)
    {
        const fs::path node = root() / name;
        std::ofstream(node) << "";
        return node;
    }

private:
    QTemporaryDir m_dir;
};

TEST(V4l2CameraAccess, ACaptureDeviceGrantsARefusalDeniesNothingLeavesItOpen)
{
    const struct {
        const char* why;
        std::vector<Access> nodes;
        Status expected;
    } rows[] = {
        {"no video node at all", {}, Status::notDetermined},
        {"only metadata or codec nodes", {Access::other, Access::other}, Status::notDetermined},
        {"a node gone or busy says nothing", {Access::unavailable}, Status::notDetermined},
        {"a capture device opens", {Access::other, Access::capture}, Status::authorized},
        {"a node refuses us", {Access::other, Access::refused}, Status::denied},
        {"one camera opening outweighs a refusal", {Access::refused, Access::capture}, Status::authorized},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(V4l2CameraAccess::status(row.nodes), row.expected);
    }
}

TEST(V4l2CameraAccess, LooksAtVideoNodesOnlyInNumericOrder)
{
    FakeDevices devices;
    for (const char* name : {"video10", "video2", "video0", "video", "videoX", "video1a", "vbi0", "media0", "v4l"})
        devices.add(name);
    fs::create_directory(devices.root() / "by-id");

    const V4l2CameraAccess access(devices.root());
    EXPECT_EQ(access.deviceNodes(),
              (std::vector<fs::path>{devices.root() / "video0", devices.root() / "video2", devices.root() / "video10"}));

    const V4l2CameraAccess missing(devices.root() / "absent");
    EXPECT_TRUE(missing.deviceNodes().empty());
    EXPECT_EQ(missing.authorizationStatus(), Status::notDetermined);
}

TEST(V4l2CameraAccess, StopsOpeningOnceACameraOpens)
{
    FakeDevices devices;
    for (const char* name : {"video0", "video1", "video2"})
        devices.add(name);
    std::map<std::string, Access> answers{{"video0", Access::other}, {"video1", Access::capture},
                                          {"video2", Access::refused}};
    std::vector<std::string> opened;
    const V4l2CameraAccess access(devices.root(), [&](const fs::path& node) {
        opened.push_back(node.filename());
        return answers.at(node.filename());
    });

    EXPECT_EQ(access.authorizationStatus(), Status::authorized);
    EXPECT_EQ(opened, (std::vector<std::string>{"video0", "video1"}));

    // Nothing is remembered: the next read looks again.
    answers["video1"] = Access::other;
    EXPECT_EQ(access.authorizationStatus(), Status::denied);
}

TEST(V4l2CameraAccess, FilesThatAreNoDevicesAreNoCameras)
{
    FakeDevices devices;
    devices.add("video0");
    fs::create_directory(devices.root() / "video1");

    EXPECT_EQ(V4l2CameraAccess::inspectNode(devices.root() / "video0"), Access::other);
    EXPECT_EQ(V4l2CameraAccess::inspectNode(devices.root() / "video1"), Access::unavailable);
    EXPECT_EQ(V4l2CameraAccess::inspectNode(devices.root() / "video9"), Access::unavailable);
    EXPECT_EQ(V4l2CameraAccess(devices.root()).authorizationStatus(), Status::notDetermined);
}

TEST(V4l2CameraAccess, ANodeWeMayNotOpenDenies)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every file whatever its mode";
    FakeDevices devices;
    const fs::path node = devices.add("video0");
    ASSERT_EQ(::chmod(node.c_str(), 0), 0);

    EXPECT_EQ(V4l2CameraAccess::inspectNode(node), Access::refused);
    EXPECT_EQ(V4l2CameraAccess(devices.root()).authorizationStatus(), Status::denied);
}

TEST(V4l2CameraAccess, ARequestLooksAgainOnItsOwnThread)
{
    FakeDevices devices;
    devices.add("video0");
    std::atomic<Access> answer = Access::refused;
    std::atomic<int> looks = 0;
    V4l2CameraAccess access(devices.root(), [&](const fs::path&) {
        ++looks;
        return answer.load();
    });
    EXPECT_EQ(access.authorizationStatus(), Status::denied);

    // The user fixed the group meanwhile.
    answer = Access::capture;
    std::mutex mutex;
    std::optional<bool> granted;
    std::thread::id answeredOn;
    access.requestAccess([&](bool value) {
        std::lock_guard lock(mutex);
        granted = value;
        answeredOn = std::this_thread::get_id();
    });
    ASSERT_TRUE(testsupport::waitUntil([&] {
        std::lock_guard lock(mutex);
        return granted.has_value();
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(granted, true);
    EXPECT_EQ(looks, 2);
    EXPECT_NE(answeredOn, std::this_thread::get_id());
}

} // namespace
