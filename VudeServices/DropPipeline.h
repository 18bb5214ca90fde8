#pragma once
// A drop pipeline: a small file transformation offered as a lane when files
// are dragged over the notch. It reads the dropped files, writes new files
// into the output folder it is given (never changing or deleting a dropped
// file) and reports its progress as it goes.

#include "VudeKit/Expected.h"
#include "VudeKit/PipelineID.h"
#include "VudeServices/PipelineError.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

/// How a pipeline tells its runner how far it got. Callable from any thread;
/// `report` must carry the values to the main thread itself.
class ProgressReporter {
public:
    using Report = std::function<void(double fraction, const std::string& detail)>;

    explicit ProgressReporter(Report report) : report(std::move(report)) {}

    /// Forwards `fraction`, clamped to 0...1 (NaN gives 0), and `detail`.
    void operator()(double fraction, const std::string& detail) const;

    Report report;
};

/// What a run produced, in the order produced, or why it failed.
using PipelineRunResult = Expected<std::vector<std::filesystem::path>, PipelineFailure>;

/// Pipelines are immutable and safe to share between threads.
class DropPipeline {
public:
    virtual ~DropPipeline() = default;

    virtual PipelineID id() const = 0;
    /// The pipeline's own short title, shown while it runs and in its result.
    virtual std::string title() const = 0;
    /// A symbol name for the pipeline.
    virtual std::string symbol() const = 0;
    /// Whether the pipeline can take this whole list; never for an empty one.
    virtual bool accepts(const std::vector<std::filesystem::path>& urls) const = 0;
    /// Transforms `urls`, in drop order, into `folder`. Blocks until done:
    /// call it from a worker thread, never the main thread.
    virtual PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                                  const ProgressReporter& progress) const = 0;
};
