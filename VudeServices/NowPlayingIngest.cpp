#include "VudeServices/NowPlayingIngest.h"

#include "VudeKit/Numbers.h"
#include "VudeServices/NowPlayingUpdate.h"

NowPlayingIngest::Result NowPlayingIngest::ingest(std::string_view bytes, Date now)
{
    return fold(m_buffer.append(bytes), m_buffer.maxLineBytes(), now);
}

NowPlayingIngest::Result NowPlayingIngest::fold(const NowPlayingLineBuffer::Lines& lines, std::size_t maxLineBytes,
                                                Date now)
{
    Result result;
    for (std::size_t i = 0; i < lines.droppedLines; ++i)
        result.traces.push_back(droppedLineMessage(maxLineBytes));
    for (const auto& line : lines.lines) {
        if (line.empty())
            continue;
        auto update = NowPlayingUpdate::parse(line);
        if (!update) {
            result.traces.push_back(update.error());
            continue;
        }
        update->apply(m_state, now);
        update->applyPlayer(m_player);
        result.states.push_back(m_state);
    }
    return result;
}

std::string NowPlayingIngest::droppedLineMessage(std::size_t maxLineBytes)
{
    return "ingest: line over " + formatInteger(static_cast<std::int64_t>(maxLineBytes)) + " bytes dropped";
}
