#include "Platform/Display/LogindBrightness.h"

#include <QDBusMessage>

namespace {
constexpr auto kService = "org.freedesktop.login1";
constexpr auto kSessionPath = "/org/freedesktop/login1/session/auto";
constexpr auto kSessionInterface = "org.freedesktop.login1.Session";
} // namespace

LogindBrightness::LogindBrightness(const QDBusConnection& systemBus) : m_bus(systemBus) {}

bool LogindBrightness::setBrightness(std::string_view subsystem, std::string_view name, std::uint32_t value)
{
    if (m_unresponsive || !m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kSessionPath, kSessionInterface, "SetBrightness");
    call << QString::fromUtf8(subsystem.data(), qsizetype(subsystem.size()))
         << QString::fromUtf8(name.data(), qsizetype(name.size())) << value;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, int(kTimeout.count()));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        m_unresponsive = true;
    return false;
}
