#include "VudeServices/MediaRemoteSource.h"

#include "Platform/Core/AppResources.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A scripted stand-in for the adapter: it logs every invocation to
// "calls.log" in its framework folder and behaves as the files beside it say:
// "stream.out" is printed by the streaming invocation, which then exits or,
// with "stream.mode" "hang", waits to be terminated; "test.mode" is "pass",
// "fail" or anything else for a test that hangs ignoring SIGTERM. Commands
// log the player they are aimed at to "players.log".
constexpr const char* kFakeAdapter = R"PERL(
use strict; use warnings;
my ($framework, @request) = @ARGV;
sub slurp { open(my $f, '<', "$framework/$_[0]") or return ''; local $/; my $text = <$f>; return $text; }
sub append { open(my $f, '>>', "$framework/$_[0]") or die; print $f $_[1], "\n"; close $f; }
append('calls.log', join(' ', @request));
if ($request[0] eq 'stream') {
    append('parents.log', $ENV{VUDE_PARENT_PID} // 'none');
    $| = 1;
    print slurp('stream.out');
    sleep 600 if slurp('stream.mode') eq 'hang';
    exit 0;
}
if ($request[-1] eq 'test') {
    my $mode = slurp('test.mode');
    exit 0 if $mode eq 'pass';
    exit 1 if $mode eq 'fail';
    $SIG{TERM} = 'IGNORE';
    open(my $p, '>', "$framework/test.pid") or die; print $p $$; close $p;
    sleep 600;
}
append('players.log', $ENV{VUDE_MEDIA_PLAYER} // 'unset');
exit 0;
)PERL";

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

std::vector<std::string> linesOf(const fs::path& path)
{
    std::vector<std::string> lines;
    std::istringstream text(readFile(path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

bool isRunning(pid_t pid)
{
    return fs::exists("/proc/" + std::to_string(pid));
}

// Processes running the fake launcher of this test (a second adapter would
// show here).
std::size_t adaptersRunning(const fs::path& script)
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string command = readFile(entry.path() / "cmdline");
        std::replace(command.begin(), command.end(), '\0', ' ');
        std::string state = readFile(entry.path() / "stat");
        if (command.find(script.string()) != std::string::npos && state.find(") Z") == std::string::npos)
            ++count;
    }
    return count;
}

class MediaRemoteSourceTest : public testing::Test {
protected:
    MediaRemoteSourceTest()
    {
        std::ofstream(resources() / "mediaremote-adapter.pl") << kFakeAdapter;
        fs::create_directory(framework());
        std::ofstream(resources() / "MediaRemoteAdapterTestClient") << "client";
    }

    fs::path resources() const { return m_folder.path().toStdString(); }
    fs::path framework() const { return resources() / "MediaRemoteAdapter.framework"; }
    void write(std::string_view name, std::string_view text) const { std::ofstream(framework() / name) << text; }
    std::vector<std::string> calls() const { return linesOf(framework() / "calls.log"); }
    std::size_t streamSpawns() const
    {
        const auto all = calls();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(), [](const auto& call) { return call.starts_with("stream"); }));
    }

    std::unique_ptr<MediaRemoteSource> makeSource(fs::path interpreter = "/usr/bin/perl")
    {
        auto source = MediaRemoteSource::make(
            resources(), {.scheduler = scheduler, .clock = clock, .trace = trace, .interpreter = interpreter});
        if (source)
            source->states().consume(&context, [this](const NowPlayingState& state) { states.push_back(state); });
        return source;
    }

    QTemporaryDir m_folder;
    QTemporaryDir m_traceFolder;
    ManualClock schedulerClock;
    ManualScheduler scheduler{schedulerClock};
    SystemClock clock;
    DiagnosticsTrace trace{Environment::fixed({{"VUDE_TRACE", ""}}), [] { return false; }, clock,
                           [this]() -> Expected<fs::path, std::string> { return fs::path(m_traceFolder.path().toStdString()); }};
    QObject context;
    std::vector<NowPlayingState> states;
};

TEST_F(MediaRemoteSourceTest, NeedsTheLauncherAndTheFramework)
{
    EXPECT_TRUE(makeSource());
    fs::remove_all(framework());
    EXPECT_FALSE(makeSource());
}

TEST_F(MediaRemoteSourceTest, PublishesTheAdaptersLinesAndTracesBadOnes)
{
    write("stream.mode", "hang");
    write("stream.out", "{\"payload\":{\"title\":\"A\",\"artist\":\"X\"}}\n"
                        "{oops\n"
                        "{\"diff\":true,\"payload\":{\"title\":\"B\",\"playing\":true}}\n"
                        "{\"payload\":{\"title\":\"never comp");
    auto source = makeSource();
    ASSERT_TRUE(source);
    EXPECT_EQ(source->capabilities().rawValue(), 7u);
    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return states.size() == 2; }));
    EXPECT_EQ(states[0].title, "A");
    EXPECT_EQ(states[1].title, "B");
    EXPECT_EQ(states[1].artist, "X");
    EXPECT_TRUE(states[1].isPlaying);
    EXPECT_EQ(calls(), std::vector<std::string>{"stream --debounce=120"});
    EXPECT_EQ(linesOf(framework() / "parents.log"), std::vector<std::string>{std::to_string(::getpid())});

    std::vector<std::string> traced;
    ASSERT_TRUE(testsupport::waitUntil([&] { return !(traced = trace.recentLogLines(10)).empty(); }));
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_TRUE(traced[0].ends_with("  [media] ingest: JSON parse FAILED for 5 bytes")) << traced[0];

    // Stopping counts the exit but replaces nothing.
    source->stop();
    ASSERT_TRUE(testsupport::waitUntil([&] { return source->restartCount() == 1; }));
    testsupport::processEvents();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(60s);
    EXPECT_EQ(streamSpawns(), 1u);
    EXPECT_EQ(states.size(), 2u) << "the unfinished last line was never published";
}

TEST_F(MediaRemoteSourceTest, RespawnsWithBackOffUntilStopped)
{
    write("stream.mode", "exit");
    auto source = makeSource();
    ASSERT_TRUE(source);
    source->start();

    const std::chrono::seconds delays[] = {2s, 4s, 8s, 16s, 30s, 30s};
    for (std::size_t exit = 1; exit <= std::size(delays); ++exit) {
        SCOPED_TRACE("exit " + std::to_string(exit));
        ASSERT_TRUE(testsupport::waitUntil([&] { return source->restartCount() == std::int64_t(exit); }));
        ASSERT_TRUE(testsupport::waitUntil([&] { return scheduler.pendingCount() == 1; }));
        EXPECT_EQ(source->isHealthy(), exit < 3);
        scheduler.advance(delays[exit - 1] - 1ms);
        EXPECT_EQ(scheduler.pendingCount(), 1u) << "respawned early";
        scheduler.advance(1ms);
        EXPECT_EQ(scheduler.pendingCount(), 0u) << "not respawned after " << delays[exit - 1].count() << " s";
        EXPECT_TRUE(testsupport::waitUntil([&] { return streamSpawns() == exit + 1; }));
    }

    // The seventh exit schedules a respawn; stop() before it is due cancels it.
    ASSERT_TRUE(testsupport::waitUntil([&] { return source->restartCount() == 7; }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return scheduler.pendingCount() == 1; }));
    source->stop();
    // An adapter spawned now would stay, so the check below cannot miss it.
    write("stream.mode", "hang");
    scheduler.advance(60s);
    EXPECT_EQ(adaptersRunning(resources() / "mediaremote-adapter.pl"), 0u);
    EXPECT_EQ(streamSpawns(), 7u);
}

TEST_F(MediaRemoteSourceTest, RunsOneAdapterAtATime)
{
    write("stream.mode", "hang");
    auto source = makeSource();
    ASSERT_TRUE(source);
    source->start();
    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return streamSpawns() == 1; }));
    EXPECT_EQ(adaptersRunning(resources() / "mediaremote-adapter.pl"), 1u);

    // A restart: the old adapter's exit is counted, but must not bring a
    // second one up next to the new one.
    source->stop();
    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return source->restartCount() == 1; }));
    testsupport::processEvents();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_TRUE(testsupport::waitUntil([&] { return streamSpawns() == 2; }));
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return adaptersRunning(resources() / "mediaremote-adapter.pl") == 1; }));

    source.reset();
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return adaptersRunning(resources() / "mediaremote-adapter.pl") == 0; }))
        << "the adapter outlived its source";
}

TEST_F(MediaRemoteSourceTest, ALaunchFailureEmptiesTheCapabilities)
{
    auto source = makeSource("/nonexistent/perl");
    ASSERT_TRUE(source);
    source->start();
    EXPECT_TRUE(source->capabilities().isEmpty());
    testsupport::processEvents();
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "nothing is retried";
}

TEST_F(MediaRemoteSourceTest, SelfTestPassesOnlyOnExitZeroInTime)
{
    auto source = makeSource();
    ASSERT_TRUE(source);
    write("test.mode", "pass");
    EXPECT_TRUE(source->selfTest(5s));
    EXPECT_EQ(calls().back(), (resources() / "MediaRemoteAdapterTestClient").string() + " test");
    write("test.mode", "fail");
    EXPECT_FALSE(source->selfTest(5s));

    write("test.mode", "hang");
    EXPECT_FALSE(source->selfTest(300ms));
    const auto pid = static_cast<pid_t>(std::stol(readFile(framework() / "test.pid")));
    EXPECT_FALSE(isRunning(pid)) << "a test that hangs is killed, even when it ignores SIGTERM";

    fs::remove(resources() / "MediaRemoteAdapterTestClient");
    const auto withoutClient = makeSource();
    const auto callsBefore = calls().size();
    EXPECT_TRUE(withoutClient->selfTest(5s));
    EXPECT_EQ(calls().size(), callsBefore) << "nothing runs without a test client";
}

TEST_F(MediaRemoteSourceTest, CommandsRunOneAfterAnotherInOrder)
{
    auto source = makeSource();
    ASSERT_TRUE(source);
    source->send(MediaCommand::play());
    source->send(MediaCommand::seek(12.5));
    source->send(MediaCommand::shuffle(ShuffleMode::items));
    source->send(MediaCommand::toggle());
    ASSERT_TRUE(testsupport::waitUntil([&] { return calls().size() == 4; }));
    EXPECT_EQ(calls(), (std::vector<std::string>{"send 0", "seek 12.500", "shuffle items", "send 2"}));
}

TEST_F(MediaRemoteSourceTest, CommandsNameThePlayerTheLastStateCameFrom)
{
    // A value the app itself was started with must not steer a command.
    struct Inherited {
        Inherited() { qputenv("VUDE_MEDIA_PLAYER", "org.mpris.MediaPlayer2.stale"); }
        ~Inherited() { qunsetenv("VUDE_MEDIA_PLAYER"); }
    } inherited;
    write("stream.mode", "hang");
    write("stream.out", "{\"payload\":{\"title\":\"A\",\"player\":\"org.mpris.MediaPlayer2.a\"}}\n"
                        "{\"diff\":true,\"payload\":{\"playing\":true}}\n");
    auto source = makeSource();
    ASSERT_TRUE(source);
    const auto players = [&] { return linesOf(framework() / "players.log"); };
    source->send(MediaCommand::play());
    ASSERT_TRUE(testsupport::waitUntil([&] { return players().size() == 1; }));

    source->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return states.size() == 2; }));
    source->send(MediaCommand::pause());
    ASSERT_TRUE(testsupport::waitUntil([&] { return players().size() == 2; }));

    EXPECT_EQ(calls(), (std::vector<std::string>{"send 0", "stream --debounce=120", "send 1"}))
        << "the command line stays as it was";
    EXPECT_EQ(players(), (std::vector<std::string>{"", "org.mpris.MediaPlayer2.a"}))
        << "none before any state, then the one the replacement named, kept through the diff";
}

TEST_F(MediaRemoteSourceTest, ReapsAdaptersLeftToInitOnly)
{
    // Two adapters of an earlier run; a fake ps says the first was left to init.
    std::vector<std::unique_ptr<ChildProcess>> earlier;
    for (int i = 0; i < 2; ++i) {
        ChildProcess::Options options;
        options.executable = "/usr/bin/perl";
        options.arguments = {"-e", "sleep 600", (resources() / "mediaremote-adapter.pl").string()};
        earlier.push_back(ChildProcess::spawn(options).value());
    }
    const auto script = (resources() / "mediaremote-adapter.pl").string();
    const fs::path ps = resources() / "ps";
    std::ofstream(ps) << "#!/usr/bin/perl\nprint \"" << earlier[0]->pid() << " 1 perl -e sleep " << script << "\\n"
                      << earlier[1]->pid() << " " << ::getpid() << " perl -e sleep " << script << "\\n"
                      << ::getpid() << " 1 vude " << script << "\\n\";\n";
    fs::permissions(ps, fs::perms::owner_all);
    write("stream.mode", "hang");

    auto source = MediaRemoteSource::make(
        resources(), {.scheduler = scheduler, .clock = clock, .trace = trace, .processList = ps});
    source->start();
    const auto first = earlier[0]->waitForExit(5s);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->signal, SIGTERM);
    EXPECT_EQ(earlier[1]->waitForExit(0ms), std::nullopt) << "its parent is alive";
    earlier[1]->kill();
}

// The adapter's folder holds programs built for this machine: it lives among
// the helper programs (libexec), not the shared resources.
TEST(MediaRemoteSource, TheAdapterIsLookedForAmongTheHelperPrograms)
{
    EXPECT_EQ(MediaRemoteSource::defaultResourcesDirectory(), AppResources::helpersDirectory() / "mediaremote-adapter");
}

TEST(MediaRemoteSource, RespawnDelaysDoubleUpToThirtySeconds)
{
    const std::pair<std::int64_t, Duration> rows[] = {{1, 2s}, {2, 4s}, {3, 8s}, {4, 16s},
                                                       {5, 30s}, {6, 30s}, {1000, 30s}, {0, 1s}};
    for (const auto& [exits, delay] : rows)
        EXPECT_EQ(MediaRemoteSource::respawnDelay(exits), delay) << exits;
}

TEST(MediaRemoteSource, FindsOrphanedAdaptersInTheProcessList)
{
    const std::string script = "/opt/vude/mediaremote-adapter/mediaremote-adapter.pl";
    const pid_t self = 4242;
    struct Row {
        const char* why;
        std::string line;
        std::vector<pid_t> expected;
    };
    const Row rows[] = {
        {"left to init", "  123     1 /usr/bin/perl " + script + " x stream --debounce=120", {123}},
        {"its parent still runs", "  124   900 /usr/bin/perl " + script + " x stream", {}},
        {"the app itself", "4242 1 vude " + script, {}},
        {"another program", "  125     1 /usr/bin/perl /other/adapter.pl stream", {}},
        {"too few pieces", "126 1", {}},
        {"not decimal", "12a 1 " + script, {}},
        {"a negative pid would signal a process group", "-1 1 " + script, {}},
        {"beyond 32 bits", "99999999999 1 " + script, {}},
        {"tabs and runs of blanks", "127\t \t1  " + script, {127}},
    };
    std::string all;
    std::vector<pid_t> allExpected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(MediaRemoteSource::orphanedAdapters(row.line, script, self), row.expected);
        all += row.line + "\n\n";
        allExpected.insert(allExpected.end(), row.expected.begin(), row.expected.end());
    }
    EXPECT_EQ(MediaRemoteSource::orphanedAdapters(all, script, self), allExpected);
    EXPECT_TRUE(MediaRemoteSource::orphanedAdapters(all, "", self).empty()) << "an empty path matches nothing";
}

} // namespace
