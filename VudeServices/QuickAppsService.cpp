#include "VudeServices/QuickAppsService.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Desktop/ApplicationIconLoader.h"
#include "Platform/Desktop/GioApplicationCatalog.h"
#include "VudeKit/LocalizedCaseInsensitive.h"
#include "VudeServices/ServiceStorage.h"

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace {

QuickApp pinFor(const DesktopApplication& application)
{
    return QuickApp{Uuid::random(), application.appId, quickAppName(application.name), application.path.string()};
}

} // namespace

QuickAppsService::QuickAppsService(const std::string& containerName, QObject* parent)
    : QuickAppsService(containerName, nullptr, Options{}, parent)
{
}

QuickAppsService::QuickAppsService(const std::string& containerName, ApplicationCatalog& catalog, Options options,
                                   QObject* parent)
    : QuickAppsService(containerName, &catalog, std::move(options), parent)
{
}

QuickAppsService::QuickAppsService(const std::string& containerName, ApplicationCatalog* catalog, Options options,
                                   QObject* parent)
    : QObject(parent)
    , m_ownCatalog(catalog ? nullptr : std::make_unique<GioApplicationCatalog>())
    , m_catalog(catalog ? *catalog : *m_ownCatalog)
{
    m_url = ServiceStorage::containerFile(options.applicationSupport, containerName, storeFileName);
    if (const auto bytes = AtomicFile::read(m_url)) {
        if (auto apps = decodeQuickApps(*bytes))
            m_apps = std::move(*apps);
    }
}

QuickAppsService::~QuickAppsService() = default;

void QuickAppsService::add(const QuickApp& app)
{
    const bool pinned = std::any_of(m_apps.begin(), m_apps.end(),
                                    [&app](const QuickApp& other) { return other.bundleID == app.bundleID; });
    if (pinned)
        return;
    const auto before = m_apps;
    m_apps.push_back(app);
    save(before);
}

std::optional<QuickApp> QuickAppsService::add(const fs::path& url)
{
    auto app = describe(url);
    if (app)
        add(*app);
    return app;
}

std::optional<QuickApp> QuickAppsService::describe(const fs::path& url) const
{
    const auto application = m_catalog.describe(url);
    if (!application || application->appId.empty())
        return std::nullopt;
    return pinFor(*application);
}

void QuickAppsService::remove(const QuickApp& app)
{
    const auto before = m_apps;
    std::erase_if(m_apps, [&app](const QuickApp& other) { return other.id == app.id; });
    save(before);
}

void QuickAppsService::move(std::int64_t from, std::int64_t to)
{
    const auto count = static_cast<std::int64_t>(m_apps.size());
    if (from < 0 || from >= count)
        return;
    const auto before = m_apps;
    QuickApp app = std::move(m_apps[static_cast<std::size_t>(from)]);
    m_apps.erase(m_apps.begin() + from);
    const std::int64_t index = std::clamp<std::int64_t>(to, 0, count - 1);
    m_apps.insert(m_apps.begin() + index, std::move(app));
    save(before);
}

void QuickAppsService::save(const std::vector<QuickApp>& before)
{
    // A failed write leaves the old file; the list in memory stands.
    (void)AtomicFile::write(m_url, encodeQuickApps(m_apps));
    if (m_onChange)
        m_onChange(m_apps);
    if (m_apps != before)
        emit appsChanged();
}

void QuickAppsService::installed(std::function<void(std::vector<QuickApp>)> completion)
{
    m_scanning.async([this, completion = std::move(completion)]() mutable {
        auto apps = scanInstalled(m_catalog);
        postTo(this, [completion = std::move(completion), apps = std::move(apps)]() mutable {
            completion(std::move(apps));
        });
    });
}

std::vector<QuickApp> QuickAppsService::scanInstalled(const ApplicationCatalog& catalog)
{
    std::vector<QuickApp> apps;
    std::set<std::string> seen;
    for (const auto& application : catalog.installedApplications()) {
        if (!application.appId.empty() && seen.insert(application.appId).second)
            apps.push_back(pinFor(application));
    }
    std::stable_sort(apps.begin(), apps.end(), [](const QuickApp& a, const QuickApp& b) {
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return apps;
}

std::optional<fs::path> QuickAppsService::resolve(const QuickApp& app) const
{
    if (auto located = m_catalog.locate(app.bundleID))
        return located;
    // The stored entry counts only while it can still start its program: a
    // leftover entry of an uninstalled application is missing too.
    if (app.path && fs::path(*app.path).is_absolute())
        return m_catalog.locate(*app.path);
    return std::nullopt;
}

void QuickAppsService::launch(const QuickApp& app)
{
    if (const auto entry = resolve(app))
        m_catalog.launch(*entry);
}

std::optional<QIcon> QuickAppsService::icon(const QuickApp& app) const
{
    const auto entry = resolve(app);
    if (!entry)
        return std::nullopt;
    const auto icon = m_catalog.icon(*entry);
    if (!icon)
        return std::nullopt;
    return ApplicationIconLoader::load(*icon);
}

bool QuickAppsService::isRunning(const QuickApp& app) const
{
    return m_catalog.isRunning(app.bundleID, resolve(app));
}
