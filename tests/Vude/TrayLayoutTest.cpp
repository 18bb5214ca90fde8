#include "Vude/Desk/PipelineBannerLayout.h"
#include "Vude/Desk/TrayLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(TrayLayoutTest, TheHeaderAndChipHelpSayWhatADragOutDoes)
{
    struct Row {
        std::size_t count;
        bool copyByDefault;
        const char* header;
        const char* hint;
        const char* help;
    };
    const Row rows[] = {
        {1, true, "1 item", "drag out to copy", "a.pdf \u2014 drag out to copy, Alt-drag to move"},
        {1, false, "1 item", "drag out to move", "a.pdf \u2014 drag out to move, Alt-drag to copy"},
        {2, true, "2 items", "drag out to copy", "a.pdf \u2014 drag out to copy, Alt-drag to move"},
        {2, false, "2 items", "drag out to move", "a.pdf \u2014 drag out to move, Alt-drag to copy"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.header + std::string(row.copyByDefault ? " copy" : " move"));
        EXPECT_EQ(TrayLayout::countText(row.count), row.header);
        EXPECT_EQ(TrayLayout::hintText(row.copyByDefault), row.hint);
        EXPECT_EQ(TrayLayout::chipHelp("a.pdf", row.copyByDefault), row.help);
    }
}

TEST(TrayLayoutTest, TheAllChipStacksUpToThreeTiltedCards)
{
    using Card = TrayLayout::Card;
    struct Row {
        std::size_t count;
        bool shown;
        std::vector<Card> cards;
        const char* label;
    };
    const Row rows[] = {
        {1, false, {{-6, -2}}, "All 1"},
        {2, true, {{-6, -2}, {0, 0}}, "All 2"},
        {5, true, {{-6, -2}, {0, 0}, {6, 2}}, "All 5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(TrayLayout::showsAllChip(row.count), row.shown);
        EXPECT_EQ(TrayLayout::cards(row.count), row.cards);
        EXPECT_EQ(TrayLayout::allChipLabel(row.count), row.label);
    }
    EXPECT_EQ(TrayLayout::allChipHelp(5), "Drag all 5 items out together");
}

TEST(TrayLayoutTest, TheRowStartsAtTheLeftAndTheDropZoneTakesTheRest)
{
    // Two chips in a wide viewport: the zone stretches to its end.
    const TrayLayout::Row wide = TrayLayout::row({{86, 97}, {86, 97}}, {600, 120});
    ASSERT_EQ(wide.chips.size(), 2u);
    EXPECT_EQ(wide.chips[0], (Rect{4, 11.5, 86, 97}));
    EXPECT_EQ(wide.chips[1].x, 4 + 86 + 12);
    EXPECT_EQ(wide.more, (Rect{4 + 2 * (86 + 12), 26, 600 - 4 - 4 - 2 * (86 + 12), 68}));
    EXPECT_EQ(wide.content, (Size{600, 120}));

    // Many chips: the zone keeps its minimum and the row scrolls.
    const TrayLayout::Row crowded = TrayLayout::row(std::vector<Size>(8, Size{86, 97}), {600, 120});
    EXPECT_EQ(crowded.more.width, 130);
    EXPECT_EQ(crowded.content.width, 4 + 8 * (86 + 12) + 130 + 4);
}

TEST(TrayLayoutTest, TheBannerShowsEachStateAndUndoOnlyForProducedFiles)
{
    using Kind = PipelineBannerLayout::Kind;
    PipelineResult one{PipelineID::compressImage, "Compress image", {"/out/a.jpg"}, 1};
    PipelineResult none{PipelineID::copyPaths, "Copy path", {}, 2};
    PipelineResult three{PipelineID::zip, "Zip", {"/o/1", "/o/2", "/o/3"}, 3};
    struct Row {
        const char* why;
        PipelineRunState state;
        Kind kind;
        std::string text;
        bool undo;
    };
    const Row rows[] = {
        {"idle: nothing, no space", PipelineRunState::idle(), Kind::idle, "", false},
        {"running", PipelineRunState::running("Zip", 0.5, "a.txt"), Kind::running, "Zip", false},
        {"one file made: its name", PipelineRunState::finished(one), Kind::finished, "a.jpg", true},
        {"several: their count", PipelineRunState::finished(three), Kind::finished, "3 files", true},
        {"nothing made: the title, no Undo", PipelineRunState::finished(none), Kind::finished, "Copy path", false},
        {"failed", PipelineRunState::failed("Nothing to work on"), Kind::failed, "Nothing to work on", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const PipelineBannerLayout banner = PipelineBannerLayout::of(row.state);
        EXPECT_EQ(banner.kind, row.kind);
        EXPECT_EQ(banner.text, row.text);
        EXPECT_EQ(banner.showsUndo, row.undo);
        EXPECT_EQ(banner.takesSpace(), row.kind != Kind::idle);
    }
    EXPECT_EQ(PipelineBannerLayout::of(PipelineRunState::finished(one)).symbol, "checkmark.circle.fill");
    EXPECT_EQ(PipelineBannerLayout::of(PipelineRunState::failed("x")).symbol, "exclamationmark.triangle.fill");
    EXPECT_EQ(PipelineBannerLayout::of(PipelineRunState::running("Zip", 7, "")).fraction, 1) << "clamped";
    EXPECT_EQ(PipelineBannerLayout::of(PipelineRunState::running("Zip", 0.25, "")).detail, "");
}

} // namespace
