#include "VudeServices/ServiceStorage.h"

#include "Platform/Core/XdgPaths.h"

#include <system_error>

namespace fs = std::filesystem;

namespace ServiceStorage {

fs::path containerFile(const fs::path& applicationSupport, const std::string& containerName,
                       const std::string& fileName)
{
    const fs::path support = applicationSupport.empty() ? XdgPaths::applicationSupportRoot() : applicationSupport;
    const fs::path container = support / containerName;
    // A folder that cannot be made shows as a failed write later.
    std::error_code ignored;
    fs::create_directories(container, ignored);
    return container / fileName;
}

} // namespace ServiceStorage
