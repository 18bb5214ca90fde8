#include "VudeServices/ImagePipelines.h"

#include "Platform/Images/ImageCodec.h"
#include "Platform/Core/NewFile.h"
#include "VudeServices/ImageIOWorker.h"
#include "VudeKit/AsciiCase.h"
#include "VudeServices/PipelineSupport.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace {

constexpr double conversionQuality = 0.92;
constexpr double losslessQuality = 1.0;
// Points per inch in PDF: a page of w x h points shows a w x h pixel image at 72 dpi.
constexpr int pdfPointsPerInch = 72;

/// Runs each input through `reencode` into its output, named by `outputFor`.
PipelineRunResult reencodeEach(const std::vector<fs::path>& urls, const ProgressReporter& progress,
                               const std::function<fs::path(const fs::path&)>& outputFor,
                               const std::function<Expected<void, PipelineError>(const fs::path&, const fs::path&)>& reencode)
{
    return PipelineSupport::runEach(urls, progress, [&](const fs::path& input) -> Expected<fs::path, PipelineFailure> {
        const fs::path output = outputFor(input);
        if (const auto written = reencode(input, output); !written)
            return unexpected(PipelineFailure(written.error()));
        return output;
    });
}

/// One page per image, written to an unnamed file that gets its name only
/// once the document is complete.
class PdfDocument {
public:
    explicit PdfDocument(NewFile file) : m_file(std::move(file))
    {
        m_device.open(m_file.fileDescriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    }

    bool addPage(const QImage& image)
    {
        const QPageLayout layout(QPageSize(QSizeF(image.size()), QPageSize::Point, QString(), QPageSize::ExactMatch),
                                 QPageLayout::Portrait, QMarginsF());
        if (!m_writer) {
            m_writer = std::make_unique<QPdfWriter>(&m_device);
            m_writer->setResolution(pdfPointsPerInch);
            if (!m_writer->setPageLayout(layout) || !m_painter.begin(m_writer.get()))
                return false;
        } else if (!m_writer->setPageLayout(layout) || !m_writer->newPage()) {
            return false;
        }
        m_painter.drawImage(QRectF(QPointF(0, 0), QSizeF(image.size())), image);
        return true;
    }

    bool commit(const fs::path& destination)
    {
        if (!m_painter.isActive() || !m_painter.end())
            return false;
        m_writer.reset();
        if (!m_device.flush() || m_device.error() != QFileDevice::NoError)
            return false;
        m_device.close();
        return static_cast<bool>(m_file.commit(destination));
    }

private:
    NewFile m_file;
    QFile m_device;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

} // namespace

CompressImagePipeline::CompressImagePipeline(double quality, std::optional<double> maxDimension)
    : m_quality(quality)
    , m_maxDimension(maxDimension)
{
}

bool CompressImagePipeline::accepts(const std::vector<fs::path>& urls) const
{
    return PipelineSupport::acceptsImages(urls);
}

PipelineRunResult CompressImagePipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                             const ProgressReporter& progress) const
{
    return reencodeEach(
        urls, progress,
        [&folder](const fs::path& input) {
            return PipelineSupport::uniqueURL(folder, PipelineSupport::stem(input) + "-compressed", "jpg");
        },
        [this](const fs::path& input, const fs::path& output) {
            return ImageIOWorker::reencode(input, output, ImageFormat::jpeg, m_quality, m_maxDimension, false);
        });
}

ConvertFormatPipeline::ConvertFormatPipeline(ImageFormat target)
    : m_target(target)
{
}

std::string ConvertFormatPipeline::label(ImageFormat format)
{
    // Every format's preferred extension is its label in lower case ("jpeg",
    // "tiff"...).
    return asciiUppercased(preferredExtension(format));
}

bool ConvertFormatPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return PipelineSupport::acceptsImages(urls);
}

PipelineRunResult ConvertFormatPipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                             const ProgressReporter& progress) const
{
    const std::string extension(preferredExtension(m_target));
    return reencodeEach(
        urls, progress,
        [&](const fs::path& input) { return PipelineSupport::uniqueURL(folder, PipelineSupport::stem(input), extension); },
        [this](const fs::path& input, const fs::path& output) {
            return ImageIOWorker::reencode(input, output, m_target, conversionQuality, std::nullopt, false);
        });
}

bool StripEXIFPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return PipelineSupport::acceptsImages(urls);
}

PipelineRunResult StripEXIFPipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                         const ProgressReporter& progress) const
{
    const auto extensionOf = [](const fs::path& input) {
        const std::string extension = PipelineSupport::extension(input);
        return extension.empty() ? std::string("jpg") : extension;
    };
    return reencodeEach(
        urls, progress,
        [&](const fs::path& input) {
            return PipelineSupport::uniqueURL(folder, PipelineSupport::stem(input) + "-clean", extensionOf(input));
        },
        [&](const fs::path& input, const fs::path& output) {
            const ImageFormat type = imageFormatForExtension(extensionOf(input)).value_or(ImageFormat::jpeg);
            return ImageIOWorker::reencode(input, output, type, losslessQuality, std::nullopt, true);
        });
}

bool ImagesToPDFPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return PipelineSupport::acceptsImages(urls);
}

PipelineRunResult ImagesToPDFPipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                           const ProgressReporter& progress) const
{
    if (urls.empty())
        return unexpected(PipelineFailure(PipelineError::noInput()));
    const std::string documentName = urls.size() == 1 ? PipelineSupport::stem(urls.front()) : "Images";
    const auto outputURL = [&] { return PipelineSupport::uniqueURL(folder, documentName, "pdf"); };
    const auto writeFailed = [&] {
        return unexpected(PipelineFailure(PipelineError::writeFailed(PipelineSupport::fileName(outputURL()))));
    };

    // The document is created once its first page has been read, so an input
    // that is no image is reported as such whatever the output folder is.
    std::optional<PdfDocument> document;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const std::string name = PipelineSupport::fileName(urls[i]);
        progress(double(i) / double(urls.size()), name);
        // One decoded image at a time: each page is written out as it is added.
        const auto decoded = ImageCodec::decodeFile(urls[i]);
        if (!decoded)
            return unexpected(PipelineFailure(PipelineError::readFailed(name)));
        if (!document) {
            auto file = NewFile::create(folder);
            if (!file)
                return writeFailed();
            document.emplace(std::move(*file));
        }
        if (!document->addPage(decoded->image))
            return writeFailed();
    }
    const fs::path output = outputURL();
    if (!document->commit(output))
        return writeFailed();
    progress(1.0, "Done");
    return std::vector<fs::path>{output};
}
