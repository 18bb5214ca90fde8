#include "Platform/Images/GifWriter.h"

#include "Platform/Images/ImageLibraries.h"

namespace GifWriter {

Expected<std::string, std::string> encode(const QImage& image)
{
    const auto libraries = ImageLibraries::shared();
    if (!libraries)
        return unexpected(libraries.error());
    return (*libraries)->encodeGif(image);
}

} // namespace GifWriter
