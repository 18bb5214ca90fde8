#pragma once
// The applications of this desktop from its desktop entries, read with GIO
// (GDesktopAppInfo): localised names, visibility (NoDisplay, Hidden,
// OnlyShowIn, TryExec), launching and icons. GIO comes from a module
// (DesktopLibrary) opened at the first question, not at construction, so
// the catalogue can be made while the app starts; without the module no
// entry can be read, and nothing is installed. Running applications are found
// in the process table: a process of this user that GIO started from the
// entry (GIO_LAUNCHED_DESKTOP_FILE, for the process GIO started itself), or
// one that runs the entry's program.
//
// The folders come from the given environment's XDG variables and the
// process table from the given proc root, so tests can hand in their own.
// The process table is read at most once per `processTableLifetime`, so the
// tiles of one Desk share one read. Thread-safe.

#include "Platform/Core/Environment.h"
#include "Platform/Desktop/ApplicationCatalog.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

struct GioApplicationCatalogOptions {
    /// XDG_DATA_HOME, XDG_DATA_DIRS and HOME decide the folders.
    Environment::Lookup environment = Environment::process();
    std::filesystem::path procRoot = "/proc";
    std::chrono::milliseconds processTableLifetime{500};
};

class GioApplicationCatalog final : public ApplicationCatalog {
public:
    using Options = GioApplicationCatalogOptions;

    explicit GioApplicationCatalog(Options options = {});

    std::vector<DesktopApplication> installedApplications() const override;
    std::optional<DesktopApplication> describe(const std::filesystem::path& file) const override;
    std::optional<std::filesystem::path> locate(std::string_view appId) const override;
    bool launch(const std::filesystem::path& entry) override;
    std::optional<ApplicationIcon> icon(const std::filesystem::path& entry) const override;
    bool isRunning(std::string_view appId, const std::optional<std::filesystem::path>& entry) const override;

    const std::vector<std::filesystem::path>& folders() const { return m_folders; }

private:
    /// A process of this user that tells something: the entry GIO started it
    /// from and the program it runs (either may be empty).
    struct Process {
        std::filesystem::path launchedFrom;
        std::filesystem::path executable;
    };
    std::shared_ptr<const std::vector<Process>> processes() const;

    std::vector<std::filesystem::path> m_folders;
    std::vector<std::filesystem::path> m_dataFolders;
    std::filesystem::path m_procRoot;
    std::chrono::milliseconds m_processTableLifetime;
    mutable std::mutex m_processMutex;
    mutable std::shared_ptr<const std::vector<Process>> m_processes;
    mutable std::chrono::steady_clock::time_point m_processesReadAt;
};
