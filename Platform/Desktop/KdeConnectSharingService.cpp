#include "Platform/Desktop/KdeConnectSharingService.h"

#include <QDBusMessage>
#include <QStringList>

#include <algorithm>

KdeConnectSharingService::KdeConnectSharingService(const QDBusConnection& bus) : m_bus(bus) {}

std::optional<QString> KdeConnectSharingService::device() const
{
    if (!m_bus.isConnected())
        return std::nullopt;
    QDBusMessage list = QDBusMessage::createMethodCall(kService, kDaemonPath, kDaemonInterface, "devices");
    list << true << true; // reachable and paired only
    const QDBusMessage devices = m_bus.call(list, QDBus::Block, kCallTimeoutMs);
    if (devices.type() != QDBusMessage::ReplyMessage || devices.arguments().isEmpty())
        return std::nullopt;
    for (const QString& id : devices.arguments().constFirst().toStringList()) {
        // An id becomes part of an object path; anything else is not a device.
        if (id.isEmpty() || !std::ranges::all_of(id, [](QChar c) { return c.isLetterOrNumber() || c == '_'; }))
            continue;
        QDBusMessage ask = QDBusMessage::createMethodCall(kService, QString(kDaemonPath) + "/devices/" + id,
                                                          kDeviceInterface, "hasPlugin");
        ask << QString(kSharePlugin);
        const QDBusMessage answer = m_bus.call(ask, QDBus::Block, kCallTimeoutMs);
        if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
            answer.arguments().constFirst().toBool())
            return id;
    }
    return std::nullopt;
}

bool KdeConnectSharingService::perform(const QList<QUrl>& items)
{
    const std::optional<QString> id = device();
    if (!id)
        return false;
    const QString path = QString(kDaemonPath) + "/devices/" + *id + "/share";
    bool sent = false;
    for (const QUrl& url : items) {
        if (!url.isLocalFile())
            continue;
        QDBusMessage share = QDBusMessage::createMethodCall(kService, path, kShareInterface, "shareUrl");
        share << url.toString(QUrl::FullyEncoded);
        const QDBusMessage reply = m_bus.call(share, QDBus::Block, kCallTimeoutMs);
        sent = sent || reply.type() == QDBusMessage::ReplyMessage;
    }
    return sent;
}
