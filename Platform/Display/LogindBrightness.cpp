#include "Platform/Display/LogindBrightness.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace {
constexpr auto kService = "org.freedesktop.login1";
constexpr auto kSessionPath = "/org/freedesktop/login1/session/auto";
constexpr auto kSessionInterface = "org.freedesktop.login1.Session";
} // namespace

LogindBrightness::LogindBrightness(const QDBusConnection& systemBus) : m_bus(systemBus) {}

LogindBrightness::~LogindBrightness() = default;

bool LogindBrightness::setBrightness(std::string_view subsystem, std::string_view name, std::uint32_t value,
                                     Done done)
{
    if (m_unresponsive || !m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kSessionPath, kSessionInterface, "SetBrightness");
    call << QString::fromUtf8(subsystem.data(), qsizetype(subsystem.size()))
         << QString::fromUtf8(name.data(), qsizetype(name.size())) << value;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, int(kTimeout.count())), m_calls.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, m_calls.get(),
                     [this, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusMessage reply = finished->reply();
                         const QString error = reply.errorName();
                         if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
                             error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
                             m_unresponsive = true;
                         if (done)
                             done(reply.type() == QDBusMessage::ReplyMessage);
                     });
    return true;
}
