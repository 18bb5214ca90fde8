#pragma once
// A private PulseAudio daemon for system tests and benchmarks: null sinks
// only, no systemd, no D-Bus, its own home and runtime folders, started and
// stopped by PID. Works as root too (the daemon only warns then).
//
// Header-only so that benchmarks, which do not link the test support library,
// can use it as well.

#include "ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QDeadlineTimer>

#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

class PrivatePulseServer {
public:
    /// The first sink is the default one.
    struct Sink {
        QString name;       // the sink's name ("speakers")
        QString properties; // its properties ("device.description=Speakers device.bus=usb")
    };

    explicit PrivatePulseServer(std::vector<Sink> sinks) : m_sinks(std::move(sinks)), m_folder(socketFolderTemplate("pa"))
    {
        QDir(m_folder.path()).mkpath("home");
        QDir(m_folder.path()).mkpath("run");
        QFile::setPermissions(m_folder.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    ~PrivatePulseServer() { stop(); }

    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    /// Starts the daemon and waits until it takes connections; false (with the
    /// daemon's output in `errorText()`) when it does not come up.
    bool start()
    {
        stop();
        QFile::remove(socketPath()); // a killed daemon leaves its socket behind
        QStringList arguments{"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                              "--realtime=no", "--high-priority=no", "--log-target=stderr", "--log-level=error"};
        for (const auto& sink : m_sinks)
            arguments << "-L" << QStringLiteral("module-null-sink sink_name=%1 sink_properties='%2'").arg(sink.name, sink.properties);
        // Loaded last, so once the socket exists every sink does too.
        arguments << "-L" << QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socketPath());

        auto environment = QProcessEnvironment::systemEnvironment();
        for (const auto* name : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER"})
            environment.remove(name);
        environment.insert("HOME", m_folder.filePath("home"));
        environment.insert("XDG_CONFIG_HOME", m_folder.filePath("home/.config"));
        environment.insert("XDG_RUNTIME_DIR", m_folder.filePath("run"));

        m_process = std::make_unique<QProcess>();
        m_process->setProcessEnvironment(environment);
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->start("pulseaudio", arguments);
        if (!m_process->waitForStarted(5000)) {
            m_errorText = m_process->errorString();
            return false;
        }
        QDeadlineTimer deadline(5000);
        while (!QFileInfo::exists(socketPath())) {
            if (deadline.hasExpired() || m_process->state() != QProcess::Running) {
                m_process->waitForFinished(100);
                m_errorText = QString::fromLocal8Bit(m_process->readAllStandardError());
                return false;
            }
            QThread::msleep(2);
        }
        // The server ranks sinks by their properties; the first one given is
        // the default, as the caller expects.
        if (!m_sinks.empty() && !pactl({"set-default-sink", m_sinks.front().name})) {
            m_errorText = "the default sink could not be set";
            return false;
        }
        return true;
    }

    /// Ends the daemon abruptly, as a crash would.
    void kill()
    {
        if (!m_process)
            return;
        m_process->kill();
        m_process->waitForFinished(5000);
        m_process.reset();
    }

    /// Ends the daemon in order.
    void stop()
    {
        if (!m_process)
            return;
        stopProcess(*m_process);
        m_process.reset();
    }

    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString socketPath() const { return m_folder.filePath("run/native"); }
    /// The address libpulse and pactl take.
    QString address() const { return "unix:" + socketPath(); }
    QString errorText() const { return m_errorText; }

    /// Runs pactl against this daemon; its standard output, or none when it
    /// failed.
    std::optional<QString> pactl(const QStringList& arguments) const
    {
        QProcess process;
        process.start("pactl", QStringList{"-s", address()} + arguments);
        if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private:
    std::vector<Sink> m_sinks;
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_process;
    QString m_errorText;
};

} // namespace testsupport
