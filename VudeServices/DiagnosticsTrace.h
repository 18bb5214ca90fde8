#pragma once
// The opt-in developer trace: one line per noteworthy event ("HH:mm:ss",
// two spaces, the message) appended to "vude-diagnostics.log" in the user's
// private runtime folder, and the reading of its last lines for the
// diagnostics report.
//
// The trace is on while VUDE_TRACE is set (to any value, even empty) or the
// "diagnosticsOptIn" predicate holds; both are asked on every line, so either
// can change while the app runs. Tracing never fails its caller: a line that
// cannot be written is lost silently. It reopens the file for every line and
// is meant for low-rate events, never per-frame work.
//
// Thread-safe: the activity bridge writes from the main thread and the
// now-playing source from its own queue. Each line goes out in one append
// write, so lines of two writers interleave only as whole lines. The opt-in
// predicate is therefore called from those threads too.

#include "Platform/Core/Environment.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Expected.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class DiagnosticsTrace {
public:
    static constexpr std::string_view kFileName = "vude-diagnostics.log";
    static constexpr std::string_view kEnvironmentVariable = "VUDE_TRACE";

    /// The folder that holds the trace file, or why there is none.
    using FolderProvider = std::function<Expected<std::filesystem::path, std::string>()>;

    DiagnosticsTrace(Environment::Lookup environment, std::function<bool()> isOptedIn, const ClockSource& clock,
                     FolderProvider folder);

    /// The trace of this process: its environment, the system clock and
    /// XdgPaths::privateRuntimeDirectory(). `isOptedIn` reads the user default
    /// "diagnosticsOptIn".
    static DiagnosticsTrace forProcess(std::function<bool()> isOptedIn);

    bool isOn() const;

    /// Appends one line when the trace is on. Line breaks inside the message
    /// become spaces so every entry stays one line. The file is created with
    /// mode 0600; a symlink, or anything but a regular file, at its path is
    /// never written through. The now-playing source marks its own lines by
    /// starting the message with "[media] ".
    void trace(std::string_view message) const;

    /// The last `limit` non-empty lines of the file, oldest first; all of them
    /// when there are fewer. Reads backwards from the end, at most
    /// kMaxTailBytes, so a huge file is never loaded whole. Invalid UTF-8 is
    /// replaced by U+FFFD rather than hiding the log. A missing or unreadable
    /// file gives an empty list. Works whether or not the trace is on.
    std::vector<std::string> recentLogLines(std::size_t limit) const;

    static constexpr std::size_t kMaxTailBytes = 1024 * 1024;

    /// "HH:mm:ss  message\n" in local time.
    static std::string formatLine(Date at, std::string_view message);

private:
    Environment::Lookup m_environment;
    std::function<bool()> m_isOptedIn;
    const ClockSource* m_clock;
    FolderProvider m_folder;
};
