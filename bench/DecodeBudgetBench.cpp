// Peak memory of one conversion, for files that are small on disk but large
// once decoded (decompression bombs) and for an ordinary photo beside them.
// Each conversion runs in a child process of its own, started from this
// small parent, and its peak is the child's ru_maxrss; an address-space
// limit would not do, as the sanitizer build reserves terabytes of shadow
// memory. Build it optimised (`make bench`) for figures that mean anything.
//
//   DecodeBudgetBench                       generate, convert, print a table
//   DecodeBudgetBench generate <folder>     (child) write the inputs
//   DecodeBudgetBench convert <file> <folder> <target> [maximum side]
//                                           (child) one conversion
#include "Platform/Images/ImageCodec.h"
#include "Platform/Images/ImageFormat.h"
#include "VudeServices/ImagePipelines.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int bombSide = 11000;

void writeImage(const QImage& image, const fs::path& path, const char* format, int quality)
{
    QImageWriter writer(QString::fromStdString(path.string()), format);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

int generate(const fs::path& folder)
{
    {
        // One colour compresses about a thousand to one in a PNG.
        QImage flat(bombSide, bombSide, QImage::Format_ARGB32);
        flat.fill(qRgba(40, 120, 200, 255));
        writeImage(flat, folder / "bomb.png", "png", 0);
        writeImage(flat.convertToFormat(QImage::Format_RGB32), folder / "bomb.webp", "webp", 100);
    }
    // A 12 MP photo-like image for comparison.
    QImage photo(4000, 3000, QImage::Format_RGB32);
    std::mt19937 random(12);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(std::clamp(x / 16 + noise(random), 0, 255), std::clamp(y / 12 + noise(random), 0, 255),
                           std::clamp(128 + noise(random), 0, 255));
    }
    writeImage(photo, folder / "photo.jpg", "jpeg", 90);
    writeImage(photo.convertToFormat(QImage::Format_ARGB32), folder / "photo.png", "png", 50);
    writeImage(photo, folder / "photo.webp", "webp", 90);
    writeImage(photo, folder / "lossless.webp", "webp", 100);
    const auto heic = ImageCodec::encode(photo, {ImageFormat::heic, 0.9, {}});
    if (!heic)
        return 1;
    std::ofstream(folder / "photo.heic", std::ios::binary) << *heic;
    return 0;
}

int convert(const fs::path& input, const fs::path& folder, const std::string& target, std::optional<double> maxSide)
{
    const auto format = enumFromRaw<ImageFormat>(target);
    if (!format)
        return 2;
    fs::create_directories(folder);
    const auto progress = ProgressReporter([](double, const std::string&) {});
    PipelineRunResult result = target == "jpeg" && maxSide
        ? CompressImagePipeline(0.7, maxSide).run({input}, folder, progress)
        : ConvertFormatPipeline(*format).run({input}, folder, progress);
    if (!result) {
        std::printf("%s\n", result.error().message().c_str());
        return 1;
    }
    std::printf("wrote %s\n", result->front().filename().c_str());
    return 0;
}

struct Run {
    int status = -1;
    long peakKiB = 0;
    double seconds = 0;
    std::string output;
};

Run runChild(const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv("/proc/self/exe", argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    Run run;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage {};
    ::wait4(child, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakKiB = usage.ru_maxrss;
    while (!run.output.empty() && run.output.back() == '\n')
        run.output.pop_back();
    return run;
}

int measure(const std::string& self)
{
    QTemporaryDir root;
    const fs::path base = root.path().toStdString();
    if (runChild({self, "generate", base.string()}).status != 0)
        return 1;
    struct Case {
        const char* input;
        const char* target;
        std::optional<double> maxSide;
    };
    std::vector<Case> cases;
    for (const char* target : {"jpeg", "png", "tiff", "gif", "bmp", "webp", "heic"})
        cases.push_back({"photo.jpg", target, std::nullopt});
    cases.insert(cases.end(), {
        {"photo.jpg", "jpeg", 2048}, {"photo.png", "jpeg", std::nullopt}, {"photo.heic", "png", std::nullopt},
        {"photo.webp", "jpeg", std::nullopt}, {"lossless.webp", "jpeg", std::nullopt},
        {"bomb.png", "heic", std::nullopt}, {"bomb.png", "png", std::nullopt}, {"bomb.png", "jpeg", 2048},
        {"bomb.webp", "heic", std::nullopt}, {"bomb.webp", "tiff", std::nullopt}, {"bomb.webp", "jpeg", 2048},
    });
    std::printf("%-13s %9s  %-9s %8s %8s  %s\n", "input", "size", "to", "peak MiB", "seconds", "result");
    for (const auto& row : cases) {
        std::vector<std::string> arguments{self, "convert", (base / row.input).string(),
                                           (base / ("out-" + std::string(row.input) + "-" + row.target)).string(),
                                           row.target};
        if (row.maxSide)
            arguments.push_back(std::to_string(static_cast<int>(*row.maxSide)));
        const Run run = runChild(arguments);
        std::printf("%-13s %6.0f KB  %-9s %8.1f %8.2f  %s\n", row.input,
                    double(fs::file_size(base / row.input)) / 1000.0,
                    (std::string(row.target) + (row.maxSide ? " 2048" : "")).c_str(), double(run.peakKiB) / 1024.0,
                    run.seconds, run.status == 0 || run.status == 1 ? run.output.c_str() : "crashed");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "generate") == 0)
        return generate(argv[2]);
    if (argc >= 5 && std::strcmp(argv[1], "convert") == 0)
        return convert(argv[2], argv[3], argv[4], argc >= 6 ? std::optional<double>(std::stod(argv[5])) : std::nullopt);
    return measure(argv[0]);
}
