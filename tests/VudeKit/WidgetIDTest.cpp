#include "VudeKit/WidgetID.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    WidgetID id;
    std::string_view raw;
    std::string_view label;
    std::string_view symbol;
    int defaultCells;
    int minCells;
    double preferredHeight;
};

constexpr Row kCatalogue[] = {
    {WidgetID::media, "media", "Media Player", "music.note", 5, 4, 146},
    {WidgetID::calendar, "calendar", "Calendar", "calendar", 5, 3, 146},
    {WidgetID::todos, "todos", "To-dos", "checklist", 4, 3, 146},
    {WidgetID::timer, "timer", "Timer", "timer", 4, 2, 146},
    {WidgetID::notes, "notes", "Notes", "note.text", 5, 3, 146},
    {WidgetID::shortcuts, "shortcuts", "Shortcuts", "sparkles", 4, 2, 146},
    {WidgetID::mirror, "mirror", "Mirror", "person.crop.circle", 2, 2, 120},
    {WidgetID::quickApps, "quickApps", "Quick Apps", "square.grid.2x2", 4, 2, 140},
    {WidgetID::weather, "weather", "Weather", "cloud.sun", 3, 2, 120},
    {WidgetID::clipboard, "clipboard", "Clipboard", "doc.on.clipboard", 5, 3, 146},
    {WidgetID::audioDevice, "audioDevice", "Sound Output", "speaker.wave.2", 4, 2, 140},
};

TEST(WidgetID, CatalogueMatchesTheTable)
{
    const auto cases = allCases<WidgetID>();
    ASSERT_EQ(cases.size(), std::size(kCatalogue));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& row = kCatalogue[i];
        SCOPED_TRACE(std::string(row.raw));
        EXPECT_EQ(cases[i], row.id);
        EXPECT_EQ(enumFromRaw<WidgetID>(row.raw), row.id);
        EXPECT_EQ(displayName(row.id), row.label);
        EXPECT_EQ(symbol(row.id), row.symbol);
        EXPECT_EQ(defaultCells(row.id), row.defaultCells);
        EXPECT_EQ(minCells(row.id), row.minCells);
        EXPECT_EQ(maxCells(row.id), 8);
        EXPECT_EQ(preferredHeight(row.id), row.preferredHeight);
        EXPECT_TRUE(isImplemented(row.id));
    }
    EXPECT_EQ(enumFromRaw<WidgetID>("Media"), std::nullopt);
}

} // namespace
