#include "Platform/Images/HeifCodec.h"

#include "Platform/Images/ImageLibraries.h"

namespace HeifCodec {

Expected<Decoded, std::string> decode(std::string_view encoded, const std::function<bool(QSize)>& fits)
{
    const auto libraries = ImageLibraries::shared();
    if (!libraries)
        return unexpected(libraries.error());
    return (*libraries)->decodeHeif(encoded, fits);
}

Expected<std::string, std::string> encode(QImage image, double quality, std::string_view exif)
{
    const auto libraries = ImageLibraries::shared();
    if (!libraries)
        return unexpected(libraries.error());
    return (*libraries)->encodeHeif(std::move(image), quality, exif);
}

bool canDecode()
{
    const auto libraries = ImageLibraries::shared();
    return libraries && (*libraries)->canDecodeHeif();
}

bool canEncode()
{
    const auto libraries = ImageLibraries::shared();
    return libraries && (*libraries)->canEncodeHeif();
}

bool isSupportedFile(std::string_view bytes)
{
    const auto libraries = ImageLibraries::shared();
    return libraries && (*libraries)->isSupportedHeif(bytes);
}

} // namespace HeifCodec
