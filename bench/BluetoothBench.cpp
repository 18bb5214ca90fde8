// What following Bluetooth costs the main thread, against a fake BlueZ
// (python3-dbusmock's bluez5) on a private bus with one adapter and eight
// paired devices.
//
//   StackRead           one look at the stack (GetManagedObjects and its
//                       parsing): what start() and authorization() block for
//   ConnectionToEvent   a device connects (or disconnects) and the backend's
//                       event arrives; includes the fake's own time
#include "Platform/Bluetooth/BluezBluetoothBackend.h"
#include "bench/support/BenchRig.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <optional>

namespace {

QString deviceAddress(int index)
{
    return QString("AA:BB:CC:DD:EE:%1").arg(index, 2, 10, QChar('0'));
}

struct Rig {
    Rig()
    {
        if (!bus.start()) {
            std::fprintf(stderr, "dbus-daemon did not start\n");
            return;
        }
        connection.emplace(QDBusConnection::connectToBus(bus.address(), "bluetooth-bench"));
        bluez.setProcessEnvironment(bus.systemBusEnvironment());
        // Its log of every call would fill an unread pipe and stall it.
        bluez.setStandardOutputFile(QProcess::nullDevice());
        bluez.start("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "bluez5"});
        if (!benchsupport::waitFor([&] { return connection->interface()->isServiceRegistered("org.bluez"); }))
            return;
        mock("AddAdapter", {"hci0", "bench"});
        for (int i = 0; i < 8; ++i)
            mock("AddDevice", {"hci0", deviceAddress(i), QString("Device %1").arg(i)});
        backend.emplace(*connection);
        backend->setEventHandler([this](const BluetoothBackendEvent&) { ++events; });
        ready = backend->watch().devices.size() == 8;
    }

    ~Rig()
    {
        backend.reset();
        testsupport::stopProcess(bluez);
        connection.reset();
        QDBusConnection::disconnectFromBus("bluetooth-bench");
    }

    void mock(const char* method, const QVariantList& arguments, bool wait = true)
    {
        auto message = QDBusMessage::createMethodCall("org.bluez", "/", "org.bluez.Mock", method);
        message.setArguments(arguments);
        if (wait)
            connection->call(message);
        else
            connection->send(message);
    }

    testsupport::PrivateSessionBus bus;
    std::optional<QDBusConnection> connection;
    QProcess bluez;
    std::optional<BluezBluetoothBackend> backend;
    int events = 0;
    bool connected = false; // device 0, across runs of the benchmark
    bool ready = false;
};

Rig* theRig = nullptr;

void StackRead(benchmark::State& state)
{
    auto& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no fake BlueZ");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.backend->read());
}
BENCHMARK(StackRead)->Unit(benchmark::kMicrosecond);

void ConnectionToEvent(benchmark::State& state)
{
    auto& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no fake BlueZ");
        return;
    }
    for (auto _ : state) {
        const int before = rig.events;
        rig.mock(rig.connected ? "DisconnectDevice" : "ConnectDevice", {"hci0", deviceAddress(0)}, false);
        if (!benchsupport::waitFor([&] { return rig.events > before; })) {
            state.SkipWithError("no event");
            break;
        }
        rig.connected = !rig.connected;
    }
}
BENCHMARK(ConnectionToEvent)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithRig(argc, argv, theRig);
}
