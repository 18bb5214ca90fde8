#include "Platform/Core/LocalCalendar.h"

#include <QDate>
#include <QDateTime>

#include <limits>

namespace LocalCalendar {

namespace {

using namespace std::chrono;

constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;

std::int64_t floorMilliseconds(Date date)
{
    return floor<milliseconds>(date).time_since_epoch().count();
}

std::optional<Date> fromMilliseconds(std::int64_t ms)
{
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / kMicrosecondsPerMillisecond;
    if (ms > limit || ms < -limit)
        return std::nullopt;
    return Date(Duration(ms * kMicrosecondsPerMillisecond));
}

QDate toQDate(year_month_day day)
{
    if (!day.ok())
        return {};
    return QDate(int(day.year()), int(unsigned(day.month())), int(unsigned(day.day())));
}

year_month_day fromQDate(QDate date)
{
    return year_month_day{year{date.year()}, month{unsigned(date.month())}, std::chrono::day{unsigned(date.day())}};
}

std::optional<Date> startOf(QDate date)
{
    if (!date.isValid())
        return std::nullopt;
    const QDateTime start = date.startOfDay(Qt::LocalTime);
    if (!start.isValid())
        return std::nullopt;
    return fromMilliseconds(start.toMSecsSinceEpoch());
}

// Seconds east of UTC of the local zone at `instant` (seconds since 1970).
std::int64_t offsetAt(std::int64_t instant)
{
    return QDateTime::fromSecsSinceEpoch(instant, Qt::LocalTime).offsetFromUtc();
}

} // namespace

year_month_day day(Date date)
{
    return fromQDate(QDateTime::fromMSecsSinceEpoch(floorMilliseconds(date), Qt::LocalTime).date());
}

std::optional<Date> startOfDay(year_month_day day)
{
    return startOf(toQDate(day));
}

Date startOfDay(Date date)
{
    return startOfDay(day(date)).value_or(date);
}

std::optional<Date> startOfDay(Date date, std::int64_t days)
{
    return startOf(toQDate(day(date)).addDays(days));
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
    constexpr std::int64_t secondsPerDay = 86400;
    const std::int64_t before = wall - offsetAt(wall - secondsPerDay);
    const std::int64_t after = wall - offsetAt(wall + secondsPerDay);
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
