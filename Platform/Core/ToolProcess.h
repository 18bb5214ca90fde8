#pragma once
// Running a program to its end without a shell: posix_spawn of the path as
// given with the arguments as given, standard input fed from a text (or the
// null device), standard output and error kept or sent to the null device.
// The child inherits no other descriptor of ours, an empty signal mask and
// the default action for SIGPIPE.
//
// Input is written while the output is read, so neither side can stall the
// other on a full pipe, and everything the child writes is read before its
// exit is waited for. A child that stops reading its input early ends the
// writing quietly (no SIGPIPE reaches the app).
//
// Blocking: call it off the main thread. Any thread.

#include "VudeKit/Expected.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ToolProcess {

struct Request {
    /// Run as is: no search along PATH.
    std::filesystem::path tool;
    /// argv[1...]; argv[0] is the tool's path.
    std::vector<std::string> arguments;
    /// What the child reads on standard input; none: the null device.
    std::optional<std::string> standardInput;
    bool keepStandardOutput = false;
    bool keepStandardError = false;
    /// Kept per stream; the rest is read and dropped, so a chatty tool still
    /// ends.
    std::size_t keptBytes = 64 * 1024;
};

struct Exit {
    /// The exit status; -1 when a signal ended the child.
    int code = -1;
    /// The signal that ended the child; 0 when it exited by itself.
    int signal = 0;
    std::string standardOutput;
    std::string standardError;

    bool succeeded() const { return signal == 0 && code == 0; }
};

struct Failure {
    enum class Stage {
        /// The child could not be started (missing, not executable, no pipes).
        start,
        /// The child was started but could not be waited for.
        wait,
    };
    Stage stage = Stage::start;
    /// The errno value that says why.
    int error = 0;
};

Expected<Exit, Failure> run(const Request& request);

} // namespace ToolProcess
