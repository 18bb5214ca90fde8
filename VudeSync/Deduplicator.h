#pragma once
// Collapses rows that arrived more than once under one `uuid` (each device
// makes the scratch note when it has none; an import may bring one identifier
// twice): per model it keeps one row per `uuid` by a fixed preference and
// deletes the others, then saves.
//
// Candidates are met in record-name order, which is creation order on every
// device alike, so all devices keep the same row: two devices that each kept
// their own would each delete the other's, and both deletions would travel.
// A note that loses hands its revisions to the note that stays before it goes,
// so no device's text is lost.

#include "VudeKit/Expected.h"

#include <string>

class ModelContext;

struct Deduplicator {
    /// Rows deleted per model.
    struct Summary {
        int todos = 0;
        int notes = 0;
        int timers = 0;
        int shortcuts = 0;

        int total() const { return todos + notes + timers + shortcuts; }
        bool isEmpty() const { return total() == 0; }
        friend bool operator==(const Summary&, const Summary&) = default;
    };

    /// Collapses to-dos, notes, timers and shortcuts, in that order, each
    /// fetched after the previous model's losers were deleted; saves only
    /// when something was deleted. A failed fetch or save ends the run with
    /// its error, and nothing is saved.
    Expected<Summary, std::string> run(ModelContext& context) const;
};
