#include "Platform/Desktop/DesktopAppId.h"

#include "Platform/Core/XdgPaths.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace DesktopAppId {

std::string fromDesktopFileId(std::string_view desktopFileId)
{
    if (desktopFileId.ends_with(kDesktopFileSuffix))
        desktopFileId.remove_suffix(kDesktopFileSuffix.size());
    return std::string(desktopFileId);
}

std::string desktopFileId(std::string_view appId)
{
    return std::string(appId) + std::string(kDesktopFileSuffix);
}

bool namesPath(std::string_view appId)
{
    return appId.starts_with('/');
}

bool isValid(std::string_view appId)
{
    return !appId.empty() && appId.front() != '.' && appId.find('/') == std::string_view::npos;
}

std::vector<fs::path> applicationFolders(const Environment::Lookup& environment)
{
    std::vector<fs::path> roots{XdgPaths::dataHome(environment)};
    std::string dataDirs = environment("XDG_DATA_DIRS").value_or("");
    if (dataDirs.empty())
        dataDirs = "/usr/local/share/:/usr/share/";
    std::size_t start = 0;
    while (start <= dataDirs.size()) {
        const auto end = std::min(dataDirs.find(':', start), dataDirs.size());
        const fs::path folder(dataDirs.substr(start, end - start));
        if (folder.is_absolute())
            roots.push_back(folder);
        start = end + 1;
    }

    std::vector<fs::path> folders;
    for (const auto& root : roots) {
        fs::path folder = (root / "applications").lexically_normal();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    }
    return folders;
}

} // namespace DesktopAppId
