#include "Platform/Settings/PortalReduceMotionSetting.h"

#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr auto kPortal = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";

class PortalReduceMotionSettingTest : public testsupport::PrivateBusTest {
protected:
    void TearDown() override { stopPortal(); }

    /// Starts the fake portal with the given parameters (JSON) and waits for
    /// it to own its name.
    void startPortal(const QString& parameters)
    {
        ASSERT_TRUE(portal.start(buses(), testsupport::dbusmockTemplate("portal_settings.py"), false, parameters));
    }

    void stopPortal()
    {
        portal.stop();
        EXPECT_FALSE(portal.isRegistered());
    }

    void callMock(const QString& method, const QVariantList& arguments)
    {
        ASSERT_TRUE(testsupport::replied(portal.mock(method, arguments)));
    }

    /// Waits until everything the setting asked of the bus so far has been
    /// answered: a round trip sent after its calls comes back after theirs.
    void settle()
    {
        auto message = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "GetId");
        QDBusPendingCallWatcher watcher(connection.asyncCall(message));
        ASSERT_TRUE(testsupport::waitUntil([&] { return watcher.isFinished(); }));
        testsupport::processEvents();
    }

    QDBusConnection& connection = sessionBus();
    testsupport::MockDBusService portal{connection, kPortal, kPortalPath};
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
        PortalReduceMotionSetting setting(connection);
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
    PortalReduceMotionSetting setting(connection);
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

TEST_F(PortalReduceMotionSettingTest, AsksNothingUntilWatchedAndWatchesOnce)
{
    startPortal(R"({"enable-animations": false})");
    PortalReduceMotionSetting setting;
    QSignalSpy changes(&setting, &ReduceMotionSetting::changed);
    settle();
    EXPECT_FALSE(setting.isAvailable()) << "nothing read before watch()";
    EXPECT_FALSE(setting.reduceMotion());

    setting.watch(connection);
    setting.watch(connection);
    ASSERT_TRUE(testsupport::waitUntil([&] { return setting.isAvailable(); }));
    EXPECT_TRUE(setting.reduceMotion());

    // One subscription: a change arrives once.
    callMock("SetAnimations", {true});
    ASSERT_TRUE(testsupport::waitUntil([&] { return changes.count() == 2; }));
    settle();
    EXPECT_EQ(changes.count(), 2);
    EXPECT_FALSE(setting.reduceMotion());
}

TEST_F(PortalReduceMotionSettingTest, WithoutAPortalMotionIsNotReduced)
{
    PortalReduceMotionSetting setting(connection);
    settle();
    EXPECT_FALSE(setting.isAvailable());
    EXPECT_FALSE(setting.reduceMotion());

    PortalReduceMotionSetting unconnected(QDBusConnection("no-such-connection"));
    EXPECT_FALSE(unconnected.isAvailable());
    EXPECT_FALSE(unconnected.reduceMotion());
}

} // namespace
