#include "Platform/Power/DBusScreenLockMonitor.h"

#include "Platform/DBus/DBusCalls.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>

namespace {

constexpr auto kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr auto kLockedHint = "LockedHint";

} // namespace

DBusScreenLockMonitor::DBusScreenLockMonitor(const QDBusConnection& sessionBus, const QDBusConnection& systemBus,
                                             QString sessionID, QObject* parent)
    : QObject(parent), m_sessionBus(sessionBus), m_systemBus(systemBus), m_sessionID(std::move(sessionID))
{
    if (m_sessionID.isEmpty())
        m_sessionID = qEnvironmentVariable("XDG_SESSION_ID");
    if (m_sessionID.isEmpty())
        m_sessionID = QStringLiteral("auto");
}

DBusScreenLockMonitor::~DBusScreenLockMonitor()
{
    stop();
}

void DBusScreenLockMonitor::start(Handler handler)
{
    stop();
    m_handler = std::move(handler);
    askScreenSaver(Source::gnomeScreenSaver);
}

void DBusScreenLockMonitor::stop()
{
    ++m_generation;
    subscribe(false);
    m_source = Source::none;
    m_sessionPath.clear();
    m_handler = {};
    m_settled = false;
}

void DBusScreenLockMonitor::askScreenSaver(Source source)
{
    const bool gnome = source == Source::gnomeScreenSaver;
    const auto next = [this, gnome] {
        if (gnome)
            askScreenSaver(Source::freedesktopScreenSaver);
        else
            askLogind();
    };
    if (!m_sessionBus.isConnected()) {
        next();
        return;
    }
    const auto message = QDBusMessage::createMethodCall(gnome ? kGnomeService : kFreedesktopService,
                                                        gnome ? kGnomePath : kFreedesktopPath,
                                                        gnome ? kGnomeInterface : kFreedesktopInterface, "GetActive");
    ask(m_sessionBus, message, [this, source, next](const QDBusMessage& reply) {
        if (DBusCalls::boolFrom(reply))
            follow(source);
        else
            next();
    });
}

void DBusScreenLockMonitor::askLogind()
{
    if (!m_systemBus.isConnected()) {
        settle();
        return;
    }
    auto message = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManagerInterface, "GetSession");
    message << m_sessionID;
    ask(m_systemBus, message, [this](const QDBusMessage& answer) {
        const QDBusReply<QDBusObjectPath> reply = answer;
        if (reply.isValid() && !reply.value().path().isEmpty())
            askLockedHint(reply.value().path());
        else
            settle();
    });
}

void DBusScreenLockMonitor::askLockedHint(const QString& sessionPath)
{
    const auto message =
        DBusCalls::propertyCall(kLogindService, sessionPath, kLogindSessionInterface, kLockedHint);
    ask(m_systemBus, message, [this, sessionPath](const QDBusMessage& reply) {
        if (DBusCalls::boolFrom(reply))
            follow(Source::logind, sessionPath);
        else
            settle();
    });
}

void DBusScreenLockMonitor::follow(Source source, const QString& sessionPath)
{
    m_source = source;
    m_sessionPath = sessionPath;
    subscribe(true);
    settle();
}

void DBusScreenLockMonitor::subscribe(bool on)
{
    const auto toggle = [this, on](QDBusConnection& bus, const QString& service, const QString& path,
                                   const QString& interface, const QString& name, const char* slot) {
        if (on)
            bus.connect(service, path, interface, name, this, slot);
        else
            bus.disconnect(service, path, interface, name, this, slot);
    };
    switch (m_source) {
    case Source::gnomeScreenSaver:
        toggle(m_sessionBus, kGnomeService, kGnomePath, kGnomeInterface, "ActiveChanged", SLOT(onActiveChanged(bool)));
        break;
    case Source::freedesktopScreenSaver:
        toggle(m_sessionBus, kFreedesktopService, kFreedesktopPath, kFreedesktopInterface, "ActiveChanged",
               SLOT(onActiveChanged(bool)));
        break;
    case Source::logind:
        toggle(m_systemBus, kLogindService, m_sessionPath, kPropertiesInterface, "PropertiesChanged",
               SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
        break;
    case Source::none:
        break;
    }
}

void DBusScreenLockMonitor::ask(QDBusConnection& bus, const QDBusMessage& message,
                                std::function<void(const QDBusMessage&)> onReply)
{
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(message, DBusCalls::kCallTimeoutMs), this);
    const quint64 generation = m_generation;
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, generation, onReply = std::move(onReply)](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (generation == m_generation)
                    onReply(call->reply());
            });
}

void DBusScreenLockMonitor::settle()
{
    m_settled = true;
}

void DBusScreenLockMonitor::onActiveChanged(bool active)
{
    announce(active);
}

void DBusScreenLockMonitor::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                       const QStringList& invalidated)
{
    if (interface != QLatin1String(kLogindSessionInterface))
        return;
    if (const auto hint = changed.find(kLockedHint); hint != changed.end()) {
        if (hint->metaType() == QMetaType::fromType<bool>())
            announce(hint->toBool());
        return;
    }
    if (!invalidated.contains(kLockedHint))
        return;
    const auto message = DBusCalls::propertyCall(kLogindService, m_sessionPath, kLogindSessionInterface, kLockedHint);
    ask(m_systemBus, message, [this](const QDBusMessage& reply) {
        if (const auto locked = DBusCalls::boolFrom(reply))
            announce(*locked);
    });
}

void DBusScreenLockMonitor::announce(bool locked)
{
    // The handler may restart or stop the monitor.
    const Handler handler = m_handler;
    if (handler)
        handler(locked);
}
