#include "Vude/Permissions/PrivacyPane.h"

#include "Platform/Core/AppResources.h"
#include "Platform/Core/Environment.h"
#include "Platform/Desktop/DesktopApplications.h"
#include "Platform/Shell/UrlOpener.h"
#include "VudeKit/AsciiCase.h"
#include "VudeKit/LinuxTexts.h"

#include <algorithm>
#include <system_error>

namespace {

std::optional<QUrl> helpSection(const PrivacyPane::Context& context, const char* section)
{
    if (!context.helpPage)
        return std::nullopt;
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(context.helpPage->string()));
    url.setFragment(QString::fromLatin1(section));
    return url;
}

// Each desktop's own Bluetooth settings, by the name it gives itself in
// XDG_CURRENT_DESKTOP; the rest of the list are the stand-alone managers.
struct DesktopSettings {
    std::string_view desktop;
    std::string_view desktopId;
};
constexpr DesktopSettings desktopBluetoothSettings[] = {
    {"gnome", "gnome-bluetooth-panel.desktop"},
    {"kde", "kcm_bluetooth.desktop"},
    {"x-cinnamon", "blueberry.desktop"},
};
constexpr std::string_view otherBluetoothSettings[] = {
    "blueman-manager.desktop",
    "gnome-bluetooth-panel.desktop",
    "kcm_bluetooth.desktop",
    "blueberry.desktop",
};

} // namespace

std::optional<QUrl> PrivacyPane::target(std::string_view anchor, const Context& context)
{
    if (anchor == listenEvent)
        return helpSection(context, "input-monitoring");
    if (anchor == accessibility)
        return helpSection(context, "accessibility");
    if (anchor == camera)
        return helpSection(context, "camera");
    if (anchor == bluetooth) {
        if (context.bluetoothSettings)
            return UrlOpener::applicationUrl(*context.bluetoothSettings);
        return helpSection(context, "bluetooth");
    }
    if (anchor == locationServices) {
        if (context.locationSettings)
            return UrlOpener::applicationUrl(*context.locationSettings);
        return helpSection(context, "location");
    }
    if (anchor == calendars) {
        if (context.calendarsFolderExists)
            return QUrl::fromLocalFile(QString::fromStdString(context.calendarsFolder.string()));
        return helpSection(context, "calendars");
    }
    return std::nullopt;
}

std::string_view PrivacyPane::openTitle(std::string_view anchor, const Context& context)
{
    if (!target(anchor, context))
        return {};
    if (anchor == bluetooth && context.bluetoothSettings)
        return LinuxTexts::openBluetoothSettings.shown;
    if (anchor == calendars && context.calendarsFolderExists)
        return LinuxTexts::openCalendarsFolder.shown;
    if (anchor == locationServices && context.locationSettings)
        return "Open Settings";
    return LinuxTexts::openHelp.shown;
}

std::vector<std::string> PrivacyPane::bluetoothSettingsCandidates(std::string_view currentDesktop)
{
    std::vector<std::string> candidates;
    const auto add = [&](std::string_view id) {
        if (std::ranges::find(candidates, id) == candidates.end())
            candidates.emplace_back(id);
    };
    // XDG_CURRENT_DESKTOP lists the most specific name first ("ubuntu:GNOME").
    std::size_t start = 0;
    while (start <= currentDesktop.size()) {
        const std::size_t end = std::min(currentDesktop.find(':', start), currentDesktop.size());
        std::string name(currentDesktop.substr(start, end - start));
        std::ranges::transform(name, name.begin(), asciiLower);
        for (const auto& settings : desktopBluetoothSettings)
            if (name == settings.desktop)
                add(settings.desktopId);
        start = end + 1;
    }
    for (const auto id : otherBluetoothSettings)
        add(id);
    return candidates;
}

PrivacyPane::Context PrivacyPane::currentContext(const std::filesystem::path& calendarsFolder,
                                                 const IsInstalled& isInstalled)
{
    const auto installed = [&](std::string_view id) {
        return isInstalled ? isInstalled(id) : DesktopApplications::isInstalled(id);
    };
    Context context;
    if (const auto page = AppResources::resource(helpPageResource)) {
        std::error_code error;
        if (std::filesystem::is_regular_file(*page, error))
            context.helpPage = *page;
    }
    context.calendarsFolder = calendarsFolder;
    std::error_code error;
    context.calendarsFolderExists = std::filesystem::is_directory(calendarsFolder, error);
    const auto desktop = Environment::process()("XDG_CURRENT_DESKTOP");
    for (const std::string& id : bluetoothSettingsCandidates(desktop.value_or("")))
        if (installed(id)) {
            context.bluetoothSettings = id;
            break;
        }
    if (installed(gnomeLocationSettings))
        context.locationSettings = std::string(gnomeLocationSettings);
    return context;
}
