// How long a volume change takes to reach the main thread as an AudioState:
// the sound pill must follow the keys within one 60 Hz frame. Runs against a
// private PulseAudio daemon with null sinks.
//
//   PactlVolumeChange   pactl is started, changes the volume and the state
//                       arrives (includes starting the pactl process)
//   ClientVolumeChange  another connected client changes the volume and the
//                       state arrives (the path our own code adds to)
//   IdleWithoutServer   the processor time a backend spends retrying while no
//                       server answers, with real timers
#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Core/QtScheduler.h"
#include "VudeServices/AudioService.h"
#include "bench/support/BenchRig.h"
#include "tests/support/PrivatePulseServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// The daemon and a started service whose states are timed on arrival.
struct Rig {
    Rig()
    {
        if (!server.start()) {
            std::fprintf(stderr, "pulseaudio did not start: %s\n", qPrintable(server.errorText()));
            return;
        }
        service.emplace(std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString()));
        service->states().consume(&receiver, [this](const AudioState& state) {
            lastVolume = state.volume;
            lastArrival = Clock::now();
        });
        service->start();
        ready = waitForVolume(1.0);
    }

    // Runs the event loop until a state with `volume` has arrived.
    bool waitForVolume(double volume)
    {
        return benchsupport::waitFor([&] { return lastVolume && !(std::abs(*lastVolume - volume) > 0.001); },
                                     std::chrono::seconds(5));
    }

    testsupport::PrivatePulseServer server{{{"speakers", "device.description=Speakers"}}};
    QtScheduler scheduler;
    QObject receiver;
    std::optional<AudioService> service;
    std::optional<double> lastVolume;
    Clock::time_point lastArrival;
    bool ready = false;
};

// Made in main(), so that the daemon and the service end while the
// application object still exists.
Rig* theRig = nullptr;

Rig& rig()
{
    return *theRig;
}

void PactlVolumeChange(benchmark::State& state)
{
    auto& audio = rig();
    if (!audio.ready) {
        state.SkipWithError("no PulseAudio daemon");
        return;
    }
    std::vector<double> samples;
    int step = 0;
    for (auto _ : state) {
        const int percent = 30 + (step++ % 2) * 10;
        QProcess pactl;
        const auto begin = Clock::now();
        pactl.start("pactl", {"-s", audio.server.address(), "set-sink-volume", "speakers", QString::number(percent) + "%"});
        if (!audio.waitForVolume(percent / 100.0)) {
            state.SkipWithError("the state did not arrive");
            return;
        }
        const std::chrono::duration<double> elapsed = audio.lastArrival - begin;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
        pactl.waitForFinished();
    }
    benchsupport::reportPercentiles(state, std::move(samples));
}
BENCHMARK(PactlVolumeChange)->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);

void ClientVolumeChange(benchmark::State& state)
{
    auto& audio = rig();
    if (!audio.ready) {
        state.SkipWithError("no PulseAudio daemon");
        return;
    }
    // Another mixer on its own connection.
    PulseAudioBackend mixer(audio.scheduler, audio.server.address().toStdString());
    mixer.start();
    benchsupport::waitFor([&] { return mixer.isAvailable(); }, std::chrono::seconds(5));

    std::vector<double> samples;
    int step = 0;
    for (auto _ : state) {
        const double volume = (step++ % 2) ? 0.5 : 0.6;
        const auto begin = Clock::now();
        mixer.setVolume(1, volume, {});
        if (!audio.waitForVolume(volume)) {
            state.SkipWithError("the state did not arrive");
            return;
        }
        const std::chrono::duration<double> elapsed = audio.lastArrival - begin;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
    }
    benchsupport::reportPercentiles(state, std::move(samples));
}
BENCHMARK(ClientVolumeChange)->UseManualTime()->Iterations(500)->Unit(benchmark::kMicrosecond);

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void IdleWithoutServer(benchmark::State& state)
{
    QtScheduler scheduler;
    for (auto _ : state) {
        PulseAudioBackend backend(scheduler, "unix:/nonexistent/vude/native");
        const double cpuBefore = processSeconds();
        const auto begin = Clock::now();
        backend.start();
        QEventLoop loop;
        QTimer::singleShot(std::chrono::seconds(20), &loop, &QEventLoop::quit);
        loop.exec();
        const std::chrono::duration<double> wall = Clock::now() - begin;
        state.SetIterationTime(wall.count());
        state.counters["cpu_percent"] = 100 * (processSeconds() - cpuBefore) / wall.count();
        state.counters["attempts"] = backend.connectionAttempts();
    }
}
BENCHMARK(IdleWithoutServer)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithRig(argc, argv, theRig);
}
