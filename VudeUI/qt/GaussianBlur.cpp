#include "VudeUI/qt/GaussianBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::vector<float> kernel(double sigma)
{
    const int radius = int(std::ceil(3 * sigma));
    std::vector<float> weights(std::size_t(2 * radius + 1));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const double weight = std::exp(-double(i) * i / (2 * sigma * sigma));
        weights[std::size_t(i + radius)] = float(weight);
        sum += weight;
    }
    for (float& weight : weights)
        weight = float(weight / sum);
    return weights;
}

// One pass along lines of `length` samples, `count` lines; `step` is the
// distance between neighbours of a line, `stride` between lines.
void blurLines(const float* in, float* out, int length, int count, std::ptrdiff_t step, std::ptrdiff_t stride,
               const std::vector<float>& weights)
{
    const int radius = int(weights.size() / 2);
    for (int line = 0; line < count; ++line) {
        const float* source = in + line * stride;
        float* target = out + line * stride;
        for (int i = 0; i < length; ++i) {
            const int from = std::max(0, i - radius);
            const int to = std::min(length - 1, i + radius);
            float sum = 0;
            for (int j = from; j <= to; ++j)
                sum += source[j * step] * weights[std::size_t(j - i + radius)];
            target[i * step] = sum;
        }
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
    std::vector<float> a(std::size_t(width) * std::size_t(height));
    std::vector<float> b(a.size());
    for (int y = 0; y < height; ++y) {
        const uchar* row = channel.constScanLine(y);
        std::copy(row, row + width, a.begin() + std::ptrdiff_t(y) * width);
    }
    const std::vector<float> weights = kernel(sigma);
    blurLines(a.data(), b.data(), width, height, 1, width, weights);  // rows
    blurLines(b.data(), a.data(), height, width, width, 1, weights); // columns

    QImage result(width, height, channel.format());
    for (int y = 0; y < height; ++y) {
        uchar* row = result.scanLine(y);
        const float* values = a.data() + std::ptrdiff_t(y) * width;
        for (int x = 0; x < width; ++x)
            row[x] = uchar(std::clamp(std::lround(values[x]), 0L, 255L));
    }
    result.setDevicePixelRatio(channel.devicePixelRatio());
    return result;
}
