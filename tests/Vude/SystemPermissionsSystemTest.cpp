#include "Vude/Permissions/PermissionSystem.h"

#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/CalendarFolderAccess.h"
#include "Vude/Permissions/BluetoothAuthorizationCache.h"
#include "Vude/Permissions/Permission.h"

#include "BluezMock.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using State = Permission::State;
using testsupport::waitUntil;

// The app's permissions over a private bus standing in for the system bus,
// with a fake BlueZ each test starts when it needs one, and manual timers.
class SystemPermissionsTest : public testing::Test {
protected:
    explicit SystemPermissionsTest(QString extraPolicy = {}) : m_bus(std::move(extraPolicy)) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_bus.start()) << "dbus-daemon did not start";
        m_name = QString("permissions-test-%1").arg(++s_connections);
        m_connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_bus.address(), m_name));
        ASSERT_TRUE(m_connection->isConnected());
        bluez = std::make_unique<testsupport::BluezMock>(*m_connection);
        permissions = std::make_unique<SystemPermissions>(activation, urls, scheduler, *m_connection);
        permissions->system().setRestartHandler([this](Permission permission) { restarted.push_back(permission); });
    }

    void TearDown() override
    {
        permissions.reset();
        bluez.reset();
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    void startBluez() { ASSERT_TRUE(bluez->start(m_bus)); }
    State bluetooth() { return Permission::bluetooth.state(permissions->system()); }
    // The Bluetooth state once a read started after the last change has
    // been answered.
    State bluetoothAnswered()
    {
        auto& kept = permissions->bluetoothAuthorization();
        kept.refresh();
        waitUntil([&] { return !kept.isReading(); });
        return bluetooth();
    }

    // Requests Bluetooth and waits for the answer without letting the 2 s
    // fallback come: only the stack's own answer can end the wait.
    std::optional<bool> requestBluetoothBeforeTheFallback()
    {
        std::optional<bool> answer;
        Permission::bluetooth.request([&](bool granted) { answer = granted; }, permissions->system());
        scheduler.advance(150ms);
        waitUntil([&] { return answer.has_value(); });
        return answer;
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    ActivationPolicyRecorder activation;
    RecordingUrlOpener urls;
    std::unique_ptr<testsupport::BluezMock> bluez;
    std::unique_ptr<SystemPermissions> permissions;
    std::vector<Permission> restarted;

private:
    testsupport::PrivateSessionBus m_bus;
    std::unique_ptr<QDBusConnection> m_connection;
    QString m_name;
    static inline int s_connections = 0;
};

TEST_F(SystemPermissionsTest, BluetoothIsAllowedWithAnAdapterWhetherItsRadioIsOnOrOff)
{
    int changes = 0;
    const auto watch = permissions->system().observeBluetoothAuthorization([&] { ++changes; });
    EXPECT_EQ(bluetoothAnswered(), State::notDetermined) << "no BlueZ";
    startBluez();
    EXPECT_EQ(bluetoothAnswered(), State::notDetermined) << "BlueZ without an adapter";
    EXPECT_EQ(changes, 0);
    const QString adapter = bluez->addAdapter();
    // The adapter's arrival is read again without a look from here.
    ASSERT_TRUE(waitUntil([&] { return changes == 1; }));
    EXPECT_EQ(bluetooth(), State::granted);
    bluez->setPowered(adapter, false);
    EXPECT_EQ(bluetoothAnswered(), State::granted) << "a radio switched off is no missing permission";
    EXPECT_EQ(changes, 1);
}

TEST_F(SystemPermissionsTest, AStoppedBluezLeavesTheKeptStateAndHoldsNothing)
{
    startBluez();
    bluez->addAdapter();
    ASSERT_EQ(bluetoothAnswered(), State::granted);
    const auto pid = pid_t(bluez->pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    EXPECT_EQ(bluetooth(), State::granted) << "the kept state, back at once";
    EXPECT_TRUE(permissions->bluetoothAuthorization().isReading()) << "the read waits on BlueZ, not here";
    EXPECT_EQ(bluetooth(), State::granted);
    EXPECT_EQ(permissions->system().seams().bluetoothStatus(),
              (BluetoothStackStatus{.reachable = true, .hasAdapter = true, .powered = true}))
        << "what the onboarding's help reads";

    ASSERT_TRUE(stopped.resume());
    EXPECT_EQ(bluetoothAnswered(), State::granted);
}

TEST_F(SystemPermissionsTest, ARequestSwitchesTheRadioOnAndAnswersOnBluezsWord)
{
    startBluez();
    const QString adapter = bluez->addAdapter();
    bluez->setPowered(adapter, false);

    EXPECT_EQ(requestBluetoothBeforeTheFallback(), true);
    EXPECT_TRUE(bluez->isPowered(adapter));
    EXPECT_EQ(restarted, std::vector<Permission>{Permission::bluetooth});
    EXPECT_FALSE(permissions->system().bluetoothProbe().isWaiting());
}

TEST_F(SystemPermissionsTest, WithoutBluezARequestIsRefusedAtOnce)
{
    EXPECT_EQ(requestBluetoothBeforeTheFallback(), false);
    EXPECT_TRUE(restarted.empty());
}

TEST_F(SystemPermissionsTest, CalendarsFollowTheirFolderAndTheirPaneOpensIt)
{
    const fs::path folder = CalendarFolderAccess::standardFolder();
    ASSERT_EQ(folder, XdgPaths::dataHome() / "Vude" / "Calendars");
    fs::remove_all(folder);
    EXPECT_EQ(Permission::calendar.state(permissions->system()), State::notDetermined);

    std::atomic<bool> answered = false;
    std::atomic<bool> granted = false;
    Permission::calendar.request(
        [&](bool value) {
            granted = value;
            answered = true;
        },
        permissions->system());
    ASSERT_TRUE(waitUntil([&] { return answered.load(); }));
    EXPECT_TRUE(granted);
    EXPECT_EQ(Permission::calendar.state(permissions->system()), State::granted);
    EXPECT_TRUE(waitUntil([&] { return restarted == std::vector<Permission>{Permission::calendar}; }));

    Permission::calendar.openSettings(permissions->system());
    EXPECT_EQ(urls.opened, std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    fs::remove_all(folder);
}

TEST_F(SystemPermissionsTest, TheBluetoothPaneStartsTheInstalledBluetoothSettings)
{
    const fs::path applications = XdgPaths::dataHome() / "applications";
    fs::create_directories(applications);
    std::ofstream(applications / "blueman-manager.desktop")
        << "[Desktop Entry]\nType=Application\nName=Bluetooth Manager\nExec=/bin/true\n";

    Permission::bluetooth.openSettings(permissions->system());
    EXPECT_EQ(urls.opened, std::vector<QUrl>{QUrl("application:blueman-manager.desktop")});

    // The rest have nothing to open without the app's help page beside the
    // program, and the full-disk pane has nothing on Linux at all.
    urls.opened.clear();
    Permission::camera.openSettings(permissions->system());
    EXPECT_FALSE(permissions->system().openPrivacyPane("Privacy_AllFiles"));
    EXPECT_TRUE(urls.opened.empty());
    fs::remove(applications / "blueman-manager.desktop");
}

// A bus whose policy refuses BlueZ to this process.
class SystemPermissionsAccessDeniedTest : public SystemPermissionsTest {
protected:
    SystemPermissionsAccessDeniedTest() : SystemPermissionsTest(R"(<deny send_destination="org.bluez"/>)") {}
};

TEST_F(SystemPermissionsAccessDeniedTest, ARefusalIsDenied)
{
    startBluez();
    EXPECT_EQ(bluetoothAnswered(), State::denied);
    EXPECT_EQ(requestBluetoothBeforeTheFallback(), false);
}

} // namespace
