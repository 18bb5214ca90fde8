#pragma once
// The closed choices among the user settings, stored by their raw names.
// Which case is the default belongs to the setting, not to the enumeration.

#include "VudeKit/EnumTraits.h"

/// Which screens get a notch panel.
enum class ScreenPolicy { notchedOnly, primaryOnly, allScreens };

template <>
struct EnumTraits<ScreenPolicy> {
    static constexpr std::array cases{
        EnumCase{ScreenPolicy::notchedOnly, "notchedOnly", "Notched screens only"},
        EnumCase{ScreenPolicy::primaryOnly, "primaryOnly", "Primary screen only"},
        EnumCase{ScreenPolicy::allScreens, "allScreens", "All screens"},
    };
};

enum class FullscreenPolicy { notchedOnly, always, never };

template <>
struct EnumTraits<FullscreenPolicy> {
    static constexpr std::array cases{
        EnumCase{FullscreenPolicy::notchedOnly, "notchedOnly"},
        EnumCase{FullscreenPolicy::always, "always"},
        EnumCase{FullscreenPolicy::never, "never"},
    };
};

enum class AppearanceMode { system, dark, light };

template <>
struct EnumTraits<AppearanceMode> {
    static constexpr std::array cases{
        EnumCase{AppearanceMode::system, "system"},
        EnumCase{AppearanceMode::dark, "dark"},
        EnumCase{AppearanceMode::light, "light"},
    };
};

/// The look of the HUD's level bar.
enum class BarStyle { white, accent, glow, decibel };

template <>
struct EnumTraits<BarStyle> {
    static constexpr std::array cases{
        EnumCase{BarStyle::white, "white", "White"},
        EnumCase{BarStyle::accent, "accent", "Accent"},
        EnumCase{BarStyle::glow, "glow", "Glow"},
        EnumCase{BarStyle::decibel, "decibel", "Decibel"},
    };
};

/// The HUD animation setting; labels are the raw names capitalised.
enum class HUDSpeed { smooth, fast, instant };

template <>
struct EnumTraits<HUDSpeed> {
    static constexpr std::array cases{
        EnumCase{HUDSpeed::smooth, "smooth", "Smooth"},
        EnumCase{HUDSpeed::fast, "fast", "Fast"},
        EnumCase{HUDSpeed::instant, "instant", "Instant"},
    };
};

/// What the sound pill shows on its trailing side.
enum class SoundTrailing { symbol, device };

template <>
struct EnumTraits<SoundTrailing> {
    static constexpr std::array cases{
        EnumCase{SoundTrailing::symbol, "symbol", "Symbol"},
        EnumCase{SoundTrailing::device, "device", "Device name"},
    };
};

/// How long keep-awake lasts; its id is the raw name.
enum class KeepAwakeDurationSetting { indefinite, thirtyMinutes, oneHour, twoHours };

template <>
struct EnumTraits<KeepAwakeDurationSetting> {
    using D = KeepAwakeDurationSetting;
    static constexpr std::array cases{
        EnumCase{D::indefinite, "indefinite", "Until I turn it off"},
        EnumCase{D::thirtyMinutes, "thirtyMinutes", "30 minutes"},
        EnumCase{D::oneHour, "oneHour", "1 hour"},
        EnumCase{D::twoHours, "twoHours", "2 hours"},
    };
};

/// The now-playing bar's look.
enum class MediaBarStyle { monochrome, colored, gradient };

template <>
struct EnumTraits<MediaBarStyle> {
    static constexpr std::array cases{
        EnumCase{MediaBarStyle::monochrome, "monochrome", "Monochrome"},
        EnumCase{MediaBarStyle::colored, "colored", "Artwork colour"},
        EnumCase{MediaBarStyle::gradient, "gradient", "Gradient"},
    };
};
