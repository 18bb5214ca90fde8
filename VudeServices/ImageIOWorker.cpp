#include "VudeServices/ImageIOWorker.h"

#include "Platform/Images/ImageCodec.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/PipelineSupport.h"

#include <cmath>

namespace ImageIOWorker {

Expected<void, PipelineError> reencode(const std::filesystem::path& source, const std::filesystem::path& destination,
                                       ImageFormat type, double quality, std::optional<double> maxDimension,
                                       bool stripMetadata)
{
    ImageCodec::DecodeOptions decoding;
    decoding.withMetadata = !stripMetadata;
    decoding.encodingAs = type;
    // A bound below one pixel (or NaN) bounds nothing.
    if (maxDimension && *maxDimension >= 1)
        decoding.maxPixelSize = saturatingCast<int>(std::floor(*maxDimension));
    auto decoded = ImageCodec::decodeFile(source, decoding);
    if (!decoded)
        return unexpected(PipelineError::readFailed(PipelineSupport::fileName(source)));

    ImageCodec::EncodeOptions encoding;
    encoding.format = type;
    encoding.quality = quality;
    if (!stripMetadata)
        encoding.metadata = std::move(decoded->metadata);
    // Handed over, so an encoder may free the pixels once it has its own copy.
    const auto encoded = ImageCodec::encode(std::move(decoded->image), encoding);
    if (!encoded)
        return unexpected(PipelineError::writeFailed(PipelineSupport::fileName(destination)));
    return PipelineSupport::writeNewFile(destination, *encoded);
}

} // namespace ImageIOWorker
