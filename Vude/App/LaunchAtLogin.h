#pragma once
// What "Launch at login" means on Linux: an autostart entry,
// $XDG_CONFIG_HOME/autostart/vude.desktop (~/.config when the variable is
// unset or not absolute), whose Exec starts the running binary.
//
// The setting drives the file: turning it on writes the entry (atomically),
// turning it off (also by resetting every setting) removes it. At start,
// with the setting on, a missing entry or one whose Exec names another
// program (the binary moved) is written again; with it off an entry is left
// alone, since the user may have made it. A failure is traced in one line
// and changes nothing else: the switch keeps reading the setting.
//
// Main thread only; the settings store outlives it.

#include "Platform/Core/Environment.h"
#include "VudeKit/SettingsStore.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class LaunchAtLogin {
public:
    using TraceSink = std::function<void(const std::string&)>;

    /// The entry's place; none without XDG_CONFIG_HOME or HOME.
    static std::optional<std::filesystem::path> entryPath(const Environment::Lookup& environment);
    /// `program` as one argument of an Exec value: in double quotes, with
    /// `"`, `` ` ``, `$` and `\` escaped, `%` doubled, then escaped as a
    /// string value.
    static std::string quotedExec(const std::string& program);
    /// The program an entry's Exec starts (its first argument, unquoted);
    /// none without an Exec in its [Desktop Entry] group.
    static std::optional<std::string> execProgram(const std::string& entry);
    /// The whole entry that starts `program`.
    static std::string entryText(const std::filesystem::path& program);

    /// Brings the entry in line with the setting now, then follows it.
    LaunchAtLogin(SettingsStore& settings, std::optional<std::filesystem::path> entry,
                  std::filesystem::path program, TraceSink trace);
    ~LaunchAtLogin();
    LaunchAtLogin(const LaunchAtLogin&) = delete;
    LaunchAtLogin& operator=(const LaunchAtLogin&) = delete;

    const std::optional<std::filesystem::path>& entry() const { return m_entry; }

private:
    void settingChanged();
    bool entryStartsProgram() const;
    void writeEntry();
    void removeEntry();
    void trace(const std::string& line) const;

    SettingsStore& m_settings;
    std::optional<std::filesystem::path> m_entry;
    std::filesystem::path m_program;
    TraceSink m_trace;
    bool m_on = false;
    std::uint64_t m_observer = 0;
};
