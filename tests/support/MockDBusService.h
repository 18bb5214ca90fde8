#pragma once
// A python3-dbusmock service for system tests, run as a child process on
// private buses: a built-in template ("upower", "logind", ...) or a template
// file from the tests' fixtures. Stopped by PID. The service's own helpers
// (org.freedesktop.DBus.Mock) are called through call().
//
// Header-only, like the other private daemons.

#include "ChildProcess.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QProcessEnvironment>

#include <vector>

namespace testsupport {

/// A session bus and a "system" bus, each a private dbus-daemon. Code under
/// test is handed connections to them; mocks see them as their session and
/// system buses.
class PrivateBusPair {
public:
    bool start() { return m_session.start() && m_system.start(); }

    QString sessionAddress() const { return m_session.address(); }
    QString systemAddress() const { return m_system.address(); }

    QProcessEnvironment childEnvironment() const
    {
        auto environment = m_session.childEnvironment();
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", m_system.address());
        return environment;
    }

private:
    PrivateSessionBus m_session;
    PrivateSessionBus m_system;
};

class MockDBusService {
public:
    struct Call {
        QString method;
        QVariantList arguments;
    };

    MockDBusService(const QDBusConnection& bus, QString busName, QString mainPath)
        : m_bus(bus), m_busName(std::move(busName)), m_mainPath(std::move(mainPath))
    {
    }
    ~MockDBusService() { stop(); }

    MockDBusService(const MockDBusService&) = delete;
    MockDBusService& operator=(const MockDBusService&) = delete;

    /// Starts `python3 -m dbusmock --template <templateName> -p <parameters>`
    /// on the bus it was made for (`systemBus`: the pair's system bus) and
    /// waits until it owns its name.
    bool start(const PrivateBusPair& buses, const QString& templateName, bool systemBus,
               const QString& parameters = QStringLiteral("{}"))
    {
        stop();
        m_process.setProcessEnvironment(buses.childEnvironment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        // Debian's python, where python3-dbusmock is installed.
        m_process.start("/usr/bin/python3", {"-m", "dbusmock", systemBus ? "--system" : "--session", "--template",
                                             templateName, "-p", parameters});
        if (!m_process.waitForStarted(5000))
            return false;
        return waitUntil([&] { return isRegistered(); }, std::chrono::seconds(10));
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        stopProcess(m_process);
        waitUntil([&] { return !isRegistered(); });
    }

    bool isRegistered() const { return m_bus.interface()->isServiceRegistered(m_busName).value(); }

    /// The mock's process, for stopping and continuing it.
    qint64 pid() const { return m_process.processId(); }

    /// Calls a method of the mock without blocking the event loop; the reply,
    /// or an error reply.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        auto message = QDBusMessage::createMethodCall(m_busName, path, interface, method);
        message.setArguments(arguments);
        QDBusPendingCallWatcher watcher(m_bus.asyncCall(message));
        waitUntil([&] { return watcher.isFinished(); });
        return watcher.reply();
    }

    /// Calls one of dbusmock's own helpers on the main object.
    QDBusMessage mock(const QString& method, const QVariantList& arguments = {})
    {
        return call(m_mainPath, "org.freedesktop.DBus.Mock", method, arguments);
    }

    /// Sets a property as another program would, which emits PropertiesChanged.
    QDBusMessage setProperty(const QString& path, const QString& interface, const QString& name,
                             const QVariant& value)
    {
        return call(path, "org.freedesktop.DBus.Properties", "Set",
                    {interface, name, QVariant::fromValue(QDBusVariant(value))});
    }

    /// The methods called on an object (its dynamic methods, not Get/Set), in
    /// order.
    std::vector<Call> calls(const QString& path)
    {
        std::vector<Call> result;
        const QDBusMessage reply = call(path, "org.freedesktop.DBus.Mock", "GetCalls");
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return result;
        const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            quint64 time = 0;
            Call entry;
            argument.beginStructure();
            argument >> time >> entry.method >> entry.arguments;
            argument.endStructure();
            for (auto& value : entry.arguments)
                if (value.metaType() == QMetaType::fromType<QDBusVariant>())
                    value = value.value<QDBusVariant>().variant();
            result.push_back(std::move(entry));
        }
        argument.endArray();
        return result;
    }

    void clearCalls(const QString& path) { call(path, "org.freedesktop.DBus.Mock", "ClearCalls"); }

private:
    QDBusConnection m_bus;
    QString m_busName;
    QString m_mainPath;
    QProcess m_process;
};

} // namespace testsupport
