#pragma once
// Which drop pipelines are on, and what switching one on or off stores.
// An empty `pipelineOrder` means every pipeline in declaration order, so the
// stored list is never left empty: switching off the last pipeline keeps it
// as the only one and turns the lanes off instead.

#include "VudeKit/SettingsCatalogue.h"

namespace PipelineSwitches {

/// On when the order is empty (every pipeline) or holds it.
bool isOn(const PipelineList& order, PipelineID pipeline);

struct Change {
    /// What `pipelineOrder` becomes; never empty.
    PipelineList order;
    /// The last pipeline went off: `pipelinesEnabled` becomes false.
    bool turnsLanesOff = false;
};

/// Switching `pipeline` on appends it when missing (a lane returns at the
/// end); off removes every occurrence, keeping the others' order. Always an
/// explicit list, also when `order` was empty.
Change setOn(const PipelineList& order, PipelineID pipeline, bool on);

} // namespace PipelineSwitches
