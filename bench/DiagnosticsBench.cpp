// The trace is written on low-rate events and its tail read once per export;
// both must stay cheap, and the tail's cost must not grow with the file.
#include "VudeServices/DiagnosticsReport.h"
#include "VudeServices/DiagnosticsTrace.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

struct TraceFixture {
    QTemporaryDir root;
    SystemClock clock;
    DiagnosticsTrace trace{Environment::fixed({{"VUDE_TRACE", ""}}), [] { return false; }, clock,
                           [this]() -> Expected<fs::path, std::string> { return fs::path(root.path().toStdString()); }};
    fs::path logFile() const { return fs::path(root.path().toStdString()) / DiagnosticsTrace::kFileName; }
};

} // namespace

static void BM_TraceLine(benchmark::State& state)
{
    TraceFixture fixture;
    for (auto _ : state)
        fixture.trace.trace("audio: volume 0.62 on MacBook Air Speakers");
}
BENCHMARK(BM_TraceLine);

// Reading the last 40 lines of a file of `range(0)` MiB.
static void BM_RecentLogLines(benchmark::State& state)
{
    TraceFixture fixture;
    {
        std::ofstream file(fixture.logFile(), std::ios::binary);
        const std::string line = "09:30:05  audio: volume 0.62 on MacBook Air Speakers\n";
        const auto bytes = static_cast<std::size_t>(state.range(0)) * 1024 * 1024;
        for (std::size_t written = 0; written < bytes; written += line.size())
            file << line;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.trace.recentLogLines(40));
}
BENCHMARK(BM_RecentLogLines)->Arg(1)->Arg(64)->Arg(512);

static void BM_ReportFormatted(benchmark::State& state)
{
    DiagnosticsReport::Inputs inputs;
    inputs.profile = BuildProfile(true);
    inputs.screens = {{"Display 1", "1512×982", "185×32"}};
    inputs.permissions = {{"Input Monitoring", "granted"}, {"Accessibility", "granted"}};
    inputs.logTail.assign(40, "09:30:05  audio: volume 0.62 on MacBook Air Speakers");
    const auto report = DiagnosticsReport::make(inputs);
    for (auto _ : state)
        benchmark::DoNotOptimize(report.formatted());
}
BENCHMARK(BM_ReportFormatted);
