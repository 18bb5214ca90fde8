#pragma once
// What is playing, as the now-playing adapter reports it: the item, where
// playback stands and the player's settings. A plain value, copied into every
// consumer (the bridge, the view models, the Desk's media widget).

#include "VudeKit/Date.h"
#include "VudeServices/RepeatMode.h"
#include "VudeServices/ShuffleMode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// Encoded artwork image bytes. Copies share one buffer that is never changed
/// in place, so handing a state around does not copy the image; two values
/// are equal when their bytes are.
class ArtworkBytes {
public:
    ArtworkBytes() = default;
    explicit ArtworkBytes(std::vector<std::uint8_t> bytes);

    std::span<const std::uint8_t> bytes() const;
    const std::uint8_t* data() const { return bytes().data(); }
    std::size_t size() const { return bytes().size(); }
    bool empty() const { return size() == 0; }

    friend bool operator==(const ArtworkBytes& a, const ArtworkBytes& b);

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
};

struct NowPlayingState {
    bool isPlaying = false;
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::optional<std::string> album;
    std::optional<std::string> genre;
    std::optional<std::string> composer;
    /// Seconds.
    std::optional<double> duration;
    /// The position in seconds at `elapsedAsOf`.
    std::optional<double> elapsed;
    std::optional<Date> elapsedAsOf;
    /// 1 for normal playback, 0 while paused.
    double playbackRate = 0;
    std::optional<std::string> bundleIdentifier;
    bool isMusicApp = false;
    std::optional<std::string> mediaType;
    std::optional<std::int64_t> trackNumber;
    std::optional<std::int64_t> queueIndex;
    std::optional<std::int64_t> totalQueueCount;
    std::optional<ShuffleMode> shuffle;
    std::optional<RepeatMode> repeatMode;
    std::optional<std::string> contentItemIdentifier;
    std::optional<std::string> artworkMimeType;
    std::optional<ArtworkBytes> artwork;

    /// True when there is no title, artist or album (nothing else is looked at).
    bool isEmpty() const;

    /// The position extrapolated to `at`: none without an elapsed time; the
    /// elapsed time as it stands when its time is unknown or the rate is
    /// exactly 0; otherwise elapsed + rate × (at − elapsedAsOf), at least 0
    /// and at most the duration when one is known.
    std::optional<double> position(Date at) const;

    /// The identity of the playing item: the content item identifier when
    /// there is one, else the present ones of title, artist and album joined
    /// with "|" (absent ones leave no empty slot; none at all gives "").
    std::string itemKey() const;

    bool operator==(const NowPlayingState&) const = default;
};
