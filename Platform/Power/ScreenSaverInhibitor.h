#pragma once
// Keeps the display awake through the session bus: the screen saver service's
// Inhibit(application, reason) / UnInhibit(cookie), which GNOME, KDE, Xfce
// and others offer, else the desktop portal's Inhibit (idle), released by
// closing the request it returns. Every desktop also ends an inhibition when
// the connection that asked for it closes, so a crash never leaves the
// display awake.
//
// Nothing waits for the desktop: inhibit() gives its id at once and asks in
// the background (the screen saver, then the portal); a refusal of both
// reaches the lost handler. A release made before the answer is carried out
// when the answer comes, also after the inhibitor is gone.

#include "Platform/Power/DisplaySleepInhibitor.h"

#include <QDBusConnection>
#include <QString>

#include <map>
#include <memory>

class ScreenSaverInhibitor final : public DisplaySleepInhibitor {
public:
    explicit ScreenSaverInhibitor(const QDBusConnection& sessionBus = QDBusConnection::sessionBus(),
                                  QString applicationName = QStringLiteral("Vude"));
    /// Releases whatever is still held.
    ~ScreenSaverInhibitor() override;

    bool isAvailable() override;
    std::optional<std::uint32_t> inhibit(const std::string& reason) override;
    void release(std::uint32_t id) override;
    void setLostHandler(LostHandler handler) override { m_lost = std::move(handler); }

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
    // One inhibition, shared with the answers still due for it.
    struct Held {
        /// The desktop has answered.
        bool answered = false;
        /// The screen saver's cookie, or the portal's request object.
        std::optional<std::uint32_t> cookie{};
        QString request{};
        /// Let go of by the app: an answer that comes later is released.
        bool released = false;
    };

    void askScreenSaver(std::uint32_t id, const std::shared_ptr<Held>& held, const QString& reason);
    void askPortal(std::uint32_t id, const std::shared_ptr<Held>& held, const QString& reason);
    void refused(std::uint32_t id);
    static void sendRelease(QDBusConnection bus, const Held& held);

    QDBusConnection m_bus;
    QString m_applicationName;
    std::uint32_t m_nextID = 1;
    std::map<std::uint32_t, std::shared_ptr<Held>> m_held;
    LostHandler m_lost;
    // Answers that come after the inhibitor is gone only release.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
