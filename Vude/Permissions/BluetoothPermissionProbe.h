#pragma once
// Asks for Bluetooth the way a first use of the stack does: it connects to
// the stack and switches its radio on (Linux shows no prompt; a radio that is
// off is what stands between the user and Bluetooth), then answers whether
// Bluetooth is allowed, on the stack's first answer or, failing that, 2 s
// after the request.
//
// One request waits at a time. A new request replaces the waiting completion,
// which is then never called, and the connection, whose answers are then
// ignored; the earlier request's 2 s fallback still comes and answers the new
// completion if it is still waiting. So each completion runs at most once.
//
// Main thread only.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "VudeKit/Date.h"
#include "VudeKit/Scheduler.h"

#include <cstdint>
#include <functional>
#include <memory>

class BluetoothPermissionProbe {
public:
    using Completion = std::function<void(bool)>;
    /// Makes a connection to the stack; none when there is no stack to reach.
    using ManagerFactory = std::function<std::unique_ptr<BluetoothBackend>()>;
    using AuthorizationRead = std::function<BluetoothAuthorization()>;

    /// How long a request waits for the stack before it answers anyway.
    static constexpr Duration fallbackDelay = std::chrono::seconds(2);

    BluetoothPermissionProbe(ManagerFactory makeManager, AuthorizationRead authorization, Scheduler& scheduler);
    ~BluetoothPermissionProbe();

    BluetoothPermissionProbe(const BluetoothPermissionProbe&) = delete;
    BluetoothPermissionProbe& operator=(const BluetoothPermissionProbe&) = delete;

    /// The probe of the standard PermissionSystem.
    static BluetoothPermissionProbe& shared();

    /// `completion` is told whether Bluetooth is allowed always, once.
    void request(Completion completion);
    /// The current connection's first word from the stack: answers the
    /// waiting request, if any. The connection stays until the next request.
    void centralManagerDidUpdateState();

    /// Whether a completion waits for its answer.
    bool isWaiting() const { return static_cast<bool>(m_completion); }
    /// The connection of the latest request.
    const BluetoothBackend* manager() const { return m_manager.get(); }

private:
    void answer();

    const ManagerFactory m_makeManager;
    const AuthorizationRead m_authorization;
    Scheduler& m_scheduler;
    std::unique_ptr<BluetoothBackend> m_manager;
    Completion m_completion;
    std::uint64_t m_managerGeneration = 0;
    // Delayed steps and stack answers hold this weakly.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};
