#pragma once
// Screen lock and unlock from exactly one source of the session, the first of
// these that really answers when asked whether the screen is locked:
//   1. org.gnome.ScreenSaver on the session bus (its ActiveChanged signal);
//   2. org.freedesktop.ScreenSaver on the session bus (ActiveChanged), only
//      when GetActive succeeds: on GNOME that name belongs to a proxy that
//      accepts Inhibit but answers GetActive with NotSupported and never
//      announces anything;
//   3. logind's session on the system bus (its LockedHint property).
// Following only one source means one lock is never announced twice, and a
// source that stays silent is never chosen. The sources are asked without
// blocking, in turn; with none answering, nothing is ever announced.

#include "Platform/Power/ScreenLockMonitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class DBusScreenLockMonitor final : public QObject, public ScreenLockMonitor {
    Q_OBJECT
public:
    enum class Source { none, gnomeScreenSaver, freedesktopScreenSaver, logind };

    /// `sessionID`: the logind session to follow; empty means the one named
    /// by XDG_SESSION_ID, else logind's "auto" (the caller's session).
    explicit DBusScreenLockMonitor(const QDBusConnection& sessionBus = QDBusConnection::sessionBus(),
                                   const QDBusConnection& systemBus = QDBusConnection::systemBus(),
                                   QString sessionID = {}, QObject* parent = nullptr);
    ~DBusScreenLockMonitor() override;

    void start(Handler handler) override;
    void stop() override;

    /// The source being followed; `none` while still asking or when nothing
    /// answered.
    Source source() const { return m_source; }
    /// True once every source has been asked and one chosen or none left.
    bool isSettled() const { return m_settled; }

    static constexpr const char* kGnomeService = "org.gnome.ScreenSaver";
    static constexpr const char* kGnomePath = "/org/gnome/ScreenSaver";
    static constexpr const char* kGnomeInterface = "org.gnome.ScreenSaver";
    static constexpr const char* kFreedesktopService = "org.freedesktop.ScreenSaver";
    static constexpr const char* kFreedesktopPath = "/org/freedesktop/ScreenSaver";
    static constexpr const char* kFreedesktopInterface = "org.freedesktop.ScreenSaver";
    static constexpr const char* kLogindService = "org.freedesktop.login1";
    static constexpr const char* kLogindPath = "/org/freedesktop/login1";
    static constexpr const char* kLogindManagerInterface = "org.freedesktop.login1.Manager";
    static constexpr const char* kLogindSessionInterface = "org.freedesktop.login1.Session";

private slots:
    void onActiveChanged(bool active);
    void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);

private:
    void askScreenSaver(Source source);
    void askLogind();
    void askLockedHint(const QString& sessionPath);
    void follow(Source source, const QString& sessionPath = {});
    /// Connects to, or disconnects from, the signal of the source followed.
    void subscribe(bool on);
    /// Sends `message` without blocking; `onReply` gets the answer unless the
    /// monitor was started or stopped meanwhile.
    void ask(QDBusConnection& bus, const QDBusMessage& message, std::function<void(const QDBusMessage&)> onReply);
    void settle();
    void announce(bool locked);

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    QString m_sessionID;
    Handler m_handler;
    Source m_source = Source::none;
    QString m_sessionPath;
    bool m_settled = false;
    // Bumped by every start() and stop(): answers to an earlier round of
    // asking are dropped.
    quint64 m_generation = 0;
};
