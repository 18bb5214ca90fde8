// How long a media key takes from the keyboard to the key handler: another
// X client presses volume up with XTEST on a private Xvfb, and the tap's
// handler is timed on its call. While intercepting, the keyboard waits for the
// handler's answer, so this is the delay our tap adds to every media key.
//
//   InterceptKept      intercepting, the handler keeps the key
//   InterceptReplayed  intercepting, the handler leaves it to the desktop
//   Listen             listening to raw XInput events
//   AccessibilityProbe the check the settings make before they offer to
//                      replace the desktop's displays: every media key
//                      grabbed with each modifier combination, then released
#include "Platform/Core/QtScheduler.h"
#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/XcbConnection.h"
#include "VudeServices/EventTapService.h"
#include "bench/support/BenchRig.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/XTestKeyboard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

struct Rig {
    Rig()
    {
        if (!server.start()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return;
        }
        connection = XcbConnection::open(server.display().toStdString());
        if (!connection || !keyboard.open(server.display().toStdString()))
            return;
        x11Keyboard = std::make_shared<X11Keyboard>(connection.get());
        service.emplace(std::make_unique<X11KeyTapBackend>(x11Keyboard, scheduler), x11Keyboard, scheduler,
                        monotonic);
        service->setHandler([this](const MediaKeyEvent& event) {
            if (event.isDown)
                downAt = Clock::now();
            ++calls;
            if (calls >= expectedCalls)
                loop.quit();
            return answer;
        });
        volumeUp = keyboard.keycode(KeySymbols::audioRaiseVolume);
        ready = volumeUp != 0;
    }

    // Taps volume up; returns the time from sending the press to the
    // handler's key-down call, after the calls of the whole tap are in.
    std::optional<std::chrono::duration<double>> tap(int callsPerTap)
    {
        calls = 0;
        expectedCalls = callsPerTap;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(2000);
        const auto begin = Clock::now();
        keyboard.tap(volumeUp);
        loop.exec();
        if (calls < expectedCalls)
            return std::nullopt;
        return downAt - begin;
    }

    // Reads handler time like the app does; only differences count.
    struct MonotonicClock final : ClockSource {
        Date now() const override
        {
            return Date(std::chrono::duration_cast<Duration>(Clock::now().time_since_epoch()));
        }
    } monotonic;

    testsupport::PrivateXServer server;
    std::unique_ptr<XcbConnection> connection;
    std::shared_ptr<X11Keyboard> x11Keyboard;
    QtScheduler scheduler;
    QEventLoop loop;
    std::optional<EventTapService> service;
    testsupport::XTestKeyboard keyboard;
    xcb_keycode_t volumeUp = 0;
    Clock::time_point downAt;
    int calls = 0;
    int expectedCalls = 0;
    bool answer = true;
    bool ready = false;
};

Rig* theRig = nullptr;

void run(benchmark::State& state, EventTapService::Mode mode, bool answer, int callsPerTap)
{
    Rig& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no X server");
        return;
    }
    if (rig.service->start(mode) != EventTapService::Status::running(mode)) {
        state.SkipWithError("the tap did not start");
        return;
    }
    rig.answer = answer;
    std::vector<double> samples;
    for (auto _ : state) {
        const auto elapsed = rig.tap(callsPerTap);
        if (!elapsed) {
            state.SkipWithError("the handler was not called");
            break;
        }
        state.SetIterationTime(elapsed->count());
        samples.push_back(elapsed->count() * 1e6);
    }
    rig.service->stop();
    benchsupport::reportPercentiles(state, std::move(samples));
}

// A kept key's release comes to the handler too; a replayed one's does not.
void InterceptKept(benchmark::State& state)
{
    run(state, EventTapService::Mode::intercept, true, 2);
}
BENCHMARK(InterceptKept)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

void InterceptReplayed(benchmark::State& state)
{
    run(state, EventTapService::Mode::intercept, false, 1);
}
BENCHMARK(InterceptReplayed)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

void Listen(benchmark::State& state)
{
    run(state, EventTapService::Mode::listen, true, 2);
}
BENCHMARK(Listen)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

void AccessibilityProbe(benchmark::State& state)
{
    Rig& rig = *theRig;
    if (!rig.ready) {
        state.SkipWithError("no X server");
        return;
    }
    InputAccessProbe::installStandard(rig.x11Keyboard);
    for (auto _ : state) {
        if (!EventTapService::hasAccessibility()) {
            state.SkipWithError("the keys were not free");
            break;
        }
    }
    InputAccessProbe::installStandard(nullptr);
}
BENCHMARK(AccessibilityProbe)->Iterations(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithRig(argc, argv, theRig);
}
