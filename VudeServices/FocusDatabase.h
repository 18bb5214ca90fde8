#pragma once
// The Focus database files some systems keep under the user's home folder
// ("Library/DoNotDisturb/DB"): which mode is asserted now and how each mode is
// configured. Linux desktops have no such files, so on Linux the database is
// normally absent; the home folder is injectable so the reading can be tested.

#include <filesystem>
#include <optional>
#include <string>

class FocusDatabase {
public:
    /// The asserted mode's name and symbol name.
    struct Mode {
        std::string name;
        std::optional<std::string> symbol;

        bool operator==(const Mode&) const = default;
    };

    explicit FocusDatabase(std::filesystem::path home);

    /// Whether the assertions file can be read by this process.
    bool isReadable() const;

    /// The asserted mode: its identifier from the assertions file, looked up
    /// in the configurations file. None when a file is missing, unreadable or
    /// malformed, or asserts no mode. A mode without a name is called
    /// "Focus"; one without a symbol has none.
    std::optional<Mode> activeMode() const;

    std::filesystem::path assertionsFile() const;
    std::filesystem::path configurationsFile() const;

private:
    std::filesystem::path m_folder;
};
