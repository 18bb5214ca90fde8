#pragma once
// Keeps the display awake through the session bus: the screen saver service's
// Inhibit(application, reason) / UnInhibit(cookie), which GNOME, KDE, Xfce
// and others offer, else the desktop portal's Inhibit (idle), released by
// closing the request it returns. Every desktop also ends an inhibition when
// the connection that asked for it closes, so a crash never leaves the
// display awake.

#include "Platform/Power/DisplaySleepInhibitor.h"

#include <QDBusConnection>
#include <QString>

#include <map>

class ScreenSaverInhibitor final : public DisplaySleepInhibitor {
public:
    explicit ScreenSaverInhibitor(const QDBusConnection& sessionBus = QDBusConnection::sessionBus(),
                                  QString applicationName = QStringLiteral("Vude"));
    /// Releases whatever is still held.
    ~ScreenSaverInhibitor() override;

    bool isAvailable() override;
    std::optional<std::uint32_t> inhibit(const std::string& reason) override;
    void release(std::uint32_t id) override;

    static constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
    static constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";
    static constexpr const char* kScreenSaverInterface = "org.freedesktop.ScreenSaver";
    static constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kPortalInterface = "org.freedesktop.portal.Inhibit";
    static constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
    /// The portal's flag for inhibiting the session going idle.
    static constexpr unsigned kPortalIdleFlag = 8;

private:
    struct Held {
        /// The screen saver's cookie; unused for the portal.
        std::uint32_t cookie = 0;
        /// The portal's request object; empty for the screen saver.
        QString request{};
    };

    std::optional<Held> inhibitThroughScreenSaver(const QString& reason);
    std::optional<Held> inhibitThroughPortal(const QString& reason);

    QDBusConnection m_bus;
    QString m_applicationName;
    std::uint32_t m_nextID = 1;
    std::map<std::uint32_t, Held> m_held;
};
