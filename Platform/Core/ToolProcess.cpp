#include "Platform/Core/ToolProcess.h"

#include "Platform/Core/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ToolProcess {

namespace {

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

std::optional<Pipe> makePipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    return Pipe{UniqueFd(ends[0]), UniqueFd(ends[1])};
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Reads what is there now; false at the end of the stream.
bool drain(int fd, std::string& kept, std::size_t keptBytes)
{
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (count <= 0)
            return false;
        const std::size_t room = keptBytes - std::min(keptBytes, kept.size());
        kept.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
}

// Keeps SIGPIPE from this thread while the child's input is written: a child
// that exits without reading it must not end the app. A SIGPIPE raised by our
// own write is taken back before the mask is restored.
class QuietBrokenPipes {
public:
    QuietBrokenPipes()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~QuietBrokenPipes()
    {
        if (m_raised && !sigismember(&m_previous, SIGPIPE)) {
            const timespec none{};
            while (sigtimedwait(&m_pipe, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    QuietBrokenPipes(const QuietBrokenPipes&) = delete;
    QuietBrokenPipes& operator=(const QuietBrokenPipes&) = delete;

    void noteRaised() { m_raised = true; }

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_raised = false;
};

Failure failure(Failure::Stage stage, int error)
{
    return Failure{stage, error};
}

} // namespace

Expected<Exit, Failure> run(const Request& request)
{
    std::optional<Pipe> input;
    std::optional<Pipe> output;
    std::optional<Pipe> error;
    if (request.standardInput && !(input = makePipe()))
        return unexpected(failure(Failure::Stage::start, errno));
    if (request.keepStandardOutput && !(output = makePipe()))
        return unexpected(failure(Failure::Stage::start, errno));
    if (request.keepStandardError && !(error = makePipe()))
        return unexpected(failure(Failure::Stage::start, errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input)
        posix_spawn_file_actions_adddup2(&actions, input->read.get(), STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, output->write.get(), STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (error)
        posix_spawn_file_actions_adddup2(&actions, error->write.get(), STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Descriptors the app holds open (files half-written on other threads) stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    // A mask or an ignored SIGPIPE the calling thread has is not the tool's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argumentStorage;
    argumentStorage.reserve(request.arguments.size() + 1);
    argumentStorage.push_back(request.tool.string());
    argumentStorage.insert(argumentStorage.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    argv.reserve(argumentStorage.size() + 1);
    for (auto& argument : argumentStorage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, request.tool.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (input)
        input->read.reset();
    if (output)
        output->write.reset();
    if (error)
        error->write.reset();
    if (spawned != 0)
        return unexpected(failure(Failure::Stage::start, spawned));

    Exit exit;
    {
        QuietBrokenPipes quiet;
        std::size_t written = 0;
        const std::string_view text = request.standardInput ? std::string_view(*request.standardInput) : "";
        if (input && text.empty())
            input->write.reset();
        if (input && input->write)
            setNonBlocking(input->write.get());
        if (output)
            setNonBlocking(output->read.get());
        if (error)
            setNonBlocking(error->read.get());

        for (;;) {
            pollfd fds[3];
            nfds_t count = 0;
            int inputIndex = -1;
            int outputIndex = -1;
            int errorIndex = -1;
            if (input && input->write) {
                inputIndex = static_cast<int>(count);
                fds[count++] = {input->write.get(), POLLOUT, 0};
            }
            if (output && output->read) {
                outputIndex = static_cast<int>(count);
                fds[count++] = {output->read.get(), POLLIN, 0};
            }
            if (error && error->read) {
                errorIndex = static_cast<int>(count);
                fds[count++] = {error->read.get(), POLLIN, 0};
            }
            if (count == 0)
                break;
            if (::poll(fds, count, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (inputIndex >= 0 && fds[inputIndex].revents != 0) {
                const ssize_t sent = ::write(input->write.get(), text.data() + written, text.size() - written);
                if (sent > 0)
                    written += static_cast<std::size_t>(sent);
                else if (sent < 0 && errno == EPIPE)
                    quiet.noteRaised();
                if ((sent < 0 && errno != EINTR && errno != EAGAIN) || written == text.size())
                    input->write.reset();
            }
            if (outputIndex >= 0 && fds[outputIndex].revents != 0
                && !drain(output->read.get(), exit.standardOutput, request.keptBytes))
                output->read.reset();
            if (errorIndex >= 0 && fds[errorIndex].revents != 0
                && !drain(error->read.get(), exit.standardError, request.keptBytes))
                error->read.reset();
        }
    }
    input.reset();
    output.reset();
    error.reset();

    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return unexpected(failure(Failure::Stage::wait, errno));
    if (WIFEXITED(status)) {
        exit.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exit.signal = WTERMSIG(status);
    }
    return exit;
}

} // namespace ToolProcess
