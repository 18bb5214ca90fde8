#include "Platform/Power/ScreenSaverInhibitor.h"

#include "Platform/DBus/DBusCalls.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariantMap>

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection& sessionBus, QString applicationName)
    : m_bus(sessionBus), m_applicationName(std::move(applicationName))
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    while (!m_held.empty())
        release(m_held.begin()->first);
}

bool ScreenSaverInhibitor::isAvailable()
{
    if (!m_bus.isConnected())
        return false;
    const QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus)
        return false;
    for (const char* service : {kScreenSaverService, kPortalService})
        if (bus->isServiceRegistered(service).value())
            return true;
    const QStringList activatable = bus->activatableServiceNames().value();
    return activatable.contains(kScreenSaverService) || activatable.contains(kPortalService);
}

std::optional<std::uint32_t> ScreenSaverInhibitor::inhibit(const std::string& reason)
{
    if (!m_bus.isConnected())
        return std::nullopt;
    const QString text = QString::fromStdString(reason);
    auto held = inhibitThroughScreenSaver(text);
    if (!held)
        held = inhibitThroughPortal(text);
    if (!held)
        return std::nullopt;
    const std::uint32_t id = m_nextID++;
    if (m_nextID == 0)
        m_nextID = 1;
    m_held[id] = *held;
    return id;
}

void ScreenSaverInhibitor::release(std::uint32_t id)
{
    const auto found = m_held.find(id);
    if (found == m_held.end())
        return;
    const Held held = found->second;
    m_held.erase(found);
    // Waits for the answer so that the release has reached the desktop
    // before the app may quit.
    if (held.request.isEmpty()) {
        auto message = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface,
                                                      "UnInhibit");
        message << held.cookie;
        m_bus.call(message, QDBus::Block, DBusCalls::kCallTimeoutMs);
    } else {
        auto message = QDBusMessage::createMethodCall(kPortalService, held.request, kRequestInterface, "Close");
        m_bus.call(message, QDBus::Block, DBusCalls::kCallTimeoutMs);
    }
}

std::optional<ScreenSaverInhibitor::Held> ScreenSaverInhibitor::inhibitThroughScreenSaver(const QString& reason)
{
    auto message =
        QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface, "Inhibit");
    message << m_applicationName << reason;
    const QDBusReply<uint> reply = m_bus.call(message, QDBus::Block, DBusCalls::kCallTimeoutMs);
    if (!reply.isValid())
        return std::nullopt;
    return Held{.cookie = reply.value()};
}

std::optional<ScreenSaverInhibitor::Held> ScreenSaverInhibitor::inhibitThroughPortal(const QString& reason)
{
    auto message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface, "Inhibit");
    message << QString() << kPortalIdleFlag << QVariantMap{{"reason", reason}};
    const QDBusReply<QDBusObjectPath> reply = m_bus.call(message, QDBus::Block, DBusCalls::kCallTimeoutMs);
    if (!reply.isValid() || reply.value().path().isEmpty())
        return std::nullopt;
    return Held{.request = reply.value().path()};
}
