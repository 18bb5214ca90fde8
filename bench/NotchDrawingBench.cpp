// The per-frame and per-change work of drawing the notch: the outline, the
// pill's width, one spring step and one symbol. Together they must leave most
// of a 60 Hz frame (16.7 ms) to the rest of the app.
#include "VudeUI/ActivityMetrics.h"
#include "VudeUI/AnimationTrack.h"
#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>

static void BM_NotchOutlineFill(benchmark::State& state)
{
    QImage image(420, 48, QImage::Format_ARGB32_Premultiplied);
    const NotchShape shape(Vude::Radius::notchTop, Vude::Radius::notchBottomClosed);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(toQPainterPath(shape.path(UIRect{0, 0, 420, 48})), Qt::black);
    }
}
BENCHMARK(BM_NotchOutlineFill);

static void BM_PillWidthWithFontMetrics(benchmark::State& state)
{
    const QtTextMeasurer measurer;
    const ActivityMetrics metrics(measurer);
    const ActivityPayload payload(Uuid(), ActivityKind::sound, ActivityPriority::interrupt, std::nullopt,
                                  ActivityGlyph::symbolTinted("speaker.wave.2.fill", TintName::brass),
                                  std::string("MacBook Air Speakers"), std::nullopt, ActivityTrailing::percent(0.62),
                                  std::chrono::milliseconds(1500), std::nullopt, kReferenceDate);
    for (auto _ : state)
        benchmark::DoNotOptimize(metrics.width(payload, false, 180, 24));
}
BENCHMARK(BM_PillWidthWithFontMetrics);

static void BM_SpringFrame(benchmark::State& state)
{
    const AnimationTrack track(Vude::Motion::open, 14, 34, 120);
    Duration t{};
    for (auto _ : state) {
        t += std::chrono::microseconds(16667);
        if (t > std::chrono::seconds(1))
            t = Duration::zero();
        benchmark::DoNotOptimize(track.value(t));
        benchmark::DoNotOptimize(track.isFinished(t));
    }
}
BENCHMARK(BM_SpringFrame);

static void BM_SymbolDraw(benchmark::State& state)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        SymbolCatalog::draw(painter, QRectF(0, 0, 40, 40), "speaker.wave.2.fill", toQColor(Vude::Stone::x100), 14);
    }
}
BENCHMARK(BM_SymbolDraw);

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
