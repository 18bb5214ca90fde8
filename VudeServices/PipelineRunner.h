#pragma once
// Runs drop pipelines on what was dropped on their lanes and publishes what
// is happening as one state for the pipeline banner: running (title,
// fraction, detail), finished (the result), failed (a message), idle. A
// finished result stays undoable until the state returns to idle, six
// seconds after a run ends (through the scheduler), or until undo().
//
// A run started while another is going on does not stop or wait for it:
// both report, and whichever ends last leaves its result. Each end
// schedules its own return to idle; only a new run or undo() cancels the
// one scheduled last.
//
// Observed through stateChanged and undoableChanged, raised only when the
// value really changed. Main thread only; the pipelines' own work runs on
// the runner's worker threads. Destroying the runner waits for runs in
// flight, whose results are then dropped.

#include "VudeKit/Scheduler.h"
#include "VudeServices/PipelineRegistry.h"
#include "VudeServices/PipelineRunState.h"

#include <QObject>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class PipelineRunner final : public QObject {
    Q_OBJECT
public:
    using FinishHandler = std::function<void(const std::vector<std::filesystem::path>& produced)>;

    /// How long a finished or failed run stays on show.
    static constexpr Duration clearDelay = std::chrono::seconds(6);

    /// `scheduler` must outlive the runner.
    PipelineRunner(PipelineRegistry registry, Scheduler& scheduler, QObject* parent = nullptr);
    ~PipelineRunner() override;

    const PipelineRunState& state() const { return m_state; }
    /// The result undo() would take back.
    const std::optional<PipelineResult>& undoable() const { return m_undoable; }
    const PipelineRegistry& registry() const { return m_registry; }

    /// The registry's lanes for these files (see PipelineRegistry::lanes).
    PipelineRegistry::Pipelines lanes(const std::vector<std::filesystem::path>& urls,
                                      const std::optional<std::vector<PipelineID>>& enabled) const;

    /// Starts `pipeline` on `urls` (in drop order) into `folder` and returns
    /// at once. `onFinish` is called on this thread with what the run
    /// produced, after success only.
    void run(PipelineRegistry::Pipeline pipeline, std::vector<std::filesystem::path> urls,
             std::filesystem::path folder, FinishHandler onFinish = {});

    /// Deletes what the undoable result produced (files or folders; what
    /// cannot be removed is skipped), goes idle and returns the produced
    /// URLs, all of them. Without an undoable result: nothing, and an empty
    /// list.
    std::vector<std::filesystem::path> undo();

signals:
    void stateChanged();
    void undoableChanged();

private:
    void setState(PipelineRunState state);
    void setUndoable(std::optional<PipelineResult> result);
    void report(const std::string& title, double fraction, const std::string& detail);
    void finish(const PipelineResult& started, const PipelineRunResult& outcome, const FinishHandler& onFinish);
    void scheduleClear();

    PipelineRegistry m_registry;
    Scheduler& m_scheduler;
    PipelineRunState m_state = PipelineRunState::idle();
    std::optional<PipelineResult> m_undoable;
    std::optional<ScheduledTask> m_clearTask;
    // Last, so runs in flight end before anything they report to goes.
    QThreadPool m_workers;
};
