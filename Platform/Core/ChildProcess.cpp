#include "Platform/Core/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Through syscall(): this glibc's <sys/pidfd.h> declares its wrappers without
// C linkage, so C++ cannot link them.
int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int sendSignal(int pidfd, int number)
{
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, number, nullptr, 0));
}

struct Spawned {
    pid_t pid = -1;
    int pidfd = -1;
    int output = -1;
};

using SpawnResult = Expected<Spawned, std::string>;

std::string systemError(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// The environment for the child: ours, with the requested variables set.
std::vector<std::string> childEnvironment(const std::vector<std::pair<std::string, std::string>>& overrides)
{
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                          [&](const auto& variable) { return variable.first == name; });
        if (!replaced)
            entries.emplace_back(text);
    }
    for (const auto& [name, value] : overrides)
        entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (auto& string : strings)
        result.push_back(string.data());
    result.push_back(nullptr);
    return result;
}

SpawnResult spawnHere(const ChildProcess::Options& options)
{
    std::vector<std::string> arguments{options.executable.string()};
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    auto argv = pointers(arguments);
    auto environment = childEnvironment(options.environment);
    auto envp = pointers(environment);

    int output[2] = {-1, -1};
    if (options.captureStandardOutput && ::pipe2(output, O_CLOEXEC) != 0)
        return unexpected(systemError("pipe", errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.captureStandardOutput)
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    // The app blocks or catches signals of its own (quit signals go through
    // the event loop); none of that may reach the child.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, options.executable.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (output[1] >= 0)
        ::close(output[1]);
    if (spawned != 0) {
        if (output[0] >= 0)
            ::close(output[0]);
        return unexpected(systemError(options.executable.c_str(), spawned));
    }

    const int pidfd = openPidfd(pid);
    if (pidfd < 0) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        if (output[0] >= 0)
            ::close(output[0]);
        return unexpected(systemError("pidfd_open", error));
    }
    if (output[0] >= 0)
        ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
    return Spawned{pid, pidfd, output[0]};
}

// The one thread that spawns every child and reaps those nobody waits for.
class Spawner {
public:
    static Spawner& shared()
    {
        // Never destroyed: the thread must outlive every child it spawned.
        static Spawner* const instance = new Spawner;
        return *instance;
    }

    SpawnResult spawn(const ChildProcess::Options& options)
    {
        std::packaged_task<SpawnResult()> task([&options] { return spawnHere(options); });
        auto result = task.get_future();
        {
            std::scoped_lock lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        wake();
        return result.get();
    }

    /// Takes over the pidfd of a child nobody waits for.
    void adopt(int pidfd)
    {
        {
            std::scoped_lock lock(m_mutex);
            m_orphans.push_back(pidfd);
        }
        wake();
    }

private:
    Spawner()
        : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
        , m_thread([this] { run(); })
    {
        pthread_setname_np(m_thread.native_handle(), "spawner");
    }

    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
    }

    void run()
    {
        for (;;) {
            std::vector<pollfd> watched{{m_wake, POLLIN, 0}};
            {
                std::scoped_lock lock(m_mutex);
                for (const int pidfd : m_orphans)
                    watched.push_back({pidfd, POLLIN, 0});
            }
            if (::poll(watched.data(), watched.size(), -1) < 0)
                continue; // interrupted
            if (watched[0].revents) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto got = ::read(m_wake, &count, sizeof count);
            }

            std::deque<std::packaged_task<SpawnResult()>> tasks;
            {
                std::scoped_lock lock(m_mutex);
                tasks.swap(m_tasks);
            }
            for (auto& task : tasks)
                task();

            for (std::size_t i = 1; i < watched.size(); ++i) {
                if (!watched[i].revents)
                    continue;
                siginfo_t info {};
                ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(watched[i].fd), &info, WEXITED);
                ::close(watched[i].fd);
                std::scoped_lock lock(m_mutex);
                std::erase(m_orphans, watched[i].fd);
            }
        }
    }

    std::mutex m_mutex;
    std::deque<std::packaged_task<SpawnResult()>> m_tasks;
    std::vector<int> m_orphans;
    const int m_wake;
    std::thread m_thread;
};

} // namespace

Expected<std::unique_ptr<ChildProcess>, std::string> ChildProcess::spawn(const Options& options)
{
    if (!options.executable.is_absolute())
        return unexpected(options.executable.string() + ": not an absolute path");
    auto spawned = Spawner::shared().spawn(options);
    if (!spawned)
        return unexpected(spawned.error());
    return std::unique_ptr<ChildProcess>(new ChildProcess(spawned->pid, spawned->pidfd, spawned->output));
}

ChildProcess::~ChildProcess()
{
    if (m_output >= 0)
        ::close(m_output);
    if (exitStatus())
        ::close(m_pidfd);
    else
        Spawner::shared().adopt(m_pidfd);
}

std::optional<ChildProcess::Exit> ChildProcess::waitForExit(std::optional<std::chrono::milliseconds> timeout)
{
    {
        std::scoped_lock lock(m_mutex);
        if (m_exit)
            return m_exit;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
    for (;;) {
        int wait = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            wait = static_cast<int>(std::clamp<std::int64_t>(left, 0, 24 * 3600 * 1000));
        }
        pollfd ended{m_pidfd, POLLIN, 0};
        const int ready = ::poll(&ended, 1, wait);
        if (ready > 0)
            break;
        if (ready == 0 || errno != EINTR)
            return std::nullopt;
    }

    std::scoped_lock lock(m_mutex);
    if (!m_exit) {
        siginfo_t info {};
        Exit exit;
        if (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(m_pidfd), &info, WEXITED) == 0) {
            if (info.si_code == CLD_EXITED)
                exit.code = info.si_status;
            else
                exit.signal = info.si_status;
        }
        m_exit = exit;
    }
    return m_exit;
}

bool ChildProcess::signal(int number)
{
    std::scoped_lock lock(m_mutex);
    if (m_exit)
        return false;
    return sendSignal(m_pidfd, number) == 0;
}

std::string ChildProcess::readAllStandardOutput(std::size_t limit)
{
    std::string text;
    if (m_output < 0)
        return text;
    char block[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_output, block, sizeof block);
        if (got > 0) {
            const auto keep = std::min(static_cast<std::size_t>(got), limit - std::min(limit, text.size()));
            text.append(block, keep);
        } else if (got == 0) {
            return text;
        } else if (errno == EAGAIN) {
            pollfd readable{m_output, POLLIN, 0};
            ::poll(&readable, 1, -1);
        } else if (errno != EINTR) {
            return text;
        }
    }
}
