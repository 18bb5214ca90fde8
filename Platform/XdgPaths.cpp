#include "Platform/XdgPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path absoluteFromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return {};
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

fs::path fromEnvironmentOrHome(const char* name, const char* homeRelative)
{
    auto path = absoluteFromEnvironment(name);
    return path.empty() ? XdgPaths::home() / homeRelative : path;
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

fs::path home()
{
    if (auto path = absoluteFromEnvironment("HOME"); !path.empty())
        return path;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

fs::path dataHome()
{
    return fromEnvironmentOrHome("XDG_DATA_HOME", ".local/share");
}

fs::path configHome()
{
    return fromEnvironmentOrHome("XDG_CONFIG_HOME", ".config");
}

fs::path cacheHome()
{
    return fromEnvironmentOrHome("XDG_CACHE_HOME", ".cache");
}

fs::path applicationSupportRoot()
{
    return dataHome();
}

fs::path applicationSupport()
{
    return applicationSupportRoot() / kAppFolder;
}

fs::path configDirectory()
{
    return configHome() / kAppFolder;
}

Expected<fs::path, std::string> privateRuntimeDirectory()
{
    auto temporary = absoluteFromEnvironment("TMPDIR");
    return privateRuntimeDirectory(absoluteFromEnvironment("XDG_RUNTIME_DIR"), temporary.empty() ? "/tmp" : temporary);
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
