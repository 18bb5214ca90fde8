// The widget frame's and the empty state's placements.
#include "Vude/Desk/WidgetEmptyStateLayout.h"
#include "Vude/Desk/WidgetFrameLayout.h"

#include <gtest/gtest.h>

namespace {

using Layout = WidgetEmptyStateLayout;

TEST(WidgetEmptyStateLayout, AbsentPartsTakeNoSpaceAndTheColumnIsCentred)
{
    const Rect bounds{10, 20, 200, 300};
    const Size message{120, 15};
    const Size detail{150, 30};
    const Size label{80, 15};
    const struct Row {
        const char* why;
        Layout::Measures measures;
        double height;
    } rows[] = {
        {"symbol and message", {24, message, std::nullopt, std::nullopt}, 24 + 8 + 15},
        {"with a detail, 1 under the message", {24, message, detail, std::nullopt}, 24 + 8 + 15 + 1 + 30},
        {"with a button, 8 under the texts, padded 14 and 6", {24, message, std::nullopt, label},
         24 + 8 + 15 + 8 + 27},
        {"everything", {24, message, detail, label}, 24 + 8 + 15 + 1 + 30 + 8 + 27},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const Layout layout = Layout::layout(bounds, row.measures);
        EXPECT_EQ(layout.height, row.height);
        EXPECT_EQ(layout.symbol.y, 20 + (300 - row.height) / 2) << "centred down the bounds";
        EXPECT_EQ(layout.symbol.midX(), 110);
        EXPECT_EQ(layout.message.midX(), 110);
        EXPECT_EQ(layout.message.y, layout.symbol.maxY() + 8);
        EXPECT_EQ(layout.detail.has_value(), row.measures.detail.has_value());
        EXPECT_EQ(layout.button.has_value(), row.measures.buttonLabel.has_value());
        if (layout.detail) {
            EXPECT_EQ(layout.detail->y, layout.message.maxY() + 1);
        }
        if (layout.button) {
            EXPECT_EQ(layout.button->size(), (Size{80 + 28, 15 + 12}));
            EXPECT_EQ(layout.button->midX(), 110);
            EXPECT_EQ(layout.button->maxY(), layout.symbol.y + row.height);
        }
    }
    EXPECT_EQ(Layout::textWidth(200), 184) << "8 free on either side";
    EXPECT_EQ(Layout::textWidth(10), 0);
}

TEST(WidgetFrameLayout, TheContentFillsTheCellAndTheAccessoryNeverMovesIt)
{
    const Rect cell{0, 0, 300, 140};
    const Size unbounded{1e9, 1e9};
    const Qt::Alignment alignments[] = {Qt::AlignTop | Qt::AlignHCenter, Qt::AlignCenter};
    for (const Qt::Alignment alignment : alignments) {
        const WidgetFrameLayout bare = WidgetFrameLayout::layout(cell, unbounded, alignment, std::nullopt);
        const WidgetFrameLayout accessorised = WidgetFrameLayout::layout(cell, unbounded, alignment, Size{20, 16});
        EXPECT_EQ(bare.content, cell);
        EXPECT_EQ(accessorised.content, bare.content);
        EXPECT_FALSE(bare.trailing.has_value());
        EXPECT_EQ(accessorised.trailing, (Rect{280, 0, 20, 16})) << "the top-trailing corner";
    }

    // Content that cannot grow that large sits where the alignment says.
    const Size small{100, 40};
    EXPECT_EQ(WidgetFrameLayout::layout(cell, small, Qt::AlignTop | Qt::AlignHCenter, std::nullopt).content,
              (Rect{100, 0, 100, 40}));
    EXPECT_EQ(WidgetFrameLayout::layout(cell, small, Qt::AlignCenter, std::nullopt).content, (Rect{100, 50, 100, 40}));
}

} // namespace
