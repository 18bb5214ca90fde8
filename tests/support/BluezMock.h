#pragma once
// A fake BlueZ for system tests: python3-dbusmock's "bluez5" template on a
// private bus standing in for the system bus, with helpers to add adapters
// and devices, connect them, switch radios and give devices a battery. The
// template has no Battery1, so setBattery() adds that interface to the device
// object the way BlueZ does once a device reports a level.
//
// Header-only. Calls to the fake block until it answers; it runs in its own
// process, so that cannot deadlock.

#include "ChildProcess.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>

#include <gtest/gtest.h>

namespace testsupport {

class BluezMock {
public:
    static constexpr const char* kService = "org.bluez";

    explicit BluezMock(const QDBusConnection& connection) : m_connection(connection) {}
    ~BluezMock() { stop(); }

    BluezMock(const BluezMock&) = delete;
    BluezMock& operator=(const BluezMock&) = delete;

    /// Starts the template with `bus` as its system bus and waits until it
    /// owns its name.
    bool start(const PrivateSessionBus& bus)
    {
        m_process.setProcessEnvironment(bus.systemBusEnvironment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Its log of every call would fill an unread pipe and stall it.
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "bluez5"});
        if (!m_process.waitForStarted(5000))
            return false;
        return waitUntil([&] { return m_connection.interface()->isServiceRegistered(kService); },
                         std::chrono::seconds(10));
    }

    void stop()
    {
        stopProcess(m_process);
        waitUntil([&] { return !m_connection.interface()->isServiceRegistered(kService); });
    }

    /// Adds an adapter ("hci0"), switched on; returns its path.
    QString addAdapter(const QString& name = "hci0")
    {
        return call("/", "org.bluez.Mock", "AddAdapter", {name, QStringLiteral("vude-test")}).toString();
    }

    /// Adds a device, not connected; returns its path.
    QString addDevice(const QString& address, const QString& alias, const QString& adapter = "hci0")
    {
        return call("/", "org.bluez.Mock", "AddDevice", {adapter, address, alias}).toString();
    }

    void connectDevice(const QString& address, const QString& adapter = "hci0")
    {
        call("/", "org.bluez.Mock", "ConnectDevice", {adapter, address});
    }

    void disconnectDevice(const QString& address, const QString& adapter = "hci0")
    {
        call("/", "org.bluez.Mock", "DisconnectDevice", {adapter, address});
    }

    /// Gives the device at `path` the Battery1 interface with a level.
    void setBattery(const QString& path, int percentage)
    {
        call(path, "org.freedesktop.DBus.Mock", "AddProperties",
             {QStringLiteral("org.bluez.Battery1"),
              QVariantMap{{"Percentage", QVariant::fromValue(static_cast<uchar>(percentage))}}});
    }

    /// Switches an adapter's radio, as another program would.
    void setPowered(const QString& adapterPath, bool powered)
    {
        call(adapterPath, "org.freedesktop.DBus.Properties", "Set",
             {QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Powered"),
              QVariant::fromValue(QDBusVariant(powered))});
    }

    bool isPowered(const QString& adapterPath)
    {
        return call(adapterPath, "org.freedesktop.DBus.Properties", "Get",
                    {QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Powered")})
            .value<QDBusVariant>()
            .variant()
            .toBool();
    }

    /// The first answer of a call to the fake; an invalid value on error
    /// (which fails the running test).
    QVariant call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments)
    {
        auto message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = m_connection.call(message, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
    }

    /// The fake's process, for stopping and continuing it.
    qint64 pid() const { return m_process.processId(); }

private:
    QDBusConnection m_connection;
    QProcess m_process;
};

} // namespace testsupport
