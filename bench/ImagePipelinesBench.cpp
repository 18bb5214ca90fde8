// Compress and Convert on one 12 MP JPEG, side by side with libvips and
// ImageMagick doing the same job from their command lines (`make bench`
// installs both). The command-line runs include their process start-up;
// BM_*Startup measures that alone so it can be told apart.
#include "VudeServices/ImagePipelines.h"
#include "VudeServices/PipelineSupport.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr int photoWidth = 4000;
constexpr int photoHeight = 3000;

struct Fixture {
    QTemporaryDir root;
    fs::path photo;
    fs::path outputs;

    Fixture()
    {
        const fs::path base = root.path().toStdString();
        photo = base / "photo.jpg";
        outputs = base / "out";
        fs::create_directories(outputs);
        // Gradients, shapes and sensor-like noise: compresses like a photo
        // rather than like a flat test card.
        QImage image(photoWidth, photoHeight, QImage::Format_RGB32);
        std::mt19937 random(12);
        std::uniform_int_distribution<int> noise(-12, 12);
        for (int y = 0; y < photoHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < photoWidth; ++x) {
                const int base = (x * 255 / photoWidth + y * 255 / photoHeight) / 2;
                line[x] = qRgb(std::clamp(base + noise(random), 0, 255), std::clamp(255 - base + noise(random), 0, 255),
                               std::clamp((x ^ y) % 256 / 2 + noise(random), 0, 255));
            }
        }
        QPainter painter(&image);
        for (int i = 0; i < 40; ++i)
            painter.fillRect(QRect((i * 397) % photoWidth, (i * 211) % photoHeight, 300, 200),
                             QColor::fromHsv(i * 9 % 360, 180, 200));
        painter.end();
        image.save(QString::fromStdString(photo.string()), "jpeg", 90);
    }

    /// Empties the output folder; returns the bytes that were in it.
    std::uintmax_t clearOutputs() const
    {
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::directory_iterator(outputs))
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

void runPipeline(benchmark::State& state, const DropPipeline& pipeline)
{
    const Fixture& f = fixture();
    const ProgressReporter quiet([](double, const std::string&) {});
    for (auto _ : state) {
        const auto result = pipeline.run({f.photo}, f.outputs, quiet);
        // A skipped run must leave the loop itself, timers untouched.
        if (!result) {
            state.SkipWithError(result.error().message().c_str());
            break;
        }
        state.PauseTiming();
        state.counters["output_MB"] = double(f.clearOutputs()) / 1e6;
        state.ResumeTiming();
    }
}

void runTool(benchmark::State& state, const fs::path& tool, const std::vector<std::string>& arguments)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        const auto result = PipelineSupport::shell(tool, arguments);
        if (!result) {
            state.SkipWithError(result.error().errorDescription().c_str());
            break;
        }
        state.PauseTiming();
        state.counters["output_MB"] = double(f.clearOutputs()) / 1e6;
        state.ResumeTiming();
    }
}

std::string output(const char* name)
{
    return (fixture().outputs / name).string();
}

// ImageMagick 6 installs its tools under versioned names.
const fs::path magick = "/usr/bin/convert-im6.q16";
const fs::path vips = "/usr/bin/vips";

void BM_Compress_Vude(benchmark::State& state)
{
    runPipeline(state, CompressImagePipeline());
}

void BM_Compress_Vips(benchmark::State& state)
{
    runTool(state, vips,
            {"thumbnail", fixture().photo.string(), output("photo-compressed.jpg[Q=70]"), "2048", "--height", "2048",
             "--size", "down"});
}

void BM_Compress_ImageMagick(benchmark::State& state)
{
    runTool(state, magick,
            {fixture().photo.string(), "-auto-orient", "-resize", "2048x2048>", "-quality", "70",
             output("photo-compressed.jpg")});
}

void BM_ConvertToPNG_Vude(benchmark::State& state)
{
    runPipeline(state, ConvertFormatPipeline());
}

void BM_ConvertToPNG_Vips(benchmark::State& state)
{
    runTool(state, vips, {"copy", fixture().photo.string(), output("photo.png")});
}

void BM_ConvertToPNG_ImageMagick(benchmark::State& state)
{
    runTool(state, magick, {fixture().photo.string(), output("photo.png")});
}

void BM_Startup_Vips(benchmark::State& state)
{
    runTool(state, vips, {"--version"});
}

void BM_Startup_ImageMagick(benchmark::State& state)
{
    runTool(state, magick, {"-version"});
}

} // namespace

BENCHMARK(BM_Compress_Vude)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Compress_Vips)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Compress_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertToPNG_Vude)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertToPNG_Vips)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertToPNG_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Startup_Vips)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Startup_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();
