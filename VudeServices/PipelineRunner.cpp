#include "VudeServices/PipelineRunner.h"

#include "Platform/Core/MainThread.h"

#include <QPointer>

#include <new>
#include <system_error>

namespace fs = std::filesystem;

PipelineRunner::PipelineRunner(PipelineRegistry registry, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_registry(std::move(registry))
    , m_scheduler(scheduler)
{
    m_workers.setObjectName(QStringLiteral("app.ruvudav.notch.pipelines"));
}

PipelineRunner::~PipelineRunner()
{
    // Reports posted by runs ending now are dropped with this object.
    m_workers.waitForDone();
    if (m_clearTask)
        m_clearTask->cancel();
}

namespace {

// Whatever a pipeline throws ends its run as a failure, in our own words:
// an exception would otherwise take the whole application down with it.
PipelineRunResult runGuarded(const DropPipeline& pipeline, const std::vector<fs::path>& urls, const fs::path& folder,
                             const ProgressReporter& progress)
{
    try {
        return pipeline.run(urls, folder, progress);
    } catch (const std::bad_alloc&) {
        return unexpected(PipelineFailure::other("There wasn't enough memory to finish " + pipeline.title() + "."));
    } catch (...) {
        return unexpected(PipelineFailure::other(pipeline.title() + " stopped because of an unexpected error."));
    }
}

} // namespace

PipelineRegistry::Pipelines PipelineRunner::lanes(const std::vector<fs::path>& urls,
                                                  const std::optional<std::vector<PipelineID>>& enabled) const
{
    return m_registry.lanes(urls, enabled);
}

void PipelineRunner::run(PipelineRegistry::Pipeline pipeline, std::vector<fs::path> urls, fs::path folder,
                         FinishHandler onFinish)
{
    if (!pipeline)
        return;
    if (m_clearTask)
        m_clearTask->cancel();
    const std::string title = pipeline->title();
    setState(PipelineRunState::running(title, 0, ""));

    // What the result will say besides what the run produces.
    PipelineResult started{pipeline->id(), title, {}, static_cast<int>(urls.size())};
    m_workers.start([this, pipeline = std::move(pipeline), urls = std::move(urls), folder = std::move(folder),
                     started = std::move(started), onFinish = std::move(onFinish)] {
        // The runner outlives its workers (its destructor waits for them),
        // and what is posted to it is dropped if it goes first.
        const ProgressReporter progress([this, title = started.title](double fraction, const std::string& detail) {
            postTo(this, [this, title, fraction, detail] { report(title, fraction, detail); });
        });
        PipelineRunResult outcome = runGuarded(*pipeline, urls, folder, progress);
        postTo(this, [this, started, outcome = std::move(outcome), onFinish] { finish(started, outcome, onFinish); });
    });
}

void PipelineRunner::report(const std::string& title, double fraction, const std::string& detail)
{
    // Late reports (after the run ended, failed or was undone) change nothing.
    if (m_state.as<PipelineRunState::Running>())
        setState(PipelineRunState::running(title, fraction, detail));
}

void PipelineRunner::finish(const PipelineResult& started, const PipelineRunResult& outcome,
                            const FinishHandler& onFinish)
{
    if (!outcome) {
        setState(PipelineRunState::failed(outcome.error().message()));
        scheduleClear();
        return;
    }
    PipelineResult result = started;
    result.produced = *outcome;
    setUndoable(result);
    setState(PipelineRunState::finished(result));
    QPointer<PipelineRunner> self(this);
    if (onFinish)
        onFinish(result.produced);
    if (self)
        scheduleClear();
}

void PipelineRunner::scheduleClear()
{
    // An earlier scheduled return stays scheduled: each end has its own.
    QPointer<PipelineRunner> self(this);
    m_clearTask = m_scheduler.after(clearDelay, [self] {
        if (!self)
            return;
        self->setState(PipelineRunState::idle());
        self->setUndoable(std::nullopt);
    });
}

std::vector<fs::path> PipelineRunner::undo()
{
    if (!m_undoable)
        return {};
    const std::vector<fs::path> produced = m_undoable->produced;
    for (const fs::path& url : produced) {
        // Already gone, moved or locked: skipped, the others go on.
        std::error_code ignored;
        fs::remove_all(url, ignored);
    }
    setUndoable(std::nullopt);
    setState(PipelineRunState::idle());
    if (m_clearTask)
        m_clearTask->cancel();
    return produced;
}

void PipelineRunner::setState(PipelineRunState state)
{
    if (state == m_state)
        return;
    m_state = std::move(state);
    emit stateChanged();
}

void PipelineRunner::setUndoable(std::optional<PipelineResult> result)
{
    if (result == m_undoable)
        return;
    m_undoable = std::move(result);
    emit undoableChanged();
}
