#include "Platform/Core/ToolProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <pthread.h>

namespace {

ToolProcess::Request shellRequest(std::string script, std::optional<std::string> input = std::nullopt)
{
    ToolProcess::Request request;
    request.tool = "/bin/sh";
    request.arguments = {"-c", std::move(script), "sh"};
    request.standardInput = std::move(input);
    request.keepStandardOutput = true;
    request.keepStandardError = true;
    return request;
}

TEST(ToolProcessTest, FeedsInputKeepsOutputAndReportsTheExit)
{
    struct Case {
        const char* why;
        std::string script;
        std::optional<std::string> input;
        std::string output;
        std::string error;
        int code;
        int signal;
    };
    const Case cases[] = {
        {"input reaches the tool as given", "cat", std::string(" a b\n\tc "), " a b\n\tc ", "", 0, 0},
        {"no input is the null device", "cat; echo end", std::nullopt, "end\n", "", 0, 0},
        {"an empty input is an empty stream", "cat; echo end", std::string(), "end\n", "", 0, 0},
        {"the streams are kept apart", "echo out; echo err >&2; exit 3", std::nullopt, "out\n", "err\n", 3, 0},
        {"a signal is not an exit status", "kill -TERM $$", std::nullopt, "", "", -1, SIGTERM},
        {"a tool that ignores its input still ends", "echo early", std::string(300000, 'x'), "early\n", "", 0, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        const auto result = ToolProcess::run(shellRequest(row.script, row.input));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->standardOutput, row.output);
        EXPECT_EQ(result->standardError, row.error);
        EXPECT_EQ(result->code, row.code);
        EXPECT_EQ(result->signal, row.signal);
        EXPECT_EQ(result->succeeded(), row.code == 0 && row.signal == 0);
    }
}

TEST(ToolProcessTest, ALargeInputAndOutputFlowTogetherWithoutStalling)
{
    // Larger than any pipe buffer in both directions at once: writing all the
    // input before reading would deadlock against cat.
    std::string input;
    for (int i = 0; input.size() < 3 * 1024 * 1024; ++i)
        input += "line " + std::to_string(i) + "\n";
    auto request = shellRequest("cat", input);
    request.keptBytes = input.size();
    const auto result = ToolProcess::run(request);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeeded());
    EXPECT_EQ(result->standardOutput, input);

    // Beyond the limit the output is read and dropped, and the tool ends.
    request = shellRequest("head -c 5000000 /dev/zero");
    request.keptBytes = 1000;
    const auto bounded = ToolProcess::run(request);
    ASSERT_TRUE(bounded);
    EXPECT_TRUE(bounded->succeeded());
    EXPECT_EQ(bounded->standardOutput, std::string(1000, '\0'));
}

TEST(ToolProcessTest, ABrokenInputPipeNeitherKillsNorSignalsTheCaller)
{
    // The child is gone before most of the input is written.
    const auto result = ToolProcess::run(shellRequest("exit 0", std::string(4 * 1024 * 1024, 'y')));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeeded());

    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "no SIGPIPE is left pending for the app";
}

TEST(ToolProcessTest, TheChildGetsAFreshSignalMaskAndDefaultSigpipe)
{
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    sigaction(SIGPIPE, &ignore, &previousAction);

    ToolProcess::Request request;
    request.tool = "/bin/grep";
    request.arguments = {"-E", "^Sig(Blk|Ign):", "/proc/self/status"};
    request.keepStandardOutput = true;
    const auto result = ToolProcess::run(request);

    sigaction(SIGPIPE, &previousAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    ASSERT_TRUE(result);
    EXPECT_NE(result->standardOutput.find("SigBlk:\t0000000000000000"), std::string::npos) << result->standardOutput;
    const auto ignored = result->standardOutput.find("SigIgn:\t");
    ASSERT_NE(ignored, std::string::npos);
    const unsigned long long mask = std::stoull(result->standardOutput.substr(ignored + 8, 16), nullptr, 16);
    EXPECT_EQ(mask & (1ull << (SIGPIPE - 1)), 0u) << "SIGPIPE is back to its default";
}

TEST(ToolProcessTest, ArgumentsAreNotInterpretedAndAMissingToolFailsToStart)
{
    auto request = shellRequest("printf '%s|' \"$@\"");
    request.arguments.insert(request.arguments.end(), {"a b", "$HOME", "*", "; rm -rf /"});
    const auto verbatim = ToolProcess::run(request);
    ASSERT_TRUE(verbatim);
    EXPECT_EQ(verbatim->standardOutput, "a b|$HOME|*|; rm -rf /|");

    ToolProcess::Request missing;
    missing.tool = "/no/such/tool";
    const auto failed = ToolProcess::run(missing);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().stage, ToolProcess::Failure::Stage::start);
    EXPECT_EQ(failed.error().error, ENOENT);
}

} // namespace
