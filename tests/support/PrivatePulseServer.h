#pragma once
// A private sound server speaking the PulseAudio protocol, for system tests
// and benchmarks: null sinks only, no systemd, no D-Bus, no sound card, its
// own home and runtime folders, started and stopped by PID. Two kinds:
//   pulseAudio  the `pulseaudio` daemon (what CI runs)
//   pipeWire    `pipewire`, `wireplumber` and PipeWire's pulse server, for
//               desktops that run PipeWire, where the `pulseaudio` package
//               must not be installed beside `pipewire-pulse`
// Works as root too (the daemons only warn then).
//
// Header-only so that benchmarks, which do not link the test support library,
// can use it as well.

#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace testsupport {

enum class SoundServerKind { pulseAudio, pipeWire };

inline const char* nameOf(SoundServerKind kind)
{
    return kind == SoundServerKind::pulseAudio ? "PulseAudio" : "PipeWire";
}

inline void PrintTo(SoundServerKind kind, std::ostream* out)
{
    *out << nameOf(kind);
}

/// The kinds whose programs are installed, PulseAudio first; both where both
/// are. With neither, PulseAudio, so that a test fails saying it is missing
/// instead of running nothing.
inline std::vector<SoundServerKind> installedSoundServers()
{
    const auto installed = [](const char* program) { return !QStandardPaths::findExecutable(program).isEmpty(); };
    std::vector<SoundServerKind> kinds;
    if (installed("pulseaudio"))
        kinds.push_back(SoundServerKind::pulseAudio);
    if (installed("pipewire") && installed("pipewire-pulse") && installed("wireplumber"))
        kinds.push_back(SoundServerKind::pipeWire);
    if (kinds.empty())
        kinds.push_back(SoundServerKind::pulseAudio);
    return kinds;
}

/// A test name suffix for each kind ("PulseAudio", "PipeWire").
struct SoundServerKindName {
    template <class ParamInfo>
    std::string operator()(const ParamInfo& info) const
    {
        return nameOf(info.param);
    }
};

class PrivatePulseServer {
public:
    /// The first sink is the default one.
    struct Sink {
        QString name;       // the sink's name ("speakers")
        QString properties; // its properties ("device.description=Speakers device.bus=usb")
    };

    explicit PrivatePulseServer(std::vector<Sink> sinks, SoundServerKind kind = installedSoundServers().front())
        : m_sinks(std::move(sinks)), m_kind(kind), m_folder(socketFolderTemplate("pa"))
    {
        QDir(m_folder.path()).mkpath("home");
        QDir(m_folder.path()).mkpath("run");
        QFile::setPermissions(m_folder.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    ~PrivatePulseServer() { stop(); }

    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    SoundServerKind kind() const { return m_kind; }

    /// Starts the server and waits until it takes connections, with every sink
    /// in place and the first one the default; false (with the reason in
    /// `errorText()`) when it does not come up.
    bool start()
    {
        stop();
        m_errorText.clear();
        // A killed server leaves its sockets behind.
        QFile::remove(socketPath());
        QFile::remove(m_folder.filePath("run/pipewire-0"));
        const bool started = m_kind == SoundServerKind::pulseAudio ? startPulseAudio() : startPipeWire();
        if (!started) {
            stop();
            return false;
        }
        // The server ranks sinks by their properties; the first one given is
        // the default, as the caller expects.
        if (!m_sinks.empty() && !makeDefault(m_sinks.front().name)) {
            m_errorText = "the default sink could not be set" + processErrors();
            stop();
            return false;
        }
        return true;
    }

    /// Ends the server abruptly, as a crash would.
    void kill()
    {
        for (auto& process : m_processes) {
            process->kill();
            process->waitForFinished(5000);
        }
        m_processes.clear();
    }

    /// Ends the server in order.
    void stop()
    {
        // The pulse server first, the PipeWire daemon it talks to last.
        for (auto process = m_processes.rbegin(); process != m_processes.rend(); ++process)
            stopProcess(**process);
        m_processes.clear();
    }

    /// The process that serves the PulseAudio protocol.
    qint64 pid() const { return m_processes.empty() ? 0 : m_processes.back()->processId(); }
    QString socketPath() const { return m_folder.filePath("run/native"); }
    /// The address libpulse and pactl take.
    QString address() const { return "unix:" + socketPath(); }
    QString errorText() const { return m_errorText; }

    /// Runs pactl against this server; its standard output, or none when it
    /// failed.
    std::optional<QString> pactl(const QStringList& arguments) const
    {
        QProcess process;
        process.start("pactl", QStringList{"-s", address()} + arguments);
        if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    /// The server's index of the sink named `name` (PulseAudio counts from 0,
    /// PipeWire numbers all its objects).
    std::optional<std::uint32_t> sinkIndex(const QString& name) const
    {
        const auto list = pactl({"list", "short", "sinks"});
        if (!list)
            return std::nullopt;
        for (const auto& line : list->split('\n')) {
            const auto fields = line.split('\t');
            if (fields.size() > 1 && fields[1] == name)
                return fields[0].toUInt();
        }
        return std::nullopt;
    }

private:
    QProcessEnvironment privateEnvironment() const
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const auto* name : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY",
                                 "PULSE_SERVER", "PULSE_RUNTIME_PATH", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR",
                                 "PIPEWIRE_CONFIG_DIR", "WIREPLUMBER_CONFIG_DIR", "XDG_CONFIG_DIRS"})
            environment.remove(name);
        environment.insert("HOME", m_folder.filePath("home"));
        environment.insert("XDG_CONFIG_HOME", m_folder.filePath("home/.config"));
        environment.insert("XDG_STATE_HOME", m_folder.filePath("home/.local/state"));
        environment.insert("XDG_DATA_HOME", m_folder.filePath("home/.local/share"));
        environment.insert("XDG_RUNTIME_DIR", m_folder.filePath("run"));
        return environment;
    }

    QProcess& launch(const QString& program, const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(privateEnvironment());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start(program, arguments);
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }

    /// Waits for a socket the last launched process makes.
    bool waitForSocket(const QString& path)
    {
        QProcess& process = *m_processes.back();
        if (!process.waitForStarted(5000)) {
            m_errorText = process.program() + ": " + process.errorString();
            return false;
        }
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(path)) {
            if (deadline.hasExpired() || process.state() != QProcess::Running) {
                process.waitForFinished(100);
                m_errorText = process.program() + ": " + QString::fromLocal8Bit(process.readAllStandardError());
                return false;
            }
            QThread::msleep(2);
        }
        return true;
    }

    // What the server's processes said, for a start that failed.
    QString processErrors() const
    {
        QString text;
        for (const auto& process : m_processes)
            text += "\n" + process->program() + ": " + QString::fromLocal8Bit(process->readAllStandardError());
        return text;
    }

    bool startPulseAudio()
    {
        QStringList arguments{"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                              "--realtime=no", "--high-priority=no", "--log-target=stderr", "--log-level=error"};
        for (const auto& sink : m_sinks)
            arguments << "-L" << nullSinkArguments(sink).join(' ');
        // Loaded last, so once the socket exists every sink does too.
        arguments << "-L" << QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socketPath());
        launch("pulseaudio", arguments);
        return waitForSocket(socketPath());
    }

    // Three processes, as on a desktop: the PipeWire daemon with no device
    // at all, WirePlumber (the session manager, which keeps the default sink)
    // with every device monitor off, and the pulse server. Nothing reads the
    // user's own configuration or touches a sound card; the configuration
    // files have names of their own so that no system drop-in applies.
    bool startPipeWire()
    {
        if (!writeFile("vude-core.conf", pipeWireConfiguration()) || !writeFile("vude-pulse.conf", pulseConfiguration())
            || !writeFile("home/.config/wireplumber/main.lua.d/90-enable-all.lua",
                          "load_module(\"metadata\")\ndevice_defaults.enable()\n")
            || !writeFile("home/.config/wireplumber/bluetooth.lua.d/90-enable-all.lua", "")
            || !writeFile("home/.config/wireplumber/wireplumber.conf.d/90-vude-test.conf", wirePlumber05Profile()))
            return false;
        launch("pipewire", {"-c", m_folder.filePath("vude-core.conf")});
        if (!waitForSocket(m_folder.filePath("run/pipewire-0")))
            return false;
        launch("wireplumber", {});
        launch("pipewire", {"-c", m_folder.filePath("vude-pulse.conf")});
        if (!waitForSocket(socketPath()))
            return false;
        // Loading a null sink returns once the sink exists.
        for (const auto& sink : m_sinks) {
            if (!pactl(QStringList{"load-module"} + nullSinkArguments(sink))) {
                m_errorText = "the sink " + sink.name + " could not be made" + processErrors();
                return false;
            }
        }
        return true;
    }

    QString pipeWireConfiguration() const
    {
        return QStringLiteral(R"(context.properties = { core.daemon = true core.name = pipewire-0 support.dbus = false }
context.spa-libs = { audio.convert.* = audioconvert/libspa-audioconvert support.* = support/libspa-support }
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver priority.driver = 20000 } }
]
)");
    }

    QString pulseConfiguration() const
    {
        return QStringLiteral(R"(context.properties = { support.dbus = false }
context.spa-libs = { audio.convert.* = audioconvert/libspa-audioconvert support.* = support/libspa-support }
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse args = { server.address = [ "unix:%1" ] } }
]
)")
            .arg(socketPath());
    }

    // The same for WirePlumber 0.5, which reads profiles instead of Lua files
    // (Debian 12 has 0.4 and ignores this file).
    static QString wirePlumber05Profile()
    {
        return QStringLiteral(R"(wireplumber.profiles = {
  main = {
    monitor.alsa = disabled
    monitor.alsa-midi = disabled
    monitor.bluez = disabled
    monitor.bluez-midi = disabled
    monitor.v4l2 = disabled
    monitor.libcamera = disabled
    support.dbus = disabled
  }
}
)");
    }

    static QStringList nullSinkArguments(const Sink& sink)
    {
        return {"module-null-sink", "sink_name=" + sink.name, QStringLiteral("sink_properties='%1'").arg(sink.properties)};
    }

    bool writeFile(const QString& relativePath, const QString& contents)
    {
        const QString path = m_folder.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents.toUtf8()) != contents.toUtf8().size()) {
            m_errorText = "cannot write " + path;
            return false;
        }
        return true;
    }

    // PipeWire's session manager takes the choice asynchronously, and only
    // once it has connected: ask until the server reports it.
    bool makeDefault(const QString& name)
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (pactl({"set-default-sink", name}) && pactl({"get-default-sink"}).value_or("").trimmed() == name)
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    std::vector<Sink> m_sinks;
    SoundServerKind m_kind;
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QString m_errorText;
};

} // namespace testsupport
