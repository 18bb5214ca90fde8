#pragma once
// A GoogleTest fixture for system tests of D-Bus code: a private session bus
// and a private "system" bus, started once for the suite (a dbus-daemon takes
// a moment), and fresh connections to both for each test. Mocks made as
// members of a derived fixture (MockDBusService{sessionBus(), ...}) are
// stopped before the connections go away.
//
// Header-only, like the other private daemons.

#include "MockDBusService.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

/// Passes when `reply` is a method reply; otherwise fails with its error.
inline ::testing::AssertionResult replied(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << reply.errorName().toStdString() << ": "
                                         << reply.errorMessage().toStdString();
}

/// A python3-dbusmock template kept with the tests' fixtures.
inline QString dbusmockTemplate(const QString& fileName)
{
    return sourceDir() + "/tests/Platform/fixtures/" + fileName;
}

class PrivateBusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_buses = std::make_unique<PrivateBusPair>();
        // A failure here would only skip the tests; SetUp fails them instead.
        if (!s_buses->start())
            s_buses.reset();
    }
    static void TearDownTestSuite() { s_buses.reset(); }

    // Connects here rather than in SetUp so that derived fixtures can make
    // their mocks as members.
    PrivateBusTest()
    {
        const int number = ++s_connections;
        m_sessionName = QString("private-session-%1").arg(number);
        m_systemName = QString("private-system-%1").arg(number);
        m_session = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_buses ? s_buses->sessionAddress() : QString(), m_sessionName));
        m_system = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_buses ? s_buses->systemAddress() : QString(), m_systemName));
    }

    ~PrivateBusTest() override
    {
        m_session.reset();
        m_system.reset();
        QDBusConnection::disconnectFromBus(m_sessionName);
        QDBusConnection::disconnectFromBus(m_systemName);
    }

    PrivateBusTest(const PrivateBusTest&) = delete;
    PrivateBusTest& operator=(const PrivateBusTest&) = delete;

    void SetUp() override
    {
        ASSERT_TRUE(s_buses) << "dbus-daemon did not start";
        ASSERT_TRUE(m_session->isConnected() && m_system->isConnected());
    }

    /// The buses, for starting mocks on them (once SetUp has passed).
    static const PrivateBusPair& buses() { return *s_buses; }

    QDBusConnection& sessionBus() { return *m_session; }
    QDBusConnection& systemBus() { return *m_system; }

private:
    static inline std::unique_ptr<PrivateBusPair> s_buses;
    static inline int s_connections = 0;
    QString m_sessionName;
    QString m_systemName;
    std::unique_ptr<QDBusConnection> m_session;
    std::unique_ptr<QDBusConnection> m_system;
};

} // namespace testsupport
