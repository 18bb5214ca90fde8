#include "VudeKit/LinuxTexts.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// Words that name the other desktop's facilities. A user reading any of them
// here would look for something Linux does not have.
constexpr std::string_view kPlatformWords[] = {
    "macOS",         "iCloud",           "Apple",        "Finder",           "AirDrop",
    "App Store",     "Developer ID",     "System Settings", "Activity Monitor", "Shortcuts app",
    "Full Disk Access", "/Applications", "\u2325",      "CloudKit",         "Sparkle",
    "Focus Filter",
};

std::vector<std::string> platformWordsIn(const std::string& text)
{
    std::vector<std::string> found;
    for (const auto word : kPlatformWords)
        if (text.find(word) != std::string::npos)
            found.emplace_back(word);
    // "Mac" as a word, or "Macs": not "machine" or "Macro".
    static const std::regex mac(R"((^|[^A-Za-z])Macs?([^A-Za-z]|$))");
    if (std::regex_search(text, mac))
        found.emplace_back("Mac");
    return found;
}

TEST(LinuxTextsTest, NoShownTextNamesTheOtherPlatform)
{
    ASSERT_FALSE(LinuxTexts::all().empty());
    for (const auto& [name, text] : LinuxTexts::all())
        EXPECT_EQ(platformWordsIn(std::string(text.shown)), std::vector<std::string>{}) << name << ": " << text.shown;
}

TEST(LinuxTextsTest, EveryEntryIsARealChangeWithAUniqueName)
{
    std::set<std::string_view> names;
    for (const auto& [name, text] : LinuxTexts::all()) {
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
        EXPECT_FALSE(text.original.empty()) << name;
        EXPECT_NE(text.original, text.shown) << name;
    }
}

// The few wordings other issues fix byte for byte.
TEST(LinuxTextsTest, PrescribedWordingsAreKept)
{
    struct Row {
        LinuxText text;
        std::string_view shown;
    };
    const Row rows[] = {
        {LinuxTexts::laneKdeConnect, "KDE Connect"},
        {LinuxTexts::trayShowInFiles, "Show in Files"},
        {LinuxTexts::trayChipHelpCopy, " \u2014 drag out to copy, Alt-drag to move"},
        {LinuxTexts::trayChipHelpMove, " \u2014 drag out to move, Alt-drag to copy"},
        {LinuxTexts::quickAppsNotInstalledTooltip, " \u2014 not installed on this computer"},
        {LinuxTexts::weatherAttributionHelp, "Weather data provided by Open-Meteo"},
        {LinuxTexts::weatherLocationDeniedDetail, "Turn it on in Settings."},
        {LinuxTexts::calendarWidgetRestricted, "Calendar access is restricted on this computer"},
        {LinuxTexts::syncSignedOut, "No sync folder"},
        {LinuxTexts::syncQuotaExceeded, "The sync folder is full"},
        {LinuxTexts::syncRestricted, "The sync folder is read-only"},
        {LinuxTexts::reportSystemRow, "System"},
        {LinuxTexts::reportModelUnknown, "Unknown"},
        {LinuxTexts::mediaKeyControlConsequence, "Vude's HUD still appears; the desktop's just appears too."},
        {LinuxTexts::trayDropCopies, "The original stays where it is. Hold Alt while dropping to move it instead."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.text.shown, row.shown) << row.text.original;
}

TEST(LinuxTextsTest, TheShortcutsFolderIsNamedFromHome)
{
    struct Row {
        std::string_view path;
        std::string_view home;
        std::string_view expected;
    } rows[] = {
        {"/home/ann/.local/share/Vude/Shortcuts", "/home/ann", "~/.local/share/Vude/Shortcuts"},
        {"/home/ann/.local/share/Vude/Shortcuts", "/home/ann/", "~/.local/share/Vude/Shortcuts"},
        {"/home/ann", "/home/ann", "~"},
        // A sibling whose name starts like the home folder is not inside it.
        {"/home/anna/Shortcuts", "/home/ann", "/home/anna/Shortcuts"},
        {"/srv/shortcuts", "/home/ann", "/srv/shortcuts"},
        // No home, or "/" as home, would turn every path into "~…".
        {"/data/Shortcuts", "", "/data/Shortcuts"},
        {"/data/Shortcuts", "/", "/data/Shortcuts"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LinuxTexts::homeRelative(row.path, row.home), row.expected) << row.path << " in " << row.home;

    EXPECT_EQ(LinuxTexts::noShortcutsFound("~/.local/share/Vude/Shortcuts"),
              "No shortcuts found. Put an executable in ~/.local/share/Vude/Shortcuts, or add it by name.");
}

} // namespace
