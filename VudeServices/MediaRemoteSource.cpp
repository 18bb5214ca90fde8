#include "VudeServices/MediaRemoteSource.h"

#include "Platform/Core/AppResources.h"
#include "Platform/Core/MainThread.h"
#include "VudeKit/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::size_t kReadBlockBytes = 64 * 1024;
constexpr std::size_t kMaxProcessListBytes = 16 * 1024 * 1024;

std::optional<std::int32_t> decimalInt32(std::string_view text)
{
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> blankSeparated(std::string_view line)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < line.size()) {
        const auto end = std::min(line.find_first_of(" \t", start), line.size());
        if (end > start)
            pieces.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

} // namespace

// One streaming adapter, from its spawn until its reading thread is done.
struct MediaRemoteSource::Run {
    explicit Run(std::unique_ptr<ChildProcess> child)
        : process(std::move(child))
        , wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~Run()
    {
        if (wake >= 0)
            ::close(wake);
    }

    const std::unique_ptr<ChildProcess> process;
    // Written to end the reading early, when the source goes away.
    const int wake;
    // This process's own partial line: the bytes of two processes are never
    // joined into one line. Reading thread only.
    NowPlayingLineBuffer buffer;
    std::thread thread;
    std::atomic<bool> finished = false;
};

std::unique_ptr<MediaRemoteSource> MediaRemoteSource::make(const std::filesystem::path& resourcesDirectory,
                                                           Dependencies dependencies)
{
    auto layout = MediaAdapterLayout::find(resourcesDirectory);
    if (!layout)
        return nullptr;
    return std::unique_ptr<MediaRemoteSource>(new MediaRemoteSource(std::move(*layout), std::move(dependencies)));
}

std::filesystem::path MediaRemoteSource::defaultResourcesDirectory()
{
    return AppResources::helperProgram(MediaAdapterLayout::kFolderName).value_or(std::filesystem::path());
}

MediaRemoteSource::MediaRemoteSource(MediaAdapterLayout layout, Dependencies dependencies)
    : m_layout(std::move(layout))
    , m_dependencies(std::move(dependencies))
{
}

MediaRemoteSource::~MediaRemoteSource()
{
    m_closing = true;
    m_respawn.cancel();
    {
        std::scoped_lock lock(m_mutex);
        m_stopped = true;
        m_current.reset();
    }
    for (const auto& run : m_runs) {
        run->process->terminate();
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(run->wake, &one, sizeof one);
    }
    for (const auto& run : m_runs)
        run->thread.join();
    m_runs.clear();
    // Drops an exit notice posted by a reading thread that is now gone.
    m_context.reset();
    m_states.finish();
}

void MediaRemoteSource::start()
{
    {
        std::scoped_lock lock(m_mutex);
        m_stopped = false;
        if (m_current)
            return;
    }
    m_respawn.cancel();
    reapOrphans();
    spawn();
}

void MediaRemoteSource::stop()
{
    std::shared_ptr<Run> taken;
    {
        std::scoped_lock lock(m_mutex);
        m_stopped = true;
        taken = std::exchange(m_current, nullptr);
    }
    m_respawn.cancel();
    if (taken)
        taken->process->terminate();
}

void MediaRemoteSource::send(const MediaCommand& command)
{
    // Taken now: the command is meant for what is shown when it is given.
    std::string player;
    {
        std::scoped_lock lock(m_stateMutex);
        player = m_ingest.player().value_or(std::string());
    }
    m_queue.async([this, arguments = m_layout.commandArguments(command), player = std::move(player)] {
        if (!m_closing)
            runCommand(arguments, player);
    });
}

bool MediaRemoteSource::selfTest(Duration timeout)
{
    if (!m_layout.testClientURL)
        return true;
    auto child = ChildProcess::spawn(invocation(m_layout.testArguments(), false));
    if (!child)
        return false;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(timeout, Duration::zero()));
    if (const auto exit = (*child)->waitForExit(wait))
        return exit->succeeded();
    (*child)->terminate();
    if (!(*child)->waitForExit(kTerminateGrace)) {
        (*child)->kill();
        (*child)->waitForExit();
    }
    return false;
}

bool MediaRemoteSource::isHealthy() const
{
    return restartCount() < 3;
}

std::int64_t MediaRemoteSource::restartCount() const
{
    std::scoped_lock lock(m_mutex);
    return m_restartCount;
}

Duration MediaRemoteSource::respawnDelay(std::int64_t exitCount)
{
    const auto exponent = std::clamp<std::int64_t>(exitCount, 0, 5);
    return std::min<Duration>(std::chrono::seconds(std::int64_t{1} << exponent), std::chrono::seconds(30));
}

std::vector<pid_t> MediaRemoteSource::orphanedAdapters(std::string_view processList, std::string_view scriptPath,
                                                       pid_t ownPid)
{
    std::vector<pid_t> orphans;
    if (scriptPath.empty())
        return orphans;
    std::size_t start = 0;
    while (start < processList.size()) {
        const auto end = std::min(processList.find('\n', start), processList.size());
        const auto line = processList.substr(start, end - start);
        start = end + 1;

        const auto pieces = blankSeparated(line);
        if (pieces.size() < 3)
            continue;
        const auto pid = decimalInt32(pieces[0]);
        const auto parent = decimalInt32(pieces[1]);
        if (!pid || !parent || line.find(scriptPath) == std::string_view::npos)
            continue;
        // kill() reads 0 and negative numbers as whole process groups.
        if (*pid > 1 && *pid != ownPid && *parent == 1)
            orphans.push_back(*pid);
    }
    return orphans;
}

ChildProcess::Options MediaRemoteSource::invocation(std::vector<std::string> arguments, bool captureOutput) const
{
    ChildProcess::Options options;
    options.executable = m_dependencies.interpreter;
    options.arguments = std::move(arguments);
    options.captureStandardOutput = captureOutput;
    options.environment = {{std::string(kParentVariable), formatInteger(::getpid())}};
    return options;
}

void MediaRemoteSource::spawn()
{
    auto child = ChildProcess::spawn(invocation(m_layout.streamArguments(), true));
    if (!child) {
        m_capabilities = Capability().rawValue();
        return;
    }
    joinFinishedRuns();
    auto run = std::make_shared<Run>(std::move(*child));
    {
        std::scoped_lock lock(m_mutex);
        m_current = run;
    }
    run->thread = std::thread([this, run] {
        if (watch(*run))
            adapterEnded(run);
        run->finished = true;
    });
    m_runs.push_back(std::move(run));
}

void MediaRemoteSource::joinFinishedRuns()
{
    std::erase_if(m_runs, [](const auto& run) {
        if (!run->finished)
            return false;
        run->thread.join();
        return true;
    });
}

bool MediaRemoteSource::watch(Run& run)
{
    pollfd watched[] = {
        {run.process->standardOutput(), POLLIN, 0},
        {run.process->exitDescriptor(), POLLIN, 0},
        {run.wake, POLLIN, 0},
    };
    std::string block(kReadBlockBytes, '\0');
    // Reads what is there now; false once the output has ended.
    const auto readAvailable = [&] {
        for (;;) {
            const ssize_t got = ::read(watched[0].fd, block.data(), block.size());
            if (got > 0)
                ingest(run, std::string_view(block.data(), static_cast<std::size_t>(got)));
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                return false;
            else if (errno == EAGAIN)
                return true;
        }
    };

    for (;;) {
        if (::poll(watched, std::size(watched), -1) < 0)
            continue; // interrupted
        if (watched[2].revents)
            return false;
        if (watched[0].fd >= 0 && watched[0].revents && !readAvailable())
            watched[0].fd = -1; // end of output: poll() skips it from now on
        if (watched[1].revents) {
            if (watched[0].fd >= 0)
                readAvailable(); // what it wrote just before it ended
            run.process->waitForExit();
            return true;
        }
    }
}

void MediaRemoteSource::ingest(Run& run, std::string_view bytes)
{
    const auto lines = run.buffer.append(bytes);
    NowPlayingIngest::Result result;
    {
        std::scoped_lock lock(m_stateMutex);
        result = m_ingest.fold(lines, run.buffer.maxLineBytes(), m_dependencies.clock.now());
        // Yielded under the lock, so two adapters' states keep their order.
        for (auto& state : result.states)
            m_states.yield(std::move(state));
    }
    for (const auto& message : result.traces)
        trace(message);
}

void MediaRemoteSource::adapterEnded(const std::shared_ptr<Run>& run)
{
    std::int64_t exitCount = 0;
    bool respawn = false;
    {
        std::scoped_lock lock(m_mutex);
        exitCount = ++m_restartCount;
        // An adapter that stop() took is no longer current: its exit is
        // counted, but only the current adapter is replaced.
        const bool current = m_current == run;
        if (current)
            m_current.reset();
        respawn = current && !m_stopped;
    }
    if (respawn)
        postTo(m_context.get(), [this, exitCount] { scheduleRespawn(exitCount); });
}

void MediaRemoteSource::scheduleRespawn(std::int64_t exitCount)
{
    m_respawn.cancel();
    m_respawn = m_dependencies.scheduler.after(respawnDelay(exitCount), [this] {
        {
            std::scoped_lock lock(m_mutex);
            if (m_stopped || m_current)
                return;
        }
        spawn();
    });
}

void MediaRemoteSource::reapOrphans()
{
    ChildProcess::Options options;
    options.executable = m_dependencies.processList;
    options.arguments = {"-eo", "pid=,ppid=,command="};
    options.captureStandardOutput = true;
    auto ps = ChildProcess::spawn(options);
    if (!ps)
        return;
    const auto list = (*ps)->readAllStandardOutput(kMaxProcessListBytes);
    (*ps)->waitForExit();
    for (const pid_t orphan : orphanedAdapters(list, m_layout.scriptURL.string(), ::getpid()))
        ::kill(orphan, SIGTERM);
}

void MediaRemoteSource::runCommand(const std::vector<std::string>& arguments, const std::string& player)
{
    auto options = invocation(arguments, false);
    // Set even when empty, so a value in our own environment never steers it.
    options.environment.emplace_back(kPlayerVariable, player);
    auto child = ChildProcess::spawn(options);
    if (!child)
        return;
    if ((*child)->waitForExit(kCommandTimeout))
        return;
    (*child)->kill();
    (*child)->waitForExit();
}

void MediaRemoteSource::trace(std::string_view message) const
{
    m_dependencies.trace.trace(std::string(kTraceTag) + std::string(message));
}
