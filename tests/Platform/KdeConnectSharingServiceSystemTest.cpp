#include "Platform/Desktop/KdeConnectSharingService.h"

#include "MockDBusService.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>

namespace {

using testsupport::MockDBusService;

class KdeConnectSharingServiceSystemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_buses = std::make_unique<testsupport::PrivateBusPair>();
        if (!s_buses->start())
            s_buses.reset();
    }
    static void TearDownTestSuite() { s_buses.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_buses) << "dbus-daemon did not start";
        m_name = QString("kdeconnect-%1").arg(++s_connections);
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(s_buses->sessionAddress(), m_name));
        ASSERT_TRUE(bus->isConnected());
        daemon = std::make_unique<MockDBusService>(*bus, KdeConnectSharingService::kService,
                                                   KdeConnectSharingService::kDaemonPath);
    }

    void TearDown() override
    {
        daemon.reset();
        bus.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    void startDaemon(const QString& devices, double delaySeconds = 0)
    {
        const QString fixture = testsupport::sourceDir() + "/tests/Platform/fixtures/kdeconnect.py";
        ASSERT_TRUE(daemon->start(*s_buses, fixture, false,
                                  "{\"devices\": " + devices + ", \"delay\": " + QString::number(delaySeconds) +
                                      "}"));
    }

    /// Waits for the lookup the service started when made.
    static bool lookedUp(const KdeConnectSharingService& sharing)
    {
        return testsupport::waitUntil([&] { return !sharing.isLookingUp(); });
    }

    QStringList sharedTo(const QString& id)
    {
        QStringList urls;
        for (const auto& call : daemon->calls(QString(KdeConnectSharingService::kDaemonPath) + "/devices/" + id +
                                              "/share"))
            if (call.method == "shareUrl")
                urls << call.arguments.value(0).toString();
        return urls;
    }

    static inline std::unique_ptr<testsupport::PrivateBusPair> s_buses;
    static inline int s_connections = 0;
    QString m_name;
    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<MockDBusService> daemon;
};

TEST_F(KdeConnectSharingServiceSystemTest, NoDaemonIsUnavailableAndSendsNothing)
{
    KdeConnectSharingService sharing(*bus);
    ASSERT_TRUE(lookedUp(sharing));
    EXPECT_FALSE(sharing.isAvailable());
    EXPECT_FALSE(sharing.perform({QUrl::fromLocalFile("/tmp/a.txt")}));
}

TEST_F(KdeConnectSharingServiceSystemTest, CallsNothingUntilWatchedAndLooksUpOnWatch)
{
    startDaemon(R"([{"id": "phone"}])");
    KdeConnectSharingService sharing;
    EXPECT_FALSE(sharing.isAvailable());
    EXPECT_FALSE(sharing.perform({QUrl::fromLocalFile("/tmp/a.txt")}));
    EXPECT_FALSE(sharing.isLookingUp());
    EXPECT_TRUE(daemon->calls(KdeConnectSharingService::kDaemonPath).empty()) << "no call before watch()";

    sharing.watch(*bus);
    sharing.watch(*bus);
    ASSERT_TRUE(lookedUp(sharing));
    EXPECT_EQ(sharing.device(), QString("phone"));
    EXPECT_EQ(daemon->calls(KdeConnectSharingService::kDaemonPath).size(), 1u) << "one lookup, however often watched";
}

TEST_F(KdeConnectSharingServiceSystemTest, PicksTheFirstReachablePairedDeviceWithItsSharePlugin)
{
    struct Row {
        const char* name;
        QString devices;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"no devices", "[]", std::nullopt},
        {"only unreachable or unpaired ones",
         R"([{"id": "phone", "reachable": false}, {"id": "tablet", "paired": false}])", std::nullopt},
        {"one without the share plugin is skipped",
         R"([{"id": "watch", "share": false}, {"id": "phone"}])", QString("phone")},
        {"the first of two", R"([{"id": "phone"}, {"id": "tablet"}])", QString("phone")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startDaemon(row.devices);
        KdeConnectSharingService sharing(*bus);
        ASSERT_TRUE(lookedUp(sharing));
        EXPECT_EQ(sharing.device(), row.expected);
        EXPECT_EQ(sharing.isAvailable(), row.expected.has_value());
        daemon->stop();
    }
}

TEST_F(KdeConnectSharingServiceSystemTest, SendsEachLocalFileOnce)
{
    startDaemon(R"([{"id": "phone"}])");
    KdeConnectSharingService sharing(*bus);
    ASSERT_TRUE(lookedUp(sharing));
    const QUrl a = QUrl::fromLocalFile("/tmp/one file.png");
    const QUrl b = QUrl::fromLocalFile("/tmp/two.pdf");
    EXPECT_TRUE(sharing.perform({a, QUrl("https://example.org/x"), b}));
    EXPECT_EQ(sharedTo("phone"), (QStringList{a.toString(QUrl::FullyEncoded), b.toString(QUrl::FullyEncoded)}));
    // Nothing local to send is a failure.
    EXPECT_FALSE(sharing.perform({QUrl("https://example.org/x")}));
}

// A daemon that takes a second to answer is as good as absent, and nothing
// is sent through it.
TEST_F(KdeConnectSharingServiceSystemTest, ADaemonSlowToAnswerCountsAsAbsent)
{
    startDaemon(R"([{"id": "phone"}])", 1.0);
    KdeConnectSharingService sharing(*bus);
    ASSERT_TRUE(lookedUp(sharing));
    EXPECT_FALSE(sharing.device().has_value());
    EXPECT_FALSE(sharing.perform({QUrl::fromLocalFile("/tmp/a.txt")}));
}

// A drag and a drop never wait: with the daemon stopped they answer from
// the last lookup, and the file goes once the daemon runs again.
TEST_F(KdeConnectSharingServiceSystemTest, AStoppedDaemonHoldsUpNeitherDragNorDrop)
{
    startDaemon(R"([{"id": "phone"}])");
    KdeConnectSharingService sharing(*bus);
    ASSERT_TRUE(lookedUp(sharing));
    const auto pid = pid_t(daemon->pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    const QUrl file = QUrl::fromLocalFile("/tmp/a.txt");
    EXPECT_TRUE(sharing.isAvailable());
    EXPECT_TRUE(sharing.perform({file}));

    ASSERT_TRUE(stopped.resume());
    EXPECT_TRUE(testsupport::waitUntil([&] { return sharedTo("phone") == QStringList{file.toString()}; }));
}

} // namespace
