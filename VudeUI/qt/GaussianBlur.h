#pragma once
// A separable Gaussian blur of one 8-bit channel (coverage or alpha). What
// lies outside the image counts as zero, so edges fade out instead of
// smearing; the result keeps the input's size.

#include <QImage>

/// Blurs an Alpha8 or Grayscale8 image with standard deviation `sigma`
/// pixels; the kernel reaches three deviations each way. A `sigma` that is
/// not positive and finite returns the image unchanged; any other format
/// gives a null image.
QImage gaussianBlurred(const QImage& channel, double sigma);
