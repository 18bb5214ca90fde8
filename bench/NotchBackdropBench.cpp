// Rendering the notch backdrop's glow runs on the main thread whenever the
// drawn notch changes size or radius (opening the Desk, a wider pill), so it
// should stay well inside one 60 Hz frame (16.7 ms), also at a 2x scale.
#include "Vude/Shell/NotchBackdropPanel.h"

#include <benchmark/benchmark.h>

// The resting notch (200 x 32 canvas) and an open Desk (1100 x 214 canvas).
static void BM_BackdropRender(benchmark::State& state)
{
    const bool open = state.range(0) != 0;
    const double scale = double(state.range(1));
    const Size shape = open ? Size{1088, 208} : Size{188, 26};
    const Size window{shape.width + 52, shape.height + 26};
    for (auto _ : state)
        benchmark::DoNotOptimize(NotchBackdropPanel::render(window, shape, 6, open ? 34 : 14, 26, scale));
}
BENCHMARK(BM_BackdropRender)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond);

#include "VudeUI/qt/GaussianBlur.h"

// The blur alone, on the open Desk's coverage at 2x.
static void BM_GaussianBlurOpenDesk2x(benchmark::State& state)
{
    QImage coverage(2280, 468, QImage::Format_Alpha8);
    coverage.fill(0);
    for (int y = 0; y < 416; ++y)
        std::fill(coverage.scanLine(y) + 52, coverage.scanLine(y) + 2228, uchar(255));
    for (auto _ : state)
        benchmark::DoNotOptimize(gaussianBlurred(coverage, 26 * 0.42 * 2));
}
BENCHMARK(BM_GaussianBlurOpenDesk2x)->Unit(benchmark::kMillisecond);
