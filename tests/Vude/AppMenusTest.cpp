#include "Vude/App/AppMenus.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Kind = MenuEntry::Kind;

/// One line per entry: indent, title, [shortcut], (check), {disabled}, -> action:argument.
void describe(const std::vector<MenuEntry>& menu, std::ostringstream& out, int depth = 0)
{
    for (const auto& entry : menu) {
        out << std::string(depth * 2, ' ');
        if (entry.kind == Kind::separator) {
            out << "---\n";
            continue;
        }
        out << entry.title;
        if (!entry.shortcut.empty())
            out << " [Ctrl+" << entry.shortcut << "]";
        if (entry.checkable)
            out << (entry.checked ? " (x)" : " ( )");
        if (!entry.enabled)
            out << " {disabled}";
        if (entry.kind == Kind::submenu) {
            out << "\n";
            describe(entry.children, out, depth + 1);
            continue;
        }
        out << " -> " << static_cast<int>(entry.action);
        if (!entry.argument.empty())
            out << ":" << entry.argument;
        out << "\n";
    }
}

std::string describe(const std::vector<MenuEntry>& menu)
{
    std::ostringstream out;
    describe(menu, out);
    return out.str();
}

int id(MenuAction action) { return static_cast<int>(action); }

std::string debugTree()
{
    const int fire = id(MenuAction::fireDebugActivity);
    std::ostringstream out;
    out << "Debug\n"
        << "  Now Playing -> " << fire << ":nowPlaying\n"
        << "  Battery -> " << fire << ":battery\n"
        << "  Connectivity -> " << fire << ":connectivity\n"
        << "  Sound -> " << fire << ":sound\n"
        << "  Focus -> " << fire << ":focus\n"
        << "  Timer Ended -> " << fire << ":timerEnded\n"
        << "  File Tray -> " << fire << ":fileTray\n"
        << "  ---\n"
        << "  Fire all (burst test) -> " << id(MenuAction::fireBurst) << "\n"
        << "  Print geometry -> " << id(MenuAction::printGeometry) << "\n";
    return out.str();
}

std::string permissionsTree(bool checked)
{
    const int pane = id(MenuAction::openPrivacyPane);
    std::ostringstream out;
    out << "Permissions\n"
        << "  Enable Bluetooth Access\u2026 -> " << id(MenuAction::requestBluetooth) << "\n"
        << "  Enable Media Keys\u2026 -> " << id(MenuAction::requestInputMonitoring) << "\n"
        << "  Media Key Control\u2026 -> " << pane << ":Privacy_Accessibility\n"
        << "  Media Keys\u2026 -> " << pane << ":Privacy_ListenEvent\n"
        << "  Bluetooth Settings\u2026 -> " << pane << ":Privacy_Bluetooth\n"
        // Nothing guards the user's files from Vude here: no Full Disk Access item.
        << "  ---\n"
        << "  Replace System HUDs " << (checked ? "(x)" : "( )") << " -> " << id(MenuAction::toggleSuppression)
        << "\n";
    return out.str();
}

TEST(AppMenusTest, StatusMenuTree)
{
    struct Row {
        AppMenus::StatusInputs inputs;
        bool hasUpdates;
    };
    for (const Row row : {Row{{false, false}, false}, Row{{true, false}, false}, Row{{false, true}, true}}) {
        std::ostringstream expected;
        expected << debugTree() << permissionsTree(row.inputs.suppressSystemHUD) << "---\n"
                 << "Export Diagnostics\u2026 -> " << id(MenuAction::exportDiagnostics) << "\n";
        if (row.hasUpdates)
            expected << "Check for Updates\u2026 -> " << id(MenuAction::checkForUpdates) << "\n";
        expected << "Toggle Desk -> " << id(MenuAction::toggleRavo) << "\n"
                 << "---\n"
                 << "Welcome to Vude\u2026 -> " << id(MenuAction::showOnboarding) << "\n"
                 << "Settings\u2026 [Ctrl+,] -> " << id(MenuAction::openSettings) << "\n"
                 << "---\n"
                 << "Quit Vude [Ctrl+q] -> " << id(MenuAction::quit) << "\n";
        EXPECT_EQ(describe(AppMenus::statusMenu(row.inputs)), expected.str())
            << row.inputs.suppressSystemHUD << row.inputs.updatesAvailable;
    }
}

TEST(AppMenusTest, ContextMenuFollowsTheMomentItOpens)
{
    struct Row {
        const char* name;
        AppMenus::ContextInputs inputs;
        std::string head;
    };
    const int ravo = id(MenuAction::toggleRavo);
    const int awake = id(MenuAction::toggleKeepAwake);
    const int check = id(MenuAction::checkForUpdates);
    const auto settings = "Settings\u2026 [Ctrl+,] -> " + std::to_string(id(MenuAction::openSettings)) + "\n";
    const Row rows[] = {
        {"closed", {.deskOpen = false}, "Open Desk -> " + std::to_string(ravo) + "\nKeep Awake ( ) -> " +
                                            std::to_string(awake) + "\n" + settings},
        {"open, keeping awake",
         {.deskOpen = true, .keepingAwake = true},
         "Close Desk -> " + std::to_string(ravo) + "\nAllow Sleep (x) -> " + std::to_string(awake) + "\n" + settings},
        {"updates that cannot check now",
         {.updatesAvailable = true, .canCheckForUpdates = false},
         "Open Desk -> " + std::to_string(ravo) + "\nKeep Awake ( ) -> " + std::to_string(awake) + "\n" + settings +
             "Check for Updates\u2026 {disabled} -> " + std::to_string(check) + "\n"},
        {"updates that can check",
         {.updatesAvailable = true, .canCheckForUpdates = true},
         "Open Desk -> " + std::to_string(ravo) + "\nKeep Awake ( ) -> " + std::to_string(awake) + "\n" + settings +
             "Check for Updates\u2026 -> " + std::to_string(check) + "\n"},
    };
    const auto tail = "---\nQuit Vude [Ctrl+q] -> " + std::to_string(id(MenuAction::terminate)) + "\n";
    for (const auto& row : rows)
        EXPECT_EQ(describe(AppMenus::notchContextMenu(row.inputs)), row.head + tail) << row.name;
}

TEST(AppMenusTest, WithoutATrayTheStatusCommandsJoinTheContextMenu)
{
    const auto menu = AppMenus::notchContextMenu({.statusItemShown = false, .suppressSystemHUD = true});
    std::ostringstream expected;
    expected << "Open Desk -> " << id(MenuAction::toggleRavo) << "\n"
             << "Keep Awake ( ) -> " << id(MenuAction::toggleKeepAwake) << "\n"
             << "Settings\u2026 [Ctrl+,] -> " << id(MenuAction::openSettings) << "\n"
             << "---\n"
             << debugTree() << permissionsTree(true) << "---\n"
             << "Export Diagnostics\u2026 -> " << id(MenuAction::exportDiagnostics) << "\n"
             << "Welcome to Vude\u2026 -> " << id(MenuAction::showOnboarding) << "\n"
             << "---\n"
             << "Quit Vude [Ctrl+q] -> " << id(MenuAction::terminate) << "\n";
    EXPECT_EQ(describe(menu), expected.str());
    // Every status command but the ones the context menu has anyway is reachable.
    const auto status = AppMenus::statusMenu({});
    for (const auto& entry : status) {
        if (entry.kind == Kind::separator || entry.action == MenuAction::toggleRavo ||
            entry.action == MenuAction::quit)
            continue;
        EXPECT_NE(describe(menu).find(entry.title), std::string::npos) << entry.title;
    }
}

TEST(AppMenusTest, BurstFiresTheDebugKindsOverThreeAndASixthSeconds)
{
    using namespace std::chrono_literals;
    const std::array<AppMenus::BurstStep, 7> expected{{{0ms, ActivityKind::nowPlaying},
                                                       {600ms, ActivityKind::battery},
                                                       {1200ms, ActivityKind::connectivity},
                                                       {1800ms, ActivityKind::sound},
                                                       {2400ms, ActivityKind::focus},
                                                       {3000ms, ActivityKind::timerEnded},
                                                       {3600ms, ActivityKind::fileTray}}};
    EXPECT_EQ(AppMenus::burstSchedule(), expected);
}

TEST(AppMenusTest, ReplaceSystemHUDsDecision)
{
    struct Row {
        bool setting;
        bool accessibility;
        AppMenus::SuppressionDecision expected;
    };
    const Row rows[] = {
        {false, false, {.setting = false, .checked = false, .explain = true, .restartsTap = false}},
        {false, true, {.setting = true, .checked = true, .explain = false, .restartsTap = true}},
        // Turning it off never asks for Accessibility.
        {true, false, {.setting = false, .checked = false, .explain = false, .restartsTap = true}},
        {true, true, {.setting = false, .checked = false, .explain = false, .restartsTap = true}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AppMenus::toggleSuppression(row.setting, row.accessibility), row.expected)
            << row.setting << row.accessibility;
    EXPECT_EQ(AppMenus::accessibilityTitle, "Media keys held by another program");
    EXPECT_EQ(AppMenus::accessibilityMessage,
              "To replace the system volume and brightness HUDs, Vude has to intercept those keys \u2014 which it "
              "can't while another program holds them.\n\nFree them in that program (usually your desktop's "
              "keyboard shortcuts), then choose \u201CReplace System HUDs\u201D again.");
}

} // namespace
