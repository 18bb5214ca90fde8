#pragma once
// The four drop pipelines that work on images: Compress (smaller JPEG
// copies), the format conversion (copies in one target format), Strip EXIF
// (copies without metadata) and To PDF (one document of all the images).
// Each takes a non-empty list of images only and writes new files named
// after the inputs into the output folder.

#include "Platform/Images/ImageFormat.h"
#include "VudeServices/DropPipeline.h"

#include <optional>

class CompressImagePipeline final : public DropPipeline {
public:
    /// `quality` 0...1; `maxDimension` bounds the longer side, in pixels.
    explicit CompressImagePipeline(double quality = 0.7, std::optional<double> maxDimension = 2048);

    PipelineID id() const override { return PipelineID::compressImage; }
    std::string title() const override { return "Compress"; }
    std::string symbol() const override { return "arrow.down.circle"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// "<stem>-compressed.jpg" per input, JPEG whatever the input's format.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;

    double quality() const { return m_quality; }
    std::optional<double> maxDimension() const { return m_maxDimension; }

private:
    double m_quality;
    std::optional<double> m_maxDimension;
};

class ConvertFormatPipeline final : public DropPipeline {
public:
    explicit ConvertFormatPipeline(ImageFormat target = ImageFormat::png);

    /// The format's preferred extension in capitals: "PNG", "JPEG", "HEIC", "TIFF"...
    static std::string label(ImageFormat format);

    PipelineID id() const override { return PipelineID::convertFormat; }
    /// "To " and the target's label.
    std::string title() const override { return "To " + label(m_target); }
    std::string symbol() const override { return "arrow.triangle.2.circlepath"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// "<stem>.<target extension>" per input, full size.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;

    ImageFormat target() const { return m_target; }

private:
    ImageFormat m_target;
};

class StripEXIFPipeline final : public DropPipeline {
public:
    PipelineID id() const override { return PipelineID::stripEXIF; }
    std::string title() const override { return "Strip EXIF"; }
    std::string symbol() const override { return "eye.slash"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// "<stem>-clean.<ext>" per input, in the input's own format, upright and
    /// with no metadata beyond what the encoder writes itself.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;
};

class ImagesToPDFPipeline final : public DropPipeline {
public:
    PipelineID id() const override { return PipelineID::imagesToPDF; }
    std::string title() const override { return "To PDF"; }
    std::string symbol() const override { return "doc.richtext"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// One PDF, a page per image in drop order, each page the image's pixel
    /// size at 72 dpi; named after the one input, else "Images".
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;
};
