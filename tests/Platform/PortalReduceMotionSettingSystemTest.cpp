#include "Platform/Settings/PortalReduceMotionSetting.h"

#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr auto kPortal = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";

class PortalReduceMotionSettingTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_bus = std::make_unique<testsupport::PrivateSessionBus>();
        // A failure here would only skip the tests; SetUp fails them instead.
        if (!s_bus->start())
            s_bus.reset();
    }
    static void TearDownTestSuite() { s_bus.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_bus) << "dbus-daemon did not start";
        m_connectionName = QString("portal-test-%1").arg(++s_connections);
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(s_bus->address(), m_connectionName));
        ASSERT_TRUE(connection->isConnected());
    }

    void TearDown() override
    {
        stopPortal();
        connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    /// Starts the fake portal with the given parameters (JSON) and waits for
    /// it to own its name.
    void startPortal(const QString& parameters)
    {
        m_portal.setProcessEnvironment(s_bus->childEnvironment());
        m_portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString templatePath = testsupport::sourceDir() + "/tests/Platform/fixtures/portal_settings.py";
        m_portal.start("/usr/bin/python3", {"-m", "dbusmock", "--template", templatePath, "-p", parameters});
        ASSERT_TRUE(m_portal.waitForStarted(5000));
        ASSERT_TRUE(testsupport::waitUntil([&] { return connection->interface()->isServiceRegistered(kPortal); },
                                           std::chrono::seconds(10)));
    }

    void stopPortal()
    {
        testsupport::stopProcess(m_portal);
        EXPECT_TRUE(testsupport::waitUntil([&] { return !connection->interface()->isServiceRegistered(kPortal); }));
    }

    void callMock(const QString& method, const QVariantList& arguments)
    {
        auto message = QDBusMessage::createMethodCall(kPortal, kPortalPath, "org.freedesktop.DBus.Mock", method);
        message.setArguments(arguments);
        QDBusPendingCallWatcher watcher(connection->asyncCall(message));
        ASSERT_TRUE(testsupport::waitUntil([&] { return watcher.isFinished(); }));
        ASSERT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
    }

    /// Waits until everything the setting asked of the bus so far has been
    /// answered: a round trip sent after its calls comes back after theirs.
    void settle()
    {
        auto message = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "GetId");
        QDBusPendingCallWatcher watcher(connection->asyncCall(message));
        ASSERT_TRUE(testsupport::waitUntil([&] { return watcher.isFinished(); }));
        testsupport::processEvents();
    }

    std::unique_ptr<QDBusConnection> connection;

private:
    static inline std::unique_ptr<testsupport::PrivateSessionBus> s_bus;
    static inline int s_connections = 0;
    QString m_connectionName;
    QProcess m_portal;
};

TEST_F(PortalReduceMotionSettingTest, ReadsTheDesktopsAnimationSwitch)
{
    struct Row {
        const char* parameters;
        bool reduceMotion;
        const char* why;
    } rows[] = {
        {R"({"enable-animations": false})", true, "animations off: reduce motion"},
        {R"({"enable-animations": true})", false, "animations on"},
        {R"({"enable-animations": false, "legacy": true})", true, "an older portal answers only Read()"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        startPortal(row.parameters);
        PortalReduceMotionSetting setting(*connection);
        QSignalSpy changes(&setting, &ReduceMotionSetting::changed);
        EXPECT_FALSE(setting.reduceMotion()) << "off until the portal answers";
        ASSERT_TRUE(testsupport::waitUntil([&] { return setting.isAvailable(); }));
        EXPECT_EQ(setting.reduceMotion(), row.reduceMotion);
        EXPECT_EQ(changes.count(), row.reduceMotion ? 1 : 0);
        stopPortal();
    }
}

TEST_F(PortalReduceMotionSettingTest, FollowsChangesAndIgnoresMalformedOnes)
{
    startPortal(R"({"enable-animations": true})");
    PortalReduceMotionSetting setting(*connection);
    ASSERT_TRUE(testsupport::waitUntil([&] { return setting.isAvailable(); }));
    QSignalSpy changes(&setting, &ReduceMotionSetting::changed);

    callMock("SetAnimations", {false});
    ASSERT_TRUE(testsupport::waitUntil([&] { return changes.count() == 1; }));
    EXPECT_TRUE(setting.reduceMotion());
    EXPECT_EQ(changes.takeFirst().at(0).toBool(), true);

    // A value that is not a boolean, and another key, change nothing.
    const auto emitChange = [&](const QString& key, const QVariant& value) {
        callMock("EmitSignal",
                 {"org.freedesktop.portal.Settings", "SettingChanged", "ssv",
                  QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant("org.gnome.desktop.interface")),
                                                   QVariant::fromValue(QDBusVariant(key)),
                                                   QVariant::fromValue(QDBusVariant(value))})});
    };
    emitChange("enable-animations", QString("yes"));
    emitChange("gtk-theme", true);
    callMock("SetAnimations", {true});
    ASSERT_TRUE(testsupport::waitUntil([&] { return changes.count() == 1; }));
    EXPECT_FALSE(setting.reduceMotion());
    EXPECT_TRUE(setting.isAvailable());
}

TEST_F(PortalReduceMotionSettingTest, WithoutAPortalMotionIsNotReduced)
{
    PortalReduceMotionSetting setting(*connection);
    settle();
    EXPECT_FALSE(setting.isAvailable());
    EXPECT_FALSE(setting.reduceMotion());

    PortalReduceMotionSetting unconnected(QDBusConnection("no-such-connection"));
    EXPECT_FALSE(unconnected.isAvailable());
    EXPECT_FALSE(unconnected.reduceMotion());
}

} // namespace
