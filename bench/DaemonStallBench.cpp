// How long the main thread stalls when a daemon stops answering (SIGSTOP)
// while the handlers that talk to it run: a 1 ms main-thread timer records
// how late it fires. Each daemon is a private one: PulseAudio with a null
// sink, and python3-dbusmock's logind, UPower, BlueZ, screen saver and KDE
// Connect on a private bus. Every handler runs three times while its daemon
// is stopped, a frame apart, then the loop runs on for a second so that
// timeouts fall inside the window. A plain program printing a table; the
// budget is one 60 Hz frame (16 ms).
#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Bluetooth/BluezBluetoothBackend.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Desktop/KdeConnectSharingService.h"
#include "Platform/Display/LogindBrightness.h"
#include "Platform/Display/SysfsBacklight.h"
#include "Platform/Power/FakeScreenLockMonitor.h"
#include "Platform/Power/ScreenSaverInhibitor.h"
#include "Platform/Power/UPowerPowerSource.h"
#include "VudeKit/ClockSource.h"
#include "VudeServices/AudioService.h"
#include "VudeServices/BatteryService.h"
#include "VudeServices/BluetoothService.h"
#include "VudeServices/BrightnessService.h"
#include "VudeServices/IdleService.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "bench/support/BenchRig.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivatePulseServer.h"
#include "tests/support/PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs the event loop for `span`, however busy the handlers keep it.
void runFor(std::chrono::milliseconds span)
{
    const auto end = Clock::now() + span;
    while (Clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

// A 1 ms main-thread timer; the worst lateness of its ticks is the longest
// the main thread was held.
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_worst = std::max(m_worst, now - m_last - 1ms);
            m_last = now;
        });
    }

    void start()
    {
        m_worst = {};
        m_last = Clock::now();
        m_timer.start();
    }

    double stopMilliseconds()
    {
        m_timer.stop();
        return std::chrono::duration<double, std::milli>(m_worst).count();
    }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    Clock::duration m_worst{};
};

// The handler three times while `pid` (0: none) is stopped; the worst stall
// in ms.
double stallWhileStopped(qint64 pid, const std::function<void()>& handler)
{
    StallProbe probe;
    if (pid > 0)
        ::kill(pid_t(pid), SIGSTOP);
    runFor(50ms);
    probe.start();
    for (int press = 0; press < 3; ++press) {
        handler();
        runFor(16ms);
    }
    runFor(1000ms);
    const double worst = probe.stopMilliseconds();
    if (pid > 0)
        ::kill(pid_t(pid), SIGCONT);
    runFor(300ms); // the answers still due arrive
    return worst;
}

std::filesystem::path fixture(const char* name)
{
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "tests/Platform/fixtures" / name;
}

// A python3-dbusmock template on the private bus, standing in for the
// system or the session bus.
class Mock {
public:
    Mock(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection, const QString& busName,
         const QString& templateName, bool systemBus, const QString& parameters = "{}")
    {
        m_process.setProcessEnvironment(systemBus ? bus.systemBusEnvironment() : bus.childEnvironment());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start("/usr/bin/python3", {"-m", "dbusmock", systemBus ? "--system" : "--session", "--template",
                                             templateName, "-p", parameters});
        m_ready = m_process.waitForStarted(5000) &&
                  benchsupport::waitFor([&] { return connection.interface()->isServiceRegistered(busName).value(); });
    }
    ~Mock() { testsupport::stopProcess(m_process); }

    bool ready() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_ready = false;
};

void printRow(const char* daemon, const char* handler, std::optional<double> worst)
{
    if (worst)
        std::printf("%-12s %-44s %10.2f\n", daemon, handler, *worst);
    else
        std::printf("%-12s %-44s %10s\n", daemon, handler, "no rig");
    std::fflush(stdout);
}

std::optional<double> pulseaudio(QtScheduler& scheduler)
{
    testsupport::PrivatePulseServer server{{{"speakers", "device.description=Speakers"}}};
    if (!server.start())
        return std::nullopt;
    AudioService audio(std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString()));
    audio.start();
    if (!benchsupport::waitFor([&] { return audio.deviceID() != 0; }))
        return std::nullopt;
    runFor(100ms);
    // The volume key: the level, one step (down, from full).
    return stallWhileStopped(server.pid(), [&] { audio.setVolume(audio.knownState().volume - 1.0 / 16); });
}

std::optional<double> soundOutputs(QtScheduler& scheduler)
{
    testsupport::PrivatePulseServer server{
        {{"speakers", "device.description=Speakers"}, {"headphones", "device.description=Headphones"}}};
    if (!server.start())
        return std::nullopt;
    AudioService audio(std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString()));
    audio.start();
    if (!benchsupport::waitFor([&] { return audio.outputDevices().size() == 2; }))
        return std::nullopt;
    runFor(100ms);
    // The Desk's sound output widget: the list as it opens, then a pick.
    return stallWhileStopped(server.pid(), [&] {
        for (const auto& device : audio.outputDevices())
            if (!device.isDefault) {
                audio.setDefaultOutput(device.id);
                break;
            }
    });
}

std::optional<double> logind(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection,
                             QtScheduler& scheduler)
{
    Mock mock(bus, connection, "org.freedesktop.login1", QString::fromStdString(fixture("logind_session.py")), true);
    QTemporaryDir sys;
    const QString device = sys.filePath("class/backlight/panel");
    QDir().mkpath(device);
    for (const auto& [name, value] : {std::pair("max_brightness", "1000"), {"brightness", "500"}, {"type", "raw"}}) {
        QFile file(device + "/" + name);
        if (!file.open(QIODevice::WriteOnly))
            return std::nullopt;
        file.write(value);
    }
    if (!mock.ready())
        return std::nullopt;
    BrightnessService brightness(std::make_unique<SysfsBacklight>(SysfsBacklight::Kind::display,
                                                                  sys.path().toStdString(),
                                                                  std::make_shared<LogindBrightness>(connection)),
                                 scheduler);
    // The brightness key.
    return stallWhileStopped(mock.pid(), [&] {
        if (const auto level = brightness.read(0))
            brightness.set(*level + 1.0 / 16, 0);
    });
}

std::optional<double> upower(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection)
{
    Mock mock(bus, connection, UPowerPowerSource::kUPowerService, "upower", true);
    if (!mock.ready())
        return std::nullopt;
    BatteryService battery(std::make_unique<UPowerPowerSource>(connection));
    // Start-up's first reading, and what the battery pill reads for its
    // subtitle.
    return stallWhileStopped(mock.pid(), [&] {
        battery.start();
        (void)battery.previous();
    });
}

std::optional<double> bluez(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection,
                            QtScheduler& scheduler)
{
    Mock mock(bus, connection, "org.bluez", "bluez5", true);
    if (!mock.ready())
        return std::nullopt;
    connection.call(QDBusMessage::createMethodCall("org.bluez", "/", "org.bluez.Mock", "AddAdapter")
                    << QString("hci0") << QString("bench"));
    BluetoothService bluetooth(std::make_unique<BluezBluetoothBackend>(connection), scheduler);
    // The delayed start, and the one when the stack appears.
    return stallWhileStopped(mock.pid(), [&] {
        bluetooth.start([](BluetoothService::StartResult) {});
        bluetooth.stop();
    });
}

std::optional<double> bluetoothPermission(const testsupport::PrivateSessionBus& bus,
                                          const QDBusConnection& connection, QtScheduler& scheduler)
{
    Mock mock(bus, connection, "org.bluez", "bluez5", true);
    if (!mock.ready())
        return std::nullopt;
    connection.call(QDBusMessage::createMethodCall("org.bluez", "/", "org.bluez.Mock", "AddAdapter")
                    << QString("hci0") << QString("bench"));
    ActivationPolicyRecorder activation;
    RecordingUrlOpener urls;
    SystemPermissions permissions(activation, urls, scheduler, connection);
    BluetoothService bluetooth(std::make_unique<BluezBluetoothBackend>(connection), scheduler);
    (void)Permission::bluetooth.state(permissions.system());
    runFor(100ms);
    // What the settings and the onboarding read, and a request's answer.
    return stallWhileStopped(mock.pid(), [&] {
        (void)Permission::bluetooth.state(permissions.system());
        bluetooth.requestPermission([](bool) {});
    });
}

std::optional<double> inhibitor(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection,
                                QtScheduler& scheduler)
{
    Mock mock(bus, connection, ScreenSaverInhibitor::kScreenSaverService,
              QString::fromStdString(fixture("screensaver.py")), false);
    if (!mock.ready())
        return std::nullopt;
    SystemClock clock;
    IdleService idle(std::make_unique<ScreenSaverInhibitor>(connection), std::make_unique<FakeScreenLockMonitor>(),
                     scheduler, clock);
    // The keep-awake toggle, as the menu runs it.
    return stallWhileStopped(mock.pid(), [&] {
        if (idle.isKeepingAwake() || idle.isKeepAwakeAvailable())
            idle.toggleKeepAwake(KeepAwakeDuration::indefinite);
    });
}

std::optional<double> kdeConnect(const testsupport::PrivateSessionBus& bus, const QDBusConnection& connection)
{
    Mock mock(bus, connection, KdeConnectSharingService::kService, QString::fromStdString(fixture("kdeconnect.py")),
              false, R"({"devices": [{"id": "phone", "reachable": true, "paired": true, "share": true}]})");
    if (!mock.ready())
        return std::nullopt;
    KdeConnectSharingService sharing(connection);
    QTemporaryDir folder;
    QFile file(folder.filePath("photo.jpg"));
    if (!file.open(QIODevice::WriteOnly))
        return std::nullopt;
    file.close();
    const QList<QUrl> items{QUrl::fromLocalFile(file.fileName())};
    // A drag over the device lane, then the drop.
    return stallWhileStopped(mock.pid(), [&] {
        if (sharing.isAvailable())
            sharing.perform(items);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QtScheduler scheduler;
    testsupport::PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "dbus-daemon did not start\n");
        return 1;
    }
    const QString name = "daemon-stall-bench";
    {
        const QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), name);
        std::printf("%-12s %-44s %10s\n", "stopped", "handler", "worst ms");
        // The probe's own check: a handler that holds the loop for 20 ms.
        printRow("(none)", "20 ms of work, to check the probe", stallWhileStopped(0, [] {
                     std::this_thread::sleep_for(20ms);
                 }));
        printRow("pulseaudio", "volume key (level, set)", pulseaudio(scheduler));
        printRow("logind", "brightness key (read, set)", logind(bus, connection, scheduler));
        printRow("UPower", "battery start and pill subtitle", upower(bus, connection));
        printRow("BlueZ", "Bluetooth start", bluez(bus, connection, scheduler));
        printRow("pulseaudio", "sound output widget (list, switch)", soundOutputs(scheduler));
        printRow("BlueZ", "Bluetooth permission (read, request)", bluetoothPermission(bus, connection, scheduler));
        printRow("inhibitor", "keep-awake toggle", inhibitor(bus, connection, scheduler));
        printRow("KDE Connect", "device lane and drop", kdeConnect(bus, connection));
    }
    QDBusConnection::disconnectFromBus(name);
    return 0;
}
