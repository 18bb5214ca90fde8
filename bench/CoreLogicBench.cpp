// The core decisions run on the main thread for every key press, tick, hover
// and scroll event: each must stay far inside one 16 ms frame.
#include "VudeKit/ActivityCoordinator.h"
#include "VudeKit/NotchState.h"
#include "VudeKit/ScrollGestureRecognizer.h"
#include "VudeKit/WidgetLayout.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;

namespace {

ActivityPayload payload(ActivityKind kind, ActivityPriority priority, std::string key, Duration duration)
{
    return ActivityPayload(Uuid::random(), kind, priority, std::move(key), ActivityGlyph::symbol("speaker.wave.2.fill"),
                           std::string("MacBook Pro Speakers"), std::nullopt, ActivityTrailing::bar(0.5), duration,
                           std::nullopt, kReferenceDate);
}

// Holding a volume key: every press replaces the sound pill, every tick checks
// the expiry.
void BM_SubmitAndTickSameKey(benchmark::State& state)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    const auto volume = payload(ActivityKind::sound, ActivityPriority::interrupt, "sound", 1500ms);
    for (auto _ : state) {
        clock.advance(30ms);
        benchmark::DoNotOptimize(coordinator.submit(volume));
        benchmark::DoNotOptimize(coordinator.tick());
    }
}
BENCHMARK(BM_SubmitAndTickSameKey);

// A busy mix: queued pills pile up and drop the oldest, interrupts suspend and
// resume them, the ambient one comes back, and every tick moves on.
void BM_SubmitAndTickMixed(benchmark::State& state)
{
    ManualClock clock;
    ActivityCoordinator coordinator(clock);
    coordinator.setAmbient(payload(ActivityKind::nowPlaying, ActivityPriority::ambient, "np", 3600s));
    const std::vector<ActivityPayload> offers{
        payload(ActivityKind::battery, ActivityPriority::queued, "battery", 400ms),
        payload(ActivityKind::connectivity, ActivityPriority::queued, "bt-1", 400ms),
        payload(ActivityKind::calendar, ActivityPriority::queued, "cal", 400ms),
        payload(ActivityKind::focus, ActivityPriority::queued, "focus", 400ms),
        payload(ActivityKind::sound, ActivityPriority::interrupt, "sound", 300ms),
    };
    std::size_t next = 0;
    for (auto _ : state) {
        clock.advance(250ms);
        benchmark::DoNotOptimize(coordinator.submit(offers[next]));
        next = (next + 1) % offers.size();
        benchmark::DoNotOptimize(coordinator.tick());
    }
}
BENCHMARK(BM_SubmitAndTickMixed);

// Hovering in and out of the closed notch: open and close with their effects.
void BM_ApplyHoverOpenClose(benchmark::State& state)
{
    NotchStateGuards guards;
    guards.expandOnHover = true;
    NotchStateMachine machine(NotchState::closed(), guards);
    for (auto _ : state) {
        benchmark::DoNotOptimize(machine.apply(NotchEvent::hoverBegan()));
        benchmark::DoNotOptimize(machine.apply(NotchEvent::hoverEnded()));
    }
}
BENCHMARK(BM_ApplyHoverOpenClose);

// An activity arriving and timing out: the payload is copied into the state.
void BM_ApplyActivityArrivedTimedOut(benchmark::State& state)
{
    NotchStateMachine machine(NotchState::closed());
    const auto arrived = NotchEvent::activityArrived(payload(ActivityKind::sound, ActivityPriority::interrupt,
                                                             "sound", 1500ms));
    for (auto _ : state) {
        benchmark::DoNotOptimize(machine.apply(arrived));
        benchmark::DoNotOptimize(machine.apply(NotchEvent::activityTimedOut()));
    }
}
BENCHMARK(BM_ApplyActivityArrivedTimedOut);

// One scroll event of a trackpad swipe.
void BM_ScrollConsume(benchmark::State& state)
{
    ScrollGestureRecognizer recognizer;
    Date now = kReferenceDate;
    for (auto _ : state) {
        now += 8ms;
        benchmark::DoNotOptimize(recognizer.consume(0.3, 2.5, SwipePhase::changed, now));
    }
}
BENCHMARK(BM_ScrollConsume);

// Laying out all eleven widgets on a narrow screen, with overflow.
void BM_WidgetLayout(benchmark::State& state)
{
    const WidgetLayoutEngine engine{54, 22, 18, 1100};
    const auto all = allCases<WidgetID>();
    const std::unordered_set<WidgetID> enabled(all.begin(), all.end());
    const std::unordered_map<WidgetID, int> cells{{WidgetID::media, 6}, {WidgetID::notes, 3}};
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.layout({WidgetID::notes, WidgetID::media}, enabled, cells, 1200));
}
BENCHMARK(BM_WidgetLayout);

} // namespace
