#include "Vude/Bridge/ActivityPayloads.h"

#include "VudeKit/Numbers.h"
#include "VudeKit/UnicodeText.h"

#include <cmath>
#include <ctime>

using namespace std::chrono_literals;

namespace ActivityPayloads {

namespace {

using G = ActivityGlyph;
using T = ActivityTrailing;
using P = ActivityPriority;

ActivityPayload make(const Stamp& stamp, ActivityKind kind, P priority, std::string dedupeKey, G leading,
                     std::optional<std::string> title, std::optional<std::string> subtitle, T trailing,
                     Duration duration, std::optional<ActivityInteraction> interaction = std::nullopt)
{
    return ActivityPayload(stamp.id, kind, priority, std::move(dedupeKey), std::move(leading), std::move(title),
                           std::move(subtitle), std::move(trailing), duration, std::move(interaction),
                           stamp.createdAt);
}

std::string twoDigits(int value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

} // namespace

ActivityPayload unlocked(const Stamp& stamp)
{
    return make(stamp, ActivityKind::idleLock, P::queued, "unlocked", G::symbolTinted("lock.open.fill", TintName::sage),
                "Welcome back", std::nullopt, T::none(), 2500ms);
}

std::string audioSymbol(const AudioState& state)
{
    if (state.isMuted)
        return "speaker.slash.fill";
    return std::string(symbol(state.transport));
}

ActivityPayload audio(const AudioState& state, const Stamp& stamp)
{
    return make(stamp, ActivityKind::sound, P::interrupt, "sound", G::symbol(audioSymbol(state)),
                state.deviceName.empty() ? std::string("Volume") : state.deviceName, std::nullopt,
                T::bar(state.isMuted ? 0.0 : state.volume), 1500ms);
}

ActivityPayload brightness(double level, const Stamp& stamp)
{
    return make(stamp, ActivityKind::display, P::interrupt, "display",
                G::symbol(level <= 0.5 ? "sun.min.fill" : "sun.max.fill"), "Built-in Display", std::nullopt,
                T::bar(level), 1500ms);
}

ActivityPayload keyboardBacklight(double level, const Stamp& stamp)
{
    return make(stamp, ActivityKind::keyboardBacklight, P::interrupt, "kbBacklight", G::symbol("keyboard.fill"),
                "Keyboard Brightness", std::nullopt, T::bar(level), 1500ms);
}

std::optional<std::string> batterySubtitle(std::optional<double> timeRemaining)
{
    if (!timeRemaining || !std::isfinite(*timeRemaining) || *timeRemaining < 0)
        return std::nullopt;
    const auto minutes = saturatingCast<std::int64_t>(*timeRemaining / 60);
    if (minutes < 60)
        return formatInteger(minutes) + " min remaining";
    return formatInteger(minutes / 60) + " hr " + formatInteger(minutes % 60) + " min remaining";
}

ActivityPayload battery(const BatteryEvent& event, const std::optional<std::string>& subtitle, const Stamp& stamp)
{
    const auto kind = ActivityKind::battery;
    if (const auto* pluggedIn = event.as<BatteryEvent::PluggedIn>())
        return make(stamp, kind, P::queued, "battery-power", G::symbolTinted("bolt.fill", TintName::sage), "Charging",
                    subtitle, T::percent(pluggedIn->percentage), 5s);
    if (const auto* unplugged = event.as<BatteryEvent::Unplugged>())
        return make(stamp, kind, P::queued, "battery-power", G::symbol("battery.50"), "On battery", subtitle,
                    T::percent(unplugged->percentage), 5s);
    if (const auto* low = event.as<BatteryEvent::LowBattery>())
        return make(stamp, kind, P::interrupt, "battery-low", G::symbolTinted("battery.25", TintName::oxblood),
                    "Low battery", subtitle, T::percent(low->percentage), 6s);
    if (const auto* mode = event.as<BatteryEvent::LowPowerMode>())
        return make(stamp, kind, P::queued, "battery-lpm", G::symbolTinted("bolt.badge.a.fill", TintName::amber),
                    mode->isEnabled ? "Low Power Mode on" : "Low Power Mode off", std::nullopt, T::none(), 4s);
    return make(stamp, kind, P::queued, "battery-full", G::symbolTinted("battery.100.bolt", TintName::sage),
                "Fully charged", std::nullopt, T::percent(1.0), 5s);
}

ActivityPayload focus(const FocusModeState& state, const Stamp& stamp)
{
    return make(stamp, ActivityKind::focus, P::queued, "focus", G::symbolTinted(state.symbol, TintName::slate),
                state.displayName(), state.isActive ? "On" : "Off", T::none(), 5s);
}

ActivityPayload bluetooth(const BluetoothEvent& event, const Stamp& stamp)
{
    const BluetoothDevice& device = event.device();
    const auto kind = ActivityKind::connectivity;
    switch (event.kind()) {
    case BluetoothEvent::Kind::connected: {
        const auto lowest = device.lowestBattery();
        return make(stamp, kind, P::queued, "bt-" + device.address, G::symbol(device.symbol), device.name,
                    "Connected", lowest ? T::percent(*lowest) : T::none(), 5s);
    }
    case BluetoothEvent::Kind::disconnected:
        return make(stamp, kind, P::queued, "bt-" + device.address, G::symbol(device.symbol), device.name,
                    "Disconnected", T::none(), 4s);
    case BluetoothEvent::Kind::lowBattery:
        break;
    }
    return make(stamp, kind, P::interrupt, "bt-low-" + device.address,
                G::symbolTinted(device.symbol, TintName::oxblood), device.name + " battery low", std::nullopt,
                T::percent(event.level()), 6s);
}

std::string calendarSubtitle(Duration untilStart)
{
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(untilStart).count();
    if (minutes < 1)
        return "Starting now";
    return "in " + formatInteger(minutes) + " min";
}

ActivityPayload calendar(const std::string& eventID, const std::string& title, const std::string& subtitle,
                         const Stamp& stamp)
{
    return make(stamp, ActivityKind::calendar, P::queued, "calendar-" + eventID,
                G::symbolTinted("calendar", TintName::sage), title, subtitle, T::none(), 6s,
                ActivityInteraction::openRavo(RiziDar::ravo));
}

KeepAwakeDuration keepAwakeDuration(KeepAwakeDurationSetting setting)
{
    return enumFromRaw<KeepAwakeDuration>(rawValue(setting)).value_or(KeepAwakeDuration::indefinite);
}

std::string keepAwakeSubtitle(std::optional<Date> until)
{
    if (!until)
        return "Until you turn it off";
    const auto seconds = std::chrono::floor<std::chrono::seconds>(*until).time_since_epoch().count();
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    return "Until " + twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min);
}

ActivityPayload keepAwake(bool isKeepingAwake, std::optional<Date> until, const Stamp& stamp)
{
    if (isKeepingAwake)
        return make(stamp, ActivityKind::idleLock, P::interrupt, "keepAwake",
                    G::symbolTinted("cup.and.saucer.fill", TintName::amber), "Staying awake",
                    keepAwakeSubtitle(until), T::none(), 2s);
    return make(stamp, ActivityKind::idleLock, P::interrupt, "keepAwake", G::symbolTinted("moon.zzz.fill", TintName::slate),
                "Sleep allowed", std::nullopt, T::none(), 2s);
}

ActivityGlyph trackGlyph(const std::optional<Data>& artwork)
{
    if (artwork && !artwork->isEmpty())
        return G::artwork(*artwork);
    return G::symbol("music.note");
}

ActivityPayload newTrack(const NowPlayingState& state, const std::optional<Data>& artwork, double inactivityTimeout,
                         const Stamp& stamp)
{
    return make(stamp, ActivityKind::nowPlaying, P::queued, "nowPlaying-" + state.itemKey(), trackGlyph(artwork),
                state.title, state.artist, T::waveform(state.isPlaying), durationFromSeconds(inactivityTimeout),
                ActivityInteraction::openRavo(RiziDar::ravo));
}

ActivityPayload ambientNowPlaying(const NowPlayingState& state, const std::optional<Data>& artwork,
                                  const Stamp& stamp)
{
    return make(stamp, ActivityKind::nowPlaying, P::ambient, "nowPlaying-" + state.itemKey(), trackGlyph(artwork),
                state.title, state.artist, T::waveform(state.isPlaying), 3600s,
                ActivityInteraction::openRavo(RiziDar::ravo));
}

bool showsSame(const ActivityPayload& a, const ActivityPayload& b)
{
    return a.kind() == b.kind() && a.priority() == b.priority() && a.dedupeKey() == b.dedupeKey()
        && a.leading() == b.leading() && a.title() == b.title() && a.subtitle() == b.subtitle()
        && a.trailing() == b.trailing() && a.duration() == b.duration() && a.interaction() == b.interaction();
}

std::string mediaTraceLine(const NowPlayingState& state)
{
    const std::string key = state.itemKey();
    return std::string("media playing=") + (state.isPlaying ? "true" : "false") + " title=" +
           state.title.value_or("-") + " key=" + std::string(graphemePrefix(key, 24)) + " art=" +
           formatInteger(state.artwork ? static_cast<std::int64_t>(state.artwork->size()) : 0);
}

} // namespace ActivityPayloads
