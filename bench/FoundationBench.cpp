// The shared utilities sit on hot paths (identifiers for every payload, the
// service streams): they must cost next to nothing.
#include "Platform/Core/LatestStream.h"
#include "VudeKit/Uuid.h"

#include <benchmark/benchmark.h>

static void BM_UuidRandom(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Uuid::random());
}
BENCHMARK(BM_UuidRandom);

static void BM_UuidRoundTrip(benchmark::State& state)
{
    const auto text = Uuid::random().toString();
    for (auto _ : state)
        benchmark::DoNotOptimize(Uuid::parse(text)->toString());
}
BENCHMARK(BM_UuidRoundTrip);

static void BM_LatestStreamYieldWithoutConsumer(benchmark::State& state)
{
    LatestStream<double> stream(2);
    double value = 0;
    for (auto _ : state)
        stream.yield(value += 1);
}
BENCHMARK(BM_LatestStreamYieldWithoutConsumer);
