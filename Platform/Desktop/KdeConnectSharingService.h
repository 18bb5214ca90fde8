#pragma once
// Sends files to one of the user's nearby devices through KDE Connect's
// daemon on the session bus: the first device that is reachable, paired and
// has its share plugin loaded gets each file with one `shareUrl` call. No
// daemon, or no such device, means unavailable; nothing is sent then.

#include "Platform/Shell/SharingService.h"

#include <QDBusConnection>
#include <QString>

#include <optional>

class KdeConnectSharingService final : public SharingService {
public:
    static constexpr const char* kService = "org.kde.kdeconnect";
    static constexpr const char* kDaemonPath = "/modules/kdeconnect";
    static constexpr const char* kDaemonInterface = "org.kde.kdeconnect.daemon";
    static constexpr const char* kDeviceInterface = "org.kde.kdeconnect.device";
    static constexpr const char* kShareInterface = "org.kde.kdeconnect.device.share";
    static constexpr const char* kSharePlugin = "kdeconnect_share";
    /// How long one call may take before the daemon counts as absent. The
    /// calls block the main thread during a drop, and a local daemon that
    /// is alive answers in far less.
    static constexpr int kCallTimeoutMs = 300;

    explicit KdeConnectSharingService(const QDBusConnection& bus = QDBusConnection::sessionBus());

    bool isAvailable() const override { return device().has_value(); }
    /// Looks the device up once and sends it every local file of `items`;
    /// false when there is no device or it took none of them.
    bool perform(const QList<QUrl>& items) override;

    /// The id of the device files would go to now.
    std::optional<QString> device() const;

private:
    QDBusConnection m_bus;
};
