#pragma once
// What the notch uses of the pipeline runner: the lanes a drag offers,
// starting a run, and for the Desk's banner the run's state and undoing the
// last finished run. The runner plugs in through a thin adapter.

#include "VudeKit/SettingsCatalogue.h"
#include "VudeServices/PipelineRegistry.h"
#include "VudeServices/PipelineRunState.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class NotchPipelineRunner : public QObject {
    Q_OBJECT
public:
    using FinishHandler = std::function<void(const std::vector<std::filesystem::path>& produced)>;

    ~NotchPipelineRunner() override = default;

    /// The pipelines the runner knows, for the lanes of a drag.
    virtual std::shared_ptr<const PipelineRegistry> registry() const = 0;
    /// The pipelines that accept `urls`, in the order `enabled` gives (the
    /// registry's when empty).
    virtual PipelineRegistry::Pipelines lanes(const std::vector<std::filesystem::path>& urls,
                                              const PipelineList& enabled) const = 0;
    /// Starts `pipeline` on `urls` into `folder`; `onFinish` hears what it
    /// produced, on the main thread, after a success only.
    virtual void run(PipelineRegistry::Pipeline pipeline, std::vector<std::filesystem::path> urls,
                     std::filesystem::path folder, FinishHandler onFinish) = 0;

    /// What the banner shows: a run under way, the last result or failure,
    /// or nothing. Idle unless overridden.
    virtual PipelineRunState state() const { return PipelineRunState::idle(); }
    /// Deletes what the last finished run produced and returns those files;
    /// none when there is nothing to undo.
    virtual std::vector<std::filesystem::path> undo() { return {}; }

signals:
    void stateChanged();
};
