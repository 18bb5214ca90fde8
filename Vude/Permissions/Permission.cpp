#include "Vude/Permissions/Permission.h"

#include "Platform/Core/MainThread.h"
#include "Vude/Permissions/PermissionPrompt.h"
#include "Vude/Permissions/PrivacyPane.h"

static_assert(static_cast<long>(BluetoothAuthorization::notDetermined) == 0 &&
                  static_cast<long>(BluetoothAuthorization::restricted) == 1 &&
                  static_cast<long>(BluetoothAuthorization::denied) == 2 &&
                  static_cast<long>(BluetoothAuthorization::allowedAlways) == 3,
              "the Bluetooth table is written in the system's raw authorization values");

namespace {

using State = Permission::State;

// Restarts what needed `permission` once a request for it came back granted,
// then tells the caller; for the requests answered on the main thread.
std::function<void(bool)> finishingOnMain(Permission permission, PermissionSystem& system,
                                          std::function<void(bool)> completion)
{
    return [permission, &system, alive = system.lifetime(), completion = std::move(completion)](bool granted) {
        if (granted && !alive.expired())
            system.restartServiceFor(permission);
        if (completion)
            completion(granted);
    };
}

// The same for requests the system answers on a thread of its own: the
// restart goes to the main thread, the caller is told where the answer came.
std::function<void(bool)> finishingOffMain(Permission permission, PermissionSystem& system,
                                           std::function<void(bool)> completion)
{
    return [permission, &system, alive = system.lifetime(), completion = std::move(completion)](bool granted) {
        if (granted) {
            postToMainThread([permission, &system, alive] {
                if (!alive.expired())
                    system.restartServiceFor(permission);
            });
        }
        if (completion)
            completion(granted);
    };
}

} // namespace

std::optional<Permission> Permission::fromRawValue(std::string_view rawValue)
{
    if (const auto kind = enumFromRaw<Kind>(rawValue))
        return Permission(*kind);
    return std::nullopt;
}

std::string_view Permission::rawValue() const
{
    return ::rawValue(m_kind);
}

std::string_view Permission::settingsAnchor() const
{
    switch (m_kind) {
    case Kind::inputMonitoring:
        return PrivacyPane::listenEvent;
    case Kind::accessibility:
        return PrivacyPane::accessibility;
    case Kind::bluetooth:
        return PrivacyPane::bluetooth;
    case Kind::calendar:
        return PrivacyPane::calendars;
    case Kind::camera:
        break;
    }
    return PrivacyPane::camera;
}

Permission::State Permission::state(PermissionSystem& system) const
{
    const PermissionSeams& seams = system.seams();
    switch (m_kind) {
    case Kind::inputMonitoring:
        return stateForInputMonitoring(EventTapService::inputMonitoring());
    case Kind::accessibility:
        return stateForAccessibility(EventTapService::hasAccessibility());
    case Kind::bluetooth:
        return stateForBluetooth(seams.bluetoothAuthorization ? static_cast<long>(seams.bluetoothAuthorization())
                                                              : static_cast<long>(BluetoothAuthorization::notDetermined));
    case Kind::calendar:
        return stateForCalendar(seams.calendar.status ? seams.calendar.status() : 0);
    case Kind::camera:
        break;
    }
    return stateForCamera(seams.camera.status ? seams.camera.status() : 0);
}

void Permission::request(std::function<void(bool)> completion, PermissionSystem& system) const
{
    switch (m_kind) {
    case Kind::inputMonitoring:
        PermissionPrompt::withActivation(
            [&system, finish = finishingOnMain(*this, system, std::move(completion))] {
                // Nothing to grant here: the answer is the fresh look below.
                EventTapService::requestInputMonitoring();
                std::weak_ptr<const int> alive = system.lifetime();
                system.seams().scheduler.after(inputMonitoringCheckDelay, [alive, finish] {
                    if (!alive.expired())
                        finish(EventTapService::inputMonitoring() == EventTapService::InputMonitoring::granted);
                });
            },
            system);
        return;
    case Kind::accessibility:
        PermissionPrompt::withActivation(
            [finish = finishingOnMain(*this, system, std::move(completion))] {
                EventTapService::requestAccessibility();
                finish(EventTapService::hasAccessibility());
            },
            system);
        return;
    case Kind::bluetooth:
        PermissionPrompt::withActivation(
            [&system, finish = finishingOnMain(*this, system, std::move(completion))] {
                system.bluetoothProbe().request(finish);
            },
            system);
        return;
    case Kind::calendar:
    case Kind::camera:
        break;
    }
    const PermissionAccess& access = m_kind == Kind::calendar ? system.seams().calendar : system.seams().camera;
    auto finish = finishingOffMain(*this, system, std::move(completion));
    if (access.request)
        access.request(std::move(finish));
    else
        finish(false);
}

void Permission::openSettings(PermissionSystem& system) const
{
    system.openPrivacyPane(settingsAnchor());
}

Permission::State Permission::stateForInputMonitoring(EventTapService::InputMonitoring access)
{
    switch (access) {
    case EventTapService::InputMonitoring::granted:
        return State::granted;
    case EventTapService::InputMonitoring::denied:
        return State::denied;
    case EventTapService::InputMonitoring::unknown:
        break;
    }
    return State::notDetermined;
}

Permission::State Permission::stateForAccessibility(bool trusted)
{
    return trusted ? State::granted : State::notDetermined;
}

Permission::State Permission::stateForBluetooth(long rawAuthorization)
{
    switch (rawAuthorization) {
    case 0:
        return State::notDetermined;
    case 1:
    case 2:
        return State::denied;
    case 3:
        return State::granted;
    default:
        break;
    }
    return State::unknown;
}

Permission::State Permission::stateForCalendar(long rawStatus)
{
    switch (rawStatus) {
    case 0:
        return State::notDetermined;
    case 1:
    case 2:
    case 4:
        return State::denied;
    case 3:
        return State::granted;
    default:
        break;
    }
    return State::unknown;
}

Permission::State Permission::stateForCamera(long rawStatus)
{
    switch (rawStatus) {
    case 0:
        return State::notDetermined;
    case 1:
    case 2:
        return State::denied;
    case 3:
        return State::granted;
    default:
        break;
    }
    return State::unknown;
}
