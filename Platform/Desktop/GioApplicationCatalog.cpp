#include "Platform/Desktop/GioApplicationCatalog.h"

#include "Platform/Desktop/DesktopAppId.h"
#include "Platform/Desktop/DesktopLibrary.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Entry = std::optional<DesktopLibrary::Entry>;

// None for a file that is no application entry, or one whose TryExec or Exec
// program is not installed; and for every file without the module.
Entry load(const fs::path& file)
{
    const auto library = DesktopLibrary::shared();
    if (!library)
        return std::nullopt;
    return (*library)->readEntry(file);
}

bool isUsable(const Entry& entry)
{
    return entry && !entry->hidden;
}

bool isVisible(const Entry& entry)
{
    return isUsable(entry) && entry->shown;
}

bool isRegularFile(const fs::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The desktop entries directly in `folder`, by file name.
std::vector<std::string> entryNames(const fs::path& folder)
{
    std::vector<std::string> names;
    DIR* stream = ::opendir(folder.c_str());
    if (!stream)
        return names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with('.') || !name.ends_with(DesktopAppId::kDesktopFileSuffix))
            continue;
        if (isRegularFile(folder / name))
            names.emplace_back(name);
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

fs::path comparable(const fs::path& path)
{
    std::error_code error;
    auto resolved = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved;
}

// Programs that run many applications: seeing one of them run says nothing
// about which application it is.
bool isSharedLauncher(const std::string& program)
{
    static constexpr std::array<std::string_view, 15> shared{
        "env", "sh", "bash", "dash", "zsh", "flatpak", "snap", "java", "mono", "wine", "node", "gjs",
        "perl", "ruby", "electron"};
    if (program.starts_with("python"))
        return true;
    return std::find(shared.begin(), shared.end(), program) != shared.end();
}

// The program an entry's Exec starts, resolved along PATH and through links;
// empty when it cannot be told apart from other applications.
fs::path programOf(const fs::path& entry)
{
    const auto library = DesktopLibrary::shared();
    if (!library)
        return {};
    const Entry info = (*library)->readEntry(entry);
    if (!info || info->executable.empty())
        return {};
    const fs::path found = (*library)->findProgram(info->executable);
    if (found.empty())
        return {};
    std::error_code error;
    fs::path program = fs::canonical(found, error);
    if (error || isSharedLauncher(program.filename().string()))
        return {};
    return program;
}

std::string readSmallFile(const fs::path& path, std::size_t limit)
{
    std::string content;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[8192];
    while (content.size() < limit) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return content;
}

struct LaunchedFrom {
    std::string desktopFile;
    std::string pid;
};

// What GIO put in a process's environment when it started it.
LaunchedFrom launchedFrom(const std::string& environ)
{
    static constexpr std::string_view fileKey = "GIO_LAUNCHED_DESKTOP_FILE=";
    static constexpr std::string_view pidKey = "GIO_LAUNCHED_DESKTOP_FILE_PID=";
    LaunchedFrom result;
    std::size_t start = 0;
    while (start < environ.size()) {
        auto end = environ.find('\0', start);
        if (end == std::string::npos)
            end = environ.size();
        const std::string_view variable(environ.data() + start, end - start);
        if (variable.starts_with(fileKey))
            result.desktopFile = variable.substr(fileKey.size());
        else if (variable.starts_with(pidKey))
            result.pid = variable.substr(pidKey.size());
        start = end + 1;
    }
    return result;
}

bool isProcessNumber(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

GioApplicationCatalog::GioApplicationCatalog(Options options)
    : m_folders(DesktopAppId::applicationFolders(options.environment))
    , m_procRoot(std::move(options.procRoot))
    , m_processTableLifetime(options.processTableLifetime)
{
    for (const auto& folder : m_folders)
        m_dataFolders.push_back(folder.parent_path());
}

std::vector<DesktopApplication> GioApplicationCatalog::installedApplications() const
{
    std::vector<DesktopApplication> applications;
    std::set<std::string> seen;
    for (const auto& folder : m_folders) {
        for (const auto& name : entryNames(folder)) {
            std::string appId = DesktopAppId::fromDesktopFileId(name);
            // The first entry of an id decides, also when it hides the application.
            if (!seen.insert(appId).second)
                continue;
            const fs::path path = folder / name;
            const Entry info = load(path);
            if (isVisible(info))
                applications.push_back({std::move(appId), info->name, path});
        }
    }
    return applications;
}

std::optional<DesktopApplication> GioApplicationCatalog::describe(const fs::path& file) const
{
    std::error_code error;
    const fs::path path = fs::absolute(file, error).lexically_normal();
    if (error || !path.filename().string().ends_with(DesktopAppId::kDesktopFileSuffix) || !isRegularFile(path))
        return std::nullopt;
    const Entry info = load(path);
    if (!isUsable(info))
        return std::nullopt;
    const fs::path parent = comparable(path.parent_path());
    const bool inFolder = std::any_of(m_folders.begin(), m_folders.end(),
                                      [&parent](const fs::path& folder) { return comparable(folder) == parent; });
    std::string appId = inFolder ? DesktopAppId::fromDesktopFileId(path.filename().string()) : path.string();
    return DesktopApplication{std::move(appId), info->name, path};
}

std::optional<fs::path> GioApplicationCatalog::locate(std::string_view appId) const
{
    if (DesktopAppId::namesPath(appId)) {
        const fs::path path(appId);
        if (!isRegularFile(path) || !isUsable(load(path)))
            return std::nullopt;
        return path;
    }
    if (!DesktopAppId::isValid(appId))
        return std::nullopt;
    const std::string fileName = DesktopAppId::desktopFileId(appId);
    for (const auto& folder : m_folders) {
        const fs::path candidate = folder / fileName;
        if (!isRegularFile(candidate))
            continue;
        if (!isUsable(load(candidate)))
            return std::nullopt;
        return candidate;
    }
    return std::nullopt;
}

bool GioApplicationCatalog::launch(const fs::path& entry)
{
    const auto library = DesktopLibrary::shared();
    return library && (*library)->launchEntry(entry);
}

std::optional<ApplicationIcon> GioApplicationCatalog::icon(const fs::path& entry) const
{
    const Entry info = load(entry);
    if (!info)
        return std::nullopt;
    ApplicationIcon result;
    if (!info->iconFile.empty()) {
        result.file = info->iconFile;
        return result;
    }
    // GIO adds a "-symbolic" twin of each name; a monochrome glyph is no
    // application icon, so those are left out unless the entry asked for one.
    const auto& names = info->iconNames;
    static constexpr std::string_view symbolic = "-symbolic";
    for (const auto& name : names) {
        const bool twin = name.ends_with(symbolic)
                          && std::find(names.begin(), names.end(), name.substr(0, name.size() - symbolic.size()))
                                 != names.end();
        if (!twin)
            result.themeNames.push_back(name);
    }
    // Older programs put their icon among the pixmaps, outside any theme.
    for (const auto& name : result.themeNames) {
        for (const auto& data : m_dataFolders) {
            for (const char* extension : {".png", ".svg", ".xpm"}) {
                const fs::path candidate = data / "pixmaps" / (name + extension);
                if (result.file.empty() && isRegularFile(candidate))
                    result.file = candidate;
            }
        }
    }
    if (result.themeNames.empty() && result.file.empty())
        return std::nullopt;
    return result;
}

std::shared_ptr<const std::vector<GioApplicationCatalog::Process>> GioApplicationCatalog::processes() const
{
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_processMutex);
        if (m_processes && now - m_processesReadAt < m_processTableLifetime)
            return m_processes;
    }

    auto table = std::make_shared<std::vector<Process>>();
    const uid_t user = ::getuid();
    if (DIR* stream = ::opendir(m_procRoot.c_str())) {
        while (const dirent* entry = ::readdir(stream)) {
            const std::string pid = entry->d_name;
            if (!isProcessNumber(pid))
                continue;
            const fs::path folder = m_procRoot / pid;
            struct stat status {};
            if (::stat(folder.c_str(), &status) != 0 || status.st_uid != user)
                continue;
            Process process;
            // Children inherit the variables; they count only for the
            // process GIO started, so a program run from a launched terminal
            // is no terminal.
            const auto launched = launchedFrom(readSmallFile(folder / "environ", 1 << 20));
            if (!launched.desktopFile.empty() && (launched.pid.empty() || launched.pid == pid))
                process.launchedFrom = fs::path(launched.desktopFile).lexically_normal();
            std::error_code error;
            std::string target = fs::read_symlink(folder / "exe", error).string();
            // A program replaced by an update while it runs.
            static constexpr std::string_view deleted = " (deleted)";
            if (!error && target.ends_with(deleted))
                target.resize(target.size() - deleted.size());
            if (!error)
                process.executable = std::move(target);
            if (!process.launchedFrom.empty() || !process.executable.empty())
                table->push_back(std::move(process));
        }
        ::closedir(stream);
    }

    std::lock_guard lock(m_processMutex);
    m_processes = std::move(table);
    m_processesReadAt = now;
    return m_processes;
}

bool GioApplicationCatalog::isRunning(std::string_view appId, const std::optional<fs::path>& entry) const
{
    const fs::path program = entry ? programOf(*entry) : fs::path();
    const fs::path entryPath = entry ? entry->lexically_normal() : fs::path();
    const auto table = processes();
    return std::any_of(table->begin(), table->end(), [&](const Process& process) {
        if (!process.launchedFrom.empty()) {
            const fs::path& file = process.launchedFrom;
            // An id names the entry of the applications folders, not a file
            // of the same name elsewhere.
            const bool matches =
                DesktopAppId::namesPath(appId)
                    ? file == fs::path(appId).lexically_normal()
                    : DesktopAppId::fromDesktopFileId(file.filename().string()) == appId
                          && std::find(m_folders.begin(), m_folders.end(), file.parent_path()) != m_folders.end();
            if (matches || (!entryPath.empty() && file == entryPath))
                return true;
        }
        return !program.empty() && process.executable == program;
    });
}
