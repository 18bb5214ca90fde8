#pragma once
// Ready-made, realistic activities of every kind, so the pill and its
// animations can be shown without the real system event (the demo hook and
// the status menu's sample activities).

#include "VudeKit/ActivityModels.h"

namespace DebugActivitySource {

/// A sample payload of `kind` with a fresh random id, created at `now`, with
/// no interaction. Callers may change the duration of the copy they submit.
ActivityPayload make(ActivityKind kind, Date now);

} // namespace DebugActivitySource
