#include "VudeServices/FocusService.h"

#include "FocusTestSupport.h"
#include "Platform/Desktop/GSettingsFocusSource.h"
#include "Platform/Desktop/NotificationServerFocusSource.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>

// GIO names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <gtest/gtest.h>

namespace {

using testsupport::waitUntil;

const FocusModeState off{};
const FocusModeState on{.isActive = true};

// GNOME's setting, in the memory settings backend this test program runs
// with: the test changes it the way the desktop's own switch would.
class GnomeFocusTest : public FocusServiceFixture {
protected:
    void SetUp() override
    {
        ASSERT_STREQ(g_getenv("GSETTINGS_BACKEND"), "memory") << "never touch the user's settings";
        ASSERT_TRUE(GSettingsFocusSource::isInstalled()) << "gsettings-desktop-schemas is missing";
        m_settings = g_settings_new(GSettingsFocusSource::kSchema);
    }
    void TearDown() override { g_object_unref(m_settings); }

    void showBanners(bool show) { g_settings_set_boolean(m_settings, GSettingsFocusSource::kKey, show); }

private:
    GSettings* m_settings = nullptr;
};

TEST_F(GnomeFocusTest, HidingBannersTurnsFocusOnAndShowingThemOff)
{
    makeService(std::make_unique<GSettingsFocusSource>());
    service->start();
    EXPECT_EQ(waitForStates(1), off) << "banners shown by default";

    showBanners(false);
    EXPECT_EQ(waitForStates(2), on);
    showBanners(true);
    EXPECT_EQ(waitForStates(3), off);
    showBanners(true);
    EXPECT_EQ(settledCount(), 3u) << "writing the same value is no change";

    service->stop();
    showBanners(false);
    EXPECT_FALSE(waitUntil([&] { return received.size() > 3; }, std::chrono::milliseconds(200)));
}

TEST_F(GnomeFocusTest, StartsFromTheCurrentValue)
{
    showBanners(false);
    makeService(std::make_unique<GSettingsFocusSource>());
    service->start();
    EXPECT_EQ(waitForStates(1), on);
}

TEST_F(GnomeFocusTest, AMissingSchemaOrKeyIsUnavailableNotAnAbort)
{
    struct Row {
        const char* schema;
        const char* key;
        const char* why;
    } rows[] = {
        {"org.example.NoSuchSchema", "show-banners", "schema not installed"},
        {GSettingsFocusSource::kSchema, "no-such-key", "key missing"},
        {GSettingsFocusSource::kSchema, "application-children", "a key that is not a switch"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_FALSE(GSettingsFocusSource::isInstalled(row.schema, row.key));
        GSettingsFocusSource source(row.schema, row.key);
        source.start();
        EXPECT_FALSE(source.isAvailable());
        EXPECT_FALSE(source.isFocusOn());
        EXPECT_FALSE(source.isPending());
    }
}

constexpr auto kNotifications = "org.freedesktop.Notifications";
constexpr auto kNotificationsPath = "/org/freedesktop/Notifications";

// A notification server on a private session bus: python3-dbusmock's
// template, given an `Inhibited` property when the test asks for one.
class NotificationServerFocusTest : public FocusServiceFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.start()) << "dbus-daemon did not start";
        m_name = QString("focus-test-%1").arg(++s_connections);
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_bus.address(), m_name));
        ASSERT_TRUE(connection->isConnected());
    }

    void TearDown() override
    {
        service.reset();
        testsupport::stopProcess(server);
        connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    void startServer(std::optional<bool> inhibited)
    {
        server.setProcessEnvironment(m_bus.childEnvironment());
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Its log of every call would fill an unread pipe and stall it.
        server.setStandardOutputFile(QProcess::nullDevice());
        server.start("/usr/bin/python3", {"-m", "dbusmock", "--template", "notification_daemon"});
        ASSERT_TRUE(server.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return connection->interface()->isServiceRegistered(kNotifications); },
                              std::chrono::seconds(10)));
        if (inhibited)
            call("org.freedesktop.DBus.Mock", "AddProperty",
                 {QString(kNotifications), QStringLiteral("Inhibited"), QVariant::fromValue(QDBusVariant(*inhibited))});
    }

    void setInhibited(bool inhibited)
    {
        call("org.freedesktop.DBus.Properties", "Set",
             {QString(kNotifications), QStringLiteral("Inhibited"), QVariant::fromValue(QDBusVariant(inhibited))});
    }

    void call(const QString& interface, const QString& method, const QVariantList& arguments)
    {
        auto message = QDBusMessage::createMethodCall(kNotifications, kNotificationsPath, interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = connection->call(message, QDBus::Block, 5000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    void makeServiceOnBus()
    {
        makeService(std::make_unique<NotificationServerFocusSource>(*connection));
    }

    std::unique_ptr<QDBusConnection> connection;
    QProcess server;

private:
    testsupport::PrivateSessionBus m_bus;
    QString m_name;
    static inline int s_connections = 0;
};

TEST_F(NotificationServerFocusTest, InhibitedTurnsFocusOnAndOff)
{
    startServer(false);
    makeServiceOnBus();
    service->start();
    EXPECT_EQ(waitForStates(1), off);
    EXPECT_EQ(settledCount(), 1u) << "one first state, from the server's answer";

    setInhibited(true);
    EXPECT_EQ(waitForStates(2), on);
    setInhibited(false);
    EXPECT_EQ(waitForStates(3), off);
}

TEST_F(NotificationServerFocusTest, AnInhibitedServerAtLaunchGivesAnActiveFirstState)
{
    startServer(true);
    makeServiceOnBus();
    service->start();
    EXPECT_EQ(waitForStates(1), on);
}

TEST_F(NotificationServerFocusTest, WithoutTheServerOrItsPropertyFocusReadsOff)
{
    makeServiceOnBus();
    service->start();
    EXPECT_EQ(waitForStates(1), off) << "no server";

    // A server that appears later is asked then; one without the property
    // says nothing.
    startServer(std::nullopt);
    EXPECT_FALSE(waitUntil([&] { return received.size() > 1; }, std::chrono::milliseconds(300)));
    EXPECT_EQ(service->state(), off);
}

TEST_F(NotificationServerFocusTest, AServerThatAppearsOrLeavesIsFollowed)
{
    makeServiceOnBus();
    service->start();
    waitForStates(1);
    startServer(true);
    // The property is added after the server took its name; ask as a
    // desktop's server would announce it.
    call("org.freedesktop.DBus.Mock", "EmitSignal",
         {QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), QStringLiteral("sa{sv}as"),
          QVariantList{QVariant::fromValue(QDBusVariant(QString(kNotifications))),
                       QVariant::fromValue(QDBusVariant(QVariantMap{{"Inhibited", true}})),
                       QVariant::fromValue(QDBusVariant(QStringList{}))}});
    EXPECT_EQ(waitForStates(2), on);

    testsupport::stopProcess(server);
    EXPECT_EQ(waitForStates(3), off) << "the server left: Focus is not stuck on";
}

} // namespace
