#pragma once
// What the window controller uses of the pipeline runner: the lanes a drag
// offers and starting a run. The runner plugs in through a thin adapter.

#include "VudeKit/SettingsCatalogue.h"
#include "VudeServices/PipelineRegistry.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class NotchPipelineRunner {
public:
    using FinishHandler = std::function<void(const std::vector<std::filesystem::path>& produced)>;

    virtual ~NotchPipelineRunner() = default;

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
};
