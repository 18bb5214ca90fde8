#pragma once
// The opt-in developer trace: one line per noteworthy event ("HH:mm:ss",
// two spaces, the message) appended to "vude-diagnostics.log" in the user's
// private runtime folder, and the reading of its last lines for the
// diagnostics report.
//
// The runtime folder is usually in memory, so the trace is bounded: once the
// file holds kMaxFileBytes, it becomes "vude-diagnostics.log.1" (replacing
// the one before) and a new file starts. A message can come from anywhere (a
// media title), so what a terminal or a report would act on is replaced
// before it is written: control characters, line and paragraph separators
// and bidirectional overrides.
//
// The trace is on while VUDE_TRACE is set (to any value, even empty) or the
// "diagnosticsOptIn" predicate holds; both are asked on every line, so either
// can change while the app runs. Tracing never fails its caller: a line that
// cannot be written is lost silently. It reopens the file for every line and
// is meant for low-rate events, never per-frame work.
//
// The file keeps only times of day, so lines of an earlier run look like this
// run's. The trace remembers where its own first line went (the file, held
// open until rotation removes it, and the offset), and the tail it reads
// tells which lines are this run's.
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
#include <memory>
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

    /// Appends one line when the trace is on, rotating the file first when
    /// it is full. The file is created with mode 0600; a symlink, or anything
    /// but a regular file, at its path is never written through. The
    /// now-playing source marks its own lines by starting the message with
    /// "[media] ".
    void trace(std::string_view message) const;

    /// The last `limit` non-empty lines, oldest first, from the file and then
    /// the rotated one before it; all of them when there are fewer. Lines are
    /// read backwards from the end, so a huge file is never loaded whole: at
    /// most kMaxTailBytes of text come back, a line longer than kMaxLineBytes
    /// comes back cut (its start, then "…"), and no more than kMaxScanBytes
    /// are looked through. Invalid UTF-8 is replaced by U+FFFD rather than
    /// hiding the log. A missing or unreadable file gives an empty list.
    /// Works whether or not the trace is on.
    std::vector<std::string> recentLogLines(std::size_t limit) const;

    /// The last lines, as recentLogLines() gives them, and where the lines
    /// this trace wrote begin among them: lines from `thisRunFrom` on were
    /// written by this trace (or its copies), those before it by an earlier
    /// run. `thisRunFrom` is lines.size() when none of them is this run's.
    struct Tail {
        std::vector<std::string> lines;
        std::size_t thisRunFrom = 0;
        bool operator==(const Tail&) const = default;
    };
    Tail recentLog(std::size_t limit) const;

    static constexpr std::string_view kRotatedFileName = "vude-diagnostics.log.1";
    static constexpr std::size_t kMaxFileBytes = 2 * 1024 * 1024;
    static constexpr std::size_t kMaxLineBytes = 16 * 1024;
    static constexpr std::size_t kMaxTailBytes = 1024 * 1024;
    static constexpr std::size_t kMaxScanBytes = 32 * 1024 * 1024;

    /// "HH:mm:ss  message\n" in local time, the message made safe to show:
    /// line breaks and tabs become spaces, other control characters (C0, DEL,
    /// C1), U+2028, U+2029 and bidirectional marks and overrides become U+FFFD,
    /// as does invalid UTF-8; a line longer than kMaxLineBytes is cut and ends
    /// in "…".
    static std::string formatLine(Date at, std::string_view message);

private:
    // Where this run's first line went; shared by copies, which are the same
    // trace. Set once the first line of this run is written.
    struct RunStart;

    Environment::Lookup m_environment;
    std::function<bool()> m_isOptedIn;
    const ClockSource* m_clock;
    FolderProvider m_folder;
    std::shared_ptr<RunStart> m_runStart;
};
