#pragma once
// The applications pinned to the Desk, in the user's order, kept in
// "quickapps.json" in the container folder under Application Support; and
// what the Desk and the settings need of applications: the installed ones to
// choose from, where one is, starting it, its icon and whether it runs.
//
// The file is read once, when the service is made, and written whole after
// every change; a file that cannot be read or decoded is an empty list,
// replaced by the next save. Pins are never pruned: an application that was
// removed stays pinned and shows as missing.
//
// Observed through appsChanged (only when the list really changed) or the
// onChange handler (after every save, also one that changed nothing). Main
// thread only; the scan of installed applications runs on another thread.

#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/ApplicationCatalog.h"
#include "VudeServices/QuickApp.h"

#include <QIcon>
#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct QuickAppsServiceOptions {
    /// The folder holding the container folder; XdgPaths' "Application
    /// Support" when empty.
    std::filesystem::path applicationSupport;
};

class QuickAppsService final : public QObject {
    Q_OBJECT
public:
    using Options = QuickAppsServiceOptions;
    using ChangeHandler = std::function<void(const std::vector<QuickApp>& apps)>;

    static constexpr const char* storeFileName = "quickapps.json";

    /// Over this desktop's applications (GioApplicationCatalog). Creates the
    /// container folder when missing and loads the pinned list.
    explicit QuickAppsService(const std::string& containerName, QObject* parent = nullptr);
    /// The same over `catalog`, which must outlive the service and be safe to
    /// scan from another thread.
    QuickAppsService(const std::string& containerName, ApplicationCatalog& catalog, Options options = {},
                     QObject* parent = nullptr);
    ~QuickAppsService() override;

    const std::vector<QuickApp>& apps() const { return m_apps; }
    const std::filesystem::path& url() const { return m_url; }

    const ChangeHandler& onChange() const { return m_onChange; }
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

    /// Appends `app` and saves, unless an app with its bundleID is pinned
    /// (then nothing, not even a save).
    void add(const QuickApp& app);
    /// Describes the entry at `url` and adds it as add(app) does; returns the
    /// described app, also when its bundleID was pinned already. None when
    /// it is no application entry; then nothing changes.
    std::optional<QuickApp> add(const std::filesystem::path& url);
    /// A new pin (fresh id) for the entry at `url`; none when it is no
    /// application entry.
    std::optional<QuickApp> describe(const std::filesystem::path& url) const;
    /// Removes every pin with `app`'s id and saves, also when none was there.
    void remove(const QuickApp& app);
    /// Moves the pin at `from` to `to`, clamped to the list, and saves; a
    /// `from` outside the list does nothing.
    void move(std::int64_t from, std::int64_t to);

    /// The installed applications to choose from, each app id once, sorted
    /// by name ignoring case, handed to `completion` on this object's thread.
    void installed(std::function<void(std::vector<QuickApp>)> completion);
    /// The scan itself, blocking: what installed() hands on.
    static std::vector<QuickApp> scanInstalled(const ApplicationCatalog& catalog);

    /// Where the application is now: the entry its app id finds, else the
    /// stored path while a usable entry is there; none otherwise.
    std::optional<std::filesystem::path> resolve(const QuickApp& app) const;
    bool isMissing(const QuickApp& app) const { return !resolve(app); }
    /// Starts the resolved application (or brings it forward); nothing when
    /// it cannot be resolved.
    void launch(const QuickApp& app);
    /// The resolved application's icon from the icon theme; none when it
    /// cannot be resolved or has no icon that loads. Needs a QGuiApplication.
    std::optional<QIcon> icon(const QuickApp& app) const;
    /// Whether a process of this user runs the application.
    bool isRunning(const QuickApp& app) const;

signals:
    void appsChanged();

private:
    QuickAppsService(const std::string& containerName, ApplicationCatalog* catalog, Options options,
                     QObject* parent);
    void save(const std::vector<QuickApp>& before);

    std::unique_ptr<ApplicationCatalog> m_ownCatalog;
    ApplicationCatalog& m_catalog;
    std::filesystem::path m_url;
    std::vector<QuickApp> m_apps;
    ChangeHandler m_onChange;
    SerialQueue m_scanning{"app.ruvudav.notch.quickapps"};
};
