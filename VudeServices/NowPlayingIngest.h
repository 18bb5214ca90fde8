#pragma once
// The reading side of the now-playing adapter's output: bytes in, states and
// trace messages out. Lines are cut on newline bytes (NowPlayingLineBuffer),
// each read as a replacement or a diff (NowPlayingUpdate) and folded into the
// current state; every accepted line gives one state, even when nothing
// changed. A blank line is skipped silently; a line that is not a JSON
// object, has no payload object or grows past the line limit gives a trace
// message and leaves the state as it was.

#include "VudeKit/Date.h"
#include "VudeServices/NowPlayingLineBuffer.h"
#include "VudeServices/NowPlayingState.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NowPlayingIngest {
public:
    explicit NowPlayingIngest(std::size_t maxLineBytes = NowPlayingLineBuffer::kMaxLineBytes) : m_buffer(maxLineBytes) {}

    struct Result {
        /// One copy of the state after each accepted line, in order.
        std::vector<NowPlayingState> states;
        /// Messages for the trace (without the source's tag), in order.
        std::vector<std::string> traces;
    };

    /// Takes the next bytes of output; `now` is when they arrived.
    Result ingest(std::string_view bytes, Date now);

    /// Folds lines another buffer cut (one per adapter process, so the bytes
    /// of two processes are never spliced into one line) into this state.
    Result fold(const NowPlayingLineBuffer::Lines& lines, std::size_t maxLineBytes, Date now);

    const NowPlayingState& state() const { return m_state; }
    /// The player the state comes from, as the adapter names it; none when
    /// it did not say.
    const std::optional<std::string>& player() const { return m_player; }
    std::size_t bufferedBytes() const { return m_buffer.bufferedBytes(); }

    /// "ingest: line over <limit> bytes dropped".
    static std::string droppedLineMessage(std::size_t maxLineBytes);

private:
    NowPlayingLineBuffer m_buffer;
    NowPlayingState m_state;
    std::optional<std::string> m_player;
};
