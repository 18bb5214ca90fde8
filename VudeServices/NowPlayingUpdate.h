#pragma once
// One line of the now-playing adapter's output, read and folded into the
// state. A line is a JSON object with a "payload" object of now-playing
// fields and an optional "diff" flag: true merges the payload into the
// current state, anything else first resets the state (a replacement).
// Within the payload an absent key leaves its field as it is. The payload
// may also name the player the state comes from ("player"), which is kept
// beside the state, not in it, for commands to go back to.

#include "VudeKit/Date.h"
#include "VudeKit/Expected.h"
#include "VudeServices/NowPlayingState.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

struct NowPlayingUpdate {
    /// An array or object where a field expects a scalar.
    struct Compound {
        bool operator==(const Compound&) const = default;
    };
    /// A payload value as JSON gave it; numbers are doubles.
    using Value = std::variant<std::nullptr_t, bool, double, std::string, Compound>;

    static constexpr std::string_view kPlayerKey = "player";

    bool isDiff = false;
    /// The payload's values for the keys folded into the state and for the
    /// player; others are not kept.
    std::map<std::string, Value, std::less<>> payload;

    /// Reads one line. Fails, with the message for the trace, when the line
    /// is not a JSON object ("ingest: JSON parse FAILED for <n> bytes") or has
    /// no object under "payload" ("ingest: no payload key; keys=[...]" with the
    /// object's keys sorted). Parsing never recurses and keeps only the known
    /// keys, so a hostile line costs memory in proportion to its strings.
    static Expected<NowPlayingUpdate, std::string> parse(std::string_view line);

    /// Folds the payload into `state`, resetting it first for a replacement.
    /// `now` becomes the time of an elapsed time the payload carries.
    void apply(NowPlayingState& state, Date now) const;

    /// Folds the payload's player into `player` by the rule of a text field:
    /// none after a replacement without it, set (or cleared, when not a
    /// string) where the key is present, unchanged otherwise.
    void applyPlayer(std::optional<std::string>& player) const;
};
