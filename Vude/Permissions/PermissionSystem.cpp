#include "Vude/Permissions/PermissionSystem.h"

#include "Platform/Bluetooth/BluezBluetoothBackend.h"
#include "Platform/Camera/V4l2CameraAccess.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Desktop/CalendarFolderAccess.h"
#include "Vude/Permissions/BluetoothAuthorizationCache.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PrivacyPane.h"
#include "VudeKit/LinuxTexts.h"

#include <QCoreApplication>

namespace {

std::shared_ptr<PermissionSystem>& standardSlot()
{
    static std::shared_ptr<PermissionSystem> slot;
    return slot;
}

// The standard system when the app installed none: real backends with an
// activation policy nobody else reads.
struct StandalonePermissions {
    ActivationPolicyRecorder activation;
    DesktopUrlOpener urls;
    QtScheduler scheduler;
    SystemPermissions permissions{activation, urls, scheduler};
};

} // namespace

PermissionSystem::PermissionSystem(PermissionSeams seams)
    : m_seams(std::move(seams)),
      m_bluetoothProbe(m_seams.makeBluetoothManager, m_seams.bluetoothAuthorization, m_seams.scheduler)
{
}

PermissionSystem::~PermissionSystem() = default;

void PermissionSystem::restartServiceFor(Permission permission) const
{
    if (m_restart)
        m_restart(permission);
}

std::shared_ptr<void> PermissionSystem::observeBluetoothAuthorization(std::function<void()> handler)
{
    auto token = std::make_shared<std::function<void()>>(std::move(handler));
    std::erase_if(m_bluetoothObservers, [](const auto& observer) { return observer.expired(); });
    m_bluetoothObservers.push_back(token);
    return token;
}

void PermissionSystem::bluetoothAuthorizationChanged()
{
    // An observer may drop its own token or another's while being told.
    const auto observers = m_bluetoothObservers;
    for (const auto& observer : observers)
        if (const auto handler = observer.lock())
            (*handler)();
}

bool PermissionSystem::openPrivacyPane(std::string_view anchor) const
{
    if (!m_seams.privacyTarget)
        return false;
    const auto target = m_seams.privacyTarget(anchor);
    return target && m_seams.urls.open(*target);
}

std::string PermissionSystem::privacyPaneTitle(std::string_view anchor) const
{
    if (m_seams.privacyTitle)
        return m_seams.privacyTitle(anchor);
    if (m_seams.privacyTarget && m_seams.privacyTarget(anchor))
        return std::string(LinuxTexts::openHelp.shown);
    return {};
}

PermissionSystem& PermissionSystem::standard()
{
    auto& slot = standardSlot();
    if (!slot) {
        auto standalone = std::make_shared<StandalonePermissions>();
        slot = std::shared_ptr<PermissionSystem>(standalone, &standalone->permissions.system());
        // Its Qt objects must go while the application still exists.
        qAddPostRoutine([] { standardSlot().reset(); });
    }
    return *slot;
}

void PermissionSystem::installStandard(std::shared_ptr<PermissionSystem> system)
{
    standardSlot() = std::move(system);
}

SystemPermissions::SystemPermissions(ActivationPolicyRecorder& activation, UrlOpener& urls, Scheduler& scheduler,
                                     const QDBusConnection& systemBus)
    : m_bus(systemBus),
      m_bluetooth(std::make_unique<BluezBluetoothBackend>(systemBus)),
      m_bluetoothAuthorization(std::make_unique<BluetoothAuthorizationCache>(*m_bluetooth)),
      m_calendar(std::make_unique<CalendarFolderAccess>()),
      m_camera(std::make_unique<V4l2CameraAccess>())
{
    // The calendars stand in through their folder until the calendar store
    // answers for them (the same folder, the same answers).
    PermissionAccess calendar{
        .status = [this] { return static_cast<long>(m_calendar->authorizationStatus()); },
        .request = [this](std::function<void(bool)> completion) { m_calendar->requestFullAccess(std::move(completion)); },
    };
    PermissionAccess camera{
        .status = [this] { return static_cast<long>(m_camera->authorizationStatus()); },
        .request = [this](std::function<void(bool)> completion) { m_camera->requestAccess(std::move(completion)); },
    };
    m_system = std::make_unique<PermissionSystem>(PermissionSeams{
        .scheduler = scheduler,
        .activation = activation,
        .urls = urls,
        .alerts = m_alerts,
        .bluetoothAuthorization = [this] { return m_bluetoothAuthorization->current(); },
        .bluetoothStatus = [this] { return m_bluetoothAuthorization->status(); },
        .makeBluetoothManager = [this]() -> std::unique_ptr<BluetoothBackend> {
            return std::make_unique<BluezBluetoothBackend>(m_bus);
        },
        .calendar = std::move(calendar),
        .camera = std::move(camera),
        .privacyTarget = [this](std::string_view anchor) {
            return PrivacyPane::target(anchor, PrivacyPane::currentContext(m_calendar->folder()));
        },
        .privacyTitle = [this](std::string_view anchor) {
            return std::string(PrivacyPane::openTitle(anchor, PrivacyPane::currentContext(m_calendar->folder())));
        },
    });
    m_bluetoothAuthorization->setChangeHandler([this] { m_system->bluetoothAuthorizationChanged(); });
}

SystemPermissions::~SystemPermissions() = default;
