#pragma once
// Cuts the adapter's output into lines on raw newline bytes, before any
// decoding, so a partial line costs nothing until its newline arrives. A line
// may not grow past a limit: one that does is dropped whole (everything up to
// its newline), so an adapter that never ends a line cannot make us keep an
// ever-growing buffer.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class NowPlayingLineBuffer {
public:
    /// Generous for a line carrying artwork as Base64.
    static constexpr std::size_t kMaxLineBytes = 8 * 1024 * 1024;

    explicit NowPlayingLineBuffer(std::size_t maxLineBytes = kMaxLineBytes) : m_maxLineBytes(maxLineBytes) {}

    struct Lines {
        /// The completed lines, in order, without their newlines.
        std::vector<std::string> lines;
        /// How many lines went over the limit in this read (each counted once,
        /// when it crossed it).
        std::size_t droppedLines = 0;
    };

    /// Adds bytes read from the adapter and returns the lines they complete.
    Lines append(std::string_view bytes);

    /// Bytes held for the line under way (never more than the limit).
    std::size_t bufferedBytes() const { return m_partial.size(); }
    std::size_t maxLineBytes() const { return m_maxLineBytes; }

private:
    std::size_t m_maxLineBytes;
    std::string m_partial;
    bool m_skippingLongLine = false; // inside a dropped line: skip up to its newline
};
