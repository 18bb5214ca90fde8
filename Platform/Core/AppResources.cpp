#include "Platform/Core/AppResources.h"

#include <system_error>

namespace fs = std::filesystem;

namespace AppResources {

namespace {

fs::path rootOf(const fs::path& executable)
{
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(executable, error);
    if (error)
        resolved = executable.lexically_normal();
    return resolved.parent_path().parent_path();
}

std::optional<fs::path> inside(const fs::path& folder, std::string_view name)
{
    const fs::path relative = fs::path(name).lexically_normal();
    // "/x" would replace the folder and "../x" leave it.
    if (relative.empty() || relative == "." || relative.is_absolute() || *relative.begin() == "..")
        return std::nullopt;
    return folder / relative;
}

} // namespace

fs::path runningExecutable()
{
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error);
}

fs::path resourcesDirectory(const fs::path& executable)
{
    return rootOf(executable) / kResourcesFolder;
}

fs::path helpersDirectory(const fs::path& executable)
{
    return rootOf(executable) / kHelpersFolder;
}

fs::path modulesDirectory(const fs::path& executable)
{
    return rootOf(executable) / kModulesFolder;
}

std::optional<fs::path> resource(std::string_view name, const fs::path& executable)
{
    return inside(resourcesDirectory(executable), name);
}

std::optional<fs::path> helperProgram(std::string_view name, const fs::path& executable)
{
    return inside(helpersDirectory(executable), name);
}

std::optional<fs::path> module(std::string_view name, const fs::path& executable)
{
    return inside(modulesDirectory(executable), name);
}

} // namespace AppResources
