#include "VudeServices/NowPlayingState.h"

#include <algorithm>

bool NowPlayingState::isEmpty() const
{
    return !title && !artist && !album;
}

std::optional<double> NowPlayingState::position(Date at) const
{
    if (!elapsed)
        return std::nullopt;
    if (!elapsedAsOf || playbackRate == 0)
        return elapsed;
    double position = *elapsed + playbackRate * toSeconds(at - *elapsedAsOf);
    if (position < 0)
        position = 0;
    if (duration && position > *duration)
        position = *duration;
    return position;
}

std::string NowPlayingState::itemKey() const
{
    if (contentItemIdentifier)
        return *contentItemIdentifier;
    std::string key;
    bool first = true;
    for (const auto* field : {&title, &artist, &album}) {
        if (!*field)
            continue;
        if (!first)
            key += '|';
        key += **field;
        first = false;
    }
    return key;
}
