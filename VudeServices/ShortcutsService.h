#pragma once
// The user's shortcuts for the Desk: lists them and runs one through the
// shortcuts runner (a helper program beside the app, see ShortcutsFolder),
// and keeps the chosen ones in "shortcuts.json" in the container folder under
// Application Support.
//
// The file is read once, when the service is made, and written whole after
// every change; a file that cannot be read or decoded is an empty list,
// replaced by the next save. Listing and running never report a failure: a
// runner that is missing, cannot start or fails lists nothing.
//
// Observed through chosenChanged (only when the list really changed) or the
// onChange handler (after every save, also one that changed nothing). Main
// thread only; listing and running happen on other threads.

#include "Platform/Core/SerialQueue.h"
#include "VudeServices/ShortcutEntry.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct ShortcutsServiceOptions {
    /// The runner; the app's helper program "vude-shortcuts" when empty.
    std::filesystem::path tool;
    /// The folder holding the container folder; XdgPaths' "Application
    /// Support" when empty.
    std::filesystem::path applicationSupport;
};

class ShortcutsService final : public QObject {
    Q_OBJECT
public:
    using Options = ShortcutsServiceOptions;
    using ChangeHandler = std::function<void(const std::vector<ShortcutEntry>& chosen)>;

    static constexpr const char* storeFileName = "shortcuts.json";
    static constexpr const char* runnerName = "vude-shortcuts";

    /// Creates the container folder when missing and loads the chosen list.
    explicit ShortcutsService(const std::string& containerName, Options options = {}, QObject* parent = nullptr);
    ~ShortcutsService() override;

    const std::vector<ShortcutEntry>& chosen() const { return m_chosen; }
    const std::filesystem::path& url() const { return m_url; }
    const std::filesystem::path& tool() const { return m_tool; }

    const ChangeHandler& onChange() const { return m_onChange; }
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

    /// Appends `entry` and saves, unless an entry of the same shortcutName is
    /// already chosen (then nothing, not even a save).
    void add(const ShortcutEntry& entry);
    /// Removes every entry with `entry`'s id and saves, also when none was
    /// there.
    void remove(const ShortcutEntry& entry);
    /// Replaces the first entry with `entry`'s id and saves; without one,
    /// nothing.
    void update(const ShortcutEntry& entry);

    /// The runner is there and executable.
    bool canList() const;
    /// The names of the user's shortcuts, sorted by name ignoring case (equal
    /// names keep the runner's order, duplicates stay), handed to
    /// `completion` on this object's thread. Empty when the runner cannot
    /// list them.
    void available(std::function<void(std::vector<std::string>)> completion);
    /// The listing itself, blocking: what available() hands on.
    static std::vector<std::string> listAvailable(const std::filesystem::path& tool);
    /// The names in the runner's output: UTF-8 (bad bytes replaced), one per
    /// line, blank lines dropped, spaces and tabs trimmed from both ends,
    /// sorted as available() says.
    static std::vector<std::string> parseListing(std::string_view output);

    /// Asks for `entry`'s shortcut to run, with its text input when it has a
    /// non-empty one: builds its run URL and opens it. Returns at once;
    /// whether it ran is not reported.
    void run(const ShortcutEntry& entry);
    /// The run URL of `entry` (see ShortcutRunURL).
    static std::string runURL(const ShortcutEntry& entry);
    /// Carries out a run URL: starts the runner with "run" and the name, the
    /// text on its standard input. A URL that is not a run URL, or a name
    /// that cannot be a shortcut's, is dropped.
    void openRunURL(std::string_view url);

signals:
    void chosenChanged();

private:
    void save(const std::vector<ShortcutEntry>& before);

    std::filesystem::path m_url;
    std::filesystem::path m_tool;
    std::vector<ShortcutEntry> m_chosen;
    ChangeHandler m_onChange;
    SerialQueue m_listing{"app.ruvudav.notch.shortcuts"};
};
