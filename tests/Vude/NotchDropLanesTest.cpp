#include "Vude/Shell/NotchDropLanes.h"

#include "VudeServices/PipelineRegistry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

/// Takes files with one extension only.
class ExtensionPipeline final : public DropPipeline {
public:
    ExtensionPipeline(PipelineID id, std::string extension) : m_id(id), m_extension(std::move(extension)) {}

    PipelineID id() const override { return m_id; }
    std::string title() const override { return std::string(rawValue(m_id)); }
    std::string symbol() const override { return {}; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override
    {
        if (urls.empty())
            return false;
        for (const auto& url : urls) {
            if (m_extension != "*" && url.extension() != m_extension)
                return false;
        }
        return true;
    }
    PipelineRunResult run(const std::vector<std::filesystem::path>&, const std::filesystem::path&,
                          const ProgressReporter&) const override
    {
        return std::vector<std::filesystem::path>();
    }

private:
    PipelineID m_id;
    std::string m_extension;
};

TEST(NotchDropLanesTest, TheTrayAndSharingComeFirstThenTheAcceptingPipelines)
{
    const PipelineRegistry registry(PipelineRegistry::Pipelines{
        std::make_shared<ExtensionPipeline>(PipelineID::compressImage, ".png"),
        std::make_shared<ExtensionPipeline>(PipelineID::zip, "*"),
        std::make_shared<ExtensionPipeline>(PipelineID::unzip, ".zip"),
    });
    const auto shelf = DropLane::shelf();
    const auto airDrop = DropLane::airDrop();
    const auto compress = DropLane::pipeline(PipelineID::compressImage);
    const auto zip = DropLane::pipeline(PipelineID::zip);
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        const PipelineRegistry* registry;
        PipelineList enabled;
        std::vector<DropLane> expected;
    } rows[] = {
        {"no files", {}, &registry, {}, {}},
        {"no pipelines", {"/a.png"}, nullptr, {}, {shelf, airDrop}},
        {"an image, registry order", {"/a.png"}, &registry, {}, {shelf, airDrop, compress, zip}},
        {"an image, the user's order", {"/a.png"}, &registry, {PipelineID::zip, PipelineID::compressImage},
         {shelf, airDrop, zip, compress}},
        {"the user's order leaves out what it does not name", {"/a.png"}, &registry, {PipelineID::zip},
         {shelf, airDrop, zip}},
        {"a text file and an image", {"/a.txt", "/b.png"}, &registry, {}, {shelf, airDrop, zip}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NotchDropLanes::lanes(row.files, row.registry, row.enabled), row.expected) << row.name;
}

TEST(NotchDropLanesTest, LaneUnderThePointer)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double x;
        double width;
        std::size_t count;
        std::optional<int> expected;
    } rows[] = {
        {150, 300, 3, 1},
        {0, 300, 3, 0},
        {-50, 300, 3, 0}, // truncated toward zero
        {-100, 300, 3, std::nullopt},
        {299.9, 300, 3, 2},
        {300, 300, 3, std::nullopt},
        {150, 300, 1, std::nullopt},
        {150, 300, 0, std::nullopt},
        {150, 0, 3, std::nullopt},
        {150, -300, 3, std::nullopt},
        {nan, 300, 3, std::nullopt},
        {inf, 300, 3, std::nullopt},
        {150, nan, 3, std::nullopt},
        {150, inf, 3, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(NotchDropLanes::laneAt(row.x, row.width, row.count), row.expected)
            << "x " << row.x << " width " << row.width << " lanes " << row.count;
}

} // namespace
