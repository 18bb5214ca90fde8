#include "Vude/Permissions/BluetoothAuthorizationCache.h"

#include <utility>

BluetoothAuthorizationCache::BluetoothAuthorizationCache(BluetoothBackend& backend) : m_backend(backend)
{
    m_backend.setAvailabilityHandler([this] { refresh(); });
    refresh();
}

BluetoothAuthorizationCache::~BluetoothAuthorizationCache()
{
    m_backend.setAvailabilityHandler({});
}

BluetoothAuthorization BluetoothAuthorizationCache::current()
{
    return status().authorization();
}

BluetoothStackStatus BluetoothAuthorizationCache::status()
{
    refresh();
    return m_status;
}

void BluetoothAuthorizationCache::refresh()
{
    // A change may have come after the read under way was answered: one
    // more read follows it.
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    std::weak_ptr<int> alive = m_lifetime;
    m_backend.readStatus([this, alive](const BluetoothStackStatus& status) {
        if (alive.expired())
            return;
        m_reading = false;
        const bool changed = status.authorization() != m_status.authorization();
        m_status = status;
        if (std::exchange(m_readAgain, false))
            refresh();
        if (changed && m_changed)
            m_changed();
    });
}
