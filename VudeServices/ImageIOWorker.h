#pragma once
// The re-encoding step the image pipelines share: decode one image (reduced
// while decoding when a maximum size is given, always upright), encode it in
// another format and write it as a new file.

#include "Platform/Images/ImageFormat.h"
#include "VudeServices/PipelineError.h"

#include <filesystem>
#include <optional>

namespace ImageIOWorker {

/// Writes `destination` as an image of `type` made from `source`. `quality`
/// is 0...1 for lossy formats; `maxDimension`, when set, bounds the longer
/// side in pixels (never enlarging); unless `stripMetadata`, the source's
/// EXIF, GPS and IPTC metadata follows, with orientation 1 since the pixels
/// are upright. Fails with readFailed and the source's name, or writeFailed
/// and the destination's name; a failed write leaves no file.
Expected<void, PipelineError> reencode(const std::filesystem::path& source, const std::filesystem::path& destination,
                                       ImageFormat type, double quality, std::optional<double> maxDimension,
                                       bool stripMetadata);

} // namespace ImageIOWorker
