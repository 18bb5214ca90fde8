#include "Platform/Desktop/FakeApplicationCatalog.h"

std::vector<DesktopApplication> FakeApplicationCatalog::installedApplications() const
{
    std::lock_guard lock(m_mutex);
    ++m_scans;
    return installed;
}

std::optional<DesktopApplication> FakeApplicationCatalog::describe(const std::filesystem::path& file) const
{
    const auto found = entries.find(file);
    if (found == entries.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::filesystem::path> FakeApplicationCatalog::locate(std::string_view appId) const
{
    const auto found = locations.find(std::string(appId));
    if (found == locations.end())
        return std::nullopt;
    return found->second;
}

bool FakeApplicationCatalog::launch(const std::filesystem::path& entry)
{
    std::lock_guard lock(m_mutex);
    m_launched.push_back(entry);
    return launchSucceeds;
}

std::optional<ApplicationIcon> FakeApplicationCatalog::icon(const std::filesystem::path& entry) const
{
    const auto found = icons.find(entry);
    if (found == icons.end())
        return std::nullopt;
    return found->second;
}

bool FakeApplicationCatalog::isRunning(std::string_view appId, const std::optional<std::filesystem::path>&) const
{
    return runningIds.contains(std::string(appId));
}

std::vector<std::filesystem::path> FakeApplicationCatalog::launched() const
{
    std::lock_guard lock(m_mutex);
    return m_launched;
}

int FakeApplicationCatalog::scans() const
{
    std::lock_guard lock(m_mutex);
    return m_scans;
}
