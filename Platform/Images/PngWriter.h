#pragma once
// Writing 8-bit RGB and RGBA pictures as PNG, for ImageCodec. The picture is
// cut into bands of rows that are filtered and deflated on several threads at
// once, then joined into one zlib stream (each band primed with the end of the
// band before, so the joins cost almost nothing in size). Qt's writer deflates
// on one thread and tries every row filter, which makes a photo three to four
// times slower to write.

#include "VudeKit/Expected.h"

#include <QImage>

#include <string>

namespace PngWriter {

/// Whether `encode` writes this picture: 8 bits a channel, colour, with or
/// without alpha. Greyscale, indexed and 16-bit pictures are left to Qt's
/// writer, which keeps their depth.
bool writes(const QImage& image);

/// The PNG of `image`: its pixels, its resolution and its colour space (as an
/// ICC profile), nothing else. `threads` 0 uses the machine's cores; the bytes
/// are the same at any number of threads.
Expected<std::string, std::string> encode(const QImage& image, int threads = 0);

} // namespace PngWriter
