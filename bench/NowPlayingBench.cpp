// The now-playing adapter's lines are read on a background thread as they
// arrive: a diff must cost next to nothing, a replacement carrying artwork is
// dominated by its Base64, and a line that arrives in pipe-sized pieces must
// cost nothing until its newline.
#include "VudeServices/NowPlayingIngest.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <string>

namespace {

constexpr Date kNow = kReferenceDate;

std::string replacementWithArtwork(std::size_t artworkBytes)
{
    const QByteArray artwork(static_cast<qsizetype>(artworkBytes), 'x');
    return R"({"diff":false,"payload":{"title":"Song","artist":"Artist","album":"Album","duration":215.5,)"
           R"("elapsedTime":12.25,"playbackRate":1,"playing":true,"artworkMimeType":"image/jpeg","artworkData":")" +
           artwork.toBase64().toStdString() + "\"}}\n";
}

} // namespace

static void BM_IngestDiffLine(benchmark::State& state)
{
    NowPlayingIngest ingest;
    ingest.ingest(replacementWithArtwork(64 * 1024), kNow);
    const std::string line = R"({"diff":true,"payload":{"elapsedTime":42.5,"playbackRate":0,"playing":false}})"
                             "\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(ingest.ingest(line, kNow));
}
BENCHMARK(BM_IngestDiffLine);

static void BM_IngestReplacementWithArtwork(benchmark::State& state)
{
    NowPlayingIngest ingest;
    const std::string line = replacementWithArtwork(static_cast<std::size_t>(state.range(0)) * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(ingest.ingest(line, kNow));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_IngestReplacementWithArtwork)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);

// The same 512 KiB-artwork line, as a pipe delivers it: 64 KiB at a time.
static void BM_IngestReplacementInPipeReads(benchmark::State& state)
{
    NowPlayingIngest ingest;
    const std::string line = replacementWithArtwork(512 * 1024);
    const std::size_t read = 64 * 1024;
    for (auto _ : state)
        for (std::size_t start = 0; start < line.size(); start += read)
            benchmark::DoNotOptimize(ingest.ingest(std::string_view(line).substr(start, read), kNow));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_IngestReplacementInPipeReads)->Unit(benchmark::kMicrosecond);
