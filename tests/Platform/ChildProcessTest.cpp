#include "Platform/Core/ChildProcess.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <filesystem>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The tests script their children in Perl, which is always at hand.
ChildProcess::Options perl(std::string script, bool capture = false)
{
    ChildProcess::Options options;
    options.executable = "/usr/bin/perl";
    options.arguments = {"-e", std::move(script)};
    options.captureStandardOutput = capture;
    return options;
}

std::unique_ptr<ChildProcess> spawned(const ChildProcess::Options& options)
{
    auto child = ChildProcess::spawn(options);
    EXPECT_TRUE(child) << (child ? "" : child.error());
    return child ? std::move(*child) : nullptr;
}

bool isReaped(pid_t pid)
{
    return !std::filesystem::exists("/proc/" + std::to_string(pid));
}

TEST(ChildProcess, ReportsOutputExitCodeAndSignal)
{
    auto child = spawned(perl(R"(print "out:", join(",", @ARGV); exit 3)", true));
    ASSERT_TRUE(child);
    EXPECT_EQ(child->readAllStandardOutput(1024), "out:");
    EXPECT_EQ(child->waitForExit(), (ChildProcess::Exit{.code = 3, .signal = 0}));
    EXPECT_FALSE(child->signal(SIGTERM)) << "a reaped child is never signalled";

    auto sleeper = spawned(perl("sleep 30"));
    ASSERT_TRUE(sleeper);
    EXPECT_EQ(sleeper->waitForExit(20ms), std::nullopt);
    EXPECT_EQ(sleeper->exitStatus(), std::nullopt);
    EXPECT_TRUE(sleeper->terminate());
    const auto exit = sleeper->waitForExit(5s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->signal, SIGTERM);
    EXPECT_FALSE(exit->succeeded());
}

TEST(ChildProcess, KeepsOnlyTheFirstBytesOfALongOutput)
{
    auto child = spawned(perl(R"(print "x" x 200000; print "end")", true));
    ASSERT_TRUE(child);
    EXPECT_EQ(child->readAllStandardOutput(10), std::string(10, 'x'));
    EXPECT_TRUE(child->waitForExit(5s)->succeeded()) << "the rest was read, so the child did not block";
}

TEST(ChildProcess, RefusesWhatItCannotRun)
{
    ChildProcess::Options missing;
    missing.executable = "/nonexistent/tool";
    const auto error = ChildProcess::spawn(missing);
    ASSERT_FALSE(error);
    EXPECT_NE(error.error().find("/nonexistent/tool"), std::string::npos);

    ChildProcess::Options relative;
    relative.executable = "perl";
    EXPECT_FALSE(ChildProcess::spawn(relative)) << "no search along PATH";
}

TEST(ChildProcess, GivesTheChildOnlyTheStandardDescriptorsAndTheRequestedVariables)
{
    // A descriptor of ours without close-on-exec must not leak into the child.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    auto options = perl(R"(opendir(my $d, "/proc/self/fd"); my @fds = sort grep { !/^\./ } readdir $d;
                           print join(",", @fds), ";", $ENV{ADDED}, ";", $ENV{HOME} eq $ARGV[0] ? "home" : "no home";)",
                        true);
    options.arguments.push_back(std::getenv("HOME"));
    options.environment = {{"ADDED", "yes"}};
    auto child = spawned(options);
    ::close(leaky);
    ASSERT_TRUE(child);
    // 3 is Perl's own handle on the folder it lists.
    EXPECT_EQ(child->readAllStandardOutput(1024), "0,1,2,3;yes;home");
    child->waitForExit();
}

TEST(ChildProcess, ResetsSignalsTheAppIgnores)
{
    struct sigaction previous {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGTERM, &ignore, &previous);
    auto child = spawned(perl("sleep 30"));
    ::sigaction(SIGTERM, &previous, nullptr);
    ASSERT_TRUE(child);
    child->terminate();
    const auto exit = child->waitForExit(5s);
    ASSERT_TRUE(exit) << "SIGTERM was still ignored in the child";
    EXPECT_EQ(exit->signal, SIGTERM);
}

TEST(ChildProcess, ReapsAChildDroppedWhileRunning)
{
    pid_t pid = 0;
    {
        auto child = spawned(perl("select(undef, undef, undef, 0.1)"));
        ASSERT_TRUE(child);
        pid = child->pid();
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return isReaped(pid); })) << "left as a zombie";
}

// The kernel sends the parent-death signal when the spawning thread ends. A
// child spawned from a worker thread that then exits must live on.
TEST(ChildProcess, AChildOutlivesTheThreadThatAskedForIt)
{
    const std::string script =
        "syscall(" + std::to_string(SYS_prctl) + ", 1, 15) == 0 or die; $| = 1; print qq(armed\\n); sleep 30";
    std::unique_ptr<ChildProcess> child;
    bool armed = false;
    std::thread worker([&] {
        child = spawned(perl(script, true));
        if (!child)
            return;
        // The thread ends only once the child has asked for the signal.
        std::string output;
        while (output.size() < 6 && child->waitForExit(0ms) == std::nullopt) {
            pollfd readable{child->standardOutput(), POLLIN, 0};
            ::poll(&readable, 1, 5000);
            char buffer[16];
            const auto got = ::read(child->standardOutput(), buffer, sizeof buffer);
            if (got <= 0)
                break;
            output.append(buffer, static_cast<std::size_t>(got));
        }
        armed = output == "armed\n";
    });
    worker.join();
    ASSERT_TRUE(child);
    ASSERT_TRUE(armed);
    EXPECT_EQ(child->waitForExit(200ms), std::nullopt) << "killed when the worker thread ended";
    child->kill();
    child->waitForExit();
}

} // namespace
