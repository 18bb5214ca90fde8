#include "VudeKit/DebugActivitySource.h"

#include "VudeKit/Numbers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;

namespace {

const Date kNow = kReferenceDate + 800'000'000s;

// The trailing accessory in the table's notation: bar(x), percent(x),
// waveform(playing), text(t), none.
std::string notation(const ActivityTrailing& trailing)
{
    if (const auto* bar = trailing.as<ActivityTrailing::Bar>())
        return "bar(" + formatShortest(bar->fraction) + ")";
    if (const auto* percent = trailing.as<ActivityTrailing::Percent>())
        return "percent(" + formatShortest(percent->fraction) + ")";
    if (const auto* waveform = trailing.as<ActivityTrailing::Waveform>())
        return std::string("waveform(") + (waveform->isPlaying ? "true" : "false") + ")";
    if (const auto* text = trailing.as<ActivityTrailing::Text>())
        return "text(" + text->text + ")";
    return "none";
}

struct SampleRow {
    ActivityKind kind;
    ActivityPriority priority;
    std::string dedupeKey;
    ActivityGlyph leading;
    std::string title;
    std::optional<std::string> subtitle;
    std::string trailing; // as the table writes it
    Duration duration;
};

// The sample table, texts byte for byte. The last seven kinds take the
// generic sample: queued, keyed by their case name, their own symbol and label.
std::vector<SampleRow> sampleTable()
{
    return {
        {ActivityKind::sound, ActivityPriority::interrupt, "sound", ActivityGlyph::symbol("speaker.wave.2.fill"),
         "MacBook Air Speakers", std::nullopt, "bar(0.62)", 1500ms},
        {ActivityKind::display, ActivityPriority::interrupt, "display", ActivityGlyph::symbol("sun.max.fill"),
         "Built-in Display", std::nullopt, "bar(0.8)", 1500ms},
        {ActivityKind::nowPlaying, ActivityPriority::ambient, "np", ActivityGlyph::symbol("music.note"),
         "Right Here Right Now", "Sample Artist & Guest Singer", "waveform(true)", 3s},
        {ActivityKind::battery, ActivityPriority::queued, "battery-charging",
         ActivityGlyph::symbolTinted("bolt.fill", TintName::sage), "Charging", "1 hr 12 min to full",
         "percent(0.64)", 5s},
        {ActivityKind::connectivity, ActivityPriority::queued, "bt-airpods", ActivityGlyph::symbol("airpods.gen3"),
         "AirPods Pro", "Connected", "percent(0.87)", 5s},
        {ActivityKind::focus, ActivityPriority::queued, "focus", ActivityGlyph::symbolTinted("moon.fill", TintName::slate),
         "Focus", "Do Not Disturb on", "none", 5s},
        {ActivityKind::fileTray, ActivityPriority::queued, "tray", ActivityGlyph::symbol("tray.fill"), "3 files added",
         std::nullopt, "text(3)", 4s},
        {ActivityKind::timerEnded, ActivityPriority::interrupt, "timer",
         ActivityGlyph::symbolTinted("timer", TintName::amber), "Timer finished", "Tea", "none", 6s},
        {ActivityKind::keyboardBacklight, ActivityPriority::queued, "keyboardBacklight",
         ActivityGlyph::symbol("keyboard.fill"), "Keyboard Backlight", std::nullopt, "none", 4s},
        {ActivityKind::calendar, ActivityPriority::queued, "calendar", ActivityGlyph::symbol("calendar"), "Calendar",
         std::nullopt, "none", 4s},
        {ActivityKind::update, ActivityPriority::queued, "update", ActivityGlyph::symbol("arrow.down.circle"),
         "New Update", std::nullopt, "none", 4s},
        {ActivityKind::download, ActivityPriority::queued, "download", ActivityGlyph::symbol("arrow.down.doc"),
         "Download", std::nullopt, "none", 4s},
        {ActivityKind::screenshot, ActivityPriority::queued, "screenshot", ActivityGlyph::symbol("camera.viewfinder"),
         "Screenshot", std::nullopt, "none", 4s},
        {ActivityKind::weather, ActivityPriority::queued, "weather", ActivityGlyph::symbol("cloud.sun.fill"), "Weather",
         std::nullopt, "none", 4s},
        {ActivityKind::idleLock, ActivityPriority::queued, "idleLock", ActivityGlyph::symbol("lock.fill"),
         "Idle & Lock", std::nullopt, "none", 4s},
    };
}

TEST(DebugActivitySource, EveryKindGivesItsSample)
{
    const auto samples = sampleTable();
    ASSERT_EQ(samples.size(), allCases<ActivityKind>().size()) << "one row per kind";
    for (const auto& row : samples) {
        SCOPED_TRACE(std::string(rawValue(row.kind)));
        const auto payload = DebugActivitySource::make(row.kind, kNow);
        EXPECT_EQ(payload.kind(), row.kind);
        EXPECT_EQ(payload.priority(), row.priority);
        EXPECT_EQ(payload.dedupeKey(), row.dedupeKey);
        EXPECT_EQ(payload.leading(), row.leading);
        EXPECT_EQ(payload.title(), row.title);
        EXPECT_EQ(payload.subtitle(), row.subtitle);
        EXPECT_EQ(notation(payload.trailing()), row.trailing);
        EXPECT_EQ(payload.duration(), row.duration);
        EXPECT_EQ(payload.interaction(), std::nullopt);
        EXPECT_EQ(payload.createdAt(), kNow);
        EXPECT_FALSE(payload.id().isNil());
    }
}

TEST(DebugActivitySource, RepeatedSamplesAreNewActivitiesWithTheSameKey)
{
    for (const auto kind : allCases<ActivityKind>()) {
        SCOPED_TRACE(std::string(rawValue(kind)));
        const auto first = DebugActivitySource::make(kind, kNow);
        const auto second = DebugActivitySource::make(kind, kNow);
        EXPECT_NE(first.id(), second.id());
        EXPECT_EQ(first.dedupeKey(), second.dedupeKey());
    }
}

} // namespace
