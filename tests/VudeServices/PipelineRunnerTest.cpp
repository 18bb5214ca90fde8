#include "VudeServices/PipelineRunner.h"

#include "Platform/Desktop/FakePasteboard.h"
#include "VudeServices/FilePipelines.h"

#include "TestSupport.h"
#include "ZipFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using State = PipelineRunState;

/// Lets a test hold a pipeline's run on its worker until it says so.
class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

/// A pipeline whose run does what the test scripts, on the worker.
class ScriptedPipeline final : public DropPipeline {
public:
    using Script = std::function<PipelineRunResult(const ProgressReporter&)>;
    ScriptedPipeline(PipelineID id, std::string title, Script script)
        : m_id(id)
        , m_title(std::move(title))
        , m_script(std::move(script))
    {
    }
    PipelineID id() const override { return m_id; }
    std::string title() const override { return m_title; }
    std::string symbol() const override { return "questionmark"; }
    bool accepts(const std::vector<fs::path>& urls) const override { return !urls.empty(); }
    PipelineRunResult run(const std::vector<fs::path>&, const fs::path&, const ProgressReporter& progress) const override
    {
        return m_script(progress);
    }

private:
    PipelineID m_id;
    std::string m_title;
    Script m_script;
};

class PipelineRunnerTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    FakePasteboard pasteboard;
    std::unique_ptr<PipelineRunner> runner;
    /// Every state the runner announced, in order.
    std::vector<State> states;
    int undoableChanges = 0;

    fs::path dropped() const { return fs::path(root.path().toStdString()) / "dropped"; }
    fs::path outputs() const { return fs::path(root.path().toStdString()) / "Pipelines"; }

    void SetUp() override
    {
        fs::create_directories(dropped());
        fs::create_directories(outputs());
        runner = std::make_unique<PipelineRunner>(PipelineRegistry(PipelineRegistry::defaultPipelines(&pasteboard)),
                                                  scheduler);
        QObject::connect(runner.get(), &PipelineRunner::stateChanged, [this] { states.push_back(runner->state()); });
        QObject::connect(runner.get(), &PipelineRunner::undoableChanged, [this] { ++undoableChanges; });
    }

    PipelineRegistry::Pipeline pipeline(PipelineID id) const
    {
        for (const auto& candidate : runner->registry().all())
            if (candidate->id() == id)
                return candidate;
        return nullptr;
    }

    fs::path drop(const std::string& name, const std::string& bytes = "x") const
    {
        std::ofstream(dropped() / name) << bytes;
        return dropped() / name;
    }

    bool waitForEnd()
    {
        return testsupport::waitUntil([this] { return !runner->state().as<State::Running>(); });
    }
};

TEST(PipelineResultTest, TheSummaryNamesTheOneFileCountsSeveralOrGivesTheTitle)
{
    struct Case {
        std::vector<fs::path> produced;
        const char* summary;
    };
    const Case cases[] = {
        {{"/out/report.zip"}, "report.zip"},
        {{"/out/photos.unzipped/"}, "photos.unzipped"},
        {{"/out/a.jpg", "/out/b.jpg", "/out/c.jpg"}, "3 files"},
        {{"/out/a.jpg", "/out/b.jpg"}, "2 files"},
        {{}, "Copy path"},
    };
    for (const auto& row : cases)
        EXPECT_EQ((PipelineResult{PipelineID::copyPaths, "Copy path", row.produced, 2}).summary(), row.summary);
}

TEST_F(PipelineRunnerTest, ARunGoesFromRunningToFinishedAndToIdleSixSecondsLater)
{
    std::optional<std::vector<fs::path>> finished;
    runner->run(pipeline(PipelineID::copyPaths), {"/a/b.txt", "/c/d.png"}, outputs(),
                [&finished](const std::vector<fs::path>& produced) { finished = produced; });
    EXPECT_EQ(runner->state(), State::running("Copy path", 0, "")) << "at once, before any work";
    ASSERT_TRUE(waitForEnd());

    const PipelineResult result{PipelineID::copyPaths, "Copy path", {}, 2};
    EXPECT_EQ(runner->state(), State::finished(result));
    EXPECT_EQ(result.summary(), "Copy path");
    EXPECT_EQ(runner->undoable(), result);
    EXPECT_EQ(finished, std::vector<fs::path>{}) << "called, with nothing for the tray";
    EXPECT_EQ(pasteboard.itemData(FakePasteboard::textType), "/a/b.txt\n/c/d.png");

    scheduler.advance(PipelineRunner::clearDelay - 1ms);
    EXPECT_TRUE(runner->state().as<State::Finished>());
    scheduler.advance(1ms);
    EXPECT_EQ(runner->state(), State::idle());
    EXPECT_EQ(runner->undoable(), std::nullopt);
    EXPECT_EQ(states, (std::vector<State>{State::running("Copy path", 0, ""), State::running("Copy path", 1, "Copied"),
                                          State::finished(result), State::idle()}));
}

TEST_F(PipelineRunnerTest, ProgressShowsEachFileAndOnlyChangesAreAnnounced)
{
    const std::vector<fs::path> three{"/out/a-compressed.jpg", "/out/b-compressed.jpg", "/out/c-compressed.jpg"};
    const auto compress = std::make_shared<ScriptedPipeline>(PipelineID::compressImage, "Compress",
                                                             [&three](const ProgressReporter& progress) {
                                                                 progress(0, "a.jpg");
                                                                 progress(0, "a.jpg"); // the same again: silent
                                                                 progress(1.0 / 3, "b.jpg");
                                                                 progress(2.0 / 3, "c.jpg");
                                                                 progress(1, "Done");
                                                                 return PipelineRunResult(three);
                                                             });
    runner->run(compress, {"/in/a.jpg", "/in/b.jpg", "/in/c.jpg"}, outputs());
    ASSERT_TRUE(waitForEnd());
    const PipelineResult result{PipelineID::compressImage, "Compress", three, 3};
    EXPECT_EQ(states, (std::vector<State>{
                          State::running("Compress", 0, ""),
                          State::running("Compress", 0, "a.jpg"),
                          State::running("Compress", 1.0 / 3, "b.jpg"),
                          State::running("Compress", 2.0 / 3, "c.jpg"),
                          State::running("Compress", 1, "Done"),
                          State::finished(result),
                      }));
    EXPECT_EQ(result.summary(), "3 files");
    EXPECT_EQ(undoableChanges, 1);
}

TEST_F(PipelineRunnerTest, UndoWithinSixSecondsDeletesWhatTheRunMadeAndGoesIdleAtOnce)
{
    ASSERT_TRUE(fixtures::zip::write(dropped() / "a.zip", {fixtures::zip::Entry::folder("locked"),
                                                           fixtures::zip::Entry::file("locked/x.txt", "x")}));
    const fs::path photo = drop("photo.jpg");
    runner->run(pipeline(PipelineID::unzip), {dropped() / "a.zip"}, outputs());
    ASSERT_TRUE(waitForEnd());
    runner->run(pipeline(PipelineID::rename), {photo, dropped() / "a.zip"}, outputs());
    ASSERT_TRUE(waitForEnd());
    const std::vector<fs::path> renamed{outputs() / "photo-1.jpg", outputs() / "a-2.zip"};
    ASSERT_EQ(runner->state(), State::finished({PipelineID::rename, "Rename", renamed, 2}));

    scheduler.advance(5s);
    fs::remove(renamed[1]); // gone already: skipped, still returned
    const auto before = states.size();
    EXPECT_EQ(runner->undo(), renamed);
    EXPECT_FALSE(fs::exists(renamed[0]));
    EXPECT_TRUE(fs::exists(outputs() / "a.unzipped" / "locked" / "x.txt")) << "only the last result is undone";
    EXPECT_TRUE(fs::exists(photo)) << "the dropped file stays";
    EXPECT_EQ(runner->state(), State::idle());
    EXPECT_EQ(runner->undoable(), std::nullopt);
    EXPECT_EQ(states.size(), before + 1);

    const int undoables = undoableChanges;
    scheduler.advance(PipelineRunner::clearDelay);
    EXPECT_EQ(states.size(), before + 1) << "the earlier return to idle changes nothing";
    EXPECT_EQ(undoableChanges, undoables);
    EXPECT_EQ(runner->undo(), std::vector<fs::path>{}) << "nothing left to undo";
}

TEST_F(PipelineRunnerTest, UndoRemovesWholeUnpackedFolders)
{
    ASSERT_TRUE(fixtures::zip::write(dropped() / "a.zip", {fixtures::zip::Entry::folder("ro"),
                                                           fixtures::zip::Entry::file("ro/deep/x.txt", "x")}));
    runner->run(pipeline(PipelineID::unzip), {dropped() / "a.zip"}, outputs());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(runner->undo(), std::vector<fs::path>{outputs() / "a.unzipped"});
    EXPECT_EQ(testsupport::folderEntries(outputs()), std::vector<std::string>{});
}

TEST_F(PipelineRunnerTest, AFailureShowsItsMessageAndKeepsTheEarlierUndo)
{
    runner->run(pipeline(PipelineID::zip), {drop("report.pdf")}, outputs());
    ASSERT_TRUE(waitForEnd());
    const auto earlier = runner->undoable();
    ASSERT_TRUE(earlier);

    bool finishCalled = false;
    runner->run(pipeline(PipelineID::zip), {dropped() / "gone.pdf"}, outputs(),
                [&finishCalled](const std::vector<fs::path>&) { finishCalled = true; });
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(runner->state(), State::failed("Couldn't read gone.pdf"));
    EXPECT_FALSE(finishCalled);
    EXPECT_EQ(runner->undoable(), earlier) << "a failure leaves the undoable result alone";

    // A file error is described in our own words, never as raw system text.
    runner->run(pipeline(PipelineID::rename), {dropped() / "missing.txt"}, outputs());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(runner->state(), State::failed("Couldn't copy missing.txt because it no longer exists."));

    runner->run(pipeline(PipelineID::unzip), {}, outputs());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(runner->state(), State::failed("Nothing to work on"));
    scheduler.advance(PipelineRunner::clearDelay);
    EXPECT_EQ(runner->state(), State::idle());
}

TEST_F(PipelineRunnerTest, APipelineThatThrowsFailsInWordsInsteadOfEndingTheApp)
{
    struct Case {
        const char* why;
        std::function<void()> toss;
        std::string message;
    };
    const Case cases[] = {
        {"a file system error", [] { throw fs::filesystem_error("raw text", std::make_error_code(std::errc::io_error)); },
         "Flaky stopped because of an unexpected error."},
        {"memory running out", [] { throw std::bad_alloc(); }, "There wasn't enough memory to finish Flaky."},
        {"something that is no exception", [] { throw 42; }, "Flaky stopped because of an unexpected error."},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        bool finishCalled = false;
        runner->run(std::make_shared<ScriptedPipeline>(PipelineID::rename, "Flaky",
                                                       [&row](const ProgressReporter&) -> PipelineRunResult {
                                                           row.toss();
                                                           return std::vector<fs::path>{};
                                                       }),
                    {drop("a.txt")}, outputs(), [&finishCalled](const std::vector<fs::path>&) { finishCalled = true; });
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(runner->state(), State::failed(row.message));
        EXPECT_FALSE(finishCalled);
    }
}

TEST_F(PipelineRunnerTest, UndoWithNothingToUndoChangesNothing)
{
    runner->run(pipeline(PipelineID::zip), {dropped() / "gone.pdf"}, outputs());
    ASSERT_TRUE(waitForEnd());
    const State failed = runner->state();
    EXPECT_EQ(runner->undo(), std::vector<fs::path>{});
    EXPECT_EQ(runner->state(), failed);
}

TEST_F(PipelineRunnerTest, OverlappingRunsKeepTheirOwnTitlesAndTheLastEndWins)
{
    Gate alphaMayEnd;
    std::optional<ProgressReporter> alphaProgress;
    std::mutex reporterMutex;
    const auto alpha = std::make_shared<ScriptedPipeline>(PipelineID::zip, "Alpha", [&](const ProgressReporter& progress) {
        {
            std::lock_guard lock(reporterMutex);
            alphaProgress = progress;
        }
        progress(0.5, "first half");
        alphaMayEnd.wait();
        return PipelineRunResult(std::vector<fs::path>{"/out/alpha.zip"});
    });
    Gate betaMayEnd;
    const auto beta = std::make_shared<ScriptedPipeline>(PipelineID::rename, "Beta", [&](const ProgressReporter&) {
        betaMayEnd.wait();
        return PipelineRunResult(std::vector<fs::path>{"/out/beta.txt"});
    });

    runner->run(alpha, {"/in/a"}, outputs());
    ASSERT_TRUE(testsupport::waitUntil([&] { return runner->state() == State::running("Alpha", 0.5, "first half"); }));
    runner->run(beta, {"/in/b"}, outputs());
    EXPECT_EQ(runner->state(), State::running("Beta", 0, "")) << "the second run shows itself at once";
    // While Beta runs, Alpha's report shows with Alpha's own title.
    {
        std::lock_guard lock(reporterMutex);
        (*alphaProgress)(0.75, "second half");
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return runner->state() == State::running("Alpha", 0.75, "second half"); }));
    betaMayEnd.open();
    const PipelineResult betaResult{PipelineID::rename, "Beta", {"/out/beta.txt"}, 1};
    ASSERT_TRUE(testsupport::waitUntil([&] { return runner->state() == State::finished(betaResult); }));

    // Alpha, still going, reports after Beta finished: nothing changes.
    {
        std::lock_guard lock(reporterMutex);
        (*alphaProgress)(0.9, "late");
    }
    testsupport::processEvents();
    EXPECT_EQ(runner->state(), State::finished(betaResult));

    scheduler.advance(1s);
    alphaMayEnd.open();
    const PipelineResult alphaResult{PipelineID::zip, "Alpha", {"/out/alpha.zip"}, 1};
    ASSERT_TRUE(testsupport::waitUntil([&] { return runner->state() == State::finished(alphaResult); }));
    EXPECT_EQ(runner->undoable(), alphaResult);

    // Each end scheduled its own return to idle; Beta's comes first.
    scheduler.advance(PipelineRunner::clearDelay - 1s);
    EXPECT_EQ(runner->state(), State::idle());
}

TEST_F(PipelineRunnerTest, ANewRunCancelsThePendingReturnToIdle)
{
    runner->run(pipeline(PipelineID::copyPaths), {"/a"}, outputs());
    ASSERT_TRUE(waitForEnd());
    scheduler.advance(3s);

    Gate mayEnd;
    const auto slow = std::make_shared<ScriptedPipeline>(PipelineID::zip, "Slow", [&mayEnd](const ProgressReporter&) {
        mayEnd.wait();
        return PipelineRunResult(std::vector<fs::path>{});
    });
    runner->run(slow, {"/in/a"}, outputs());
    scheduler.advance(PipelineRunner::clearDelay);
    EXPECT_EQ(runner->state(), State::running("Slow", 0, ""));
    mayEnd.open();
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(runner->state().as<State::Finished>());
}

TEST_F(PipelineRunnerTest, ARunnerGoneBeforeItsRunEndsLeavesNothingBehind)
{
    Gate mayEnd;
    bool finishCalled = false;
    const auto slow = std::make_shared<ScriptedPipeline>(PipelineID::zip, "Slow", [&mayEnd](const ProgressReporter& progress) {
        mayEnd.wait();
        progress(0.5, "after the runner");
        return PipelineRunResult(std::vector<fs::path>{});
    });
    runner->run(pipeline(PipelineID::copyPaths), {"/a"}, outputs());
    ASSERT_TRUE(waitForEnd());
    runner->run(slow, {"/in/a"}, outputs(), [&finishCalled](const std::vector<fs::path>&) { finishCalled = true; });
    mayEnd.open();
    runner.reset();
    testsupport::processEvents();
    scheduler.advance(PipelineRunner::clearDelay);
    EXPECT_FALSE(finishCalled);
}

TEST_F(PipelineRunnerTest, LanesAreTheRegistrysLanes)
{
    std::vector<PipelineID> ids;
    for (const auto& lane : runner->lanes({"/d/a.ZIP"}, std::nullopt))
        ids.push_back(lane->id());
    EXPECT_EQ(ids, (std::vector<PipelineID>{PipelineID::zip, PipelineID::unzip, PipelineID::rename, PipelineID::copyPaths}));
    EXPECT_EQ(runner->lanes({"/d/a.png"}, std::vector<PipelineID>{PipelineID::copyPaths}).front(),
              runner->registry().all().back());
}

} // namespace
