#pragma once
// The live activity each system event raises: kind, priority, dedupe key,
// glyph, texts, trailing accessory, duration and interaction. Pure functions
// of the event and what the bridge read alongside it, so every pill can be
// checked without a service; the bridge only gathers the inputs and delivers
// the result.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/Data.h"
#include "VudeKit/SettingEnums.h"
#include "VudeServices/AudioState.h"
#include "VudeServices/BatteryState.h"
#include "VudeServices/BluetoothEvent.h"
#include "VudeServices/FocusModeState.h"
#include "VudeServices/KeepAwakeDuration.h"
#include "VudeServices/NowPlayingState.h"

#include <optional>
#include <string>

namespace ActivityPayloads {

/// What makes one payload this payload: its identity and when it was made.
struct Stamp {
    Uuid id;
    Date createdAt;
};

/// "Welcome back" after the screen was unlocked.
ActivityPayload unlocked(const Stamp& stamp);

/// The speaker symbol of an output: slashed when muted, else by transport.
std::string audioSymbol(const AudioState& state);
/// The volume pill: the device's name ("Volume" when it has none) and a bar
/// at the volume (at 0 while muted).
ActivityPayload audio(const AudioState& state, const Stamp& stamp);

/// The display brightness pill; the small sun up to half brightness.
ActivityPayload brightness(double level, const Stamp& stamp);
/// The keyboard backlight pill.
ActivityPayload keyboardBacklight(double level, const Stamp& stamp);

/// "45 min remaining", "1 hr 5 min remaining": whole minutes, the seconds
/// dropped. None without a time, or with one that is no time at all
/// (negative, NaN, infinite).
std::optional<std::string> batterySubtitle(std::optional<double> timeRemaining);
/// The pill of a battery event; `subtitle` goes to the events that show the
/// time remaining (plugged in, unplugged, low).
ActivityPayload battery(const BatteryEvent& event, const std::optional<std::string>& subtitle, const Stamp& stamp);

/// The Focus pill: the mode's name ("Focus" without one), "On" or "Off".
ActivityPayload focus(const FocusModeState& state, const Stamp& stamp);

/// The pill of a Bluetooth device connecting, leaving or running low.
ActivityPayload bluetooth(const BluetoothEvent& event, const Stamp& stamp);

/// "Starting now" under a minute before the start, else "in 5 min" (whole
/// minutes, the seconds dropped).
std::string calendarSubtitle(Duration untilStart);
/// An upcoming calendar event; tapping it opens the Desk.
ActivityPayload calendar(const std::string& eventID, const std::string& title, const std::string& subtitle,
                         const Stamp& stamp);

/// The keep-awake duration of the same case name as the setting.
KeepAwakeDuration keepAwakeDuration(KeepAwakeDurationSetting setting);
/// "Until 14:05" (24-hour clock, local time) for a timed keep-awake, else
/// "Until you turn it off".
std::string keepAwakeSubtitle(std::optional<Date> until);
/// "Staying awake" with its subtitle, or "Sleep allowed".
ActivityPayload keepAwake(bool isKeepingAwake, std::optional<Date> until, const Stamp& stamp);

/// The artwork glyph of a track when it carries an image, else a note.
ActivityGlyph trackGlyph(const std::optional<Data>& artwork);
/// A new track started: a queued pill for `inactivityTimeout` seconds.
ActivityPayload newTrack(const NowPlayingState& state, const std::optional<Data>& artwork, double inactivityTimeout,
                         const Stamp& stamp);
/// What plays, as the standing ambient pill (an hour at a time).
ActivityPayload ambientNowPlaying(const NowPlayingState& state, const std::optional<Data>& artwork,
                                  const Stamp& stamp);

/// Whether two payloads show the same: every field but the identity and the
/// creation time.
bool showsSame(const ActivityPayload& a, const ActivityPayload& b);

/// The trace line of a now-playing state: playing, title, the item key's
/// first 24 characters and the artwork's size.
std::string mediaTraceLine(const NowPlayingState& state);

} // namespace ActivityPayloads
