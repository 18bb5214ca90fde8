#include "VudeServices/DiagnosticsReport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Every report ends with what it leaves out, before any log lines.
const std::string kNotIncluded = "\n"
                                 "Deliberately not included\n"
                                 "─────────────────────────\n"
                                 "  · to-do and note text\n"
                                 "  · clipboard contents\n"
                                 "  · file names in the shelf\n"
                                 "  · what's playing\n"
                                 "  · your location\n"
                                 "  · calendar event titles\n";

const Date kGenerated = Date{std::chrono::sys_days{std::chrono::year{2026} / 3 / 1}} + 9h + 30min + 250ms;

DiagnosticsReport::Inputs sampleInputs(bool sandboxed)
{
    return {
        .version = "1.4.2",
        .build = "212",
        .osVersion = "15.3.1",
        .model = "Mac15,12",
        .profile = BuildProfile(sandboxed),
        .screens = {{"Display 1", "1512×982", "185×32"}, {"Display 42", "2560×1440", "none (synthetic)"}},
        .permissions = {{"Input Monitoring", "granted"},
                        {"Accessibility", "notDetermined"},
                        {"Bluetooth", "denied"},
                        {"Calendar", "granted"},
                        {"Camera", "unknown"}},
        .services = {{"Media adapter", "universal"}, {"Keep awake", "off"}},
        .syncSummary = "Not signed in to iCloud",
        .widgetCount = 6,
        .trayCount = 0,
        .clipCount = 125,
        .todoCount = 3,
        .logTail = {"09:29:58  bridge started", "09:29:59  sound 0.62"},
        .generatedAt = kGenerated,
    };
}

TEST(DiagnosticsReport, FormatsTheSandboxedReport)
{
    const auto text = DiagnosticsReport::make(sampleInputs(true)).formatted();
    EXPECT_EQ(text, "Vude diagnostics\n"
                    "Generated 2026-03-01T09:30:00Z\n"
                    "\n"
                    "Vude\n"
                    "────\n"
                    "  Version  1.4.2 (212)\n"
                    "  Build    App Store (sandboxed)\n"
                    "  macOS    15.3.1\n"
                    "  Model    Mac15,12\n"
                    "\n"
                    "Displays\n"
                    "────────\n"
                    "  Display 1   1512×982, notch 185×32\n"
                    "  Display 42  2560×1440, notch none (synthetic)\n"
                    "\n"
                    "Permissions\n"
                    "───────────\n"
                    "  Input Monitoring  granted\n"
                    "  Accessibility     notDetermined\n"
                    "  Bluetooth         denied\n"
                    "  Calendar          granted\n"
                    "  Camera            unknown\n"
                    "\n"
                    "Services\n"
                    "────────\n"
                    "  Media adapter  universal\n"
                    "  Keep awake     off\n"
                    "\n"
                    "Sync\n"
                    "────\n"
                    "  Status  Not signed in to iCloud\n"
                    "\n"
                    "Content\n"
                    "───────\n"
                    "  Widgets enabled     6\n"
                    "  Items on the shelf  0\n"
                    "  Clipboard entries   125\n"
                    "  To-dos              3\n"
                    "\n"
                    "Unavailable in this build\n"
                    "─────────────────────────\n"
                    "  HUD suppression   —\n"
                    "  Focus identity    —\n"
                    "  Shortcut listing  —\n"
                    "  Live waveform     —\n"
                    "  Idle surface      —\n"
                    + kNotIncluded
                    + "\n"
                      "Recent log\n"
                      "──────────\n"
                      "  09:29:58  bridge started\n"
                      "  09:29:59  sound 0.62\n");
}

TEST(DiagnosticsReport, TheDirectBuildListsNothingUnavailable)
{
    const auto report = DiagnosticsReport::make(sampleInputs(false));
    std::vector<std::string> titles;
    for (const auto& section : report.sections())
        titles.push_back(section.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Vude", "Displays", "Permissions", "Services", "Sync", "Content"}));
    EXPECT_EQ(report.sections().front().rows.at(1),
              (DiagnosticsReport::Row{"Build", "Direct (Developer ID)"}));
    EXPECT_EQ(report.formatted().find("Unavailable in this build"), std::string::npos);
}

TEST(DiagnosticsReport, EmptyInputsGiveBareSectionsAndNoRecentLog)
{
    DiagnosticsReport::Inputs inputs;
    inputs.generatedAt = kGenerated;
    const auto text = DiagnosticsReport::make(inputs).formatted();
    EXPECT_NE(text.find("\nDisplays\n────────\n\nPermissions\n───────────\n\nServices\n────────\n\nSync\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  Version   ()\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("  To-dos              0\n" + kNotIncluded)) << text;
    EXPECT_EQ(text.find("Recent log"), std::string::npos);
}

TEST(DiagnosticsReport, RulesAndPaddingCountCharactersNotBytes)
{
    const DiagnosticsReport report({{"Écrans", {{"Été", "1"}, {"Hiver", "2"}}}, {"Empty", {}}}, {"only line"},
                                   kReferenceDate);
    EXPECT_EQ(report.formatted(), "Vude diagnostics\n"
                                  "Generated 2001-01-01T00:00:00Z\n"
                                  "\n"
                                  "Écrans\n"
                                  "──────\n"
                                  "  Été    1\n"
                                  "  Hiver  2\n"
                                  "\n"
                                  "Empty\n"
                                  "─────\n"
                                  + kNotIncluded
                                  + "\n"
                                    "Recent log\n"
                                    "──────────\n"
                                    "  only line\n");
}

// Columns line up as the reader sees them: a letter with a combining
// accent, a flag and a family emoji are one character each.
TEST(DiagnosticsReport, RulesAndPaddingCountWhatTheReaderSeesAsOneCharacter)
{
    const std::string decomposedE = "E\xCC\x81"; // E and a combining acute: É
    const std::string flag = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"; // two regional indicators
    const std::string family = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // woman, joiner, girl
    const DiagnosticsReport report({{decomposedE + "crans " + flag,
                                     {{decomposedE + "t" + decomposedE, "1"}, {flag + family, "2"}, {"Hiver", "3"}}}},
                                   {}, kReferenceDate);
    EXPECT_EQ(report.formatted(), "Vude diagnostics\n"
                                  "Generated 2001-01-01T00:00:00Z\n"
                                  "\n"
                                      + decomposedE + "crans " + flag + "\n"
                                      + "────────\n"
                                      + "  " + decomposedE + "t" + decomposedE + "    1\n"
                                      + "  " + flag + family + "     2\n"
                                      + "  Hiver  3\n" + kNotIncluded);
}

} // namespace
