#pragma once
// A private D-Bus session bus for system tests: its own dbus-daemon with no
// activatable services, so only the fakes a test starts can answer. Started
// and stopped by PID. Connect with QDBusConnection::connectToBus(address(), ...)
// and give child processes (python3-dbusmock, gdbus) childEnvironment().
// It can stand in for the system bus too (systemBusEnvironment()).
//
// Header-only, like PrivatePulseServer, so benchmarks can use it too.

#include "ChildProcess.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace testsupport {

class PrivateSessionBus {
public:
    /// `extraPolicy`: bus policy rules added after the ones that allow
    /// everything, such as <deny send_destination="org.example"/>.
    explicit PrivateSessionBus(QString extraPolicy = {})
        : m_folder(socketFolderTemplate("bus")), m_extraPolicy(std::move(extraPolicy))
    {
    }
    ~PrivateSessionBus() { stop(); }

    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    /// Starts the daemon and reads its address; false when it does not come up.
    bool start()
    {
        stop();
        if (!m_folder.isValid())
            return false;
        const QString config = m_folder.filePath("bus.conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    %2
  </policy>
</busconfig>
)")
                       .arg(m_folder.path(), m_extraPolicy)
                       .toUtf8());
        file.close();
        m_daemon.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000))
            return false;
        while (!m_daemon.canReadLine())
            if (!m_daemon.waitForReadyRead(5000))
                return false;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !m_address.isEmpty();
    }

    void stop() { stopProcess(m_daemon); }

    QString address() const { return m_address; }

    /// The test's environment with this bus as the session bus.
    QProcessEnvironment childEnvironment() const
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", m_address);
        return environment;
    }

    /// The test's environment with this bus as the system bus (for
    /// python3-dbusmock templates of system services).
    QProcessEnvironment systemBusEnvironment() const
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", m_address);
        return environment;
    }

private:
    QTemporaryDir m_folder;
    QString m_extraPolicy;
    QProcess m_daemon;
    QString m_address;
};

} // namespace testsupport
