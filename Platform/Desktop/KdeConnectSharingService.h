#pragma once
// Sends files to one of the user's nearby devices through KDE Connect's
// daemon on the session bus: the first device that is reachable, paired and
// has its share plugin loaded gets each file with one `shareUrl` call. No
// daemon, or no such device, means unavailable; nothing is sent then.
//
// A drag and a drop cannot wait for the daemon: the device is looked up in
// the background and the answer kept for the next drag.

#include "Platform/Shell/SharingService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class KdeConnectSharingService final : public SharingService {
public:
    static constexpr const char* kService = "org.kde.kdeconnect";
    static constexpr const char* kDaemonPath = "/modules/kdeconnect";
    static constexpr const char* kDaemonInterface = "org.kde.kdeconnect.daemon";
    static constexpr const char* kDeviceInterface = "org.kde.kdeconnect.device";
    static constexpr const char* kShareInterface = "org.kde.kdeconnect.device.share";
    static constexpr const char* kSharePlugin = "kdeconnect_share";
    /// How long one call may take before the daemon counts as absent: a
    /// local daemon that is alive answers in far less.
    static constexpr int kCallTimeoutMs = 300;

    /// Unavailable, with no call made, until watch().
    KdeConnectSharingService();
    /// Watches `bus` at once.
    explicit KdeConnectSharingService(const QDBusConnection& bus);
    ~KdeConnectSharingService() override;

    /// Follows the daemon on `bus` and looks the device up. Once only: later
    /// calls are ignored.
    void watch(const QDBusConnection& bus);

    /// Whether a device was found when last looked up; looks again for the
    /// next time.
    bool isAvailable() const override;
    /// Sends every local file of `items` to the device last looked up, and
    /// looks again; false when there is no device or nothing local to send.
    bool perform(const QList<QUrl>& items) override;

    /// The id of the device files would go to, as last looked up; none
    /// before the first lookup has answered.
    std::optional<QString> device() const { return m_device; }
    /// A lookup is under way.
    bool isLookingUp() const { return m_lookingUp; }

private:
    // The devices are looked up without waiting: when made, when the daemon
    // appears, and at each use for the next one, which may start the daemon.
    void lookUp(bool startsDaemon = true) const;
    void askForPlugin(QStringList ids, qsizetype index) const;
    void lookedUp(std::optional<QString> id) const;
    template <typename Handle>
    void whenAnswered(const QDBusMessage& message, Handle handle) const;

    QDBusConnection m_bus;
    bool m_watched = false;
    std::unique_ptr<QObject> m_calls;
    mutable std::optional<QString> m_device;
    mutable bool m_lookingUp = false;
    mutable bool m_lookAgain = false;
};
