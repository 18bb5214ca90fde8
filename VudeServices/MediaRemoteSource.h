#pragma once
// The now-playing source: runs the adapter program (MediaAdapterLayout) as a
// long-lived child whose output lines are folded into NowPlayingState values
// and published, and runs one short invocation of it per media command,
// aimed at the player the last state came from.
//
// The streaming adapter is respawned whenever it exits, after 2, 4, 8, 16 and
// then 30 s, until stop(); a respawn still waiting when stop() runs does not
// happen. Only one streaming adapter runs at a time: start() while one runs
// does nothing more. Adapters left behind by an earlier run of the app (now
// children of init) are sent SIGTERM at start(). Every child asks to be
// killed when the app dies (the adapter program sets its parent-death signal;
// see ChildProcess for why all of them are spawned from one thread).
//
// Threads: make it, start() and stop() on the main thread, whose event loop
// must run for respawns; selfTest() from any thread (it blocks); the
// adapter's output is read and folded on a thread per adapter process;
// commands run one after another on the "app.ruvudav.notch.media" queue.
// Lines the source traces are tagged "[media] ".

#include "Platform/Core/ChildProcess.h"
#include "Platform/Core/LatestStream.h"
#include "Platform/Core/SerialQueue.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/DiagnosticsTrace.h"
#include "VudeServices/MediaAdapterLayout.h"
#include "VudeServices/NowPlayingIngest.h"
#include "VudeServices/NowPlayingSource.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

class MediaRemoteSource final : public NowPlayingSource {
public:
    /// States not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t stateBufferSize = 4;
    static constexpr std::string_view kQueueLabel = "app.ruvudav.notch.media";
    static constexpr std::string_view kTraceTag = "[media] ";
    /// The app's process id, in the adapter's environment: the adapter quits
    /// at once when its parent is already someone else.
    static constexpr std::string_view kParentVariable = "VUDE_PARENT_PID";
    /// In a command's environment: the player the last state came from, as
    /// the adapter named it (empty for none). The command goes to that player
    /// while it is still there, so it reaches the one being shown.
    static constexpr std::string_view kPlayerVariable = "VUDE_MEDIA_PLAYER";
    static constexpr Capability kInitialCapabilities =
        Capability::universalNowPlaying | Capability::mediaSeek | Capability::mediaShuffleRepeat;
    /// A command that takes longer is killed, so one hung player cannot hold
    /// up every later command.
    static constexpr std::chrono::milliseconds kCommandTimeout{10'000};
    /// How long a timed-out child gets to end on SIGTERM before SIGKILL.
    static constexpr std::chrono::milliseconds kTerminateGrace{250};

    struct Dependencies {
        /// Runs the respawn delays; main thread, must outlive the source.
        Scheduler& scheduler;
        /// Stamps the elapsed times; read on the reading threads.
        const ClockSource& clock;
        /// Must outlive the source.
        const DiagnosticsTrace& trace;
        std::filesystem::path interpreter{MediaAdapterLayout::kInterpreter};
        std::filesystem::path processList{"/bin/ps"};
    };

    /// A source for the adapter in `resourcesDirectory`; none when its
    /// launcher or framework is missing there. Starts nothing. Main thread.
    static std::unique_ptr<MediaRemoteSource> make(const std::filesystem::path& resourcesDirectory,
                                                   Dependencies dependencies);

    /// The "mediaremote-adapter" folder among the app's helper programs (it
    /// holds programs built for this machine).
    static std::filesystem::path defaultResourcesDirectory();

    /// Stops reading, asks a running adapter to terminate and finishes the
    /// stream. Commands not yet run are dropped.
    ~MediaRemoteSource() override;

    MediaRemoteSource(const MediaRemoteSource&) = delete;
    MediaRemoteSource& operator=(const MediaRemoteSource&) = delete;

    /// universalNowPlaying, mediaSeek and mediaShuffleRepeat; empty once the
    /// streaming adapter could not be started.
    Capability capabilities() const override { return Capability(m_capabilities.load()); }
    LatestStream<NowPlayingState> states() const override { return m_states; }

    /// Clears the stopped flag, reaps orphaned adapters and starts the
    /// streaming adapter, unless one is running already.
    void start() override;
    /// Sets the stopped flag, cancels a pending respawn and asks the running
    /// adapter to terminate. The stream stays open for a later start().
    void stop() override;
    void send(const MediaCommand& command) override;

    /// Runs the adapter's test and blocks until it ends or `timeout` passes;
    /// true when it exited with status 0. A test that runs past the timeout
    /// fails and is killed. Without a test client there is nothing to run and
    /// the test passes.
    bool selfTest(Duration timeout) override;

    /// True while the streaming adapter has exited fewer than 3 times.
    bool isHealthy() const;
    /// How often the streaming adapter has exited; never reset.
    std::int64_t restartCount() const;

    const MediaAdapterLayout& layout() const { return m_layout; }

    /// The wait before respawning after the adapter's `exitCount`-th exit:
    /// 2^exitCount seconds, at most 30.
    static Duration respawnDelay(std::int64_t exitCount);

    /// The adapters to reap, from "ps -eo pid=,ppid=,command=" output: lines
    /// naming `scriptPath` whose parent is init (1), the app itself excepted.
    static std::vector<pid_t> orphanedAdapters(std::string_view processList, std::string_view scriptPath,
                                               pid_t ownPid);

private:
    struct Run;

    MediaRemoteSource(MediaAdapterLayout layout, Dependencies dependencies);

    void spawn();
    void scheduleRespawn(std::int64_t exitCount);
    void reapOrphans();
    // Reads the adapter's output until it ends (true) or the source goes
    // away (false).
    bool watch(Run& run);
    void ingest(Run& run, std::string_view bytes);
    void adapterEnded(const std::shared_ptr<Run>& run);
    void runCommand(const std::vector<std::string>& arguments, const std::string& player);
    void trace(std::string_view message) const;
    void joinFinishedRuns();
    ChildProcess::Options invocation(std::vector<std::string> arguments, bool captureOutput) const;

    const MediaAdapterLayout m_layout;
    Dependencies m_dependencies;
    LatestStream<NowPlayingState> m_states{stateBufferSize};
    std::atomic<Capability::RawValue> m_capabilities = kInitialCapabilities.rawValue();
    std::atomic<bool> m_closing = false;

    // Guards the running adapter, its exit count and the stopped flag.
    mutable std::mutex m_mutex;
    std::shared_ptr<Run> m_current;
    std::int64_t m_restartCount = 0;
    bool m_stopped = false;

    // The folded state; held by the reading threads, and by send() to read
    // the player it came from.
    std::mutex m_stateMutex;
    NowPlayingIngest m_ingest;

    // Main thread only.
    std::vector<std::shared_ptr<Run>> m_runs;
    ScheduledTask m_respawn;
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();

    // Declared last: destroyed first, it finishes (or skips) its work while
    // the rest is still alive.
    SerialQueue m_queue{std::string(kQueueLabel)};
};
