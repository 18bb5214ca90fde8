#pragma once
// The drop pipelines in their fixed order, and the choice of which of them a
// drag offers as lanes, and in which order.

#include "VudeServices/DropPipeline.h"

#include <memory>
#include <optional>
#include <vector>

class Pasteboard;

class PipelineRegistry {
public:
    using Pipeline = std::shared_ptr<const DropPipeline>;
    using Pipelines = std::vector<Pipeline>;

    /// Holds `all` in its order, or the default pipelines when none is given.
    explicit PipelineRegistry(std::optional<Pipelines> all = std::nullopt);

    /// Compress, the PNG conversion, To PDF, Strip EXIF, Zip, Unzip, Rename
    /// and Copy path, in that order. Copy path writes to `pasteboard`
    /// (which must outlive the pipelines), else to the application's
    /// clipboard.
    static Pipelines defaultPipelines(Pasteboard* pasteboard = nullptr);

    const Pipelines& all() const { return m_all; }

    /// The pipelines that accept `urls`: in registry order when `enabled` is
    /// absent or empty; otherwise in the order of `enabled`, leaving out the
    /// pipelines it does not name. An id named twice gives one lane.
    Pipelines lanes(const std::vector<std::filesystem::path>& urls,
                    const std::optional<std::vector<PipelineID>>& enabled) const;

private:
    Pipelines m_all;
};
