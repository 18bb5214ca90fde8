#pragma once
// HEIC and HEIF through libheif, for ImageCodec: decoding the primary image
// (with the container's rotation and mirroring applied) and encoding HEVC.
// libheif is opened with the imaging module (ImageLibraries.h) on first use;
// without it these fail with the loader's message.

#include "VudeKit/Expected.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace HeifCodec {

struct Decoded {
    QImage image;
    /// The raw EXIF block (from its TIFF header on), empty when none.
    std::string exif;
};

/// Fails, before decoding, when `fits` says no to the primary image's size.
Expected<Decoded, std::string> decode(std::string_view encoded, const std::function<bool(QSize)>& fits);

/// `quality` in 0...1; `exif` is a TIFF-structured EXIF block or empty. The
/// pixels are copied into the encoder's picture first and `image` is let go
/// of before the encoder's own work, so pixels handed over (moved in) are
/// freed early.
Expected<std::string, std::string> encode(QImage image, double quality, std::string_view exif);

/// Whether this libheif can decode HEVC.
bool canDecode();
/// Whether this libheif can encode HEVC.
bool canEncode();
/// Whether `bytes` start a HEIF file this libheif reads.
bool isSupportedFile(std::string_view bytes);

} // namespace HeifCodec
