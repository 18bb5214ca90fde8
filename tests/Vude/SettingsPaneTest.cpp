// The settings window's panes as the sidebar lists them, and the number a
// settings slider shows.
#include "Vude/Settings/SettingsPane.h"
#include "Vude/Settings/ValueSlider.h"

#include "VudeUI/qt/SymbolCatalog.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(SettingsPane, TableGivesEveryPaneItsTitleSymbolTintAndSectionInSidebarOrder)
{
    struct Row {
        SettingsPane pane;
        const char* raw;
        const char* title;
        const char* symbol;
        TintName tint;
        SettingsSection section;
    };
    const Row rows[] = {
        {SettingsPane::general, "general", "General", "gearshape.fill", TintName::stone, SettingsSection::general},
        {SettingsPane::battery, "battery", "Battery", "bolt.fill", TintName::amber, SettingsSection::notifications},
        {SettingsPane::connectivity, "connectivity", "Connectivity", "airpods.gen3", TintName::sage,
         SettingsSection::notifications},
        {SettingsPane::focus, "focus", "Focus", "moon.fill", TintName::slate, SettingsSection::notifications},
        {SettingsPane::display, "display", "Display", "sun.max.fill", TintName::brass, SettingsSection::notifications},
        {SettingsPane::sound, "sound", "Sound", "speaker.wave.2.fill", TintName::brass,
         SettingsSection::notifications},
        {SettingsPane::nowPlaying, "nowPlaying", "Now Playing", "play.fill", TintName::amber,
         SettingsSection::liveActivities},
        {SettingsPane::calendar, "calendar", "Calendar", "calendar", TintName::sage, SettingsSection::liveActivities},
        {SettingsPane::fileTray, "fileTray", "File Tray", "tray.fill", TintName::slate,
         SettingsSection::liveActivities},
        {SettingsPane::idleLock, "idleLock", "Idle & Lock", "lock.fill", TintName::oxblood,
         SettingsSection::liveActivities},
        {SettingsPane::ravo, "ravo", "Widgets", "square.grid.2x2.fill", TintName::stone, SettingsSection::desk},
        {SettingsPane::shortcuts, "shortcuts", "Shortcuts", "sparkles", TintName::brass, SettingsSection::desk},
        {SettingsPane::quickApps, "quickApps", "Quick Apps", "square.grid.2x2.fill", TintName::slate,
         SettingsSection::desk},
        {SettingsPane::clipboard, "clipboard", "Clipboard", "doc.on.clipboard.fill", TintName::sage,
         SettingsSection::desk},
        {SettingsPane::about, "about", "About", "info.circle.fill", TintName::stone, SettingsSection::vude},
    };
    const auto panes = allCases<SettingsPane>();
    ASSERT_EQ(panes.size(), std::size(rows));
    for (std::size_t i = 0; i < panes.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(panes[i], row.pane) << "sidebar order";
        EXPECT_EQ(rawValue(row.pane), row.raw);
        EXPECT_EQ(enumFromRaw<SettingsPane>(row.raw), row.pane) << "the raw text reads back";
        EXPECT_EQ(title(row.pane), row.title);
        EXPECT_EQ(symbol(row.pane), row.symbol);
        EXPECT_TRUE(SymbolCatalog::contains(symbol(row.pane))) << "the tile draws its symbol";
        EXPECT_EQ(tint(row.pane), row.tint);
        EXPECT_EQ(section(row.pane), row.section);
    }
}

TEST(SettingsPane, OnlyACaseNameExactlyNamesAPane)
{
    for (const char* text : {"Calendar", "calendar ", "", "CALENDAR", "General", "about\n"})
        EXPECT_EQ(enumFromRaw<SettingsPane>(text), std::nullopt) << text;
}

TEST(SettingsPane, SectionsAreHeadedInOrderTheFirstWithoutAHeading)
{
    std::vector<std::string_view> headings;
    for (const auto section : allCases<SettingsSection>())
        headings.push_back(displayName(section));
    EXPECT_EQ(headings, (std::vector<std::string_view>{"", "Notifications", "Live Activities", "Desk", "Vude"}));
}

TEST(ValueSliderText, TruncatesTowardZeroAndAppendsTheSuffixAsIs)
{
    struct Row {
        double value;
        const char* suffix;
        const char* shown;
        const char* why;
    };
    const double huge = std::numeric_limits<double>::max();
    const Row rows[] = {
        {12.9, "", "12", "truncated, not rounded"},
        {1.5, "", "1", "a half goes down"},
        {-0.5, "", "0", "toward zero: no minus sign"},
        {-19.7, " px", "-19 px", "negatives toward zero"},
        {-20, " px", "-20 px", "the lower end of a negative range"},
        {100, "", "100", "a stored value beyond the range reads as stored"},
        {5, "%", "5%", "a suffix without a blank is printed against the number"},
        {1234567, "", "1234567", "no grouping separators"},
        {std::nan(""), " s", "0 s", "no number reads 0"},
        {huge, "", "9223372036854775807", "beyond the 64-bit range: its end"},
        {-huge, "", "-9223372036854775808", "and its other end"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ValueSlider::valueText(row.value, row.suffix), row.shown) << row.why;
}

} // namespace
