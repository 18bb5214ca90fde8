#include "VudeSync/SyncStatus.h"

#include "VudeKit/Numbers.h"

#include <chrono>
#include <limits>

namespace {

using std::chrono::floor;

constexpr std::int64_t kAverageMonthSeconds = 31'556'952 / 12; // of a 365.2425-day year

/// Whole calendar months (UTC) from `earlier` to `later`: a month counts once
/// the same day and time of the later month is reached. None for dates beyond
/// the calendar's years (damaged ones).
std::optional<std::int64_t> wholeMonths(Date earlier, Date later)
{
    constexpr Date firstCalendarDate{std::chrono::sys_days{std::chrono::year{-30000} / 1 / 1}};
    constexpr Date lastCalendarDate{std::chrono::sys_days{std::chrono::year{30000} / 1 / 1}};
    if (earlier < firstCalendarDate || later > lastCalendarDate)
        return std::nullopt;
    const auto earlierDay = floor<std::chrono::days>(earlier);
    const auto laterDay = floor<std::chrono::days>(later);
    const std::chrono::year_month_day from{earlierDay};
    const std::chrono::year_month_day to{laterDay};
    std::int64_t months = (std::int64_t(int(to.year())) - int(from.year())) * 12
        + (std::int64_t(unsigned(to.month())) - unsigned(from.month()));
    const auto fromRest = std::make_pair(unsigned(from.day()), earlier - earlierDay);
    const auto toRest = std::make_pair(unsigned(to.day()), later - laterDay);
    if (months > 0 && toRest < fromRest)
        --months;
    return months;
}

std::string counted(std::int64_t count, const char* singular, const char* plural)
{
    return formatInteger(count) + " " + (count == 1 ? singular : plural);
}

} // namespace

SyncStatus SyncStatus::idle(std::optional<Date> lastSync)
{
    return SyncStatus(Kind::idle, lastSync, std::nullopt);
}

SyncStatus SyncStatus::unavailable(SyncUnavailability reason)
{
    return SyncStatus(Kind::unavailable, std::nullopt, reason);
}

SyncStatus SyncStatus::syncing()
{
    return SyncStatus(Kind::syncing, std::nullopt, std::nullopt);
}

std::string SyncStatus::summary(const ClockSource& clock) const
{
    return summary(clock.now());
}

std::string SyncStatus::summary(Date now) const
{
    switch (m_kind) {
    case Kind::idle:
        return m_lastSync ? "Synced " + relativeTime(*m_lastSync, now) : "Synced";
    case Kind::unavailable:
        return std::string(displayName(*m_reason));
    case Kind::syncing:
        return "Syncing\u2026";
    }
    return {};
}

std::string SyncStatus::relativeTime(Date date, Date now)
{
    const bool future = date > now;
    const Date earlier = future ? now : date;
    const Date later = future ? date : now;
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(later.time_since_epoch().count(), earlier.time_since_epoch().count(), &elapsed))
        elapsed = std::numeric_limits<std::int64_t>::max();
    const std::int64_t seconds = elapsed / 1'000'000;

    std::string amount;
    if (seconds < 60) {
        amount = counted(seconds, "sec.", "sec.");
    } else if (seconds < 60 * 60) {
        amount = counted(seconds / 60, "min.", "min.");
    } else if (seconds < 24 * 60 * 60) {
        amount = counted(seconds / 3600, "hr.", "hr.");
    } else if (const auto months = wholeMonths(earlier, later).value_or(seconds / kAverageMonthSeconds);
               months >= 12) {
        amount = counted(months / 12, "yr.", "yr.");
    } else if (months >= 1) {
        amount = counted(months, "mo.", "mo.");
    } else if (const auto days = seconds / 86400; days >= 7) {
        amount = counted(days / 7, "wk.", "wk.");
    } else {
        amount = counted(days, "day", "days");
    }
    return future ? "in " + amount : amount + " ago";
}
