#pragma once
// The features that depend on which build is running, as a set of option
// bits, and the user-facing reasons a feature can be missing.

#include "VudeKit/EnumTraits.h"
#include "VudeKit/LinuxTexts.h"

#include <cstdint>

class Capability {
public:
    using RawValue = std::uint32_t;

    /// The empty set.
    constexpr Capability() = default;
    constexpr explicit Capability(RawValue rawValue) : m_rawValue(rawValue) {}

    static const Capability universalNowPlaying;
    static const Capability mediaSeek;
    static const Capability mediaShuffleRepeat;
    static const Capability hudSuppression;
    static const Capability brightnessControl;
    static const Capability focusIdentity;
    static const Capability shortcutListing;
    static const Capability liveWaveform;
    static const Capability deviceBattery;
    static const Capability idleSurface;

    constexpr RawValue rawValue() const { return m_rawValue; }
    constexpr bool isEmpty() const { return m_rawValue == 0; }
    /// True when every bit of `other` is in this set (so always for the empty set).
    constexpr bool contains(Capability other) const { return (m_rawValue & other.m_rawValue) == other.m_rawValue; }

    friend constexpr Capability operator|(Capability a, Capability b) { return Capability(a.m_rawValue | b.m_rawValue); }
    friend constexpr Capability operator&(Capability a, Capability b) { return Capability(a.m_rawValue & b.m_rawValue); }
    constexpr bool operator==(const Capability&) const = default;

    /// Why a feature is missing. The raw value is the product's message, kept
    /// for parsing; the display name is the message shown here.
    enum class Unavailability { sandboxed, permissionRequired, osUnsupported, helperUnavailable };

private:
    RawValue m_rawValue = 0;
};

inline constexpr Capability Capability::universalNowPlaying{0x1};
inline constexpr Capability Capability::mediaSeek{0x2};
inline constexpr Capability Capability::mediaShuffleRepeat{0x4};
inline constexpr Capability Capability::hudSuppression{0x8};
inline constexpr Capability Capability::brightnessControl{0x10};
inline constexpr Capability Capability::focusIdentity{0x20};
inline constexpr Capability Capability::shortcutListing{0x40};
inline constexpr Capability Capability::liveWaveform{0x80};
inline constexpr Capability Capability::deviceBattery{0x100};
inline constexpr Capability Capability::idleSurface{0x200};

template <>
struct EnumTraits<Capability::Unavailability> {
    using U = Capability::Unavailability;
    static constexpr std::array cases{
        EnumCase{U::sandboxed, LinuxTexts::unavailableSandboxed.original, LinuxTexts::unavailableSandboxed.shown},
        EnumCase{U::permissionRequired, "Needs a permission you haven't granted.",
                 "Needs a permission you haven't granted."},
        EnumCase{U::osUnsupported, LinuxTexts::unavailableSystemUnsupported.original,
                 LinuxTexts::unavailableSystemUnsupported.shown},
        EnumCase{U::helperUnavailable, "The media helper isn't responding.", "The media helper isn't responding."},
    };
};
