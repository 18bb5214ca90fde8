#include "VudeKit/ActivityModels.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct KindRow {
    ActivityKind kind;
    std::string_view raw;
    std::string_view displayName;
    std::string_view symbol;
};

// Transcribed from the product's kind table: stored names, labels, symbols.
constexpr KindRow kKinds[] = {
    {ActivityKind::sound, "sound", "Sound", "speaker.wave.2.fill"},
    {ActivityKind::display, "display", "Display", "sun.max.fill"},
    {ActivityKind::keyboardBacklight, "keyboardBacklight", "Keyboard Backlight", "keyboard.fill"},
    {ActivityKind::nowPlaying, "nowPlaying", "Now Playing", "music.note"},
    {ActivityKind::battery, "battery", "Battery", "bolt.fill"},
    {ActivityKind::connectivity, "connectivity", "Connectivity", "airpods.gen3"},
    {ActivityKind::focus, "focus", "Focus", "moon.fill"},
    {ActivityKind::calendar, "calendar", "Calendar", "calendar"},
    {ActivityKind::fileTray, "fileTray", "File Tray", "tray.fill"},
    {ActivityKind::timerEnded, "timerEnded", "Timer Ended", "timer"},
    {ActivityKind::update, "update", "New Update", "arrow.down.circle"},
    {ActivityKind::download, "download", "Download", "arrow.down.doc"},
    {ActivityKind::screenshot, "screenshot", "Screenshot", "camera.viewfinder"},
    {ActivityKind::weather, "weather", "Weather", "cloud.sun.fill"},
    {ActivityKind::idleLock, "idleLock", "Idle & Lock", "lock.fill"},
};

TEST(ActivityKind, EveryCaseHasItsNameLabelAndSymbolAndRoundTrips)
{
    const auto cases = allCases<ActivityKind>();
    ASSERT_EQ(cases.size(), std::size(kKinds));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& row = kKinds[i];
        SCOPED_TRACE(std::string(row.raw));
        EXPECT_EQ(cases[i], row.kind) << "declaration order";
        EXPECT_EQ(rawValue(row.kind), row.raw);
        EXPECT_EQ(displayName(row.kind), row.displayName);
        EXPECT_EQ(symbol(row.kind), row.symbol);
        EXPECT_EQ(enumFromRaw<ActivityKind>(row.raw), row.kind);
    }
}

TEST(ActivityKind, ParsingIsExactAndCaseSensitive)
{
    for (const auto* text : {"IdleLock", "idlelock", "idleLock ", "", "Sound"})
        EXPECT_EQ(enumFromRaw<ActivityKind>(text), std::nullopt) << text;
}

TEST(ActivityPriority, OrdersByRawValue)
{
    EXPECT_LT(ActivityPriority::ambient, ActivityPriority::queued);
    EXPECT_LT(ActivityPriority::queued, ActivityPriority::interrupt);
    EXPECT_GT(ActivityPriority::interrupt, ActivityPriority::ambient);
    EXPECT_EQ(activityPriorityFromRaw(0), ActivityPriority::ambient);
    EXPECT_EQ(activityPriorityFromRaw(2), ActivityPriority::interrupt);
    EXPECT_EQ(activityPriorityFromRaw(3), std::nullopt);
    EXPECT_EQ(activityPriorityFromRaw(-1), std::nullopt);
}

TEST(TintNameAndTabs, RoundTripByCaseName)
{
    const std::array<std::string_view, 6> tints{"brass", "sage", "amber", "oxblood", "slate", "stone"};
    const auto cases = allCases<TintName>();
    for (std::size_t i = 0; i < tints.size(); ++i) {
        EXPECT_EQ(rawValue(cases[i]), tints[i]);
        EXPECT_EQ(enumFromRaw<TintName>(tints[i]), cases[i]);
    }
    EXPECT_EQ(enumFromRaw<RiziDar>("tray"), RiziDar::tray);
    EXPECT_EQ(rawValue(RiziDar::ravo), "ravo");
    EXPECT_EQ(enumFromRaw<RiziDar>("Tray"), std::nullopt);
}

TEST(ActivityGlyph, EqualityIsByCaseThenPayload)
{
    const Data bytes(std::string_view("\x89PNG"));
    struct Row {
        ActivityGlyph a;
        ActivityGlyph b;
        bool equal;
        const char* why;
    } rows[] = {
        {ActivityGlyph::artwork(std::nullopt), ActivityGlyph::artwork(std::nullopt), true, "two absent artworks"},
        {ActivityGlyph::artwork(std::nullopt), ActivityGlyph::artwork(Data()), false, "absent vs empty bytes"},
        {ActivityGlyph::artwork(bytes), ActivityGlyph::artwork(Data(std::string_view("\x89PNG"))), true,
         "same bytes, different buffers"},
        {ActivityGlyph::artwork(bytes), ActivityGlyph::artwork(Data(std::string_view("\x89PNH"))), false,
         "one byte differs"},
        {ActivityGlyph::symbol("bolt.fill"), ActivityGlyph::symbolTinted("bolt.fill", TintName::sage), false,
         "different cases"},
        {ActivityGlyph::symbolTinted("bolt.fill", TintName::sage),
         ActivityGlyph::symbolTinted("bolt.fill", TintName::amber), false, "different tints"},
        {ActivityGlyph::progressRing(0.5), ActivityGlyph::progressRing(0.5), true, "same fraction"},
        {ActivityGlyph::none(), ActivityGlyph::none(), true, "none"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.a == row.b, row.equal) << row.why;
}

TEST(ActivityTrailingAndInteraction, EqualityIsByCaseThenPayload)
{
    EXPECT_EQ(ActivityTrailing::bar(0.25), ActivityTrailing::bar(0.25));
    EXPECT_NE(ActivityTrailing::bar(0.25), ActivityTrailing::percent(0.25));
    EXPECT_NE(ActivityTrailing::waveform(true), ActivityTrailing::waveform(false));
    EXPECT_EQ(ActivityTrailing::text("AirPods"), ActivityTrailing::text("AirPods"));
    EXPECT_EQ(ActivityInteraction::openRavo(RiziDar::tray), ActivityInteraction::openRavo(RiziDar::tray));
    EXPECT_NE(ActivityInteraction::openRavo(RiziDar::tray), ActivityInteraction::openRavo(RiziDar::ravo));
    EXPECT_NE(ActivityInteraction::openURL("https://a.example"), ActivityInteraction::runCommand("https://a.example"));
}

class ActivityPayloadTest : public ::testing::Test {
protected:
    static ActivityPayload make(std::optional<std::string> key = "sound")
    {
        return ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, std::move(key),
                               ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                               ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated);
    }
    static inline const Uuid kId = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    static inline const Date kCreated = kReferenceDate + 1000s;
};

TEST_F(ActivityPayloadTest, MissingDedupeKeyTakesTheKindsRawValue)
{
    const ActivityPayload backlight(kId, ActivityKind::keyboardBacklight, ActivityPriority::interrupt, std::nullopt,
                                    ActivityGlyph::none(), std::nullopt, std::nullopt, ActivityTrailing::none(), 1s,
                                    std::nullopt, kCreated);
    EXPECT_EQ(backlight.dedupeKey(), "keyboardBacklight");
    EXPECT_EQ(make("tray-add").dedupeKey(), "tray-add");
    EXPECT_EQ(make("").dedupeKey(), "") << "a given key is used unchanged, even empty";
}

TEST_F(ActivityPayloadTest, EqualityCoversEveryField)
{
    const auto base = make();
    const auto copy = base;
    EXPECT_EQ(copy, base);

    const ActivityPayload variants[] = {
        ActivityPayload(Uuid::random(), ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::display, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::queued, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound2",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.slash.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), std::nullopt, std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", "",
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.75), 1500ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1501ms, std::nullopt, kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, ActivityInteraction::openRavo(RiziDar::ravo), kCreated),
        ActivityPayload(kId, ActivityKind::sound, ActivityPriority::interrupt, "sound",
                        ActivityGlyph::symbol("speaker.wave.2.fill"), "Speakers", std::nullopt,
                        ActivityTrailing::bar(0.5), 1500ms, std::nullopt, kCreated + 1us),
    };
    for (std::size_t i = 0; i < std::size(variants); ++i)
        EXPECT_NE(variants[i], base) << "field " << i << " differs";
}

} // namespace
