#include "Platform/Shell/SystemWakeMonitor.h"

#include <utility>

LogindWakeMonitor::LogindWakeMonitor(QObject* parent) : SystemWakeMonitor(parent) {}

LogindWakeMonitor::LogindWakeMonitor(const QDBusConnection& bus, QObject* parent) : SystemWakeMonitor(parent)
{
    watch(bus);
}

void LogindWakeMonitor::watch(const QDBusConnection& bus)
{
    if (std::exchange(m_watched, true) || !bus.isConnected())
        return;
    // The sender is named so only logind itself can wake us.
    m_available = QDBusConnection(bus).connect(kService, kPath, kInterface, "PrepareForSleep", this,
                                               SLOT(onPrepareForSleep(bool)));
}

void LogindWakeMonitor::onPrepareForSleep(bool starting)
{
    if (!starting)
        emit didWake();
}
