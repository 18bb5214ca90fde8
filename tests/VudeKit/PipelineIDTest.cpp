#include "VudeKit/PipelineID.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace {

struct PipelineRow {
    PipelineID id;
    std::string_view raw;
    std::string_view displayName;
    std::string_view symbol;
};

constexpr PipelineRow kPipelines[] = {
    {PipelineID::compressImage, "compressImage", "Compress image", "arrow.down.circle"},
    {PipelineID::convertFormat, "convertFormat", "Convert format", "arrow.triangle.2.circlepath"},
    {PipelineID::zip, "zip", "Zip", "doc.zipper"},
    {PipelineID::unzip, "unzip", "Unzip", "arrow.up.bin"},
    {PipelineID::stripEXIF, "stripEXIF", "Strip EXIF", "eye.slash"},
    {PipelineID::imagesToPDF, "imagesToPDF", "Images to PDF", "doc.richtext"},
    {PipelineID::rename, "rename", "Rename", "textformat"},
    {PipelineID::copyPaths, "copyPaths", "Copy path", "doc.on.clipboard"},
};

TEST(PipelineID, EveryPipelineAndItsLaneCarryTheTableValues)
{
    const auto cases = allCases<PipelineID>();
    ASSERT_EQ(cases.size(), std::size(kPipelines));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& row = kPipelines[i];
        SCOPED_TRACE(std::string(row.raw));
        EXPECT_EQ(cases[i], row.id);
        EXPECT_EQ(enumFromRaw<PipelineID>(row.raw), row.id);
        EXPECT_EQ(displayName(row.id), row.displayName);
        EXPECT_EQ(symbol(row.id), row.symbol);

        const auto lane = DropLane::pipeline(row.id);
        EXPECT_EQ(lane.id(), row.raw);
        EXPECT_EQ(lane.displayName(), row.displayName);
        EXPECT_EQ(lane.symbol(), row.symbol);
        EXPECT_FALSE(lane.isPrimary());
    }
}

TEST(PipelineID, WrongCaseNamesNoPipeline)
{
    EXPECT_EQ(enumFromRaw<PipelineID>("StripEXIF"), std::nullopt);
    EXPECT_EQ(enumFromRaw<PipelineID>("stripExif"), std::nullopt);
    EXPECT_EQ(enumFromRaw<PipelineID>("airdrop"), std::nullopt);
}

TEST(DropLane, FixedLanesAreExact)
{
    EXPECT_EQ(DropLane::shelf().id(), "shelf");
    EXPECT_EQ(DropLane::shelf().displayName(), "Files Tray");
    EXPECT_EQ(DropLane::shelf().symbol(), "tray.and.arrow.down.fill");
    EXPECT_TRUE(DropLane::shelf().isPrimary());
    // The id stays what the settings store; the lane reads as what sends.
    EXPECT_EQ(DropLane::airDrop().id(), "airdrop");
    EXPECT_EQ(DropLane::airDrop().displayName(), "KDE Connect");
    EXPECT_EQ(DropLane::airDrop().symbol(), "dot.radiowaves.right");
    EXPECT_TRUE(DropLane::airDrop().isPrimary());
}

TEST(DropLane, EqualityAndHashingFollowCaseAndPipeline)
{
    EXPECT_EQ(DropLane::pipeline(PipelineID::rename), DropLane::pipeline(PipelineID::rename));
    EXPECT_NE(DropLane::pipeline(PipelineID::rename), DropLane::pipeline(PipelineID::zip));
    EXPECT_NE(DropLane::shelf(), DropLane::airDrop());

    std::unordered_set<DropLane> lanes{DropLane::shelf(), DropLane::airDrop()};
    for (const auto id : allCases<PipelineID>())
        lanes.insert(DropLane::pipeline(id));
    lanes.insert(DropLane::pipeline(PipelineID::zip));
    EXPECT_EQ(lanes.size(), 10u) << "every lane id is distinct";
}

} // namespace
