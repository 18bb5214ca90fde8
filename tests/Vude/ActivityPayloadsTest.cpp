// The pill every system event raises, field by field.
#include "Vude/Bridge/ActivityPayloads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace std::chrono_literals;
using G = ActivityGlyph;
using T = ActivityTrailing;
using P = ActivityPriority;
using K = ActivityKind;
using Transport = AudioState::Transport;

const Uuid kID = *Uuid::parse("5B0C1E2A-7D34-4F5B-9A61-0C2D3E4F5A6B");
const Date kNow = kReferenceDate + 800'000'000s;
const ActivityPayloads::Stamp kStamp{kID, kNow};
const auto kOpenDesk = ActivityInteraction::openRavo(RiziDar::ravo);

ActivityPayload expected(K kind, P priority, std::string key, G glyph, std::optional<std::string> title,
                         std::optional<std::string> subtitle, T trailing, Duration duration,
                         std::optional<ActivityInteraction> interaction = std::nullopt)
{
    return ActivityPayload(kID, kind, priority, std::move(key), std::move(glyph), std::move(title),
                           std::move(subtitle), std::move(trailing), duration, std::move(interaction), kNow);
}

std::string describe(const ActivityPayload& p)
{
    std::string text = std::string(rawValue(p.kind())) + " prio " + std::to_string(int(p.priority())) + " key \"" +
                       p.dedupeKey() + "\" title \"" + p.title().value_or("(none)") + "\" subtitle \"" +
                       p.subtitle().value_or("(none)") + "\" " + std::to_string(toSeconds(p.duration())) + " s";
    if (const auto* symbol = p.leading().as<G::Symbol>())
        text += " symbol " + symbol->name;
    if (const auto* tinted = p.leading().as<G::SymbolTinted>())
        text += " tinted " + tinted->name + "/" + std::string(rawValue(tinted->tint));
    if (p.leading().as<G::Artwork>())
        text += " artwork";
    if (const auto* bar = p.trailing().as<T::Bar>())
        text += " bar " + std::to_string(bar->fraction);
    if (const auto* percent = p.trailing().as<T::Percent>())
        text += " percent " + std::to_string(percent->fraction);
    if (const auto* wave = p.trailing().as<T::Waveform>())
        text += std::string(" waveform ") + (wave->isPlaying ? "playing" : "paused");
    text += p.interaction() ? " opens the Desk" : " no interaction";
    return text;
}

BluetoothDevice device(std::optional<double> battery)
{
    return {.address = "AA:BB:CC:DD:EE:FF", .name = "Studio Buds", .batteryPercent = battery, .symbol = "earbuds"};
}

NowPlayingState track(bool playing, std::optional<std::string> title = "Night Drive",
                      std::optional<std::string> artist = "The Loops")
{
    NowPlayingState state;
    state.isPlaying = playing;
    state.title = std::move(title);
    state.artist = std::move(artist);
    state.album = "Motorway";
    return state;
}

const Data kCover(std::string_view("\x89PNG fake cover"));

struct Row {
    const char* event;
    std::function<ActivityPayload()> build;
    ActivityPayload want;
};

TEST(ActivityPayloadsTest, EveryEventRaisesItsPill)
{
    using namespace ActivityPayloads;
    const std::vector<Row> rows{
        {"screen unlocked", [] { return unlocked(kStamp); },
         expected(K::idleLock, P::queued, "unlocked", G::symbolTinted("lock.open.fill", TintName::sage),
                  "Welcome back", std::nullopt, T::none(), 2500ms)},
        {"audio state", [] { return audio({.volume = 0.4, .deviceName = "Speakers"}, kStamp); },
         expected(K::sound, P::interrupt, "sound", G::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                  T::bar(0.4), 1500ms)},
        {"audio muted", [] { return audio({.volume = 0.7, .isMuted = true, .deviceName = "Speakers"}, kStamp); },
         expected(K::sound, P::interrupt, "sound", G::symbol("speaker.slash.fill"), "Speakers", std::nullopt,
                  T::bar(0), 1500ms)},
        {"audio without a device name", [] { return audio({.volume = 1.0, .transport = Transport::usb}, kStamp); },
         expected(K::sound, P::interrupt, "sound", G::symbol("hifispeaker.fill"), "Volume", std::nullopt, T::bar(1),
                  1500ms)},
        {"brightness exactly half", [] { return brightness(0.5, kStamp); },
         expected(K::display, P::interrupt, "display", G::symbol("sun.min.fill"), "Built-in Display", std::nullopt,
                  T::bar(0.5), 1500ms)},
        {"brightness above half", [] { return brightness(0.5625, kStamp); },
         expected(K::display, P::interrupt, "display", G::symbol("sun.max.fill"), "Built-in Display", std::nullopt,
                  T::bar(0.5625), 1500ms)},
        {"backlight level", [] { return keyboardBacklight(0.3125, kStamp); },
         expected(K::keyboardBacklight, P::interrupt, "kbBacklight", G::symbol("keyboard.fill"),
                  "Keyboard Brightness", std::nullopt, T::bar(0.3125), 1500ms)},
        {"plugged in", [] { return battery(BatteryEvent::pluggedIn(0.42), "1 hr 30 min remaining", kStamp); },
         expected(K::battery, P::queued, "battery-power", G::symbolTinted("bolt.fill", TintName::sage), "Charging",
                  "1 hr 30 min remaining", T::percent(0.42), 5s)},
        {"unplugged", [] { return battery(BatteryEvent::unplugged(0.9), "59 min remaining", kStamp); },
         expected(K::battery, P::queued, "battery-power", G::symbol("battery.50"), "On battery", "59 min remaining",
                  T::percent(0.9), 5s)},
        {"unplugged, time unknown", [] { return battery(BatteryEvent::unplugged(0.9), std::nullopt, kStamp); },
         expected(K::battery, P::queued, "battery-power", G::symbol("battery.50"), "On battery", std::nullopt,
                  T::percent(0.9), 5s)},
        {"low battery", [] { return battery(BatteryEvent::lowBattery(0.19), "12 min remaining", kStamp); },
         expected(K::battery, P::interrupt, "battery-low", G::symbolTinted("battery.25", TintName::oxblood),
                  "Low battery", "12 min remaining", T::percent(0.19), 6s)},
        {"Low Power Mode on", [] { return battery(BatteryEvent::lowPowerMode(true), "ignored", kStamp); },
         expected(K::battery, P::queued, "battery-lpm", G::symbolTinted("bolt.badge.a.fill", TintName::amber),
                  "Low Power Mode on", std::nullopt, T::none(), 4s)},
        {"Low Power Mode off", [] { return battery(BatteryEvent::lowPowerMode(false), std::nullopt, kStamp); },
         expected(K::battery, P::queued, "battery-lpm", G::symbolTinted("bolt.badge.a.fill", TintName::amber),
                  "Low Power Mode off", std::nullopt, T::none(), 4s)},
        {"fully charged", [] { return battery(BatteryEvent::charged(), "ignored", kStamp); },
         expected(K::battery, P::queued, "battery-full", G::symbolTinted("battery.100.bolt", TintName::sage),
                  "Fully charged", std::nullopt, T::percent(1.0), 5s)},
        {"Focus on, named",
         [] { return focus({.isActive = true, .modeName = "Work", .symbol = "briefcase.fill"}, kStamp); },
         expected(K::focus, P::queued, "focus", G::symbolTinted("briefcase.fill", TintName::slate), "Work", "On",
                  T::none(), 5s)},
        {"Focus off, no name", [] { return focus({.isActive = false}, kStamp); },
         expected(K::focus, P::queued, "focus", G::symbolTinted("moon.fill", TintName::slate), "Focus", "Off",
                  T::none(), 5s)},
        {"device connected with a battery", [] { return bluetooth(BluetoothEvent::connected(device(0.6)), kStamp); },
         expected(K::connectivity, P::queued, "bt-AA:BB:CC:DD:EE:FF", G::symbol("earbuds"), "Studio Buds",
                  "Connected", T::percent(0.6), 5s)},
        {"device connected without a battery",
         [] { return bluetooth(BluetoothEvent::connected(device(std::nullopt)), kStamp); },
         expected(K::connectivity, P::queued, "bt-AA:BB:CC:DD:EE:FF", G::symbol("earbuds"), "Studio Buds",
                  "Connected", T::none(), 5s)},
        {"device disconnected", [] { return bluetooth(BluetoothEvent::disconnected(device(0.6)), kStamp); },
         expected(K::connectivity, P::queued, "bt-AA:BB:CC:DD:EE:FF", G::symbol("earbuds"), "Studio Buds",
                  "Disconnected", T::none(), 4s)},
        {"device battery low",
         [] { return bluetooth(BluetoothEvent::lowBattery(device(0.15), 0.15), kStamp); },
         expected(K::connectivity, P::interrupt, "bt-low-AA:BB:CC:DD:EE:FF",
                  G::symbolTinted("earbuds", TintName::oxblood), "Studio Buds battery low", std::nullopt,
                  T::percent(0.15), 6s)},
        {"upcoming calendar event", [] { return calendar("evt-7", "Standup", "in 5 min", kStamp); },
         expected(K::calendar, P::queued, "calendar-evt-7", G::symbolTinted("calendar", TintName::sage), "Standup",
                  "in 5 min", T::none(), 6s, kOpenDesk)},
        {"keep-awake on for a while",
         [] { return keepAwake(true, Date(std::chrono::sys_days{std::chrono::year{2026} / 3 / 1}) + 14h + 5min + 59s,
                               kStamp); },
         expected(K::idleLock, P::interrupt, "keepAwake", G::symbolTinted("cup.and.saucer.fill", TintName::amber),
                  "Staying awake", "Until 14:05", T::none(), 2s)},
        {"keep-awake on until turned off", [] { return keepAwake(true, std::nullopt, kStamp); },
         expected(K::idleLock, P::interrupt, "keepAwake", G::symbolTinted("cup.and.saucer.fill", TintName::amber),
                  "Staying awake", "Until you turn it off", T::none(), 2s)},
        {"keep-awake off", [] { return keepAwake(false, std::nullopt, kStamp); },
         expected(K::idleLock, P::interrupt, "keepAwake", G::symbolTinted("moon.zzz.fill", TintName::slate),
                  "Sleep allowed", std::nullopt, T::none(), 2s)},
        {"new track with artwork", [] { return newTrack(track(true), kCover, 10, kStamp); },
         expected(K::nowPlaying, P::queued, "nowPlaying-Night Drive|The Loops|Motorway", G::artwork(kCover),
                  "Night Drive", "The Loops", T::waveform(true), 10s, kOpenDesk)},
        {"new track without artwork", [] { return newTrack(track(true), std::nullopt, 2.5, kStamp); },
         expected(K::nowPlaying, P::queued, "nowPlaying-Night Drive|The Loops|Motorway", G::symbol("music.note"),
                  "Night Drive", "The Loops", T::waveform(true), 2500ms, kOpenDesk)},
        {"new track, empty artwork", [] { return newTrack(track(true), Data(), 10, kStamp); },
         expected(K::nowPlaying, P::queued, "nowPlaying-Night Drive|The Loops|Motorway", G::symbol("music.note"),
                  "Night Drive", "The Loops", T::waveform(true), 10s, kOpenDesk)},
        {"ambient now playing", [] { return ambientNowPlaying(track(true), kCover, kStamp); },
         expected(K::nowPlaying, P::ambient, "nowPlaying-Night Drive|The Loops|Motorway", G::artwork(kCover),
                  "Night Drive", "The Loops", T::waveform(true), 3600s, kOpenDesk)},
    };
    for (const auto& row : rows) {
        const ActivityPayload got = row.build();
        EXPECT_EQ(got, row.want) << row.event << "\n  got  " << describe(got) << "\n  want " << describe(row.want);
    }
}

TEST(ActivityPayloadsTest, SpeakerSymbolFollowsMuteThenTransport)
{
    const std::vector<std::pair<AudioState, std::string>> rows{
        {{.isMuted = true, .transport = Transport::bluetooth}, "speaker.slash.fill"},
        {{.transport = Transport::builtIn}, "speaker.wave.2.fill"},
        {{.transport = Transport::bluetooth}, "airpods.gen3"},
        {{.transport = Transport::usb}, "hifispeaker.fill"},
        {{.transport = Transport::hdmi}, "tv"},
        {{.transport = Transport::displayPort}, "tv"},
        {{.transport = Transport::airPlay}, "airplayaudio"},
        {{.transport = Transport::virtual_}, "speaker.wave.2.fill"},
        {{.transport = Transport::other}, "speaker.wave.2.fill"},
    };
    for (const auto& [state, symbol] : rows)
        EXPECT_EQ(ActivityPayloads::audioSymbol(state), symbol) << rawValue(state.transport);
}

TEST(ActivityPayloadsTest, BatterySubtitleCountsWholeMinutes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<std::optional<double>, std::optional<std::string>>> rows{
        {5400, "1 hr 30 min remaining"},
        {3900, "1 hr 5 min remaining"},
        {3600, "1 hr 0 min remaining"},
        {3599.9, "59 min remaining"},
        {2700, "45 min remaining"},
        {59, "0 min remaining"},
        {0, "0 min remaining"},
        {std::nullopt, std::nullopt},
        // What no battery can report gives no time rather than a false one.
        {-60, std::nullopt},
        {nan, std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& [seconds, subtitle] : rows)
        EXPECT_EQ(ActivityPayloads::batterySubtitle(seconds), subtitle) << seconds.value_or(-1);
}

TEST(ActivityPayloadsTest, CalendarSubtitleCountsWholeMinutes)
{
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(1s), "Starting now");
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(59s), "Starting now");
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(59'999'999us), "Starting now");
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(60s), "in 1 min");
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(5min + 59s), "in 5 min");
    EXPECT_EQ(ActivityPayloads::calendarSubtitle(60min), "in 60 min");
}

TEST(ActivityPayloadsTest, KeepAwakeSettingMapsByCaseName)
{
    using S = KeepAwakeDurationSetting;
    using D = KeepAwakeDuration;
    EXPECT_EQ(ActivityPayloads::keepAwakeDuration(S::indefinite), D::indefinite);
    EXPECT_EQ(ActivityPayloads::keepAwakeDuration(S::thirtyMinutes), D::thirtyMinutes);
    EXPECT_EQ(ActivityPayloads::keepAwakeDuration(S::oneHour), D::oneHour);
    EXPECT_EQ(ActivityPayloads::keepAwakeDuration(S::twoHours), D::twoHours);
}

TEST(ActivityPayloadsTest, ShowsSameIgnoresOnlyIdentityAndTime)
{
    using ActivityPayloads::ambientNowPlaying;
    const auto a = ambientNowPlaying(track(true), kCover, kStamp);
    const auto later = ambientNowPlaying(track(true), Data(std::string_view("\x89PNG fake cover")),
                                         {Uuid::random(), kNow + 1s});
    EXPECT_NE(a, later);
    EXPECT_TRUE(ActivityPayloads::showsSame(a, later));
    EXPECT_FALSE(ActivityPayloads::showsSame(a, ambientNowPlaying(track(true, "Other"), kCover, kStamp)));
    EXPECT_FALSE(ActivityPayloads::showsSame(a, ambientNowPlaying(track(true), std::nullopt, kStamp)));
    EXPECT_FALSE(ActivityPayloads::showsSame(a, ActivityPayloads::newTrack(track(true), kCover, 3600, kStamp)));
}

TEST(ActivityPayloadsTest, MediaTraceLine)
{
    NowPlayingState state = track(true);
    state.contentItemIdentifier = "spotify:track:0123456789abcdefghij-tail";
    state.artwork = ArtworkBytes(std::vector<std::uint8_t>(1234, 7));
    EXPECT_EQ(ActivityPayloads::mediaTraceLine(state),
              "media playing=true title=Night Drive key=spotify:track:0123456789 art=1234");

    NowPlayingState nothing;
    EXPECT_EQ(ActivityPayloads::mediaTraceLine(nothing), "media playing=false title=- key= art=0");

    // Characters, not bytes: a key of accented letters is cut after 24 of them.
    const std::string e = "\u00e9";
    std::string artist;
    for (int i = 0; i < 22; ++i)
        artist += e;
    NowPlayingState accented = track(false, "\u00e9t\u00e9", artist);
    accented.album.reset();
    EXPECT_EQ(ActivityPayloads::mediaTraceLine(accented),
              "media playing=false title=\u00e9t\u00e9 key=\u00e9t\u00e9|\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
              "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9 art=0");
}

} // namespace
