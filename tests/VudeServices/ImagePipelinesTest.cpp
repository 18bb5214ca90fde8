#include "VudeServices/ImagePipelines.h"

#include "Platform/Images/ImageCodec.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Core/SerialQueue.h"
#include "VudeServices/PipelineRegistry.h"

#include "ImageFixtures.h"
#include "TestSupport.h"

#include <QImageReader>
#include <QPdfDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using fixtures::Tags;
using Progress = std::vector<std::pair<double, std::string>>;

// The registry's four image pipelines; the file pipelines after them take
// any file and run by rules of their own.
PipelineRegistry::Pipelines imagePipelines()
{
    const PipelineRegistry registry;
    PipelineRegistry::Pipelines images;
    for (const auto& pipeline : registry.all()) {
        const PipelineID id = pipeline->id();
        if (id == PipelineID::compressImage || id == PipelineID::convertFormat || id == PipelineID::imagesToPDF
            || id == PipelineID::stripEXIF)
            images.push_back(pipeline);
    }
    return images;
}

class ImagePipelinesTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path inputs() const { return fs::path(root.path().toStdString()) / "dropped"; }
    fs::path outputs() const { return fs::path(root.path().toStdString()) / "Pipelines"; }
    Progress progress;

    void SetUp() override
    {
        fs::create_directories(inputs());
        fs::create_directories(outputs());
    }

    fs::path drop(const std::string& name, std::string_view bytes) const
    {
        fixtures::writeFile(inputs() / name, bytes);
        return inputs() / name;
    }

    /// A 3000 x 2000 sensor image of an upright 2000 x 3000 portrait,
    /// tagged orientation 6, with GPS, camera tags and a caption.
    fs::path dropPhoneJpeg(const std::string& name) const
    {
        const QImage stored = fixtures::storedFor(fixtures::quadrants(2000, 3000), 6);
        return drop(name, fixtures::tagged(fixtures::encoded(stored, "jpeg", 90), Tags{6, true, true, true}));
    }

    PipelineRunResult run(const DropPipeline& pipeline, const std::vector<fs::path>& urls)
    {
        return pipeline.run(urls, outputs(), ProgressReporter([this](double fraction, const std::string& detail) {
                                progress.emplace_back(fraction, detail);
                            }));
    }

    std::vector<std::string> outputNames() const { return testsupport::folderEntries(outputs()); }

    static ImageCodec::DecodedImage read(const fs::path& path)
    {
        auto decoded = ImageCodec::decodeFile(path);
        EXPECT_TRUE(decoded) << path << (decoded ? "" : decoded.error());
        return decoded ? *decoded : ImageCodec::DecodedImage{};
    }
};

// A real 16 x 16 JPEG whose header claims `width` x `height`.
std::string jpegClaiming(std::uint16_t width, std::uint16_t height)
{
    std::string jpeg = fixtures::encoded(fixtures::quadrants(16, 16), "jpeg", 80);
    const auto frame = jpeg.find("\xFF\xC0", 0, 2);
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 0xFF);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

std::vector<std::string> names(const std::vector<fs::path>& paths)
{
    std::vector<std::string> result;
    for (const auto& path : paths)
        result.push_back(path.filename().string());
    return result;
}

TEST_F(ImagePipelinesTest, CompressMakesAnUprightBoundedJpegThatKeepsItsGpsAndSaysOrientationOne)
{
    const auto photo = dropPhoneJpeg("IMG_0001.jpg");
    const std::string dropped = fixtures::readFile(photo);
    const CompressImagePipeline compress;
    const auto result = run(compress, {photo});
    ASSERT_TRUE(result) << result.error().message();
    EXPECT_EQ(names(*result), std::vector<std::string>{"IMG_0001-compressed.jpg"});

    const auto output = read(result->front());
    EXPECT_EQ(output.format, ImageFormat::jpeg);
    EXPECT_EQ(output.image.size(), QSize(1365, 2048)) << "portrait, longer side 2048";
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(output.image));
    const auto tags = fixtures::tagsOf(result->front());
    EXPECT_EQ(tags.exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"))->toLong(), 1)
        << "the pixels are upright already; 6 would turn them a second time";
    EXPECT_TRUE(fixtures::has(tags.exif, "Exif.GPSInfo.GPSLatitude"));
    EXPECT_TRUE(fixtures::has(tags.exif, "Exif.Image.Make"));

    const auto again = run(compress, {photo});
    ASSERT_TRUE(again);
    EXPECT_EQ(names(*again), std::vector<std::string>{"IMG_0001-compressed-1.jpg"});
    EXPECT_EQ(fixtures::readFile(photo), dropped) << "the dropped file stays as it was";
}

TEST_F(ImagePipelinesTest, CompressTakesAnyImageFormatAndKeepsSmallImagesAtTheirSize)
{
    const auto heic = drop("holiday.heic", fixtures::heic(fixtures::quadrants(320, 240), 6, true, true));
    const auto png = drop("small.png", fixtures::encoded(fixtures::quadrants(1000, 800), "png"));
    const auto result = run(CompressImagePipeline(), {heic, png});
    ASSERT_TRUE(result) << result.error().message();
    EXPECT_EQ(names(*result), (std::vector<std::string>{"holiday-compressed.jpg", "small-compressed.jpg"}));

    const auto fromHeic = read(result->at(0));
    EXPECT_EQ(fromHeic.format, ImageFormat::jpeg);
    EXPECT_EQ(fromHeic.image.size(), QSize(320, 240));
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(fromHeic.image));
    EXPECT_TRUE(fixtures::has(fixtures::tagsOf(result->at(0)).exif, "Exif.GPSInfo.GPSLongitude"));
    EXPECT_EQ(read(result->at(1)).image.size(), QSize(1000, 800));
}

TEST_F(ImagePipelinesTest, ConvertWritesTheTargetFormatAtFullSize)
{
    const auto logo = drop("logo.png", fixtures::encoded(fixtures::quadrants(64, 32), "png"));
    const auto heic = drop("IMG_2.HEIC", fixtures::heic(fixtures::quadrants(64, 48), 8, true));
    const auto photo = dropPhoneJpeg("portrait.jpg");
    const ConvertFormatPipeline convert;
    const auto result = run(convert, {logo, heic, photo});
    ASSERT_TRUE(result) << result.error().message();
    EXPECT_EQ(names(*result), (std::vector<std::string>{"logo.png", "IMG_2.png", "portrait.png"}));
    for (const auto& output : *result) {
        SCOPED_TRACE(output.filename());
        const auto image = read(output);
        EXPECT_EQ(image.format, ImageFormat::png);
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(image.image));
    }
    EXPECT_EQ(read(result->at(0)).image.size(), QSize(64, 32));
    EXPECT_EQ(read(result->at(2)).image.size(), QSize(2000, 3000)) << "no maximum size";
    const auto tags = fixtures::tagsOf(result->at(2));
    EXPECT_TRUE(fixtures::has(tags.exif, "Exif.GPSInfo.GPSLatitude"));
    EXPECT_EQ(tags.exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"))->toLong(), 1);

    const auto again = run(convert, {logo});
    ASSERT_TRUE(again);
    EXPECT_EQ(names(*again), std::vector<std::string>{"logo-1.png"});
}

TEST_F(ImagePipelinesTest, StripExifKeepsTheFormatAndNameCaseAndDropsAllMetadataUpright)
{
    const auto photo = dropPhoneJpeg("photo.JPG");
    const QImage small = fixtures::quadrants(80, 60);
    const auto scan = drop("scan.tiff", fixtures::tagged(fixtures::encoded(small, "tiff"), Tags{1, true, true, false}));
    const auto heic = drop("phone.heic", fixtures::heic(small, 6, true, true));
    QImage clear = small.convertToFormat(QImage::Format_ARGB32);
    clear.setPixel(0, 0, qRgba(0, 0, 0, 0));
    const auto gif = drop("anim.gif", ImageCodec::encode(clear, {ImageFormat::gif, 1.0, {}}).value());
    const auto result = run(StripEXIFPipeline(), {photo, scan, heic, gif});
    ASSERT_TRUE(result) << result.error().message();
    EXPECT_EQ(names(*result),
              (std::vector<std::string>{"photo-clean.JPG", "scan-clean.tiff", "phone-clean.heic", "anim-clean.gif"}));

    const ImageFormat formats[] = {ImageFormat::jpeg, ImageFormat::tiff, ImageFormat::heic, ImageFormat::gif};
    for (std::size_t i = 0; i < result->size(); ++i) {
        const fs::path& output = result->at(i);
        SCOPED_TRACE(output.filename());
        ImageCodec::DecodeOptions options;
        options.withMetadata = true;
        const auto image = ImageCodec::decodeFile(output, options);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->format, formats[i]);
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(image->image)) << "upright pixels, as no tag says to turn them";
        if (formats[i] != ImageFormat::tiff) {
            EXPECT_TRUE(image->metadata.isEmpty());
        }
    }
    const auto jpegTags = fixtures::tagsOf(result->at(0));
    EXPECT_TRUE(jpegTags.exif.empty());
    EXPECT_TRUE(jpegTags.iptc.empty());
    // A TIFF's own directory describes its pixels; nothing of the source's is left.
    const auto tiffTags = fixtures::tagsOf(result->at(1));
    for (const char* key : {"Exif.GPSInfo.GPSLatitude", "Exif.Image.Make", "Exif.Photo.ExposureTime"})
        EXPECT_FALSE(fixtures::has(tiffTags.exif, key)) << key;
    EXPECT_EQ(read(result->at(0)).image.size(), QSize(2000, 3000));
    EXPECT_EQ(read(result->at(3)).image.pixel(0, 0), qRgba(0, 0, 0, 0)) << "GIF transparency survives";
}

TEST_F(ImagePipelinesTest, ToPdfMakesOnePagePerImageInDropOrderAtPixelSize)
{
    const auto a = drop("a.png", fixtures::encoded(fixtures::quadrants(300, 200), "png"));
    const auto b = dropPhoneJpeg("b.jpg");
    const auto c = drop("c.heic", fixtures::heic(fixtures::quadrants(64, 48)));
    const ImagesToPDFPipeline toPdf;
    const auto three = run(toPdf, {a, b, c});
    ASSERT_TRUE(three) << three.error().message();
    EXPECT_EQ(names(*three), std::vector<std::string>{"Images.pdf"});

    QPdfDocument document;
    ASSERT_EQ(document.load(QString::fromStdString(three->front().string())), QPdfDocument::Error::None);
    ASSERT_EQ(document.pageCount(), 3);
    EXPECT_EQ(document.pagePointSize(0), QSizeF(300, 200));
    EXPECT_EQ(document.pagePointSize(1), QSizeF(2000, 3000)) << "the photo upright";
    EXPECT_EQ(document.pagePointSize(2), QSizeF(64, 48));
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(document.render(1, QSize(200, 300))));

    const auto one = run(toPdf, {a});
    ASSERT_TRUE(one);
    EXPECT_EQ(names(*one), std::vector<std::string>{"a.pdf"});
    const auto threeAgain = run(toPdf, {c, b, a});
    ASSERT_TRUE(threeAgain);
    EXPECT_EQ(names(*threeAgain), std::vector<std::string>{"Images-1.pdf"});
}

// Memory is counted for the whole conversion: an image that a PNG copy can
// take is refused, before decoding, for HEIC, whose encoder needs several
// times more.
TEST_F(ImagePipelinesTest, AnImageTooLargeToConvertFailsAsUnreadableBeforeDecoding)
{
    QImage flat(5000, 5000, QImage::Format_RGB32);
    flat.fill(qRgb(40, 120, 200));
    const auto big = drop("big.png", fixtures::encoded(flat, "png"));
    flat = QImage();

    const auto toHeic = run(ConvertFormatPipeline(ImageFormat::heic), {big});
    ASSERT_FALSE(toHeic);
    EXPECT_EQ(toHeic.error().message(), "Couldn't read big.png");
    EXPECT_TRUE(outputNames().empty());

    const auto toPng = run(ConvertFormatPipeline(ImageFormat::png), {big});
    ASSERT_TRUE(toPng) << toPng.error().message();
    EXPECT_EQ(QImageReader(QString::fromStdString(toPng->front().string())).size(), QSize(5000, 5000));
}

// A TIFF whose resolution is insane decodes; its copies must be written too,
// with the metadata they keep and without.
TEST_F(ImagePipelinesTest, ATiffWithAnInsaneResolutionIsCopiedLikeAnyOther)
{
    using fixtures::rational, fixtures::tiffWithResolution;
    const QImage picture = fixtures::quadrants(40, 30);
    const std::string tagged = fixtures::tagged(fixtures::encoded(picture, "tiff"), Tags{1, true, true, false});
    const std::pair<const char*, std::string> scans[] = {
        {"huge.tiff", tiffWithResolution(picture, 5, rational(0xFFFFFFFF, 1))},
        {"tiny.tif", tiffWithResolution(picture, 5, rational(1, 0xFFFFFFFF))},
        {"tagged.tiff", fixtures::withResolution(tagged, 5, rational(0xFFFFFFFF, 1))},
    };
    const StripEXIFPipeline strip;
    const ConvertFormatPipeline toTiff(ImageFormat::tiff);
    const ConvertFormatPipeline toPng(ImageFormat::png);
    for (const auto& [name, bytes] : scans) {
        const auto scan = drop(name, bytes);
        for (const DropPipeline* pipeline : std::initializer_list<const DropPipeline*>{&strip, &toTiff, &toPng}) {
            SCOPED_TRACE(std::string(name) + " through " + pipeline->title());
            const auto result = run(*pipeline, {scan});
            ASSERT_TRUE(result) << result.error().message();
            const auto image = read(result->front());
            EXPECT_TRUE(fixtures::showsQuadrantsUpright(image.image));
            EXPECT_GT(image.image.dotsPerMeterX(), 0);
            const auto tags = fixtures::tagsOf(result->front());
            for (const char* key : {"Exif.Image.XResolution", "Exif.Image.YResolution"}) {
                const auto resolution = tags.exif.findKey(Exiv2::ExifKey(key));
                if (resolution != tags.exif.end()) {
                    const float value = resolution->toFloat(0);
                    EXPECT_TRUE(value > 0 && value < 100000) << key << " " << resolution->toString();
                }
            }
        }
    }
}

TEST_F(ImagePipelinesTest, EveryPipelineReportsEachInputThenDone)
{
    const std::vector<fs::path> dropped{drop("a.png", fixtures::encoded(fixtures::quadrants(8, 8), "png")),
                                        drop("b.bmp", fixtures::encoded(fixtures::quadrants(8, 8), "bmp")),
                                        drop("c.webp", fixtures::encoded(fixtures::quadrants(8, 8), "webp"))};
    const Progress expected{{0.0, "a.png"}, {1.0 / 3, "b.bmp"}, {2.0 / 3, "c.webp"}, {1.0, "Done"}};
    const auto pipelines = imagePipelines();
    ASSERT_EQ(pipelines.size(), 4u);
    for (const auto& pipeline : pipelines) {
        SCOPED_TRACE(pipeline->title());
        progress.clear();
        EXPECT_TRUE(pipeline->accepts(dropped));
        ASSERT_TRUE(run(*pipeline, dropped));
        EXPECT_EQ(progress, expected);
    }
}

TEST_F(ImagePipelinesTest, EmptyDropsAreNeverAcceptedAndFailAtOnce)
{
    const PipelineRegistry registry;
    for (const auto& pipeline : registry.all()) {
        SCOPED_TRACE(pipeline->title());
        EXPECT_FALSE(pipeline->accepts({}));
        const auto result = run(*pipeline, {});
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), "Nothing to work on");
    }
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(outputNames().empty());
}

TEST_F(ImagePipelinesTest, AnUnreadableImageFailsTheRunWithItsNameAndLeavesNoPartialOutput)
{
    const auto good = drop("good.png", fixtures::encoded(fixtures::quadrants(16, 16), "png"));
    const auto corrupt = drop("x.png", "this is no picture");
    const auto cutOff = drop("cut.jpg", fixtures::encoded(fixtures::quadrants(64, 64), "jpeg").substr(0, 300));
    const auto missing = inputs() / "gone.heic";
    // Too large to decode whole: refused by every pipeline, also by one that
    // would only decode it reduced.
    const auto claimsTooMuch = drop("huge.jpg", jpegClaiming(65000, 65000));
    // Opened the ordinary way, a FIFO would block the run until a writer came.
    const auto fifo = inputs() / "photo.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* why;
        std::vector<fs::path> urls;
        const char* message;
    };
    const Case cases[] = {
        {"a corrupt PNG", {corrupt}, "Couldn't read x.png"},
        {"a cut-off JPEG", {cutOff}, "Couldn't read cut.jpg"},
        {"a file that is gone", {missing}, "Couldn't read gone.heic"},
        {"a JPEG whose header claims 65000 x 65000", {claimsTooMuch}, "Couldn't read huge.jpg"},
        {"a FIFO named like a photo", {fifo}, "Couldn't read photo.jpg"},
        {"the first failure ends the run", {good, corrupt, cutOff}, "Couldn't read x.png"},
    };
    const auto pipelines = imagePipelines();
    ASSERT_EQ(pipelines.size(), 4u);
    for (const auto& pipeline : pipelines) {
        for (const auto& row : cases) {
            SCOPED_TRACE(pipeline->title() + ": " + row.why);
            fs::remove_all(outputs());
            fs::create_directories(outputs());
            const auto result = run(*pipeline, row.urls);
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error().message(), row.message);
            for (const auto& name : outputNames())
                EXPECT_EQ(name.rfind("good", 0), 0u) << name << ": only finished outputs of earlier inputs stay";
        }
    }
}

TEST_F(ImagePipelinesTest, AnOutputFolderThatCannotBeWrittenFailsWithTheOutputsName)
{
    const auto photo = drop("p.png", fixtures::encoded(fixtures::quadrants(16, 16), "png"));
    fs::remove_all(outputs());
    struct Case {
        std::shared_ptr<const DropPipeline> pipeline;
        const char* message;
    };
    const Case cases[] = {
        {std::make_shared<CompressImagePipeline>(), "Couldn't write p-compressed.jpg"},
        {std::make_shared<ConvertFormatPipeline>(), "Couldn't write p.png"},
        {std::make_shared<StripEXIFPipeline>(), "Couldn't write p-clean.png"},
        {std::make_shared<ImagesToPDFPipeline>(), "Couldn't write p.pdf"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.pipeline->title());
        const auto result = run(*row.pipeline, {photo});
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), row.message);
    }
}

// Each input is read before anything is created for it: with no output
// folder, an input that is no image still fails as unreadable, after its
// progress report.
TEST_F(ImagePipelinesTest, AnInputIsReadBeforeItsOutputIsCreated)
{
    const auto notes = drop("notes.png", "just some notes\n");
    fs::remove_all(outputs());
    const std::shared_ptr<const DropPipeline> pipelines[] = {
        std::make_shared<CompressImagePipeline>(), std::make_shared<ConvertFormatPipeline>(),
        std::make_shared<StripEXIFPipeline>(), std::make_shared<ImagesToPDFPipeline>()};
    for (const auto& pipeline : pipelines) {
        SCOPED_TRACE(pipeline->title());
        progress.clear();
        const auto result = run(*pipeline, {notes});
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), "Couldn't read notes.png");
        EXPECT_EQ(progress, (Progress{{0.0, "notes.png"}}));
    }
    EXPECT_FALSE(fs::exists(outputs()));
}

// The input's name fits the file system; with "-compressed" or "-clean" the
// output's does not. The run must fail with that name, not hang or shorten it.
TEST_F(ImagePipelinesTest, AnOutputNameTooLongForTheFileSystemFailsTheRun)
{
    const std::string stem(250, 'a');
    const auto photo = drop(stem + ".png", fixtures::encoded(fixtures::quadrants(16, 16), "png"));
    struct Case {
        std::shared_ptr<const DropPipeline> pipeline;
        std::string output;
    };
    const Case cases[] = {
        {std::make_shared<CompressImagePipeline>(), stem + "-compressed.jpg"},
        {std::make_shared<StripEXIFPipeline>(), stem + "-clean.png"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.pipeline->title());
        const auto result = run(*row.pipeline, {photo});
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message(), "Couldn't write " + row.output);
    }
    EXPECT_TRUE(outputNames().empty());
}

TEST_F(ImagePipelinesTest, ARunWorksOnAWorkerQueueAndItsProgressReachesTheMainThread)
{
    const std::vector<fs::path> dropped{dropPhoneJpeg("a.jpg"), dropPhoneJpeg("b.jpg")};
    const auto pipeline = PipelineRegistry().all().front();
    Progress seen;
    std::atomic<bool> reportedOffMain = true;
    std::optional<PipelineRunResult> result;
    SerialQueue queue("app.ruvudav.notch.pipelines-test");
    const fs::path folder = outputs();
    queue.async([&] {
        const ProgressReporter reporter([&](double fraction, const std::string& detail) {
            reportedOffMain = reportedOffMain && !isMainThread();
            postToMainThread([&seen, fraction, detail] { seen.emplace_back(fraction, detail); });
        });
        auto outcome = pipeline->run(dropped, folder, reporter);
        postToMainThread([&result, outcome] { result = outcome; });
    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
    ASSERT_TRUE(*result);
    EXPECT_EQ(names(**result), (std::vector<std::string>{"a-compressed.jpg", "b-compressed.jpg"}));
    EXPECT_TRUE(reportedOffMain);
    EXPECT_EQ(seen, (Progress{{0.0, "a.jpg"}, {0.5, "b.jpg"}, {1.0, "Done"}}));
}

} // namespace
