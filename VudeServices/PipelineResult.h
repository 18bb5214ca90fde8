#pragma once
// What one finished pipeline run produced.

#include "VudeKit/PipelineID.h"

#include <filesystem>
#include <string>
#include <vector>

struct PipelineResult {
    /// The pipeline that ran.
    PipelineID pipeline = PipelineID::compressImage;
    /// That pipeline's title.
    std::string title;
    /// What the run returned, in its order.
    std::vector<std::filesystem::path> produced;
    /// The number of dropped files given to the run.
    int inputCount = 0;

    /// The one produced file's name, "<count> files" for several, the title
    /// for none.
    std::string summary() const;

    bool operator==(const PipelineResult&) const = default;
};
