#pragma once
// Reports Bluetooth devices connecting and disconnecting, with the battery
// level the stack publishes for them, and warns once per connection when a
// connected device's battery is low. The activity bridge starts it shortly
// after launch and turns its events into connectivity pills.
//
// A device that connects is reported 1.5 s later, which gives it time to
// publish its battery level; a device that leaves within that time is not
// reported as connected at all. A disconnection is reported at once. Only
// devices connected while the service runs (or already connected when it
// started) are reported when they disconnect.
//
// Main thread only: start(), stop() and the stack's events, the delays on the
// injected scheduler, and the consumer of the stream.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Platform/Core/LatestStream.h"
#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/BluetoothEvent.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class BluetoothService final {
public:
    enum class StartResult { started, needsPermission, denied };

    /// Events not yet taken by the consumer beyond this many are dropped,
    /// oldest first; a burst of devices reconnecting after wake fits.
    static constexpr std::size_t eventBufferSize = 8;
    /// How long after a connection the battery level is read.
    static constexpr Duration batteryReadDelay = std::chrono::milliseconds(1500);
    /// How long after a permission request its answer is read.
    static constexpr Duration permissionAnswerDelay = std::chrono::milliseconds(500);

    BluetoothService(std::unique_ptr<BluetoothBackend> backend, Scheduler& scheduler);
    ~BluetoothService();

    BluetoothService(const BluetoothService&) = delete;
    BluetoothService& operator=(const BluetoothService&) = delete;

    LatestStream<BluetoothEvent> events() const { return m_events; }

    /// A connected device whose lowest level is at or below this is warned
    /// about.
    double lowBatteryThreshold() const { return m_lowBatteryThreshold; }

    /// Asks the stack now whether the app may use Bluetooth: allowed with a
    /// reachable stack that has an adapter, whether or not its radio is on.
    /// Waits for the stack: not for the main thread.
    BluetoothAuthorization authorization() const;

    /// Starts following connections when Bluetooth is allowed. Without a
    /// stack at all, or when the system refuses access, it returns `denied`;
    /// with a stack but no adapter `needsPermission` (a request may switch
    /// one on). Nothing is followed in either case. Starting a running
    /// service changes nothing and returns `started`. Waits for the stack:
    /// the main thread uses start(done).
    StartResult start();
    /// start() without waiting: `done` runs on the main thread once the
    /// stack has answered (at once for a running service); not at all when
    /// stop() or the service's end comes first.
    void start(std::function<void(StartResult)> done);
    /// Stops following connections; pending reports are dropped. The devices
    /// already warned about stay warned until they disconnect while running.
    void stop();
    bool isStarted() const { return m_started; }

    /// Switches the radio on (the stand-in for the system's permission
    /// prompt) and, 0.5 s later, asks the stack without waiting; `completion`
    /// hears from its answer whether Bluetooth is then allowed. Not called
    /// once the service is gone.
    void requestPermission(std::function<void(bool)> completion);

    /// Calls `handler` whenever Bluetooth may have become usable: the stack
    /// appeared or an adapter was added, so a start that found neither may
    /// now succeed. An empty handler stops it.
    void setOnStackAvailable(std::function<void()> handler);

    /// Whether an adapter's radio is on, as last seen while running.
    bool isPowered() const { return m_powered; }

    /// The connected devices now, each with its battery level; empty when the
    /// stack cannot be reached.
    std::vector<BluetoothDevice> connectedDevices() const;

    /// The start result a stack's status gives.
    static StartResult startResult(const BluetoothStackStatus& status);

private:
    // Starts following with what the stack held when the watch began.
    void follow(const BluetoothStackState& stack);

    // A connection the service follows, by the stack's device handle.
    struct Registration {
        BluetoothDeviceInfo info;
        std::uint64_t connection = 0;
    };

    void handle(const BluetoothBackendEvent& event);
    void deviceConnected(const BluetoothDeviceInfo& info);
    void deviceDisconnected(const BluetoothDeviceInfo& info);
    void reportConnected(BluetoothDevice device, std::optional<int> percentage);
    bool isCurrent(const std::string& handle, std::uint64_t connection) const;

    const std::unique_ptr<BluetoothBackend> m_backend;
    Scheduler& m_scheduler;
    LatestStream<BluetoothEvent> m_events{eventBufferSize};
    double m_lowBatteryThreshold = 0.2;
    std::set<std::string> m_warned; // addresses
    std::map<std::string, Registration> m_registrations;
    std::uint64_t m_nextConnection = 0;
    bool m_started = false;
    bool m_powered = false;
    // Delayed work holds this weakly and does nothing once the service is gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

template <>
struct EnumTraits<BluetoothService::StartResult> {
    using StartResult = BluetoothService::StartResult;
    static constexpr std::array cases{
        EnumCase{StartResult::started, "started"},
        EnumCase{StartResult::needsPermission, "needsPermission"},
        EnumCase{StartResult::denied, "denied"},
    };
};
