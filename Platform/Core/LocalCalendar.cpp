#include "Platform/Core/LocalCalendar.h"

#include <algorithm>
#include <ctime>

namespace LocalCalendar {

namespace {

using namespace std::chrono;

constexpr std::int64_t kSecondsPerDay = 86400;
// Far beyond any calendar window, well inside what the civil-date
// arithmetic handles.
constexpr std::int64_t kMaxDayShift = 366LL * 20000;

// Seconds east of UTC of the local zone at `instant` (seconds since 1970).
// localtime_r reads the zone once and keeps it (see refreshTimeZone); the
// calls that re-read it each time cost a file system look per conversion.
std::int64_t offsetAt(std::int64_t instant)
{
    const std::time_t time = instant;
    std::tm local{};
    if (!::localtime_r(&time, &local))
        return 0;
    return local.tm_gmtoff;
}

} // namespace

void refreshTimeZone()
{
    ::tzset();
}

year_month_day day(Date date)
{
    const std::int64_t instant = floor<seconds>(date).time_since_epoch().count();
    return year_month_day(floor<days>(sys_seconds(seconds(instant + offsetAt(instant)))));
}

std::optional<Date> startOfDay(year_month_day day)
{
    return fromLocalTime(day, seconds(0));
}

Date startOfDay(Date date)
{
    return startOfDay(day(date)).value_or(date);
}

std::optional<Date> startOfDay(Date date, std::int64_t days)
{
    const year_month_day today = day(date);
    if (!today.ok() || days > kMaxDayShift || days < -kMaxDayShift)
        return std::nullopt;
    return startOfDay(year_month_day(sys_days(today) + std::chrono::days(days)));
}

bool isSameDay(Date a, Date b)
{
    return day(a) == day(b);
}

std::optional<Date> fromLocalTime(year_month_day day, seconds time)
{
    if (!day.ok())
        return std::nullopt;
    // The clock reading as if it were UTC; the real moment is that minus the
    // offset in force then. Offsets a day either side cover any one change.
    const std::int64_t wall = (sys_days(day).time_since_epoch() + time).count();
    const std::int64_t before = wall - offsetAt(wall - kSecondsPerDay);
    const std::int64_t after = wall - offsetAt(wall + kSecondsPerDay);
    const auto shows = [wall](std::int64_t instant) { return instant + offsetAt(instant) == wall; };
    std::int64_t instant = before;
    if (shows(before) && shows(after))
        instant = std::min(before, after);
    else if (shows(after))
        instant = after;
    // Neither: the clock skips this reading; `before` reads it with the old
    // offset, which lands after the change.
    return Date(seconds(instant));
}

} // namespace LocalCalendar
