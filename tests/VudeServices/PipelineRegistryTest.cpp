#include "VudeServices/PipelineRegistry.h"

#include "VudeServices/FilePipelines.h"
#include "VudeServices/ImagePipelines.h"
#include "VudeServices/PipelineSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

std::vector<PipelineID> ids(const PipelineRegistry::Pipelines& pipelines)
{
    std::vector<PipelineID> result;
    for (const auto& pipeline : pipelines)
        result.push_back(pipeline->id());
    return result;
}

TEST(PipelineRegistryTest, TheDefaultPipelinesComeInTheirOrderWithTheirOwnTitles)
{
    const PipelineRegistry registry;
    struct Expected {
        PipelineID id;
        const char* title;
        const char* symbol;
    };
    const Expected expected[] = {
        {PipelineID::compressImage, "Compress", "arrow.down.circle"},
        {PipelineID::convertFormat, "To PNG", "arrow.triangle.2.circlepath"},
        {PipelineID::imagesToPDF, "To PDF", "doc.richtext"},
        {PipelineID::stripEXIF, "Strip EXIF", "eye.slash"},
        {PipelineID::zip, "Zip", "doc.zipper"},
        {PipelineID::unzip, "Unzip", "arrow.up.bin"},
        {PipelineID::rename, "Rename", "textformat"},
        {PipelineID::copyPaths, "Copy path", "doc.on.clipboard"},
    };
    ASSERT_EQ(registry.all().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].title);
        EXPECT_EQ(registry.all()[i]->id(), expected[i].id);
        EXPECT_EQ(registry.all()[i]->title(), expected[i].title);
        EXPECT_EQ(registry.all()[i]->symbol(), expected[i].symbol);
    }
    const auto& compress = dynamic_cast<const CompressImagePipeline&>(*registry.all()[0]);
    EXPECT_EQ(compress.quality(), 0.7);
    EXPECT_EQ(compress.maxDimension(), 2048.0);
    EXPECT_EQ(dynamic_cast<const ConvertFormatPipeline&>(*registry.all()[1]).target(), ImageFormat::png);
    EXPECT_EQ(dynamic_cast<const RenamePipeline&>(*registry.all()[6]).pattern(), "{name}-{n}");
}

TEST(PipelineRegistryTest, ConvertTitlesNameTheirTarget)
{
    struct Case {
        ImageFormat target;
        const char* title;
    };
    const Case cases[] = {{ImageFormat::png, "To PNG"},   {ImageFormat::jpeg, "To JPEG"}, {ImageFormat::heic, "To HEIC"},
                          {ImageFormat::tiff, "To TIFF"}, {ImageFormat::webp, "To WEBP"}, {ImageFormat::gif, "To GIF"}};
    for (const auto& row : cases)
        EXPECT_EQ(ConvertFormatPipeline(row.target).title(), row.title);
}

TEST(PipelineRegistryTest, LanesFollowTheRegistryOrEnabledOrder)
{
    using P = PipelineID;
    using Enabled = std::optional<std::vector<PipelineID>>;
    const std::vector<fs::path> twoJpegs{"/d/a.jpg", "/d/b.JPEG"};
    const std::vector<fs::path> twoPngs{"/d/a.png", "/d/b.png"};
    struct Case {
        const char* why;
        std::vector<fs::path> urls;
        Enabled enabled;
        std::vector<PipelineID> lanes;
    };
    const Case cases[] = {
        {"nothing dragged offers nothing", {}, std::nullopt, {}},
        {"an image and a PDF: only the file pipelines", {"/d/a.jpg", "/d/b.pdf"}, std::nullopt,
         {P::zip, P::rename, P::copyPaths}},
        {"two JPEGs: everything but unzip, in registry order", twoJpegs, std::nullopt,
         {P::compressImage, P::convertFormat, P::imagesToPDF, P::stripEXIF, P::zip, P::rename, P::copyPaths}},
        {"an empty enabled list means registry order", twoJpegs, std::vector<PipelineID>{},
         {P::compressImage, P::convertFormat, P::imagesToPDF, P::stripEXIF, P::zip, P::rename, P::copyPaths}},
        {"a ZIP in capitals", {"/d/a.ZIP"}, std::nullopt, {P::zip, P::unzip, P::rename, P::copyPaths}},
        {"enabled sets the order and leaves out the rest", twoPngs,
         std::vector<PipelineID>{P::copyPaths, P::compressImage}, {P::copyPaths, P::compressImage}},
        {"ids whose pipeline does not accept the files are skipped", {"/d/notes.txt"},
         std::vector<PipelineID>{P::copyPaths, P::compressImage}, {P::copyPaths}},
        {"an id listed twice gives one lane", twoPngs,
         std::vector<PipelineID>{P::stripEXIF, P::zip, P::stripEXIF, P::zip}, {P::stripEXIF, P::zip}},
        {"unzip enabled but nothing to unzip", twoPngs, std::vector<PipelineID>{P::unzip}, {}},
    };
    const PipelineRegistry registry;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(ids(registry.lanes(row.urls, row.enabled)), row.lanes);
    }
}

TEST(PipelineRegistryTest, EnabledIdsMissingFromTheRegistryAreSkipped)
{
    auto images = PipelineRegistry::defaultPipelines();
    images.resize(4);
    const PipelineRegistry imagesOnly(images);
    const auto lanes = imagesOnly.lanes({"/d/a.png"}, std::vector<PipelineID>{PipelineID::zip, PipelineID::stripEXIF});
    EXPECT_EQ(ids(lanes), std::vector<PipelineID>{PipelineID::stripEXIF});
    EXPECT_EQ(lanes.front(), imagesOnly.all()[3]) << "the registry's own pipeline, not a copy";
}

} // namespace
