#include "Platform/Shell/SystemWakeMonitor.h"

LogindWakeMonitor::LogindWakeMonitor(const QDBusConnection& bus, QObject* parent) : SystemWakeMonitor(parent)
{
    if (!bus.isConnected())
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
