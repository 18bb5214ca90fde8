#include "VudeServices/NowPlayingLineBuffer.h"

#include <utility>

NowPlayingLineBuffer::Lines NowPlayingLineBuffer::append(std::string_view bytes)
{
    Lines result;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto newline = bytes.find('\n', start);
        const bool complete = newline != std::string_view::npos;
        const auto piece = bytes.substr(start, complete ? newline - start : std::string_view::npos);
        start = complete ? newline + 1 : bytes.size();

        if (m_skippingLongLine) {
            m_skippingLongLine = !complete;
            continue;
        }
        if (m_partial.size() + piece.size() > m_maxLineBytes) {
            m_partial = std::string(); // give the memory back, not just the length
            ++result.droppedLines;
            m_skippingLongLine = !complete;
            continue;
        }
        m_partial.append(piece);
        if (complete)
            result.lines.push_back(std::exchange(m_partial, std::string()));
    }
    return result;
}
