#pragma once
// Writing one still frame as a GIF through giflib, for ImageCodec. Qt reads
// GIF but cannot write it.

#include "VudeKit/Expected.h"

#include <QImage>

#include <string>

namespace GifWriter {

/// Keeps the exact colours of an image of at most 256 colours (binary
/// transparency included); more colours are reduced to a 256-colour palette
/// with dithering, on white.
Expected<std::string, std::string> encode(const QImage& image);

} // namespace GifWriter
