#include "VudeServices/NowPlayingState.h"

#include <algorithm>

ArtworkBytes::ArtworkBytes(std::vector<std::uint8_t> bytes)
    : m_bytes(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)))
{
}

std::span<const std::uint8_t> ArtworkBytes::bytes() const
{
    if (!m_bytes)
        return {};
    return {m_bytes->data(), m_bytes->size()};
}

bool operator==(const ArtworkBytes& a, const ArtworkBytes& b)
{
    if (a.m_bytes == b.m_bytes)
        return true;
    const auto left = a.bytes();
    const auto right = b.bytes();
    return std::equal(left.begin(), left.end(), right.begin(), right.end());
}

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
