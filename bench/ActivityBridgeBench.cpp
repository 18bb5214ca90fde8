// How long one volume change takes to become the sound pill, through the
// whole activity bridge on a private sound server: the audio service reports
// the change, the bridge builds the payload, the coordinator accepts it and
// the present callback runs on the main thread. Every other service is its
// in-process double.
//
//   PactlToPill     pactl is started and changes the volume (includes
//                   starting the pactl process)
//   VolumeKeyToPill the volume-up key reaches the bridge's key handler, which
//                   sets the volume; the road of one key press
#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Audio/SoundPlayer.h"
#include "Platform/Bluetooth/FakeBluetoothBackend.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Desktop/FocusStateSource.h"
#include "Platform/Display/FakeBacklight.h"
#include "Platform/Input/FakeInputAccessProbe.h"
#include "Platform/Input/FakeKeyTapBackend.h"
#include "Platform/Power/FakeDisplaySleepInhibitor.h"
#include "Platform/Power/FakePowerSource.h"
#include "Platform/Power/FakeScreenLockMonitor.h"
#include "Vude/Bridge/ActivityBridge.h"
#include "bench/support/BenchRig.h"
#include "tests/support/PrivatePulseServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

struct Rig {
    Rig()
    {
        if (!server.start()) {
            std::fprintf(stderr, "no sound server: %s\n", qPrintable(server.errorText()));
            return;
        }
        auto access = std::make_shared<FakeInputAccessProbe>();
        ActivityBridge::Services services;
        services.audio = std::make_unique<AudioService>(
            std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString()));
        services.battery = std::make_unique<BatteryService>(std::make_unique<FakePowerSource>());
        services.brightness = std::make_unique<BrightnessService>(std::make_unique<FakeBacklight>(0.5), scheduler);
        services.keyboardBacklight =
            std::make_unique<KeyboardBacklightService>(std::make_unique<FakeBacklight>(0.5), scheduler);
        services.eventTap =
            std::make_unique<EventTapService>(std::make_unique<FakeKeyTapBackend>(), access, scheduler, clock);
        services.focus =
            std::make_unique<FocusService>(std::make_unique<FakeFocusStateSource>(), home.path().toStdString());
        services.bluetooth = std::make_unique<BluetoothService>(std::make_unique<FakeBluetoothBackend>(), scheduler);
        services.calendar = std::make_unique<UnavailableCalendarService>();
        services.idle = std::make_unique<IdleService>(std::make_unique<FakeDisplaySleepInhibitor>(),
                                                      std::make_unique<FakeScreenLockMonitor>(), scheduler, clock);
        services.sounds = std::make_unique<RecordingSoundPlayer>();
        bridge.emplace(coordinator, settings,
                       [this](const ActivityPayload& payload) {
                           if (const auto* bar = payload.trailing().as<ActivityTrailing::Bar>()) {
                               lastBar = bar->fraction;
                               lastPill = Clock::now();
                           }
                       },
                       std::move(services),
                       ActivityBridge::Dependencies{.scheduler = scheduler,
                                                    .clock = clock,
                                                    .trace = trace,
                                                    .environment = Environment::fixed({{"VUDE_NO_BT", ""}})});
        bridge->start();
        // The first state only primes; one change proves the road is open.
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (bridge->audio().deviceID() == 0 && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        ready = setByPactl(0.3) && waitForBar(0.3);
    }

    // Starts pactl and returns at once; the pill is waited for by the caller.
    bool setByPactl(double volume)
    {
        pactl.waitForFinished();
        pactl.start("pactl", {"-s", server.address(), "set-sink-volume", "speakers",
                              QString::number(std::lround(volume * 100)) + "%"});
        return pactl.waitForStarted();
    }

    // Runs the event loop until the sound pill shows `volume`.
    bool waitForBar(double volume)
    {
        return benchsupport::waitFor([&] { return lastBar && std::abs(*lastBar - volume) <= 0.002; },
                                     std::chrono::seconds(5));
    }

    testsupport::PrivatePulseServer server{{{"speakers", "device.description=Speakers"}}};
    QtScheduler scheduler;
    SystemClock clock;
    QTemporaryDir home;
    DiagnosticsTrace trace{Environment::fixed({}), [] { return false; }, clock,
                           []() -> Expected<std::filesystem::path, std::string> { return std::filesystem::path("/"); }};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    ActivityCoordinator coordinator{clock};
    QProcess pactl;
    std::optional<ActivityBridge> bridge;
    std::optional<double> lastBar;
    Clock::time_point lastPill;
    bool ready = false;
};

Rig* theRig = nullptr;

using benchsupport::reportPercentiles;

void PactlToPill(benchmark::State& state)
{
    Rig& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("the bridge did not come up");
        return;
    }
    std::vector<double> samples;
    int step = 0;
    for (auto _ : state) {
        const double volume = (step++ % 2) ? 0.4 : 0.5;
        const auto begin = Clock::now();
        if (!rig.setByPactl(volume) || !rig.waitForBar(volume)) {
            state.SkipWithError("no pill");
            return;
        }
        const std::chrono::duration<double> elapsed = rig.lastPill - begin;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
    }
    reportPercentiles(state, std::move(samples));
}
BENCHMARK(PactlToPill)->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);

void VolumeKeyToPill(benchmark::State& state)
{
    Rig& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("the bridge did not come up");
        return;
    }
    std::vector<double> samples;
    int step = 0;
    for (auto _ : state) {
        const bool up = (step++ % 2) == 0;
        const double from = rig.bridge->audio().currentState().volume;
        const double volume = from + (up ? 1.0 : -1.0) / 16;
        const auto begin = Clock::now();
        rig.bridge->handleMediaKey({.key = up ? MediaKey::soundUp : MediaKey::soundDown, .isDown = true});
        if (!rig.waitForBar(volume)) {
            state.SkipWithError("no pill");
            return;
        }
        const std::chrono::duration<double> elapsed = rig.lastPill - begin;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
    }
    reportPercentiles(state, std::move(samples));
}
BENCHMARK(VolumeKeyToPill)->UseManualTime()->Iterations(500)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithRig(argc, argv, theRig);
}
