#include "VudeUI/qt/GaussianBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

std::array<int, 3> gaussianBoxRadii(double sigma)
{
    // The widths of n boxes whose variances add up to sigma²: the odd width
    // just below the ideal one for the first m boxes, two wider for the rest.
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) /
                                (-4.0 * lower - 4));
    std::array<int, 3> radii{};
    for (int i = 0; i < n; ++i)
        radii[std::size_t(i)] = ((i < m ? lower : upper) - 1) / 2;
    return radii;
}

namespace {

// One box filter along `line` (zero beyond its ends), into `out`.
void boxPass(const std::vector<float>& line, std::vector<float>& out, int radius)
{
    const int length = int(line.size());
    const float scale = 1.0f / float(2 * radius + 1);
    double sum = 0;
    for (int i = 0; i < std::min(radius, length); ++i)
        sum += line[std::size_t(i)];
    for (int i = 0; i < length; ++i) {
        if (i + radius < length)
            sum += line[std::size_t(i + radius)];
        if (i - radius - 1 >= 0)
            sum -= line[std::size_t(i - radius - 1)];
        out[std::size_t(i)] = float(sum) * scale;
    }
}

// One box filter down `width` columns of `rows` rows (zero above and
// below), from `in` into `out`: whole rows at a time, so memory is read in
// order.
void columnBoxPass(const float* in, float* out, int width, int rows, int radius)
{
    const float scale = 1.0f / float(2 * radius + 1);
    std::vector<float> sum(std::size_t(width), 0.0f);
    for (int y = 0; y < std::min(radius, rows); ++y) {
        for (int x = 0; x < width; ++x)
            sum[std::size_t(x)] += in[std::ptrdiff_t(y) * width + x];
    }
    for (int y = 0; y < rows; ++y) {
        if (y + radius < rows) {
            const float* entering = in + std::ptrdiff_t(y + radius) * width;
            for (int x = 0; x < width; ++x)
                sum[std::size_t(x)] += entering[x];
        }
        if (y - radius - 1 >= 0) {
            const float* leaving = in + std::ptrdiff_t(y - radius - 1) * width;
            for (int x = 0; x < width; ++x)
                sum[std::size_t(x)] -= leaving[x];
        }
        float* target = out + std::ptrdiff_t(y) * width;
        for (int x = 0; x < width; ++x)
            target[x] = sum[std::size_t(x)] * scale;
    }
}

} // namespace

QImage gaussianBlurred(const QImage& channel, double sigma)
{
    if (channel.format() != QImage::Format_Alpha8 && channel.format() != QImage::Format_Grayscale8)
        return {};
    if (!(sigma > 0) || !std::isfinite(sigma) || channel.isNull())
        return channel;
    const int width = channel.width();
    const int height = channel.height();
    const std::array<int, 3> radii = gaussianBoxRadii(sigma);

    // Padding as wide as the three boxes together lets the blur spread past
    // the image and come back, as one Gaussian over a zero surround would.
    const int pad = radii[0] + radii[1] + radii[2];
    const int paddedWidth = width + 2 * pad;
    const int paddedHeight = height + 2 * pad;

    // Rows first, each into its place in a buffer with zero rows around it.
    // (Fresh memory is slow to touch, so there is one big buffer only.)
    std::vector<float> a(static_cast<std::size_t>(paddedWidth));
    std::vector<float> b(a.size());
    std::vector<float> tall(std::size_t(width) * std::size_t(paddedHeight), 0.0f);
    for (int y = 0; y < height; ++y) {
        std::fill(a.begin(), a.end(), 0.0f);
        const uchar* row = channel.constScanLine(y);
        std::copy(row, row + width, a.begin() + pad);
        boxPass(a, b, radii[0]);
        boxPass(b, a, radii[1]);
        boxPass(a, b, radii[2]);
        std::copy(b.begin() + pad, b.begin() + pad + width, tall.begin() + std::ptrdiff_t(y + pad) * width);
    }

    // Then the columns, a strip at a time, straight into the result.
    QImage result(width, height, channel.format());
    constexpr int kStrip = 64;
    std::vector<float> stripA(std::size_t(kStrip) * std::size_t(paddedHeight));
    std::vector<float> stripB(stripA.size());
    for (int left = 0; left < width; left += kStrip) {
        const int columns = std::min(kStrip, width - left);
        for (int y = 0; y < paddedHeight; ++y)
            std::copy_n(tall.begin() + std::ptrdiff_t(y) * width + left, columns,
                        stripA.begin() + std::ptrdiff_t(y) * columns);
        columnBoxPass(stripA.data(), stripB.data(), columns, paddedHeight, radii[0]);
        columnBoxPass(stripB.data(), stripA.data(), columns, paddedHeight, radii[1]);
        columnBoxPass(stripA.data(), stripB.data(), columns, paddedHeight, radii[2]);
        for (int y = 0; y < height; ++y) {
            uchar* row = result.scanLine(y) + left;
            const float* values = stripB.data() + std::ptrdiff_t(y + pad) * columns;
            for (int x = 0; x < columns; ++x)
                row[x] = uchar(std::clamp(std::lround(values[x]), 0L, 255L));
        }
    }
    result.setDevicePixelRatio(channel.devicePixelRatio());
    return result;
}
