#pragma once
// The applications of the desktop: the entries of the applications folders
// (see DesktopAppId), where one is now, starting one, its icon, and whether
// it runs. The quick apps on the Desk name applications by app id.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// An application as one desktop entry describes it.
struct DesktopApplication {
    /// The entry's id without ".desktop", or its absolute path for an entry
    /// outside the applications folders.
    std::string appId;
    /// The entry's Name, in the user's language.
    std::string name;
    /// The entry file.
    std::filesystem::path path;

    friend bool operator==(const DesktopApplication&, const DesktopApplication&) = default;
};

/// An application's icon: names to look up in the icon theme, in order, and
/// a file to use when the theme has none of them (empty when there is none).
struct ApplicationIcon {
    std::vector<std::string> themeNames;
    std::filesystem::path file;

    friend bool operator==(const ApplicationIcon&, const ApplicationIcon&) = default;
};

class ApplicationCatalog {
public:
    virtual ~ApplicationCatalog() = default;

    /// The applications a menu shows: the visible application entries found
    /// directly in the applications folders, each app id once (the first
    /// folder that has the id decides, also by hiding it), in folder order.
    /// Any thread; entries and folders that cannot be read are skipped.
    virtual std::vector<DesktopApplication> installedApplications() const = 0;

    /// The application entry at `file`, one picked by hand: named by its id
    /// when it lies directly in an applications folder, else by its absolute
    /// path. None when it is no application entry (not one, hidden, or its
    /// program is not installed). Any thread.
    virtual std::optional<DesktopApplication> describe(const std::filesystem::path& file) const = 0;

    /// Where the application `appId` is now: the entry the applications
    /// folders give for the id (or the entry at the path of an id that is
    /// one), when it is a usable application entry. Entries kept out of
    /// menus (NoDisplay) count, since they can still be started; hidden ones
    /// (Hidden=true, the entry's removal) do not.
    virtual std::optional<std::filesystem::path> locate(std::string_view appId) const = 0;

    /// Starts the application of the entry at `entry` (or brings it forward,
    /// as the application decides); false when it could not be started.
    virtual bool launch(const std::filesystem::path& entry) = 0;

    /// The icon the entry at `entry` names; none when it names none.
    virtual std::optional<ApplicationIcon> icon(const std::filesystem::path& entry) const = 0;

    /// Whether a process of this user runs the application `appId`, whose
    /// entry is at `entry` when known.
    virtual bool isRunning(std::string_view appId, const std::optional<std::filesystem::path>& entry) const = 0;
};
