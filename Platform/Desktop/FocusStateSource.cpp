#include "Platform/Desktop/FocusStateSource.h"

#include "Platform/Desktop/GSettingsFocusSource.h"
#include "Platform/Desktop/NotificationServerFocusSource.h"

FocusSourceKind chooseFocusSource(std::string_view currentDesktop, bool gnomeSettingsInstalled)
{
    bool isGnome = false;
    while (!currentDesktop.empty()) {
        const auto colon = currentDesktop.find(':');
        isGnome = isGnome || currentDesktop.substr(0, colon) == "GNOME";
        currentDesktop = colon == std::string_view::npos ? std::string_view() : currentDesktop.substr(colon + 1);
    }
    return isGnome && gnomeSettingsInstalled ? FocusSourceKind::gnomeSettings : FocusSourceKind::notificationServer;
}

std::unique_ptr<FocusStateSource> makeFocusStateSource(const Environment::Lookup& environment,
                                                       const QDBusConnection& session)
{
    const std::string desktop = environment("XDG_CURRENT_DESKTOP").value_or("");
    switch (chooseFocusSource(desktop, GSettingsFocusSource::isInstalled())) {
    case FocusSourceKind::gnomeSettings:
        return std::make_unique<GSettingsFocusSource>();
    case FocusSourceKind::notificationServer:
        break;
    }
    return std::make_unique<NotificationServerFocusSource>(session);
}
