#pragma once
// Helpers shared by the test programs of every module.

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

/// Runs the Qt event loop until `condition` holds or `timeout` passes;
/// returns whether it held. For waiting on work posted by another thread.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

/// Processes the events already queued for the current thread.
void processEvents();

/// The source tree's root (for fixtures kept in the repository).
QString sourceDir();

/// The names of everything in `folder`, hidden files included, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);

/// Stops process `pid` (a daemon that then answers nothing) until resume()
/// or the end of the scope, so that a failing test never leaves it stopped.
class StoppedProcess {
public:
    explicit StoppedProcess(pid_t pid);
    ~StoppedProcess() { resume(); }
    StoppedProcess(const StoppedProcess&) = delete;
    StoppedProcess& operator=(const StoppedProcess&) = delete;

    bool isStopped() const { return m_stopped; }
    /// Lets it run again; false when it was not stopped or cannot be signalled.
    bool resume();

private:
    pid_t m_pid;
    bool m_stopped;
};

} // namespace testsupport
