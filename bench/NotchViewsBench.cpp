// One full repaint of what the notch shows while media plays: the surface
// (outline filled and stroked) with an activity pill, or with the ambient
// now-playing item. A moving waveform repaints every frame, so each must leave
// most of a 60 Hz frame (16.7 ms) to the rest of the app. Painted the way
// the root view paints them, at one and at two device pixels a point, with
// the cover already decoded. Also the main thread's one-off cost of keying a
// new cover, and the worker's cost of decoding one.
#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "Vude/Shell/Views/ActivityPillView.h"
#include "Vude/Shell/Views/AmbientMediaView.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "Vude/Shell/Views/ArtworkView.h"
#include "Vude/Shell/NotchSurfaceLayout.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

Data encodedCover(int side, const char* format)
{
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor(0xD9, 0x6C, 0x3B));
    gradient.setColorAt(1, QColor(0x3B, 0x2A, 0x6E));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.write(image);
    const QByteArray bytes = buffer.data();
    return Data(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

const Data& cover()
{
    static const Data bytes = encodedCover(600, "jpeg");
    return bytes;
}

ActivityPayload nowPlaying(ActivityPriority priority)
{
    return ActivityPayload(Uuid::random(), ActivityKind::nowPlaying, priority, std::nullopt,
                           ActivityGlyph::artwork(cover()), std::string("Harbour Lights"),
                           std::string("The Quiet Coast"), ActivityTrailing::waveform(true), 4s, std::nullopt,
                           kReferenceDate);
}

/// Runs the event loop until `ready` holds: the worker's decode lands there.
void waitFor(const std::function<bool()>& ready)
{
    QElapsedTimer timer;
    timer.start();
    while (!ready() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct Rig {
    SteadyClock clock;
    ManualClock manual;
    ManualScheduler scheduler{manual};
    ArtworkCache cache;
};

/// The root view's paint of one frame: the surface, then the content.
template <typename View>
void repaint(benchmark::State& state, View& view, Size contentSize)
{
    const double scale = double(state.range(0));
    const NotchSurfaceLayout::Target target =
        NotchSurfaceLayout::target(NotchState::closed(), contentSize, 12);
    const double canvasWidth = contentSize.width + 24;
    QImage image(QSize(int(canvasWidth * scale), int((contentSize.height + 6) * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    const Rect surface = NotchSurfaceLayout::surfaceRect(canvasWidth, {target.width, target.height});
    const QRectF content = [&] {
        const Rect r = NotchSurfaceLayout::contentRect(surface, target.horizontalPadding);
        return QRectF(r.x, r.y, r.width, r.height);
    }();
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QPainterPath outline = toQPainterPath(
            NotchShape(NotchSurfaceLayout::topRadius, target.bottomRadius).path(surface));
        painter.fillPath(outline, toQColor(Vude::Ink::x1000));
        painter.strokePath(outline, QPen(toQColor(Vude::contrastOutline), 1));
        painter.setClipPath(outline);
        view.paint(painter, content);
    }
}

} // namespace

// The expanded now-playing pill: 34-point cover, two lines of text, waveform.
static void BM_PillRepaint(benchmark::State& state)
{
    Rig rig;
    ActivityPillView pill(nowPlaying(ActivityPriority::queued), true, 184, rig.scheduler, rig.clock, rig.cache,
                          nullptr);
    waitFor([&] { return pill.artwork()->image().has_value(); });
    // 2 × wing + notch + chrome, as the sizing gives it for this payload.
    repaint(state, pill, {2 * 160 + 184 + 24, 48});
}
BENCHMARK(BM_PillRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A volume pill: tinted symbol, title, bar.
static void BM_VolumePillRepaint(benchmark::State& state)
{
    Rig rig;
    ActivityPillView pill(ActivityPayload(Uuid::random(), ActivityKind::sound, ActivityPriority::interrupt,
                                          std::nullopt,
                                          ActivityGlyph::symbolTinted("speaker.wave.2.fill", TintName::brass),
                                          std::string("Built-in Speakers"), std::nullopt,
                                          ActivityTrailing::bar(0.5), 2s, std::nullopt, kReferenceDate),
                          false, 184, rig.scheduler, rig.clock, rig.cache, nullptr);
    repaint(state, pill, {2 * 171 + 184 + 24, 32});
}
BENCHMARK(BM_VolumePillRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The ambient item hovered: cover, waveform, and the title row.
static void BM_AmbientRepaint(benchmark::State& state)
{
    Rig rig;
    AmbientMediaView ambient(nowPlaying(ActivityPriority::ambient), true, 184, rig.scheduler, rig.clock, rig.cache,
                             nullptr);
    waitFor([&] { return ambient.artwork().image().has_value(); });
    repaint(state, ambient, {184 + 92, 30 + 24});
}
BENCHMARK(BM_AmbientRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Keying a cover the view has not seen: once per new buffer, on the main
// thread. The argument is the cover's size in KiB.
static void BM_ArtworkKeyOfANewCover(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes(std::size_t(state.range(0)) * 1024, 0x5A);
    for (auto _ : state)
        benchmark::DoNotOptimize(ArtworkCache::cacheKey(bytes, 26));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_ArtworkKeyOfANewCover)->Arg(100)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

// Decoding a cover at 3 × 26 pixels, on the worker. The argument is the
// side of the encoded JPEG.
static void BM_ArtworkDownsample(benchmark::State& state)
{
    const Data jpeg = encodedCover(int(state.range(0)), "jpeg");
    for (auto _ : state)
        benchmark::DoNotOptimize(ArtworkCache::downsample(jpeg.bytes(), 78));
}
BENCHMARK(BM_ArtworkDownsample)->Arg(600)->Arg(3000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
