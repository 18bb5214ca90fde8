#pragma once
// Do Not Disturb from the desktop's notification server: the `Inhibited`
// property of org.freedesktop.Notifications, which servers that support Do
// Not Disturb publish (with PropertiesChanged). Asked without waiting, and
// never by starting a server: a desktop whose server lacks the property, or
// has no server, reads as unavailable. A server that appears later is asked
// then.

#include "Platform/Desktop/FocusStateSource.h"

#include <QDBusConnection>
#include <QVariantMap>

class QDBusServiceWatcher;

class NotificationServerFocusSource final : public FocusStateSource {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";
    static constexpr const char* kProperty = "Inhibited";

    explicit NotificationServerFocusSource(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                           QObject* parent = nullptr);
    ~NotificationServerFocusSource() override;

    void start() override;
    void stop() override;
    bool isPending() const override { return m_pending; }
    bool isAvailable() const override { return m_available; }
    bool isFocusOn() const override { return m_on; }

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void read();
    void settle(bool available, bool on);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_started = false;
    bool m_pending = true;
    bool m_available = false;
    bool m_on = false;
    // Answers to an earlier read, or from before a stop, are stale.
    quint64 m_readGeneration = 0;
};
