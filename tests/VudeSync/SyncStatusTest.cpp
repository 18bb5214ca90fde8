#include "VudeSync/SyncStatus.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

// 2021-01-15 12:00:00 UTC.
const Date kNow = Date(sys_days(year{2021} / 1 / 15)) + hours(12);

} // namespace

TEST(SyncStatusTest, SummariesAreTheShownTexts)
{
    EXPECT_EQ(SyncStatus::idle().summary(kNow), "Synced");
    EXPECT_EQ(SyncStatus::idle(kNow - minutes(5)).summary(kNow), "Synced 5 min. ago");
    EXPECT_EQ(SyncStatus::syncing().summary(kNow), "Syncing\xE2\x80\xA6") << "one ellipsis character, U+2026";
    // The raw value stays the product's message (what is stored and
    // compared); the summary says it about the sync folder.
    const struct {
        SyncUnavailability reason;
        const char* raw;
        const char* shown;
    } reasons[] = {
        {SyncUnavailability::signedOut, "Not signed in to iCloud", "No sync folder"},
        {SyncUnavailability::restricted, "iCloud is restricted on this Mac", "The sync folder is read-only"},
        {SyncUnavailability::disabled, "Turned off in Vude's settings", "Turned off in Vude's settings"},
        {SyncUnavailability::quotaExceeded, "Your iCloud storage is full", "The sync folder is full"},
        {SyncUnavailability::containerUnavailable, "Couldn't reach iCloud", "Couldn't reach the sync folder"},
    };
    for (const auto& c : reasons) {
        EXPECT_EQ(SyncStatus::unavailable(c.reason).summary(kNow), c.shown);
        EXPECT_EQ(rawValue(c.reason), c.raw);
        EXPECT_EQ(enumFromRaw<SyncUnavailability>(c.raw), c.reason) << "a reason is made from its message";
    }
    EXPECT_EQ(enumFromRaw<SyncUnavailability>("couldn't reach iCloud"), std::nullopt);
    EXPECT_EQ(enumFromRaw<SyncUnavailability>("Couldn't reach iCloud "), std::nullopt);
    EXPECT_EQ(enumFromRaw<SyncUnavailability>("containerUnavailable"), std::nullopt);
}

TEST(SyncStatusTest, TheSummaryReadsTheInjectedClock)
{
    ManualClock clock(kNow);
    const auto status = SyncStatus::idle(kNow);
    clock.advance(hours(3));
    EXPECT_EQ(status.summary(clock), "Synced 3 hr. ago");
}

TEST(SyncStatusTest, RelativeTimesUseTheLargestWholeUnitInShortEnglish)
{
    const struct {
        Date date;
        const char* text;
    } cases[] = {
        {kNow, "0 sec. ago"},
        {kNow - milliseconds(999), "0 sec. ago"},
        {kNow - seconds(59), "59 sec. ago"},
        {kNow - seconds(60), "1 min. ago"},
        {kNow - minutes(59) - seconds(59), "59 min. ago"},
        {kNow - hours(1), "1 hr. ago"},
        {kNow - hours(23) - minutes(59), "23 hr. ago"},
        {kNow - hours(24), "1 day ago"},
        {kNow - days(6), "6 days ago"},
        {kNow - days(7), "1 wk. ago"},
        {kNow - days(14) - hours(1), "2 wk. ago"},
        // 2020-12-15 12:00 is one calendar month back; a second later is not.
        {kNow - days(31), "1 mo. ago"},
        {kNow - days(31) + seconds(1), "4 wk. ago"},
        {kNow - days(366), "1 yr. ago"},
        {kNow - days(365 * 3 + 2), "3 yr. ago"},
        {kNow + minutes(5), "in 5 min."},
        {kNow + days(2), "in 2 days"},
        {kNow + days(1), "in 1 day"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SyncStatus::relativeTime(c.date, kNow), c.text);
}

TEST(SyncStatusTest, DatesAtTheEndsOfTheRangeDoNotOverflow)
{
    const Date distant = Date(Duration(std::numeric_limits<std::int64_t>::min()));
    const Date far = Date(Duration(std::numeric_limits<std::int64_t>::max()));
    EXPECT_NE(SyncStatus::relativeTime(distant, far).find("yr. ago"), std::string::npos);
    EXPECT_EQ(SyncStatus::relativeTime(far, distant).substr(0, 3), "in ");
}

TEST(SyncStatusTest, StatusesCompareByCaseAndPayloadAndOnlyUnavailableIsInactive)
{
    EXPECT_EQ(SyncStatus::idle(kNow), SyncStatus::idle(kNow));
    EXPECT_NE(SyncStatus::idle(kNow), SyncStatus::idle());
    EXPECT_NE(SyncStatus::idle(kNow), SyncStatus::idle(kNow + Duration(1)));
    EXPECT_NE(SyncStatus::unavailable(SyncUnavailability::signedOut),
              SyncStatus::unavailable(SyncUnavailability::restricted));
    EXPECT_TRUE(SyncStatus::idle().isActive());
    EXPECT_TRUE(SyncStatus::syncing().isActive());
    EXPECT_FALSE(SyncStatus::unavailable(SyncUnavailability::disabled).isActive());
}
