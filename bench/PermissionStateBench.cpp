// What reading the permissions costs the main thread: the walkthrough reads
// all five each time the app becomes active, the settings window reads them
// when it builds a pane. The rig is the app's own set-up on private daemons:
// an Xvfb with the keyboard installed as the access probe, a fake BlueZ
// (python3-dbusmock's bluez5, one adapter) on a private bus, the calendars
// folder, and this machine's /dev for the camera.
//
//   InputMonitoringState   the X server's XInput version, asked afresh
//   AccessibilityState     a checked grab of every media key, released
//   BluetoothState         one look at BlueZ (GetManagedObjects)
//   CalendarState          the calendars folder's status
//   CameraState            every /dev/video<N> opened and asked
//   CameraStateFourNodes   four nodes that open but capture nothing (a
//                          scratch /dev), the worst case without a camera
//   AllStates              the five, as the walkthrough reads them
//   BluetoothProbeAnswer   a request's connection to BlueZ, the radio
//                          switched on, and the answer
#include "Platform/Camera/V4l2CameraAccess.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Input/X11Keyboard.h"
#include "Platform/Input/XcbConnection.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "bench/support/BenchRig.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/PrivateXServer.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

namespace {

struct Rig {
    Rig()
    {
        if (!xserver.start() || !bus.start()) {
            std::fprintf(stderr, "Xvfb or dbus-daemon did not start\n");
            return;
        }
        x = XcbConnection::open(xserver.display().toStdString());
        if (!x)
            return;
        InputAccessProbe::installStandard(std::make_shared<X11Keyboard>(x.get()));

        connection.emplace(QDBusConnection::connectToBus(bus.address(), "permission-bench"));
        bluez.setProcessEnvironment(bus.systemBusEnvironment());
        bluez.setStandardOutputFile(QProcess::nullDevice());
        bluez.start("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "bluez5"});
        if (!benchsupport::waitFor([&] { return connection->interface()->isServiceRegistered("org.bluez"); }))
            return;
        auto message = QDBusMessage::createMethodCall("org.bluez", "/", "org.bluez.Mock", "AddAdapter");
        message.setArguments({"hci0", "bench"});
        connection->call(message);

        permissions.emplace(activation, urls, scheduler, *connection);
        for (int i = 0; i < 4; ++i)
            std::ofstream(scratchDev.path().toStdString() + "/video" + std::to_string(i)) << "";
        ready = Permission::bluetooth.state(permissions->system()) == Permission::State::granted &&
                Permission::accessibility.state(permissions->system()) == Permission::State::granted;
    }

    ~Rig()
    {
        permissions.reset();
        InputAccessProbe::installStandard(nullptr);
        testsupport::stopProcess(bluez);
        connection.reset();
        QDBusConnection::disconnectFromBus("permission-bench");
    }

    testsupport::PrivateXServer xserver;
    testsupport::PrivateSessionBus bus;
    std::unique_ptr<XcbConnection> x;
    std::optional<QDBusConnection> connection;
    QProcess bluez;
    ActivationPolicyRecorder activation;
    RecordingUrlOpener urls;
    QtScheduler scheduler;
    std::optional<SystemPermissions> permissions;
    QTemporaryDir scratchDev;
    bool ready = false;
};

Rig* theRig = nullptr;

void readState(benchmark::State& state, Permission permission)
{
    auto& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no rig");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(permission.state(rig.permissions->system()));
}

void InputMonitoringState(benchmark::State& state) { readState(state, Permission::inputMonitoring); }
BENCHMARK(InputMonitoringState)->Unit(benchmark::kMicrosecond);
void AccessibilityState(benchmark::State& state) { readState(state, Permission::accessibility); }
BENCHMARK(AccessibilityState)->Unit(benchmark::kMicrosecond);
void BluetoothState(benchmark::State& state) { readState(state, Permission::bluetooth); }
BENCHMARK(BluetoothState)->Unit(benchmark::kMicrosecond);
void CalendarState(benchmark::State& state) { readState(state, Permission::calendar); }
BENCHMARK(CalendarState)->Unit(benchmark::kMicrosecond);
void CameraState(benchmark::State& state) { readState(state, Permission::camera); }
BENCHMARK(CameraState)->Unit(benchmark::kMicrosecond);

void CameraStateFourNodes(benchmark::State& state)
{
    const V4l2CameraAccess access(theRig->scratchDev.path().toStdString());
    for (auto _ : state)
        benchmark::DoNotOptimize(access.authorizationStatus());
}
BENCHMARK(CameraStateFourNodes)->Unit(benchmark::kMicrosecond);

void AllStates(benchmark::State& state)
{
    auto& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no rig");
        return;
    }
    for (auto _ : state)
        for (const Permission permission : Permission::allCases())
            benchmark::DoNotOptimize(permission.state(rig.permissions->system()));
}
BENCHMARK(AllStates)->Unit(benchmark::kMicrosecond);

void BluetoothProbeAnswer(benchmark::State& state)
{
    auto& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no rig");
        return;
    }
    for (auto _ : state) {
        std::optional<bool> answer;
        rig.permissions->system().bluetoothProbe().request([&](bool granted) { answer = granted; });
        if (!benchsupport::waitFor([&] { return answer.has_value(); }) || !*answer) {
            state.SkipWithError("no answer");
            break;
        }
    }
}
BENCHMARK(BluetoothProbeAnswer)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithRig(argc, argv, theRig);
}
