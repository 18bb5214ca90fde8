#pragma once
// Desktop entries in temporary XDG folders: a user's applications folder and
// two system ones, the environment that names them, and small programs for
// entries to start.

#include "Platform/Core/Environment.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

class DesktopEntryFolders {
public:
    DesktopEntryFolders()
        : m_root(m_scratch.path().toStdString())
    {
        for (const auto& folder : {userFolder(), systemFolder(1), systemFolder(2), m_root / "bin"})
            std::filesystem::create_directories(folder);
    }

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path dataHome() const { return m_root / "home" / ".local" / "share"; }
    std::filesystem::path userFolder() const { return dataHome() / "applications"; }
    std::filesystem::path systemFolder(int number) const
    {
        return m_root / ("system" + std::to_string(number)) / "applications";
    }

    /// XDG_DATA_HOME and XDG_DATA_DIRS naming the folders above.
    Environment::Lookup environment() const
    {
        return Environment::fixed({
            {"HOME", (m_root / "home").string()},
            {"XDG_DATA_HOME", dataHome().string()},
            {"XDG_DATA_DIRS", systemFolder(1).parent_path().string() + ":" + systemFolder(2).parent_path().string()},
        });
    }

    /// Writes `folder`/`fileName` with a [Desktop Entry] group of `keys`.
    std::filesystem::path entry(const std::filesystem::path& folder, const std::string& fileName,
                                const std::string& keys) const
    {
        std::filesystem::create_directories(folder);
        const auto path = folder / fileName;
        std::ofstream(path) << "[Desktop Entry]\n" << keys;
        return path;
    }

    /// The keys of a plain application entry.
    static std::string application(const std::string& name, const std::string& exec, const std::string& more = {})
    {
        return "Type=Application\nName=" + name + "\nExec=" + exec + "\n" + more;
    }

    /// An executable script in the scratch folder's bin/.
    std::filesystem::path program(const std::string& name, const std::string& body = "exit 0") const
    {
        const auto path = m_root / "bin" / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms(0755));
        return path;
    }

private:
    QTemporaryDir m_scratch;
    std::filesystem::path m_root;
};

} // namespace testsupport
