#include "Vude/Settings/SettingsPaneInputs.h"

#include "Vude/Settings/SettingsServices.h"
#include "VudeServices/IdleService.h"

static_assert(std::variant_size_v<SettingsPaneInputs> == EnumTraits<SettingsPane>::cases.size(),
              "one inputs struct per pane, in SettingsPane's order");

namespace {

void refreshCalendar(SettingsServices& services)
{
    services.refreshCalendar(true);
    services.checkUpcomingEvent();
}

void addShortcut(SettingsServices& services, const std::string& name, const std::string& symbol)
{
    if (!services.hasRepository())
        return;
    services.addShortcut(name, symbol);
    services.reloadFromStore();
}

void removeShortcut(SettingsServices& services, const Uuid& id)
{
    if (!services.hasRepository())
        return;
    services.removeShortcut(id);
    services.reloadFromStore();
}

} // namespace

SettingsPaneInputs settingsPaneInputs(SettingsPane pane, SettingsServices& services)
{
    SettingsStore* settings = &services.settings();
    SettingsServices* each = &services;
    switch (pane) {
    case SettingsPane::general:
        return GeneralPaneInputs{settings, [each] { return each->geometryReport(); },
                                 [each] { each->rebuildPanels(); }, services.sync()};
    case SettingsPane::battery:
        return BatteryPaneInputs{settings};
    case SettingsPane::connectivity:
        return ConnectivityPaneInputs{settings, Permission::stateForBluetooth(services.bluetoothAuthorization()),
                                      [each] { each->requestBluetoothPermission(); }};
    case SettingsPane::focus:
        return FocusPaneInputs{settings, false};
    case SettingsPane::display:
        return DisplayPaneInputs{settings, services.brightnessAvailable(), services.hasAccessibility(),
                                 [each] { each->requestAccessibility(); }};
    case SettingsPane::sound:
        return SoundPaneInputs{settings, services.hasAccessibility(), [each] { each->requestAccessibility(); }};
    case SettingsPane::nowPlaying: {
        const auto capabilities = services.nowPlayingCapabilities();
        return NowPlayingPaneInputs{settings,
                                    capabilities && capabilities->contains(Capability::universalNowPlaying)};
    }
    case SettingsPane::calendar:
        return CalendarPaneInputs{settings, services.calendar(), [each] { each->applyCalendarFilter(); },
                                  [each] { refreshCalendar(*each); }};
    case SettingsPane::fileTray:
        return FileTrayPaneInputs{settings};
    case SettingsPane::idleLock: {
        IdleService* idle = services.idle();
        return IdleLockPaneInputs{settings, idle, [each] { each->toggleKeepAwake(); },
                                  idle && idle->isKeepAwakeAvailable()};
    }
    case SettingsPane::ravo:
        return RavoPaneInputs{settings, [each] { each->relayoutWidgets(); }};
    case SettingsPane::shortcuts:
        return ShortcutsPaneInputs{
            services.shortcutsService(), services.profile(), services.shortcuts(),
            [each](const std::string& name, const std::string& symbol) { addShortcut(*each, name, symbol); },
            [each](const Uuid& id) { removeShortcut(*each, id); }};
    case SettingsPane::quickApps:
        return QuickAppsPaneInputs{services.quickAppsService(), [each] { each->refreshQuickApps(); }};
    case SettingsPane::clipboard:
        return ClipboardPaneInputs{settings, services.clipboardService(), [each] { each->refreshClips(); }};
    case SettingsPane::about:
        return AboutPaneInputs{pane};
    }
    return AboutPaneInputs{pane};
}
