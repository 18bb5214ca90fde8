#include "Platform/Network/QtPositioningLocationBackend.h"

#include "VudeKit/UserDefaults.h"

#include "MockDBusService.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <gtest/gtest.h>

namespace {

constexpr auto kClient = "/org/freedesktop/GeoClue2/Client/1";
constexpr auto kClientInterface = "org.freedesktop.GeoClue2.Client";
// GeoClue's level for a fix that may be exact to the metre.
constexpr uint kExactAccuracy = 8;

// The app's own backend (Qt's GeoClue plugin with the app's desktop id)
// against a fake GeoClue on a private bus that stands in for the system bus.
class QtPositioningLocationBackendSystemTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_buses = std::make_unique<testsupport::PrivateBusPair>();
        if (!s_buses->start()) {
            s_buses.reset();
            return;
        }
        // Qt's plugin reaches GeoClue only through the process's system bus,
        // which this program (one per test file) points at the private one
        // before anything connects to it.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", s_buses->systemAddress().toUtf8());
    }
    static void TearDownTestSuite() { s_buses.reset(); }

    void SetUp() override { ASSERT_TRUE(s_buses) << "dbus-daemon did not start"; }

    void startGeoClue(const QString& parameters)
    {
        const QString templatePath = testsupport::sourceDir() + "/tests/Platform/fixtures/geoclue2.py";
        ASSERT_TRUE(geoclue.start(*s_buses, templatePath, true, parameters));
    }

    QVariant clientProperty(const char* name)
    {
        const QDBusMessage reply = geoclue.call(kClient, "org.freedesktop.DBus.Properties", "Get",
                                                {QString(kClientInterface), QString(name)});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst().value<QDBusVariant>().variant();
    }

    struct Outcome {
        std::vector<LocationFix> fixes;
        std::vector<std::string> failures;
    };

    /// Asks the app's backend for one fix and waits for the answer.
    Outcome requestOnce()
    {
        Outcome outcome;
        auto backend = QtPositioningLocationBackend::forSystem();
        backend->setHandlers({{},
                              [&](std::vector<LocationFix> fixes) {
                                  outcome.fixes.insert(outcome.fixes.end(), fixes.begin(), fixes.end());
                              },
                              [&](std::string error) { outcome.failures.push_back(std::move(error)); }});
        backend->requestLocation();
        EXPECT_TRUE(testsupport::waitUntil([&] { return !outcome.fixes.empty() || !outcome.failures.empty(); },
                                           std::chrono::seconds(10)));
        return outcome;
    }

    static inline std::unique_ptr<testsupport::PrivateBusPair> s_buses;
    testsupport::MockDBusService geoclue{QDBusConnection::systemBus(), "org.freedesktop.GeoClue2",
                                         "/org/freedesktop/GeoClue2/Manager"};
};

TEST_F(QtPositioningLocationBackendSystemTest, AFixComesFromGeoClueAskedForAsVudeAtReducedAccuracy)
{
    startGeoClue(R"({"latitude": 47.3769, "longitude": 8.5417, "timestamp": 1718200000})");

    const Outcome outcome = requestOnce();

    ASSERT_TRUE(outcome.failures.empty()) << outcome.failures.front();
    ASSERT_FALSE(outcome.fixes.empty());
    EXPECT_NEAR(outcome.fixes.front().latitude, 47.3769, 1e-9);
    EXPECT_NEAR(outcome.fixes.front().longitude, 8.5417, 1e-9);
    EXPECT_EQ(outcome.fixes.front().timestamp, Date(std::chrono::seconds(1718200000)));

    EXPECT_EQ(clientProperty("DesktopId").toString(), "vude") << "GeoClue knows apps by their desktop entry";
    const uint accuracy = clientProperty("RequestedAccuracyLevel").toUInt();
    EXPECT_GT(accuracy, 0u);
    EXPECT_LT(accuracy, kExactAccuracy);
}

TEST_F(QtPositioningLocationBackendSystemTest, AGeoClueThatRefusesTheAppIsAFailure)
{
    startGeoClue(R"({"refuse": true})");
    const Outcome outcome = requestOnce();
    EXPECT_TRUE(outcome.fixes.empty());
    EXPECT_FALSE(outcome.failures.empty());
}

TEST_F(QtPositioningLocationBackendSystemTest, NoGeoClueOnTheBusIsAFailureNotAHang)
{
    const Outcome outcome = requestOnce();
    EXPECT_TRUE(outcome.fixes.empty());
    EXPECT_FALSE(outcome.failures.empty());
}

} // namespace
