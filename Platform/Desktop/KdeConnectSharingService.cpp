#include "Platform/Desktop/KdeConnectSharingService.h"

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QStringList>

#include <algorithm>
#include <utility>

KdeConnectSharingService::KdeConnectSharingService()
    : m_bus(QString()), m_calls(std::make_unique<QObject>())
{
}

KdeConnectSharingService::KdeConnectSharingService(const QDBusConnection& bus) : KdeConnectSharingService()
{
    watch(bus);
}

void KdeConnectSharingService::watch(const QDBusConnection& bus)
{
    if (std::exchange(m_watched, true))
        return;
    m_bus = bus;
    if (!m_bus.isConnected())
        return;
    auto* watcher = new QDBusServiceWatcher(
        kService, m_bus, QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        m_calls.get());
    QObject::connect(watcher, &QDBusServiceWatcher::serviceRegistered, m_calls.get(), [this] { lookUp(false); });
    QObject::connect(watcher, &QDBusServiceWatcher::serviceUnregistered, m_calls.get(), [this] {
        m_device.reset();
        lookUp(false);
    });
    // Only a daemon already running: the app's start must not start one.
    lookUp(false);
}

KdeConnectSharingService::~KdeConnectSharingService() = default;

bool KdeConnectSharingService::isAvailable() const
{
    lookUp();
    return m_device.has_value();
}

bool KdeConnectSharingService::perform(const QList<QUrl>& items)
{
    const std::optional<QString> id = m_device;
    lookUp();
    if (!id)
        return false;
    const QString path = QString(kDaemonPath) + "/devices/" + *id + "/share";
    bool sent = false;
    for (const QUrl& url : items) {
        if (!url.isLocalFile())
            continue;
        QDBusMessage share = QDBusMessage::createMethodCall(kService, path, kShareInterface, "shareUrl");
        share << url.toString(QUrl::FullyEncoded);
        // Not waited for: a file the device does not take shows on neither.
        m_bus.send(share);
        sent = true;
    }
    return sent;
}

template <typename Handle>
void KdeConnectSharingService::whenAnswered(const QDBusMessage& message, Handle handle) const
{
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kCallTimeoutMs), m_calls.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, m_calls.get(),
                     [handle = std::move(handle)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         handle(finished->reply());
                     });
}

void KdeConnectSharingService::lookUp(bool startsDaemon) const
{
    if (!m_bus.isConnected())
        return;
    if (m_lookingUp) {
        m_lookAgain = true;
        return;
    }
    m_lookingUp = true;
    QDBusMessage list = QDBusMessage::createMethodCall(kService, kDaemonPath, kDaemonInterface, "devices");
    list << true << true; // reachable and paired only
    list.setAutoStartService(startsDaemon);
    whenAnswered(list, [this](const QDBusMessage& devices) {
        if (devices.type() != QDBusMessage::ReplyMessage || devices.arguments().isEmpty()) {
            lookedUp(std::nullopt);
            return;
        }
        QStringList ids;
        for (const QString& id : devices.arguments().constFirst().toStringList())
            // An id becomes part of an object path; anything else is not a device.
            if (!id.isEmpty() && std::ranges::all_of(id, [](QChar c) { return c.isLetterOrNumber() || c == '_'; }))
                ids << id;
        askForPlugin(ids, 0);
    });
}

void KdeConnectSharingService::askForPlugin(QStringList ids, qsizetype index) const
{
    if (index >= ids.size()) {
        lookedUp(std::nullopt);
        return;
    }
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, QString(kDaemonPath) + "/devices/" + ids[index], kDeviceInterface,
                                       "hasPlugin");
    ask << QString(kSharePlugin);
    whenAnswered(ask, [this, ids, index](const QDBusMessage& answer) {
        if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
            answer.arguments().constFirst().toBool())
            lookedUp(ids[index]);
        else
            askForPlugin(ids, index + 1);
    });
}

void KdeConnectSharingService::lookedUp(std::optional<QString> id) const
{
    m_device = std::move(id);
    m_lookingUp = false;
    if (std::exchange(m_lookAgain, false))
        lookUp();
}
