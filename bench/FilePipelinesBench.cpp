// Zip and Unzip of about 100 MB of mixed files (text, source code, photos
// that are compressed already, semi-structured binaries), side by side with
// Info-ZIP's `zip -r`/`unzip` and libarchive's `bsdtar` doing the same job
// from their command lines (`make bench` installs them). The command-line
// runs include their process start-up, a few milliseconds. Our archive is
// flushed to disk before it gets its name; the tools' are not.
#include "VudeServices/FilePipelines.h"
#include "VudeServices/PipelineSupport.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

struct Fixture {
    QTemporaryDir root;
    fs::path mixed;
    fs::path outputs;
    fs::path archive;
    std::uintmax_t inputBytes = 0;

    Fixture()
    {
        const fs::path base = root.path().toStdString();
        mixed = base / "mixed";
        outputs = base / "out";
        archive = base / "mixed.zip";
        fs::create_directories(outputs);
        std::mt19937_64 random(7);
        const char* words[] = {"error", "request", "user", "cache", "GET", "/api/v2/items", "200", "404", "timeout",
                               "retry", "session", "2024-05-01T10:22:31Z", "ok", "worker-3", "latency_ms="};
        const auto text = [&](std::size_t bytes) {
            std::string out;
            while (out.size() < bytes) {
                out += words[random() % std::size(words)];
                out += (random() % 9 == 0) ? '\n' : ' ';
                out += std::to_string(random() % 10000);
                out += ' ';
            }
            out.resize(bytes);
            return out;
        };
        const auto noise = [&](std::size_t bytes, std::string_view head) {
            std::string out(head);
            while (out.size() < bytes) {
                const auto value = random();
                out.append(reinterpret_cast<const char*>(&value), sizeof value);
            }
            out.resize(bytes);
            return out;
        };
        const auto structured = [&](std::size_t bytes) {
            // Records with small counters and repeated padding: halves or so.
            std::string out;
            for (std::uint32_t i = 0; out.size() < bytes; ++i) {
                const std::uint64_t record[4] = {i, random() % 256, 0, random()};
                out.append(reinterpret_cast<const char*>(record), sizeof record);
            }
            out.resize(bytes);
            return out;
        };
        const auto write = [this](const fs::path& relative, const std::string& bytes) {
            fs::create_directories((mixed / relative).parent_path());
            std::ofstream(mixed / relative, std::ios::binary) << bytes;
            inputBytes += bytes.size();
        };
        for (int i = 0; i < 200; ++i)
            write("logs/day-" + std::to_string(i) + ".log", text(200 * 1024));
        for (int i = 0; i < 1000; ++i)
            write("src/module" + std::to_string(i % 20) + "/file" + std::to_string(i) + ".cpp", text(10 * 1024));
        for (int i = 0; i < 15; ++i)
            write("photos/IMG_" + std::to_string(1000 + i) + ".jpg", noise(2 << 20, "\xFF\xD8\xFF\xE0"));
        for (int i = 0; i < 10; ++i)
            write("data/table" + std::to_string(i) + ".bin", structured(2 << 20));
        if (!ZipArchive::create({mixed}, archive))
            std::abort();
    }

    /// Empties the output folder; returns the bytes that were in it.
    std::uintmax_t clearOutputs() const
    {
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(outputs))
            if (entry.is_regular_file())
                bytes += entry.file_size();
        fs::remove_all(outputs);
        fs::create_directories(outputs);
        return bytes;
    }
};

const Fixture& fixture()
{
    static const Fixture shared;
    return shared;
}

void finishIteration(benchmark::State& state)
{
    state.PauseTiming();
    state.counters["output_MB"] = double(fixture().clearOutputs()) / 1e6;
    state.counters["input_MB"] = double(fixture().inputBytes) / 1e6;
    state.ResumeTiming();
}

void runPipeline(benchmark::State& state, const DropPipeline& pipeline, const fs::path& input)
{
    const ProgressReporter quiet([](double, const std::string&) {});
    for (auto _ : state) {
        const auto result = pipeline.run({input}, fixture().outputs, quiet);
        if (!result) {
            state.SkipWithError(result.error().message().c_str());
            break;
        }
        finishIteration(state);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture().inputBytes));
}

void runTool(benchmark::State& state, const fs::path& tool, const std::vector<std::string>& arguments)
{
    for (auto _ : state) {
        const auto result = PipelineSupport::shell(tool, arguments);
        if (!result) {
            state.SkipWithError(result.error().errorDescription().c_str());
            break;
        }
        finishIteration(state);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture().inputBytes));
}

std::string output(const char* name)
{
    return (fixture().outputs / name).string();
}

void BM_Zip_Vude(benchmark::State& state)
{
    runPipeline(state, ZipPipeline(), fixture().mixed);
}

void BM_Zip_InfoZip(benchmark::State& state)
{
    runTool(state, "/usr/bin/zip", {"-q", "-r", "-y", output("mixed.zip"), fixture().mixed.string()});
}

void BM_Zip_Bsdtar(benchmark::State& state)
{
    runTool(state, "/usr/bin/bsdtar",
            {"--format", "zip", "-cf", output("mixed.zip"), "-C", fixture().mixed.parent_path().string(), "mixed"});
}

void BM_Unzip_Vude(benchmark::State& state)
{
    runPipeline(state, UnzipPipeline(), fixture().archive);
}

void BM_Unzip_InfoZip(benchmark::State& state)
{
    runTool(state, "/usr/bin/unzip", {"-q", fixture().archive.string(), "-d", output("mixed.unzipped")});
}

void BM_Unzip_Bsdtar(benchmark::State& state)
{
    runTool(state, "/usr/bin/bsdtar", {"-xf", fixture().archive.string(), "-C", fixture().outputs.string()});
}

} // namespace

BENCHMARK(BM_Zip_Vude)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Zip_InfoZip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Zip_Bsdtar)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Unzip_Vude)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Unzip_InfoZip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Unzip_Bsdtar)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
