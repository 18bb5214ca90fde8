#pragma once
// For benchmark programs whose benchmarks share one rig (private daemons and
// the objects under test) made once for the run, and time latencies.

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace benchsupport {

/// Runs the event loop until `condition` holds; false once `timeout` passed.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

/// Google Benchmark reports means; latencies want the median and the tail too.
inline void reportPercentiles(benchmark::State& state, std::vector<double> microseconds)
{
    if (microseconds.empty())
        return;
    std::ranges::sort(microseconds);
    const auto at = [&](double share) {
        return microseconds[static_cast<std::size_t>(share * static_cast<double>(microseconds.size() - 1))];
    };
    state.counters["median_us"] = at(0.5);
    state.counters["p90_us"] = at(0.9);
    state.counters["max_us"] = microseconds.back();
}

/// The program's main(): the benchmarks run with `current` pointing at a Rig
/// made for them, which ends while the application object still exists.
template <typename Rig>
int runWithRig(int argc, char** argv, Rig*& current)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        Rig rig;
        current = &rig;
        benchmark::RunSpecifiedBenchmarks();
        current = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}

} // namespace benchsupport
