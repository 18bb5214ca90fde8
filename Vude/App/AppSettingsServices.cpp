#include "Vude/App/AppSettingsServices.h"

#include "Vude/App/AppDelegate.h"
#include "Vude/App/ControllerNotchShell.h"
#include "Vude/App/CoordinatorAppSync.h"
#include "Vude/Bridge/CalendarServiceAdapter.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "Vude/Shell/NotchWindowController.h"
#include "VudeServices/EventTapService.h"
#include "VudeSync/DidoDivuzerore.h"

AppSettingsServices::AppSettingsServices(AppDelegate& app, PermissionSystem& permissions)
    : m_app(app), m_permissions(permissions)
{
    // The authorization read here is the one kept; its changes come later.
    m_bluetoothWatch = m_permissions.observeBluetoothAuthorization([this] { emit inputsChanged(); });
}

AppSettingsServices::~AppSettingsServices()
{
    disconnect(m_watch);
}

SettingsStore& AppSettingsServices::settings()
{
    return *m_app.settings();
}

NotchWindowController* AppSettingsServices::controller() const
{
    auto* shell = dynamic_cast<ControllerNotchShell*>(m_app.notchController());
    return shell ? &shell->controller() : nullptr;
}

// MARK: - The window controller

std::string AppSettingsServices::geometryReport() const
{
    return m_app.notchController() ? m_app.notchController()->geometryReport() : std::string();
}

void AppSettingsServices::rebuildPanels()
{
    if (auto* shell = controller())
        shell->rebuild();
}

void AppSettingsServices::relayoutWidgets()
{
    if (auto* shell = controller())
        shell->relayoutWidgets();
}

void AppSettingsServices::refreshQuickApps()
{
    if (auto* shell = controller())
        shell->refreshQuickApps();
}

void AppSettingsServices::refreshClips()
{
    if (auto* shell = controller())
        shell->refreshClips();
}

ShortcutsService* AppSettingsServices::shortcutsService()
{
    return m_app.notchController() ? &m_app.notchController()->shortcutsService() : nullptr;
}

QuickAppsService* AppSettingsServices::quickAppsService()
{
    auto* shell = controller();
    return shell ? shell->quickAppsService().get() : nullptr;
}

ClipboardService* AppSettingsServices::clipboardService()
{
    auto* shell = controller();
    return shell ? shell->clipboardService().get() : nullptr;
}

// MARK: - The repository

std::shared_ptr<DidoDivuzerore> AppSettingsServices::repository() const
{
    auto repository = m_app.notchController() ? m_app.notchController()->repository() : nullptr;
    if (repository.get() != m_watched) {
        disconnect(m_watch);
        m_watched = repository.get();
        if (repository) {
            auto* self = const_cast<AppSettingsServices*>(this);
            m_watch = connect(repository.get(), &DidoDivuzerore::shortcutsChanged, self,
                              [self] { emit self->inputsChanged(); });
        }
    }
    return repository;
}

bool AppSettingsServices::hasRepository() const
{
    return repository() != nullptr;
}

std::vector<ShortcutSnapshot> AppSettingsServices::shortcuts() const
{
    const auto current = repository();
    return current ? current->shortcuts() : std::vector<ShortcutSnapshot>{};
}

void AppSettingsServices::addShortcut(const std::string& name, const std::string& symbol)
{
    if (const auto current = repository())
        current->addShortcut(name, symbol);
}

void AppSettingsServices::removeShortcut(const Uuid& id)
{
    if (const auto current = repository())
        current->removeShortcut(id);
}

void AppSettingsServices::reloadFromStore()
{
    if (const auto current = repository())
        current->reloadFromStore();
}

// MARK: - The activity bridge

CalendarService* AppSettingsServices::calendar()
{
    auto* bridge = m_app.bridge();
    auto* adapter = bridge ? dynamic_cast<CalendarServiceAdapter*>(&bridge->calendar()) : nullptr;
    return adapter ? adapter->service().get() : nullptr;
}

void AppSettingsServices::refreshCalendar(bool hard)
{
    if (auto* service = calendar())
        service->refresh(hard);
}

void AppSettingsServices::applyCalendarFilter()
{
    if (auto* bridge = m_app.bridge())
        bridge->applyCalendarFilter();
}

void AppSettingsServices::checkUpcomingEvent()
{
    if (auto* bridge = m_app.bridge())
        bridge->checkUpcomingEvent();
}

IdleService* AppSettingsServices::idle()
{
    return m_app.bridge() ? &m_app.bridge()->idle() : nullptr;
}

void AppSettingsServices::toggleKeepAwake()
{
    if (auto* bridge = m_app.bridge())
        bridge->toggleKeepAwake();
}

void AppSettingsServices::requestBluetoothPermission()
{
    if (auto* bridge = m_app.bridge())
        bridge->requestBluetoothPermission();
}

BuildProfile AppSettingsServices::profile() const
{
    return m_app.bridge() ? m_app.bridge()->profile() : BuildProfile::current();
}

bool AppSettingsServices::brightnessAvailable() const
{
    return m_app.bridge() && m_app.bridge()->brightness().isAvailable();
}

std::optional<Capability> AppSettingsServices::nowPlayingCapabilities() const
{
    const auto* source = m_app.bridge() ? m_app.bridge()->media() : nullptr;
    return source ? std::optional(source->capabilities()) : std::nullopt;
}

// MARK: - The system

long AppSettingsServices::bluetoothAuthorization() const
{
    const auto& authorization = m_permissions.seams().bluetoothAuthorization;
    return static_cast<long>(authorization ? authorization() : BluetoothAuthorization::notDetermined);
}

bool AppSettingsServices::hasAccessibility() const
{
    m_shownAccessibility = EventTapService::hasAccessibility();
    return *m_shownAccessibility;
}

void AppSettingsServices::requestAccessibility()
{
    // Nothing grants it here: asking looks again whether another program
    // holds the media keys. An answer other than the one the panes show
    // restarts the tap, as a granted permission does, and they are built again.
    const bool answer = EventTapService::requestAccessibility();
    if (m_shownAccessibility == answer)
        return;
    m_shownAccessibility = answer;
    m_permissions.restartServiceFor(Permission::accessibility);
    emit inputsChanged();
}

SyncCoordinator* AppSettingsServices::sync()
{
    auto* sync = dynamic_cast<CoordinatorAppSync*>(m_app.sync());
    return sync ? &sync->coordinator() : nullptr;
}
