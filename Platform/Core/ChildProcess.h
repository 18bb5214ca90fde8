#pragma once
// A child process started without a shell: posix_spawn of an absolute path
// with the arguments as given, standard input and standard error on the null
// device, standard output on a pipe or the null device, no other descriptor
// inherited, the signal mask and signal dispositions reset to the defaults.
//
// Every spawn runs on one thread that lives as long as the app. The kernel's
// parent-death signal (PR_SET_PDEATHSIG, which a child may ask for) fires when
// the thread that spawned the child ends, not the process: spawned from a
// worker that later exits, the child would be killed early; spawned from this
// thread, it is told exactly when the app goes.
//
// A child is tracked through a pidfd: a signal can never reach another
// process that reused its number once it has been reaped. A child dropped
// while it still runs is reaped by the spawning thread when it ends, so none
// is left behind as a zombie.
//
// Thread-safe: one thread may wait for the child while another signals it.

#include "VudeKit/Expected.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class ChildProcess {
public:
    struct Options {
        /// Run as is: no search along PATH, no shell.
        std::filesystem::path executable;
        /// argv[1...]; argv[0] is the executable's path.
        std::vector<std::string> arguments;
        /// Standard output on a pipe read through standardOutput(), else the
        /// null device.
        bool captureStandardOutput = false;
        /// Variables set for the child on top of (or in place of) ours.
        std::vector<std::pair<std::string, std::string>> environment;
    };

    struct Exit {
        /// The exit status, or -1 when a signal ended the child.
        int code = -1;
        /// The signal that ended the child; 0 when it exited by itself.
        int signal = 0;
        bool succeeded() const { return signal == 0 && code == 0; }
        bool operator==(const Exit&) const = default;
    };

    /// Starts the child; the error says why it could not be started (the
    /// executable missing or not executable, no resources).
    static Expected<std::unique_ptr<ChildProcess>, std::string> spawn(const Options& options);

    /// Closes the descriptors. A child still running goes on and is reaped
    /// when it ends; signal it first to end it.
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    /// The read end of the child's standard output, non-blocking; -1 when it
    /// is not captured. Owned by this object.
    int standardOutput() const { return m_output; }
    /// Becomes readable (for poll) once the child has ended.
    int exitDescriptor() const { return m_pidfd; }

    /// Waits until the child ends, at most `timeout` (forever without one),
    /// and reaps it. None while it still runs.
    std::optional<Exit> waitForExit(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
    /// The exit once the child has ended, without waiting.
    std::optional<Exit> exitStatus() { return waitForExit(std::chrono::milliseconds(0)); }

    /// Sends `number` to the child; false when it has already ended.
    bool signal(int number);
    bool terminate() { return signal(SIGTERM); }
    bool kill() { return signal(SIGKILL); }

    /// Reads standard output up to its end, keeping at most `limit` bytes (the
    /// rest is read and dropped). For short-lived tools; blocks meanwhile.
    std::string readAllStandardOutput(std::size_t limit);

private:
    ChildProcess(pid_t pid, int pidfd, int output) : m_pid(pid), m_pidfd(pidfd), m_output(output) {}

    const pid_t m_pid;
    const int m_pidfd;
    const int m_output;
    std::mutex m_mutex;
    std::optional<Exit> m_exit;
};
