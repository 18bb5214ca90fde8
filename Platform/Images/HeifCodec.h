#pragma once
// HEIC and HEIF through libheif, for ImageCodec: decoding the primary image
// (with the container's rotation and mirroring applied) and encoding HEVC.

#include "VudeKit/Expected.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

namespace HeifCodec {

struct Decoded {
    QImage image;
    /// The raw EXIF block (from its TIFF header on), empty when none.
    std::string exif;
};

/// Fails, before decoding, for images of more than `maxPixels` pixels.
Expected<Decoded, std::string> decode(std::string_view encoded, std::int64_t maxPixels);

/// `quality` in 0...1; `exif` is a TIFF-structured EXIF block or empty.
Expected<std::string, std::string> encode(const QImage& image, double quality, std::string_view exif);

/// Whether this libheif can encode HEVC.
bool canEncode();

} // namespace HeifCodec
