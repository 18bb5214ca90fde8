#pragma once
// The test double of ApplicationCatalog: applications, entries, icons and
// running ids as a test sets them up; launches are recorded. Set it up before
// handing it over; installedApplications() may be read from any thread.

#include "Platform/Desktop/ApplicationCatalog.h"

#include <map>
#include <mutex>
#include <set>

class FakeApplicationCatalog final : public ApplicationCatalog {
public:
    /// What installedApplications() returns, as it stands.
    std::vector<DesktopApplication> installed;
    /// What describe() returns, by the exact path asked for.
    std::map<std::filesystem::path, DesktopApplication> entries;
    /// What locate() returns, by app id.
    std::map<std::string, std::filesystem::path> locations;
    std::map<std::filesystem::path, ApplicationIcon> icons;
    std::set<std::string> runningIds;
    bool launchSucceeds = true;

    std::vector<DesktopApplication> installedApplications() const override;
    std::optional<DesktopApplication> describe(const std::filesystem::path& file) const override;
    std::optional<std::filesystem::path> locate(std::string_view appId) const override;
    bool launch(const std::filesystem::path& entry) override;
    std::optional<ApplicationIcon> icon(const std::filesystem::path& entry) const override;
    bool isRunning(std::string_view appId, const std::optional<std::filesystem::path>& entry) const override;

    /// The entries launch() was asked to start, in order.
    std::vector<std::filesystem::path> launched() const;
    /// How many times installedApplications() ran.
    int scans() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::filesystem::path> m_launched;
    mutable int m_scans = 0;
};
