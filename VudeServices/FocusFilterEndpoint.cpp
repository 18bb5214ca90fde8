#include "VudeServices/FocusFilterEndpoint.h"

#include "VudeServices/VudeFocusFilter.h"

#include <QDBusConnectionInterface>

namespace {

std::optional<std::string> optionalText(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    return text.toStdString();
}

} // namespace

FocusFilterEndpoint::FocusFilterEndpoint(FocusFilterBridge& bridge, QObject* parent)
    : QObject(parent), m_bridge(bridge)
{
}

FocusFilterEndpoint::~FocusFilterEndpoint()
{
    unregister();
}

bool FocusFilterEndpoint::registerOn(const QDBusConnection& bus)
{
    unregister();
    if (!bus.isConnected())
        return false;
    QDBusConnection connection = bus;
    if (!connection.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots))
        return false;
    if (!connection.registerService(kServiceName)) {
        connection.unregisterObject(kObjectPath);
        return false;
    }
    m_bus = connection;
    return true;
}

void FocusFilterEndpoint::unregister()
{
    if (!m_bus)
        return;
    m_bus->unregisterService(kServiceName);
    m_bus->unregisterObject(kObjectPath);
    m_bus.reset();
}

void FocusFilterEndpoint::Perform(bool showInNotch, const QString& modeName, const QString& symbolName)
{
    const VudeFocusFilter filter{
        .showInNotch = showInNotch,
        .modeName = optionalText(modeName),
        .symbolName = optionalText(symbolName),
    };
    filter.perform(m_bridge);
}
