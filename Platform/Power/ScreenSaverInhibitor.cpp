#include "Platform/Power/ScreenSaverInhibitor.h"

#include "Platform/DBus/DBusCalls.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

// Runs `handle` with the answer to `message`; the watcher lives until then,
// whatever becomes of the caller.
template <typename Handle>
void whenAnswered(QDBusConnection& bus, const QDBusMessage& message, Handle handle)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, DBusCalls::kCallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [handle = std::move(handle)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         handle(finished->reply());
                     });
}

} // namespace

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
    // Only the bus itself is asked here: it answers even when the desktop's
    // services do not.
    if (!isAvailable())
        return std::nullopt;
    const std::uint32_t id = m_nextID++;
    if (m_nextID == 0)
        m_nextID = 1;
    auto held = std::make_shared<Held>();
    m_held[id] = held;
    askScreenSaver(id, held, QString::fromStdString(reason));
    return id;
}

void ScreenSaverInhibitor::askScreenSaver(std::uint32_t id, const std::shared_ptr<Held>& held, const QString& reason)
{
    auto message =
        QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface, "Inhibit");
    message << m_applicationName << reason;
    const std::weak_ptr<int> alive = m_alive;
    whenAnswered(m_bus, message, [this, alive, bus = m_bus, id, held, reason](const QDBusMessage& answer) {
        const QDBusPendingReply<uint> reply(answer);
        if (reply.isValid()) {
            held->answered = true;
            held->cookie = reply.value();
            if (held->released)
                sendRelease(bus, *held);
        } else if (!alive.expired() && !held->released) {
            askPortal(id, held, reason);
        } else {
            held->answered = true;
        }
    });
}

void ScreenSaverInhibitor::askPortal(std::uint32_t id, const std::shared_ptr<Held>& held, const QString& reason)
{
    auto message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInterface, "Inhibit");
    message << QString() << kPortalIdleFlag << QVariantMap{{"reason", reason}};
    const std::weak_ptr<int> alive = m_alive;
    whenAnswered(m_bus, message, [this, alive, bus = m_bus, id, held](const QDBusMessage& answer) {
        const QDBusPendingReply<QDBusObjectPath> reply(answer);
        held->answered = true;
        if (reply.isValid() && !reply.value().path().isEmpty()) {
            held->request = reply.value().path();
            if (held->released)
                sendRelease(bus, *held);
        } else if (!alive.expired() && !held->released) {
            refused(id);
        }
    });
}

void ScreenSaverInhibitor::refused(std::uint32_t id)
{
    m_held.erase(id);
    if (const LostHandler handler = m_lost)
        handler(id);
}

void ScreenSaverInhibitor::release(std::uint32_t id)
{
    const auto found = m_held.find(id);
    if (found == m_held.end())
        return;
    const std::shared_ptr<Held> held = found->second;
    m_held.erase(found);
    held->released = true;
    // Not answered yet: the answer releases it.
    if (held->answered)
        sendRelease(m_bus, *held);
}

void ScreenSaverInhibitor::sendRelease(QDBusConnection bus, const Held& held)
{
    // Sent without waiting: the desktop also ends whatever is left when the
    // connection closes.
    if (!held.request.isEmpty()) {
        bus.send(QDBusMessage::createMethodCall(kPortalService, held.request, kRequestInterface, "Close"));
    } else if (held.cookie) {
        auto message = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverInterface,
                                                      "UnInhibit");
        message << *held.cookie;
        bus.send(message);
    }
}
