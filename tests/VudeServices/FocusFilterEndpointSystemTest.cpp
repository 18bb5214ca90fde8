#include "VudeServices/FocusFilterEndpoint.h"

#include "FocusTestSupport.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"
#include "VudeKit/UserDefaults.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

using testsupport::waitUntil;

constexpr auto kName = FocusFilterBridge::kModeNameKey;
constexpr auto kSymbol = FocusFilterBridge::kModeSymbolKey;

// The app's Focus filter method on a private session bus, called the way a
// user's automation would: with gdbus.
class FocusFilterEndpointTest : public FocusServiceFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.start()) << "dbus-daemon did not start";
        m_name = QString("focus-filter-test-%1").arg(++s_connections);
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address(), m_name));
        ASSERT_TRUE(connection->isConnected());
        makeService(true, true);
        service->start();
        waitForStates(1);
        bridge.restore(*service);
        ASSERT_TRUE(endpoint.registerOn(*connection));
    }

    void TearDown() override
    {
        connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    /// Runs gdbus with the arguments of Perform; its exit status and output.
    std::pair<int, QString> perform(const QStringList& arguments)
    {
        QProcess gdbus;
        gdbus.setProcessEnvironment(bus.childEnvironment());
        gdbus.start("gdbus", QStringList{"call", "--session", "--dest", FocusFilterEndpoint::kServiceName,
                                         "--object-path", FocusFilterEndpoint::kObjectPath, "--method",
                                         QString(FocusFilterEndpoint::kInterface) + ".Perform"} +
                                 arguments);
        // The endpoint answers from this thread's event loop.
        EXPECT_TRUE(waitUntil([&] { return gdbus.state() == QProcess::NotRunning; }, std::chrono::seconds(20)));
        return {gdbus.exitCode(), QString::fromUtf8(gdbus.readAllStandardOutput() + gdbus.readAllStandardError())};
    }

    std::optional<std::string> stored(const char* key) const { return defaults->stringForKey(key); }

    std::unique_ptr<QDBusConnection> connection;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    FocusFilterBridge bridge{defaults};
    FocusFilterEndpoint endpoint{bridge};
    testsupport::PrivateSessionBus bus;

private:
    QString m_name;
    static inline int s_connections = 0;
};

TEST_F(FocusFilterEndpointTest, ACallStoresTheIdentityAndRepublishesTheFocusState)
{
    const auto [status, output] = perform({"true", "Deep Work", "briefcase.fill"});
    ASSERT_EQ(status, 0) << output.toStdString();
    EXPECT_EQ(stored(kName), "Deep Work");
    EXPECT_EQ(stored(kSymbol), "briefcase.fill");
    EXPECT_EQ(waitForStates(2), (FocusModeState{.isActive = true, .modeName = "Deep Work", .symbol = "briefcase.fill"}));
}

TEST_F(FocusFilterEndpointTest, EmptyTextsAndAHiddenPillClearTheName)
{
    struct Row {
        QStringList arguments;
        std::optional<std::string> name;
        std::optional<std::string> symbol;
        FocusModeState published;
        const char* why;
    } rows[] = {
        {{"true", "Reading", ""}, "Reading", std::nullopt, {.isActive = true, .modeName = "Reading"},
         "an empty symbol is no symbol: the old one stays"},
        {{"true", "", "book.fill"}, std::nullopt, "book.fill", {.isActive = true, .symbol = "book.fill"},
         "an empty name is no name"},
        {{"false", "Ignored", "sun.max.fill"}, std::nullopt, std::nullopt, {.isActive = true, .symbol = "book.fill"},
         "a hidden pill stores neither"},
    };
    std::size_t states = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto [status, output] = perform(row.arguments);
        ASSERT_EQ(status, 0) << output.toStdString();
        EXPECT_EQ(stored(kName), row.name);
        EXPECT_EQ(stored(kSymbol), row.symbol);
        EXPECT_EQ(waitForStates(++states), row.published);
    }
}

TEST_F(FocusFilterEndpointTest, BadCallsGetAnErrorAndChangeNothing)
{
    const auto [status, output] = perform({"true", "Only a name"});
    EXPECT_NE(status, 0);
    EXPECT_FALSE(output.isEmpty()) << "gdbus reports why";
    EXPECT_EQ(stored(kName), std::nullopt);
    EXPECT_EQ(settledCount(), 1u);
}

TEST_F(FocusFilterEndpointTest, ASecondCopyCannotTakeTheName)
{
    FocusFilterEndpoint second(bridge);
    EXPECT_FALSE(second.registerOn(*connection)) << "the path is taken on this connection";

    const QString otherName = "focus-filter-second";
    {
        QDBusConnection other = QDBusConnection::connectToBus(bus.address(), otherName);
        FocusFilterEndpoint third(bridge);
        EXPECT_FALSE(third.registerOn(other)) << "another program holds the name";
        EXPECT_FALSE(FocusFilterEndpoint(bridge).registerOn(QDBusConnection("no-such-connection")));
    }
    QDBusConnection::disconnectFromBus(otherName);

    const auto [status, output] = perform({"true", "Still here", ""});
    EXPECT_EQ(status, 0) << output.toStdString() << ": the first endpoint still answers";
}

} // namespace
