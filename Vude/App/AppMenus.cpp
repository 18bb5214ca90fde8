#include "Vude/App/AppMenus.h"

#include "VudeKit/EnumTraits.h"

namespace AppMenus {

namespace {

MenuEntry debugSubmenu()
{
    std::vector<MenuEntry> items;
    for (const auto kind : debugKinds) {
        auto item = MenuEntry::item(std::string(displayName(kind)), MenuAction::fireDebugActivity);
        item.argument = std::string(rawValue(kind));
        items.push_back(std::move(item));
    }
    items.push_back(MenuEntry::separator());
    items.push_back(MenuEntry::item("Fire all (burst test)", MenuAction::fireBurst));
    items.push_back(MenuEntry::item("Print geometry", MenuAction::printGeometry));
    return MenuEntry::submenu("Debug", std::move(items));
}

MenuEntry permissionsSubmenu(bool suppressSystemHUD)
{
    std::vector<MenuEntry> items{
        MenuEntry::item("Enable Bluetooth Access\u2026", MenuAction::requestBluetooth),
        MenuEntry::item(std::string(LinuxTexts::menuEnableMediaKeys.shown), MenuAction::requestInputMonitoring),
    };
    for (const auto& [title, anchor] : privacyList) {
        if (title.empty())
            continue;
        auto item = MenuEntry::item(std::string(title), MenuAction::openPrivacyPane);
        item.argument = std::string(anchor);
        items.push_back(std::move(item));
    }
    items.push_back(MenuEntry::separator());
    auto replace = MenuEntry::item(replaceHUDsTitle, MenuAction::toggleSuppression);
    replace.checkable = true;
    replace.checked = suppressSystemHUD;
    items.push_back(std::move(replace));
    return MenuEntry::submenu("Permissions", std::move(items));
}

} // namespace

std::array<BurstStep, debugKinds.size()> burstSchedule()
{
    std::array<BurstStep, debugKinds.size()> steps{};
    for (std::size_t i = 0; i < debugKinds.size(); ++i)
        steps[i] = {std::chrono::milliseconds(600) * static_cast<int>(i), debugKinds[i]};
    return steps;
}

std::vector<MenuEntry> statusMenu(const StatusInputs& inputs)
{
    std::vector<MenuEntry> menu{
        debugSubmenu(),
        permissionsSubmenu(inputs.suppressSystemHUD),
        MenuEntry::separator(),
        MenuEntry::item(exportDiagnosticsTitle, MenuAction::exportDiagnostics),
    };
    if (inputs.updatesAvailable)
        menu.push_back(MenuEntry::item(checkForUpdatesTitle, MenuAction::checkForUpdates));
    menu.push_back(MenuEntry::item("Toggle Desk", MenuAction::toggleRavo));
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::item(welcomeTitle, MenuAction::showOnboarding));
    menu.push_back(MenuEntry::item(settingsTitle, MenuAction::openSettings, ","));
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::item(quitTitle, MenuAction::quit, "q"));
    return menu;
}

std::vector<MenuEntry> notchContextMenu(const ContextInputs& inputs)
{
    auto keepAwake =
        MenuEntry::item(inputs.keepingAwake ? "Allow Sleep" : "Keep Awake", MenuAction::toggleKeepAwake);
    keepAwake.checkable = true;
    keepAwake.checked = inputs.keepingAwake;
    std::vector<MenuEntry> menu{
        MenuEntry::item(inputs.deskOpen ? "Close Desk" : "Open Desk", MenuAction::toggleRavo),
        std::move(keepAwake),
        MenuEntry::item(settingsTitle, MenuAction::openSettings, ","),
    };
    if (inputs.updatesAvailable) {
        auto check = MenuEntry::item(checkForUpdatesTitle, MenuAction::checkForUpdates);
        check.enabled = inputs.canCheckForUpdates;
        menu.push_back(std::move(check));
    }
    if (!inputs.statusItemShown) {
        // The status menu's own commands; the rest of it is already here.
        menu.push_back(MenuEntry::separator());
        menu.push_back(debugSubmenu());
        menu.push_back(permissionsSubmenu(inputs.suppressSystemHUD));
        menu.push_back(MenuEntry::separator());
        menu.push_back(MenuEntry::item(exportDiagnosticsTitle, MenuAction::exportDiagnostics));
        menu.push_back(MenuEntry::item(welcomeTitle, MenuAction::showOnboarding));
    }
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::item(quitTitle, MenuAction::terminate, "q"));
    return menu;
}

SuppressionDecision toggleSuppression(bool suppressSystemHUD, bool hasAccessibility)
{
    if (!suppressSystemHUD && !hasAccessibility)
        return {.setting = false, .checked = false, .explain = true, .restartsTap = false};
    const bool next = !suppressSystemHUD;
    return {.setting = next, .checked = next, .explain = false, .restartsTap = true};
}

} // namespace AppMenus
