#pragma once
// A separable Gaussian blur of one 8-bit channel (coverage or alpha). What
// lies outside the image counts as zero, so edges fade out instead of
// smearing; the result keeps the input's size. Each axis is blurred by three
// successive box filters whose widths match the deviation, which follows the
// Gaussian within about 2 % of its peak at a cost that does not grow with the
// radius.

#include <QImage>

#include <array>

/// Blurs an Alpha8 or Grayscale8 image with standard deviation `sigma`
/// pixels. A `sigma` that is not positive and finite returns the image
/// unchanged; any other format gives a null image.
QImage gaussianBlurred(const QImage& channel, double sigma);

/// The radii of the three box filters that together approximate a Gaussian
/// of deviation `sigma` (each box is 2r + 1 wide).
std::array<int, 3> gaussianBoxRadii(double sigma);
