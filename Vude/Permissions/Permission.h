#pragma once
// The five permissions Vude needs, and for each how its state is read, how it
// is asked for and which privacy pane explains it. Linux has no consent
// dialogs for any of them: each state is a look at the access we really have,
// expressed in the system's raw codes and mapped by one table per permission.
//   inputMonitoring  the desktop's keys can be read (X11 with XInput 2)
//   accessibility    the media keys can be taken from the desktop
//   bluetooth        BlueZ answers and has an adapter
//   calendar         the calendars folder can be read
//   camera           a video capture device opens
// States are never cached: every read asks again.
//
// Main thread, except the completions of calendar and camera requests, which
// come on a thread of their own.

#include "Vude/Permissions/PermissionSystem.h"
#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeServices/EventTapService.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

class Permission {
public:
    enum class Kind { inputMonitoring, accessibility, bluetooth, calendar, camera };
    enum class State { granted, notDetermined, denied, unknown };

    constexpr Permission(Kind kind) : m_kind(kind) {}

    static const Permission inputMonitoring;
    static const Permission accessibility;
    static const Permission bluetooth;
    static const Permission calendar;
    static const Permission camera;

    /// In the order every list of permissions follows.
    static constexpr std::array<Permission, 5> allCases();
    /// The permission whose raw value is exactly `rawValue`.
    static std::optional<Permission> fromRawValue(std::string_view rawValue);

    constexpr Kind kind() const { return m_kind; }
    /// The case name ("camera").
    std::string_view rawValue() const;
    std::string_view id() const { return rawValue(); }
    /// Its privacy pane's anchor ("Privacy_Camera").
    std::string_view settingsAnchor() const;

    /// Asks the system now.
    State state(PermissionSystem& system = PermissionSystem::standard()) const;
    /// Asks for the permission; returns at once. `completion` is told whether
    /// it is granted now: on the main thread for input monitoring (1.15 s
    /// later), Accessibility (0.15 s) and Bluetooth (on the stack's first
    /// answer, at most 2.15 s), on a thread of its own for calendar and
    /// camera. A grant first restarts the service that needed it.
    void request(std::function<void(bool)> completion, PermissionSystem& system = PermissionSystem::standard()) const;
    /// Opens what explains this permission on Linux.
    void openSettings(PermissionSystem& system = PermissionSystem::standard()) const;

    /// How long after the input-monitoring request its answer is read.
    static constexpr Duration inputMonitoringCheckDelay = std::chrono::seconds(1);

    // The tables from the system's answers to a state.
    static State stateForInputMonitoring(EventTapService::InputMonitoring access);
    /// Not trusted is not yet decided: this permission is never denied.
    static State stateForAccessibility(bool trusted);
    /// 3 allowed always; 0 not determined; 1 restricted and 2 denied; else unknown.
    static State stateForBluetooth(long rawAuthorization);
    /// 3 full access; 0 not determined; 1 restricted, 2 denied and 4 write
    /// only; else unknown.
    static State stateForCalendar(long rawStatus);
    /// 3 authorized; 0 not determined; 1 restricted and 2 denied; else unknown.
    static State stateForCamera(long rawStatus);

    constexpr bool operator==(const Permission&) const = default;

private:
    Kind m_kind;
};

inline constexpr Permission Permission::inputMonitoring{Kind::inputMonitoring};
inline constexpr Permission Permission::accessibility{Kind::accessibility};
inline constexpr Permission Permission::bluetooth{Kind::bluetooth};
inline constexpr Permission Permission::calendar{Kind::calendar};
inline constexpr Permission Permission::camera{Kind::camera};

constexpr std::array<Permission, 5> Permission::allCases()
{
    return {inputMonitoring, accessibility, bluetooth, calendar, camera};
}

template <>
struct EnumTraits<Permission::Kind> {
    using K = Permission::Kind;
    static constexpr std::array cases{
        EnumCase{K::inputMonitoring, "inputMonitoring"},
        EnumCase{K::accessibility, "accessibility"},
        EnumCase{K::bluetooth, "bluetooth"},
        EnumCase{K::calendar, "calendar"},
        EnumCase{K::camera, "camera"},
    };
};

template <>
struct EnumTraits<Permission::State> {
    using S = Permission::State;
    static constexpr std::array cases{
        EnumCase{S::granted, "granted"},
        EnumCase{S::notDetermined, "notDetermined"},
        EnumCase{S::denied, "denied"},
        EnumCase{S::unknown, "unknown"},
    };
};

template <>
struct std::hash<Permission> {
    std::size_t operator()(const Permission& permission) const noexcept
    {
        return std::hash<int>()(static_cast<int>(permission.kind()));
    }
};
