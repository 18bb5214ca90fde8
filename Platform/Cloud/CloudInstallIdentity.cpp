#include "Platform/Cloud/CloudInstallIdentity.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeKit/Uuid.h"

#include <nlohmann/json.hpp>

namespace CloudInstallIdentity {

std::filesystem::path defaultFile()
{
    return XdgPaths::applicationSupport() / "CloudInstall.json";
}

Expected<std::string, std::string> loadOrCreate(const std::filesystem::path& file,
                                                const DeviceIdentifier::Sources& machine)
{
    const auto tag = DeviceIdentifier::machineTag(machine);
    if (auto bytes = AtomicFile::read(file, 64 * 1024)) {
        const auto document = nlohmann::json::parse(*bytes, nullptr, false);
        if (document.is_object() && document.contains("installID") && document["installID"].is_string()
            && document.contains("machine") && document["machine"].is_string()) {
            const auto id = document["installID"].get<std::string>();
            const auto stored = document["machine"].get<std::string>();
            const auto uuid = Uuid::parse(id);
            if (uuid && uuid->toString() == id && stored == tag)
                return id;
        }
    }
    auto id = Uuid::random().toString();
    const nlohmann::json document = {{"installID", id}, {"machine", tag}};
    if (auto written = AtomicFile::write(file, document.dump(), 0600); !written)
        return unexpected("Cannot keep this install's cloud id: " + written.error());
    return id;
}

} // namespace CloudInstallIdentity
