#pragma once
// The value types of one live activity (the pill that grows out of the notch):
// its kind, priority, leading glyph, trailing accessory, tap interaction and
// the payload that carries them. Plain immutable values shared by every module.

#include "VudeKit/Data.h"
#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Uuid.h"

#include <optional>
#include <string>
#include <variant>

enum class ActivityKind {
    sound,
    display,
    keyboardBacklight,
    nowPlaying,
    battery,
    connectivity,
    focus,
    calendar,
    fileTray,
    timerEnded,
    update,
    download,
    screenshot,
    weather,
    idleLock,
};

template <>
struct EnumTraits<ActivityKind> {
    using K = ActivityKind;
    static constexpr std::array cases{
        EnumCase{K::sound, "sound", "Sound", "speaker.wave.2.fill"},
        EnumCase{K::display, "display", "Display", "sun.max.fill"},
        EnumCase{K::keyboardBacklight, "keyboardBacklight", "Keyboard Backlight", "keyboard.fill"},
        EnumCase{K::nowPlaying, "nowPlaying", "Now Playing", "music.note"},
        EnumCase{K::battery, "battery", "Battery", "bolt.fill"},
        EnumCase{K::connectivity, "connectivity", "Connectivity", "airpods.gen3"},
        EnumCase{K::focus, "focus", "Focus", "moon.fill"},
        EnumCase{K::calendar, "calendar", "Calendar", "calendar"},
        EnumCase{K::fileTray, "fileTray", "File Tray", "tray.fill"},
        EnumCase{K::timerEnded, "timerEnded", "Timer Ended", "timer"},
        EnumCase{K::update, "update", "New Update", "arrow.down.circle"},
        EnumCase{K::download, "download", "Download", "arrow.down.doc"},
        EnumCase{K::screenshot, "screenshot", "Screenshot", "camera.viewfinder"},
        EnumCase{K::weather, "weather", "Weather", "cloud.sun.fill"},
        EnumCase{K::idleLock, "idleLock", "Idle & Lock", "lock.fill"},
    };
};

/// Ordered by raw value: ambient < queued < interrupt.
enum class ActivityPriority : int {
    ambient = 0,
    queued = 1,
    interrupt = 2,
};

/// 0, 1 and 2 give the three priorities; anything else none.
std::optional<ActivityPriority> activityPriorityFromRaw(int raw);

enum class TintName { brass, sage, amber, oxblood, slate, stone };

template <>
struct EnumTraits<TintName> {
    static constexpr std::array cases{
        EnumCase{TintName::brass, "brass"},     EnumCase{TintName::sage, "sage"},
        EnumCase{TintName::amber, "amber"},     EnumCase{TintName::oxblood, "oxblood"},
        EnumCase{TintName::slate, "slate"},     EnumCase{TintName::stone, "stone"},
    };
};

/// The Desk's two tabs: the widget row and the file tray.
enum class RiziDar { ravo, tray };

template <>
struct EnumTraits<RiziDar> {
    static constexpr std::array cases{EnumCase{RiziDar::ravo, "ravo"}, EnumCase{RiziDar::tray, "tray"}};
};

/// What the pill shows on its leading side.
class ActivityGlyph {
public:
    struct Symbol {
        std::string name;
        bool operator==(const Symbol&) const = default;
    };
    struct SymbolTinted {
        std::string name;
        TintName tint;
        bool operator==(const SymbolTinted&) const = default;
    };
    /// Absent bytes mean an artwork slot without an image.
    struct Artwork {
        std::optional<Data> bytes;
        bool operator==(const Artwork&) const = default;
    };
    struct ProgressRing {
        double fraction;
        bool operator==(const ProgressRing&) const = default;
    };
    struct None {
        bool operator==(const None&) const = default;
    };
    using Value = std::variant<Symbol, SymbolTinted, Artwork, ProgressRing, None>;

    static ActivityGlyph symbol(std::string name) { return ActivityGlyph(Symbol{std::move(name)}); }
    static ActivityGlyph symbolTinted(std::string name, TintName tint)
    {
        return ActivityGlyph(SymbolTinted{std::move(name), tint});
    }
    static ActivityGlyph artwork(std::optional<Data> bytes) { return ActivityGlyph(Artwork{std::move(bytes)}); }
    static ActivityGlyph progressRing(double fraction) { return ActivityGlyph(ProgressRing{fraction}); }
    static ActivityGlyph none() { return ActivityGlyph(None{}); }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    bool operator==(const ActivityGlyph&) const = default;

private:
    explicit ActivityGlyph(Value value) : m_value(std::move(value)) {}
    Value m_value;
};

/// What the pill shows on its trailing side.
class ActivityTrailing {
public:
    struct Bar {
        double fraction;
        bool operator==(const Bar&) const = default;
    };
    struct Percent {
        double fraction;
        bool operator==(const Percent&) const = default;
    };
    struct Waveform {
        bool isPlaying;
        bool operator==(const Waveform&) const = default;
    };
    struct Text {
        std::string text;
        bool operator==(const Text&) const = default;
    };
    struct None {
        bool operator==(const None&) const = default;
    };
    using Value = std::variant<Bar, Percent, Waveform, Text, None>;

    static ActivityTrailing bar(double fraction) { return ActivityTrailing(Bar{fraction}); }
    static ActivityTrailing percent(double fraction) { return ActivityTrailing(Percent{fraction}); }
    static ActivityTrailing waveform(bool isPlaying) { return ActivityTrailing(Waveform{isPlaying}); }
    static ActivityTrailing text(std::string text) { return ActivityTrailing(Text{std::move(text)}); }
    static ActivityTrailing none() { return ActivityTrailing(None{}); }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    bool operator==(const ActivityTrailing&) const = default;

private:
    explicit ActivityTrailing(Value value) : m_value(std::move(value)) {}
    Value m_value;
};

/// What tapping the activity does.
class ActivityInteraction {
public:
    struct OpenRavo {
        RiziDar tab;
        bool operator==(const OpenRavo&) const = default;
    };
    struct OpenURL {
        std::string url;
        bool operator==(const OpenURL&) const = default;
    };
    struct RunCommand {
        std::string command;
        bool operator==(const RunCommand&) const = default;
    };
    using Value = std::variant<OpenRavo, OpenURL, RunCommand>;

    static ActivityInteraction openRavo(RiziDar tab) { return ActivityInteraction(OpenRavo{tab}); }
    static ActivityInteraction openURL(std::string url) { return ActivityInteraction(OpenURL{std::move(url)}); }
    static ActivityInteraction runCommand(std::string command)
    {
        return ActivityInteraction(RunCommand{std::move(command)});
    }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    bool operator==(const ActivityInteraction&) const = default;

private:
    explicit ActivityInteraction(Value value) : m_value(std::move(value)) {}
    Value m_value;
};

/// One live activity. Every field is fixed at creation; equality compares all
/// eleven, so two payloads differing only in `id` differ.
class ActivityPayload {
public:
    /// A payload made without a dedupe key takes the kind's raw value as key
    /// ("sound" for a sound activity). Nothing else is defaulted or clamped.
    ActivityPayload(Uuid id, ActivityKind kind, ActivityPriority priority, std::optional<std::string> dedupeKey,
                    ActivityGlyph leading, std::optional<std::string> title, std::optional<std::string> subtitle,
                    ActivityTrailing trailing, Duration duration, std::optional<ActivityInteraction> interaction,
                    Date createdAt);

    const Uuid& id() const { return m_id; }
    ActivityKind kind() const { return m_kind; }
    ActivityPriority priority() const { return m_priority; }
    const std::string& dedupeKey() const { return m_dedupeKey; }
    const ActivityGlyph& leading() const { return m_leading; }
    const std::optional<std::string>& title() const { return m_title; }
    const std::optional<std::string>& subtitle() const { return m_subtitle; }
    const ActivityTrailing& trailing() const { return m_trailing; }
    /// How long the activity stays current once presented.
    Duration duration() const { return m_duration; }
    const std::optional<ActivityInteraction>& interaction() const { return m_interaction; }
    Date createdAt() const { return m_createdAt; }

    bool operator==(const ActivityPayload&) const = default;

private:
    Uuid m_id;
    ActivityKind m_kind;
    ActivityPriority m_priority;
    std::string m_dedupeKey;
    ActivityGlyph m_leading;
    std::optional<std::string> m_title;
    std::optional<std::string> m_subtitle;
    ActivityTrailing m_trailing;
    Duration m_duration;
    std::optional<ActivityInteraction> m_interaction;
    Date m_createdAt;
};
