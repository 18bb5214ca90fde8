#include "VudeServices/DiagnosticsReport.h"

#include <gtest/gtest.h>

#include <optional>

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
        .osVersion = "Debian GNU/Linux 12 (bookworm), 6.1.0-18-amd64",
        .model = "XPS 13 9310",
        .profile = BuildProfile(sandboxed),
        .installation = SystemDescription::Installation::debianPackage,
        .screens = {{"Display 1", "1512×982", "185×32"}, {"Display 42", "2560×1440", "none (synthetic)"}},
        .permissions = {{"Media Keys", "granted"},
                        {"Media Key Control", "notDetermined"},
                        {"Bluetooth", "denied"},
                        {"Calendar", "granted"},
                        {"Camera", "unknown"}},
        .services = {{"Media adapter", "universal"}, {"Keep awake", "off"}},
        .syncSummary = "No sync folder",
        .widgetCount = 6,
        .trayCount = 0,
        .clipCount = 125,
        .todoCount = 3,
        .logTail = {"09:29:58  bridge started", "09:29:59  sound 0.62"},
        .logThisRunFrom = std::nullopt,
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
                    "  Build    Sandboxed package\n"
                    "  System   Debian GNU/Linux 12 (bookworm), 6.1.0-18-amd64\n"
                    "  Model    XPS 13 9310\n"
                    "\n"
                    "Displays\n"
                    "────────\n"
                    "  Display 1   1512×982, notch 185×32\n"
                    "  Display 42  2560×1440, notch none (synthetic)\n"
                    "\n"
                    "Permissions\n"
                    "───────────\n"
                    "  Media Keys         granted\n"
                    "  Media Key Control  notDetermined\n"
                    "  Bluetooth          denied\n"
                    "  Calendar           granted\n"
                    "  Camera             unknown\n"
                    "\n"
                    "Services\n"
                    "────────\n"
                    "  Media adapter  universal\n"
                    "  Keep awake     off\n"
                    "\n"
                    "Sync\n"
                    "────\n"
                    "  Status  No sync folder\n"
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
    EXPECT_EQ(report.sections().front().rows.at(1), (DiagnosticsReport::Row{"Build", "Debian package"}));
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

// Build and Updates say how the app came, the same way; a sandbox wins.
TEST(DiagnosticsReport, BuildAndUpdatesAgreeOnHowTheAppWasInstalled)
{
    using I = SystemDescription::Installation;
    struct Row {
        bool sandboxed;
        I installation;
        std::string_view build;
        std::string_view updates;
    } rows[] = {
        {false, I::debianPackage, "Debian package", "With the Debian package"},
        {false, I::installedFromSource, "Built from source, installed", "None: rebuild from source"},
        {false, I::buildTree, "Built from source, run from its build tree", "None: rebuild from source"},
        {true, I::debianPackage, "Sandboxed package", "With the sandboxed package"},
        {true, I::buildTree, "Sandboxed package", "With the sandboxed package"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.build));
        const BuildProfile profile(row.sandboxed);
        EXPECT_EQ(DiagnosticsReport::buildText(profile, row.installation), row.build);
        EXPECT_EQ(DiagnosticsReport::updatesText(profile, row.installation), row.updates);
        auto inputs = sampleInputs(row.sandboxed);
        inputs.installation = row.installation;
        EXPECT_EQ(DiagnosticsReport::make(inputs).sections().front().rows.at(1),
                  (DiagnosticsReport::Row{"Build", std::string(row.build)}));
    }
}

TEST(DiagnosticsReport, AModelTheFirmwareDoesNotNameIsUnknown)
{
    auto inputs = sampleInputs(false);
    inputs.model = "";
    EXPECT_EQ(DiagnosticsReport::make(inputs).sections().front().rows.at(3), (DiagnosticsReport::Row{"Model", "Unknown"}));
}

// Times of day alone cannot tell runs apart: the report marks where this
// run's lines begin, at the top when all are this run's and at the bottom
// when none is.
TEST(DiagnosticsReport, RecentLogMarksWhereThisRunBegins)
{
    const std::string mark = "  \u2500\u2500 this run of Vude starts here \u2500\u2500\n";
    struct Row {
        const char* why;
        std::optional<std::size_t> from;
        std::string log;
    } rows[] = {
        {"an earlier run, then this one", 1, "  09:29:58  bridge started\n" + mark + "  09:29:59  sound 0.62\n"},
        {"all this run's", 0, mark + "  09:29:58  bridge started\n  09:29:59  sound 0.62\n"},
        {"none this run's", 2, "  09:29:58  bridge started\n  09:29:59  sound 0.62\n" + mark},
        {"past the end reads as the end", 9, "  09:29:58  bridge started\n  09:29:59  sound 0.62\n" + mark},
        {"not known: no mark", std::nullopt, "  09:29:58  bridge started\n  09:29:59  sound 0.62\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        auto inputs = sampleInputs(false);
        inputs.logThisRunFrom = row.from;
        const auto text = DiagnosticsReport::make(inputs).formatted();
        EXPECT_TRUE(text.ends_with("Recent log\n\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\n" + row.log))
            << text;
    }
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
