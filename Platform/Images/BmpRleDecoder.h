#pragma once
// Run-length-encoded BMPs (4 and 8 bits a pixel), decoded here rather than by
// Qt: their data may skip pixels (a delta, an early end of line or of the
// image) and Qt leaves those pixels as the allocator handed them over. Here
// every pixel starts transparent, so nothing but the file shows in the output.

#include "VudeKit/Expected.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

namespace BmpRleDecoder {

/// Whether `encoded` is a BMP whose pixels are run-length encoded.
bool isRunLengthEncoded(std::string_view encoded);

/// The stored width and height; invalid when the header is unreadable.
QSize storedSize(std::string_view encoded);

/// The pixels, opaque (RGB32) unless the data skips some: then ARGB32 with
/// the skipped ones transparent. Fails for a header that makes no sense,
/// more than `maxPixels` pixels, or data that ends before its end mark (a
/// cut-off file).
Expected<QImage, std::string> decode(std::string_view encoded, std::int64_t maxPixels);

} // namespace BmpRleDecoder
