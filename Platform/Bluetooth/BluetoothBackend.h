#pragma once
// The system's Bluetooth stack as the Bluetooth service and the permission
// checks see it: whether it can be reached, its adapters' power, the devices
// it knows, their connections and battery levels. The Linux backend talks to
// BlueZ on the system bus (BluezBluetoothBackend); tests use
// FakeBluetoothBackend.
//
// Everything here is used on the main thread, and events and answers arrive
// on it.

#include "VudeKit/EnumTraits.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// Whether the app may use Bluetooth, in the system's terms.
enum class BluetoothAuthorization { notDetermined, restricted, denied, allowedAlways };

template <>
struct EnumTraits<BluetoothAuthorization> {
    static constexpr std::array cases{
        EnumCase{BluetoothAuthorization::notDetermined, "notDetermined"},
        EnumCase{BluetoothAuthorization::restricted, "restricted"},
        EnumCase{BluetoothAuthorization::denied, "denied"},
        EnumCase{BluetoothAuthorization::allowedAlways, "allowedAlways"},
    };
};

/// What one look at the stack found.
struct BluetoothStackStatus {
    /// The stack answered.
    bool reachable = false;
    /// The system refused to let this process talk to the stack.
    bool accessDenied = false;
    /// The stack has at least one adapter (a radio), switched on or not.
    bool hasAdapter = false;
    /// At least one adapter is switched on.
    bool powered = false;

    /// A reachable stack with an adapter is allowed whether or not its radio
    /// is on: a switched-off radio is not a missing permission. A refusal is
    /// `denied`; no stack or no adapter is `notDetermined`, since a request
    /// (which switches the radio on) may still change it.
    BluetoothAuthorization authorization() const;

    bool operator==(const BluetoothStackStatus&) const = default;
};

/// One device the stack knows, as read now.
struct BluetoothDeviceInfo {
    /// The stack's own handle for the device (BlueZ: its object path); stable
    /// while the stack knows the device.
    std::string handle{};
    /// As the stack writes it ("AA:BB:CC:DD:EE:FF"); empty when it gave none.
    std::string address{};
    /// The name the device gives; empty when it gave none.
    std::string name{};
    /// The name the stack shows: the user's alias, else the name, else the
    /// address. Empty when it gave none.
    std::string alias{};
    bool connected = false;
    /// The single battery level the stack publishes, 0...100; none when the
    /// device reports none.
    std::optional<int> batteryPercentage{};

    bool operator==(const BluetoothDeviceInfo&) const = default;
};

/// The stack's status and every device it knows.
struct BluetoothStackState {
    BluetoothStackStatus status{};
    std::vector<BluetoothDeviceInfo> devices{};

    bool operator==(const BluetoothStackState&) const = default;
};

struct BluetoothBackendEvent {
    enum class Kind {
        /// A device's connection came up; `device` as read at that moment.
        deviceConnected,
        /// A connected device's connection went down, or the device or the
        /// whole stack went away while it was connected.
        deviceDisconnected,
        /// Whether any adapter is switched on changed; see `powered`.
        poweredChanged,
    };
    Kind kind;
    BluetoothDeviceInfo device{};
    bool powered = false;

    bool operator==(const BluetoothBackendEvent&) const = default;
};

class BluetoothBackend {
public:
    using EventHandler = std::function<void(const BluetoothBackendEvent&)>;

    virtual ~BluetoothBackend() = default;

    /// Receives the events of a watch, on the main thread; an empty handler
    /// stops delivery.
    virtual void setEventHandler(EventHandler handler) = 0;

    /// Looks at the stack now, waiting briefly for its answer.
    virtual BluetoothStackState read() = 0;
    /// read()'s status without waiting: `done` runs later on the main thread
    /// with what the stack answered (unreachable when it did not); never
    /// once the backend is gone.
    virtual void readStatus(std::function<void(const BluetoothStackStatus&)> done) = 0;
    /// Starts following the stack and returns what it holds at that moment;
    /// later changes arrive as events. Watching again only reads again.
    virtual BluetoothStackState watch() = 0;
    /// watch() without waiting: follows the stack from now on, and `done`
    /// runs later on the main thread with what it holds; not at all when
    /// unwatch() comes first or the backend is gone.
    virtual void startWatching(std::function<void(const BluetoothStackState&)> done) = 0;
    /// Stops following the stack; no event arrives after this returns.
    virtual void unwatch() = 0;

    /// Asks for a device's battery level (0...100) without waiting; `done`
    /// runs later on the main thread with none when the device reports no
    /// level or cannot be asked. Never runs once the backend is gone.
    virtual void readBattery(const std::string& handle, std::function<void(std::optional<int>)> done) = 0;
    /// Switches every adapter's radio on without waiting; `done` runs later
    /// with whether at least one adapter is on afterwards.
    virtual void powerOn(std::function<void(bool)> done) = 0;

    /// Calls `handler` on the main thread whenever the stack may have become
    /// usable: it appeared (the Bluetooth daemon started) or an adapter was
    /// added. Independent of watch(); an empty handler stops it. A backend
    /// that cannot tell never calls it.
    virtual void setAvailabilityHandler(std::function<void()> /*handler*/) {}
};
