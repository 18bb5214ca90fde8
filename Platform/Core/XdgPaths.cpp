#include "Platform/Core/XdgPaths.h"

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Empty when the variable is unset, empty or relative.
fs::path absoluteFromEnvironment(const Environment::Lookup& environment, const char* name)
{
    const auto value = environment(name);
    if (!value)
        return {};
    fs::path path(*value);
    return path.is_absolute() ? path : fs::path();
}

fs::path fromEnvironmentOrHome(const Environment::Lookup& environment, const char* name, const char* homeRelative)
{
    auto path = absoluteFromEnvironment(environment, name);
    return path.empty() ? XdgPaths::home(environment) / homeRelative : path;
}

// A directory we own, not a symlink, closed to group and others.
std::string checkPrivate(const fs::path& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return "cannot inspect " + path.string() + ": " + std::strerror(errno);
    if (S_ISLNK(info.st_mode))
        return path.string() + " is a symbolic link";
    if (!S_ISDIR(info.st_mode))
        return path.string() + " is not a folder";
    if (info.st_uid != getuid())
        return path.string() + " belongs to another user";
    if ((info.st_mode & 077) != 0)
        return path.string() + " is open to other users";
    return {};
}

} // namespace

namespace XdgPaths {

fs::path home(const Environment::Lookup& environment)
{
    if (auto path = absoluteFromEnvironment(environment, "HOME"); !path.empty())
        return path;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

fs::path dataHome(const Environment::Lookup& environment)
{
    return fromEnvironmentOrHome(environment, "XDG_DATA_HOME", ".local/share");
}

fs::path configHome(const Environment::Lookup& environment)
{
    return fromEnvironmentOrHome(environment, "XDG_CONFIG_HOME", ".config");
}

fs::path cacheHome(const Environment::Lookup& environment)
{
    return fromEnvironmentOrHome(environment, "XDG_CACHE_HOME", ".cache");
}

fs::path applicationSupportRoot(const Environment::Lookup& environment)
{
    return dataHome(environment);
}

fs::path applicationSupport(const Environment::Lookup& environment)
{
    return applicationSupportRoot(environment) / kAppFolder;
}

fs::path configDirectory(const Environment::Lookup& environment)
{
    return configHome(environment) / kAppFolder;
}

Expected<fs::path, std::string> privateRuntimeDirectory(const Environment::Lookup& environment)
{
    auto temporary = absoluteFromEnvironment(environment, "TMPDIR");
    return privateRuntimeDirectory(absoluteFromEnvironment(environment, "XDG_RUNTIME_DIR"),
                                   temporary.empty() ? "/tmp" : temporary);
}

Expected<fs::path, std::string> privateRuntimeDirectory(const fs::path& runtime, const fs::path& temporary)
{
    if (!runtime.empty() && runtime.is_absolute() && checkPrivate(runtime).empty())
        return runtime;
    const fs::path folder = temporary / ("vude-" + std::to_string(getuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return unexpected("cannot create " + folder.string() + ": " + std::strerror(errno));
    if (auto problem = checkPrivate(folder); !problem.empty())
        return unexpected(problem);
    return folder;
}

} // namespace XdgPaths
