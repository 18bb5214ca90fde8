#pragma once
// Reduce motion from the desktop's settings portal
// (org.freedesktop.portal.Settings): the GNOME key "enable-animations" of
// "org.gnome.desktop.interface", which desktops that run the portal publish.
// The value is read once, asynchronously, and then followed through the
// portal's SettingChanged signal, so asking costs nothing. Until the portal
// answers, and on a desktop without one, motion is not reduced.

#include "Platform/Settings/ReduceMotionSetting.h"

#include <QDBusConnection>
#include <QDBusVariant>

class PortalReduceMotionSetting final : public ReduceMotionSetting {
    Q_OBJECT
public:
    /// Not reduced, with nothing asked, until watch().
    explicit PortalReduceMotionSetting(QObject* parent = nullptr);
    /// Watches `bus` at once.
    explicit PortalReduceMotionSetting(const QDBusConnection& bus, QObject* parent = nullptr);

    /// Reads the setting from the portal on `bus` and follows it. Once only:
    /// later calls are ignored.
    void watch(const QDBusConnection& bus);

    bool isAvailable() const override { return m_available; }
    bool reduceMotion() const override { return m_reduceMotion; }

    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.Settings";
    static constexpr const char* kNamespace = "org.gnome.desktop.interface";
    static constexpr const char* kKey = "enable-animations";

private slots:
    void onSettingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value);

private:
    void read(const QString& method);
    void apply(const QVariant& value);

    QDBusConnection m_bus;
    bool m_watched = false;
    bool m_available = false;
    bool m_reduceMotion = false;
};
