#include "VudeServices/BuildProfile.h"

#include "Platform/Core/XdgPaths.h"

#include <system_error>

namespace fs = std::filesystem;

BuildProfile::SandboxSignals BuildProfile::SandboxSignals::process()
{
    return {Environment::process(), XdgPaths::home(), "/"};
}

bool BuildProfile::detectSandboxed(const SandboxSignals& evidence)
{
    if (evidence.environment && evidence.environment("APP_SANDBOX_CONTAINER_ID"))
        return true;
    if (evidence.home.string().find("/Library/Containers/") != std::string::npos)
        return true;
    if (evidence.environment && evidence.environment("FLATPAK_ID"))
        return true;
    std::error_code error;
    return fs::exists(evidence.fileSystemRoot / ".flatpak-info", error);
}

BuildProfile::BuildProfile(std::optional<bool> isSandboxed)
    : m_isSandboxed(isSandboxed ? *isSandboxed : detectSandboxed(SandboxSignals::process()))
    , m_capabilities(m_isSandboxed ? sandboxedCapabilities : directCapabilities)
{
}

const BuildProfile& BuildProfile::current()
{
    static const BuildProfile profile;
    return profile;
}

std::optional<Capability::Unavailability> BuildProfile::unavailability(Capability capability) const
{
    if (has(capability))
        return std::nullopt;
    return m_isSandboxed ? Capability::Unavailability::sandboxed : Capability::Unavailability::permissionRequired;
}
