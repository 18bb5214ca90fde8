#include "Vude/Permissions/BluetoothPermissionProbe.h"

#include "Vude/Permissions/PermissionSystem.h"

BluetoothPermissionProbe::BluetoothPermissionProbe(ManagerFactory makeManager, AuthorizationRead authorization,
                                                   Scheduler& scheduler)
    : m_makeManager(std::move(makeManager)), m_authorization(std::move(authorization)), m_scheduler(scheduler)
{
}

BluetoothPermissionProbe::~BluetoothPermissionProbe() = default;

BluetoothPermissionProbe& BluetoothPermissionProbe::shared()
{
    return PermissionSystem::standard().bluetoothProbe();
}

void BluetoothPermissionProbe::request(Completion completion)
{
    m_completion = std::move(completion);

    // The previous connection goes first, so that its answers cannot count
    // for this request.
    m_manager.reset();
    const std::uint64_t generation = ++m_managerGeneration;
    std::weak_ptr<int> alive = m_lifetime;
    m_manager = m_makeManager ? m_makeManager() : nullptr;
    if (m_manager) {
        m_manager->powerOn([this, alive, generation](bool) {
            if (alive.expired() || generation != m_managerGeneration)
                return;
            centralManagerDidUpdateState();
        });
    }

    m_scheduler.after(fallbackDelay, [this, alive] {
        if (alive.expired() || !m_completion)
            return;
        answer();
    });
}

void BluetoothPermissionProbe::centralManagerDidUpdateState()
{
    if (!m_completion)
        return;
    answer();
}

void BluetoothPermissionProbe::answer()
{
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    completion(m_authorization && m_authorization() == BluetoothAuthorization::allowedAlways);
}
