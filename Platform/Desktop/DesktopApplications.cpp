#include "Platform/Desktop/DesktopApplications.h"

#include "Platform/Desktop/DesktopLibrary.h"

bool DesktopApplications::isInstalled(std::string_view desktopId)
{
    const auto library = DesktopLibrary::shared();
    return library && (*library)->hasApplication(desktopId);
}

std::optional<std::string> DesktopApplications::firstInstalled(std::span<const std::string> desktopIds)
{
    for (const auto& id : desktopIds)
        if (isInstalled(id))
            return id;
    return std::nullopt;
}

bool DesktopApplications::launch(std::string_view desktopId)
{
    const auto library = DesktopLibrary::shared();
    return library && (*library)->launchApplication(desktopId);
}
