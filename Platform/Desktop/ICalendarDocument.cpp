#include "Platform/Desktop/ICalendarDocument.h"

#include "Platform/Core/LocalCalendar.h"
#include "Platform/Desktop/ICalLibrary.h"
#include "VudeKit/AsciiCase.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <set>

namespace {

using namespace std::chrono;

constexpr std::int64_t kSecondsPerDay = 86400;

struct ComponentFree {
    const ICalLibrary* ical;
    void operator()(icalcomponent* component) const { ical->component_free(component); }
};
using ComponentPointer = std::unique_ptr<icalcomponent, ComponentFree>;

std::optional<std::string> text(const char* value)
{
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> nonEmpty(const char* value)
{
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> xProperty(const ICalLibrary& ical, icalcomponent* component, std::string_view name)
{
    for (icalproperty* property = ical.component_get_first_property(component, ICAL_X_PROPERTY); property;
         property = ical.component_get_next_property(component, ICAL_X_PROPERTY)) {
        const char* propertyName = ical.property_get_x_name(property);
        if (propertyName && asciiUppercased(propertyName) == name)
            if (auto value = nonEmpty(ical.property_get_x(property)))
                return value;
    }
    return std::nullopt;
}

// A text property read through its own getter, which undoes the escapes
// ("\,") the generic string form keeps.
std::optional<std::string> knownProperty(const ICalLibrary& ical, icalcomponent* component, icalproperty_kind kind,
                                         const char* (*value)(const icalproperty*))
{
    icalproperty* property = ical.component_get_first_property(component, kind);
    if (!property)
        return std::nullopt;
    return nonEmpty(value(property));
}

// --- Times -----------------------------------------------------------------

// How a time is read: a date or a floating time on the local clock, anything
// else as the moment it names.
enum class TimeKind { date, floating, absolute };

TimeKind kindOf(const icaltimetype& time)
{
    if (time.is_date)
        return TimeKind::date;
    if (time.zone == nullptr)
        return TimeKind::floating;
    return TimeKind::absolute;
}

// Times become "keys": seconds on a line where a date is its midnight and a
// floating time its clock reading, both as if in UTC, and any other time is
// its moment. Keys of one event compare and subtract consistently, and match
// a RECURRENCE-ID to the occurrence it names.
std::int64_t civilKey(const icaltimetype& time, bool withClock)
{
    const year_month_day day{year{time.year}, month{unsigned(time.month)}, std::chrono::day{unsigned(time.day)}};
    std::int64_t key = sys_days(day).time_since_epoch().count() * kSecondsPerDay;
    if (withClock)
        key += std::int64_t(time.hour) * 3600 + std::int64_t(time.minute) * 60 + time.second;
    return key;
}

std::int64_t keyOf(const ICalLibrary& ical, const icaltimetype& time)
{
    switch (kindOf(time)) {
    case TimeKind::date:
        return civilKey(time, false);
    case TimeKind::floating:
        return civilKey(time, true);
    case TimeKind::absolute:
        return ical.time_as_timet_with_zone(time, time.zone);
    }
    return 0;
}

// The iterator's start point for a key, in the zone of the event's start.
icaltimetype timeOfKey(const ICalLibrary& ical, std::int64_t key, const icaltimetype& like)
{
    if (kindOf(like) == TimeKind::absolute)
        return ical.time_from_timet_with_zone(time_t(key), 0, like.zone);
    icaltimetype time = ical.time_from_timet_with_zone(time_t(key), like.is_date, nullptr);
    time.zone = nullptr;
    return time;
}

struct CivilTime {
    year_month_day day;
    seconds timeOfDay;
};

CivilTime civilOfKey(std::int64_t key)
{
    const sys_seconds at{seconds(key)};
    const sys_days day = floor<days>(at);
    return {year_month_day(day), at - day};
}

std::optional<Date> dateOfKey(std::int64_t key, TimeKind kind)
{
    switch (kind) {
    case TimeKind::absolute:
        return Date(seconds(key));
    case TimeKind::floating: {
        const CivilTime civil = civilOfKey(key);
        return LocalCalendar::fromLocalTime(civil.day, civil.timeOfDay);
    }
    case TimeKind::date:
        return LocalCalendar::startOfDay(civilOfKey(key).day);
    }
    return std::nullopt;
}

// The end of an occurrence: a date's end key is the exclusive midnight after
// its last day, which ends one second earlier.
std::optional<Date> endDateOfKey(std::int64_t key, TimeKind kind)
{
    auto end = dateOfKey(key, kind);
    if (end && kind == TimeKind::date)
        *end -= seconds(1);
    return end;
}

std::string twoDigits(unsigned value)
{
    return std::string{char('0' + value / 10 % 10), char('0' + value % 10)};
}

// The original start as written in the identifier of an occurrence.
std::string recurrenceText(std::int64_t key, TimeKind kind)
{
    const CivilTime civil = civilOfKey(key);
    const int year = int(civil.day.year());
    std::string result = year >= 0 && year <= 9999 ? twoDigits(unsigned(year) / 100) + twoDigits(unsigned(year) % 100)
                                                   : std::to_string(year);
    result += twoDigits(unsigned(civil.day.month())) + twoDigits(unsigned(civil.day.day()));
    if (kind == TimeKind::date)
        return result;
    const hh_mm_ss clock{civil.timeOfDay};
    result += 'T' + twoDigits(unsigned(clock.hours().count())) + twoDigits(unsigned(clock.minutes().count())) +
              twoDigits(unsigned(clock.seconds().count()));
    if (kind == TimeKind::absolute)
        result += 'Z';
    return result;
}

// The length of an event in keys: DTEND (or DTSTART plus DURATION) minus
// DTSTART. Without either, a date lasts one day and a time none. A date
// lasts whole days, at least one.
std::int64_t lengthOf(const ICalLibrary& ical, icalcomponent* component, const icaltimetype& start)
{
    const icaltimetype end = ical.component_get_dtend(component);
    std::int64_t length = ical.time_is_null_time(end) ? 0 : keyOf(ical, end) - keyOf(ical, start);
    if (start.is_date)
        return std::max<std::int64_t>(length / kSecondsPerDay, 1) * kSecondsPerDay;
    return std::max<std::int64_t>(length, 0);
}

// --- Components ------------------------------------------------------------

// A VEVENT and where it came from.
struct EventComponent {
    icalcomponent* component;
    const ICalendarDocument* document;
    std::size_t index; // among the document's VEVENTs
    const std::set<const icalproperty*>* refused; // the document's refused rules
    const ICalLibrary* ical; // what the document was read with
};

// The events sharing one UID: the first without RECURRENCE-ID, and the
// replacements of single occurrences by their original start's key.
struct EventSeries {
    std::optional<std::string> uid;
    std::optional<EventComponent> master;
    std::map<std::int64_t, EventComponent> overrides;
    std::vector<std::int64_t> overrideOrder;
};

std::optional<std::int64_t> recurrenceKey(const ICalLibrary& ical, icalcomponent* component)
{
    icalproperty* property = ical.component_get_first_property(component, ICAL_RECURRENCEID_PROPERTY);
    if (!property)
        return std::nullopt;
    const icaltimetype time = ical.property_get_datetime_with_component(property, component);
    if (ical.time_is_null_time(time))
        return std::nullopt;
    return keyOf(ical, time);
}

bool repeats(const ICalLibrary& ical, icalcomponent* component)
{
    return ical.component_get_first_property(component, ICAL_RRULE_PROPERTY) ||
           ical.component_get_first_property(component, ICAL_RDATE_PROPERTY);
}

std::optional<QUrl> urlOf(const ICalLibrary& ical, icalcomponent* component)
{
    icalproperty* property = ical.component_get_first_property(component, ICAL_URL_PROPERTY);
    if (!property)
        return std::nullopt;
    const char* value = ical.property_get_url(property);
    if (!value)
        return std::nullopt;
    QUrl url(QString::fromUtf8(value).trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

// The fields every occurrence of a component shares.
CalendarStoreEvent describe(const ICalLibrary& ical, icalcomponent* component, const std::string& calendarIdentifier)
{
    CalendarStoreEvent event;
    event.title = nonEmpty(ical.component_get_summary(component));
    event.location = text(ical.component_get_location(component));
    event.notes = text(ical.component_get_description(component));
    event.url = urlOf(ical, component);
    event.calendarIdentifier = calendarIdentifier;
    return event;
}

std::string itemIdentifier(const EventComponent& item, const std::optional<std::string>& uid,
                           const std::string& calendarIdentifier)
{
    if (uid)
        return *uid;
    return calendarIdentifier + "/" + item.document->source() + "#" + std::to_string(item.index);
}

bool overlaps(Date start, Date end, Date windowStart, Date windowEnd)
{
    return start < windowEnd && (end > windowStart || start >= windowStart);
}

// --- Rules ---------------------------------------------------------------------

std::vector<int> listed(const short* values, std::size_t size)
{
    std::vector<int> result;
    for (std::size_t i = 0; i < size && values[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        result.push_back(values[i]);
    return result;
}

bool isSubDaily(const icalrecurrencetype& rule)
{
    return rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
           rule.freq == ICAL_HOURLY_RECURRENCE;
}

int daysInMonth(int month, bool leap)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : lengths[month - 1];
}

// The day-level limits of a rule, as every frequency applies them: the
// month, the day of the month and the day of the year (negative values
// count from the end). Weekdays and week numbers are left out: every date
// falls on every weekday in some year.
struct DateLimits {
    std::vector<int> months;
    std::vector<int> monthDays;
    std::vector<int> yearDays;
    std::vector<int> weekdays; // 1 = Sunday ... 7 = Saturday; sub-daily rules only

    static DateLimits of(const ICalLibrary& ical, const icalrecurrencetype& rule)
    {
        DateLimits limits;
        for (const int month : listed(rule.by_month, ICAL_BY_MONTH_SIZE))
            limits.months.push_back(ical.recurrencetype_month_month(short(month)));
        limits.monthDays = listed(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE);
        limits.yearDays = listed(rule.by_year_day, ICAL_BY_YEARDAY_SIZE);
        for (const int day : listed(rule.by_day, ICAL_BY_DAY_SIZE))
            limits.weekdays.push_back(int(ical.recurrencetype_day_day_of_week(short(day))));
        return limits;
    }

    static bool has(const std::vector<int>& values, int value)
    {
        return values.empty() || std::find(values.begin(), values.end(), value) != values.end();
    }

    bool matches(int month, int day, int yearDay, bool leap) const
    {
        const int monthLength = daysInMonth(month, leap);
        const int yearLength = leap ? 366 : 365;
        return has(months, month) &&
               (monthDays.empty() || has(monthDays, day) || has(monthDays, day - monthLength - 1)) &&
               (yearDays.empty() || has(yearDays, yearDay) || has(yearDays, yearDay - yearLength - 1));
    }

    bool matches(const year_month_day& date) const
    {
        const bool leap = date.year().is_leap();
        const int yearDay = int((sys_days(date) - sys_days(date.year() / January / 1)).count()) + 1;
        const int weekday = int(std::chrono::weekday(sys_days(date)).c_encoding()) + 1;
        return matches(int(unsigned(date.month())), int(unsigned(date.day())), yearDay, leap) &&
               has(weekdays, weekday);
    }

    // Some date of a common or a leap year passes.
    bool canMatch() const
    {
        if (months.empty() && monthDays.empty() && yearDays.empty())
            return true;
        for (const bool leap : {false, true}) {
            int yearDay = 0;
            for (int month = 1; month <= 12; ++month)
                for (int day = 1; day <= daysInMonth(month, leap); ++day)
                    if (matches(month, day, ++yearDay, leap))
                        return true;
        }
        return false;
    }
};

// Why a repeat rule is not laid out, if it is not: libical searches for a
// rule's next day without a bound (to the year 2582), so one whose days
// never come would hold the reader for good.
std::optional<std::string> refusal(const ICalLibrary& ical, const icalrecurrencetype& rule, const icaltimetype& start)
{
    if (rule.freq == ICAL_NO_RECURRENCE)
        return std::nullopt; // libical makes no iterator of it
    if (!DateLimits::of(ical, rule).canMatch())
        return "its days never come";
    if (isSubDaily(rule)) {
        if (start.is_date)
            return "it repeats within a day but starts on a date";
        if (!listed(rule.by_week_no, ICAL_BY_WEEKNO_SIZE).empty() ||
            !listed(rule.by_set_pos, ICAL_BY_SETPOS_SIZE).empty())
            return "it repeats within a day by week numbers or set positions";
    }
    return std::nullopt;
}

// Time zone rules that change more often than yearly take libical minutes
// and gigabytes to lay out; real zones change a few times a year at most.
constexpr std::size_t kMaxZoneObservances = 1000;

bool zoneIsSane(const ICalLibrary& ical, icalcomponent* zone)
{
    std::size_t observances = 0;
    for (icalcomponent* part = ical.component_get_first_component(zone, ICAL_ANY_COMPONENT); part;
         part = ical.component_get_next_component(zone, ICAL_ANY_COMPONENT)) {
        if (++observances > kMaxZoneObservances)
            return false;
        std::size_t dates = 0;
        for (icalproperty* property = ical.component_get_first_property(part, ICAL_RDATE_PROPERTY); property;
             property = ical.component_get_next_property(part, ICAL_RDATE_PROPERTY))
            if (++dates > kMaxZoneObservances)
                return false;
        for (icalproperty* property = ical.component_get_first_property(part, ICAL_RRULE_PROPERTY); property;
             property = ical.component_get_next_property(part, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = ical.property_get_rrule(property);
            if (rule.freq != ICAL_YEARLY_RECURRENCE)
                return false;
            if (!listed(rule.by_second, ICAL_BY_SECOND_SIZE).empty() ||
                !listed(rule.by_minute, ICAL_BY_MINUTE_SIZE).empty() ||
                !listed(rule.by_hour, ICAL_BY_HOUR_SIZE).empty() ||
                !listed(rule.by_year_day, ICAL_BY_YEARDAY_SIZE).empty() ||
                !listed(rule.by_week_no, ICAL_BY_WEEKNO_SIZE).empty() ||
                listed(rule.by_month, ICAL_BY_MONTH_SIZE).size() > 1)
                return false;
        }
    }
    return true;
}

// --- Occurrences -----------------------------------------------------------

// Spends the budget one step at a time.
class Work {
public:
    explicit Work(ICalendarDocument::Budget& budget) : m_budget(budget) {}

    bool step()
    {
        if (m_budget.spent)
            return false;
        if (m_budget.steps == 0 || (m_budget.deadline && steady_clock::now() >= *m_budget.deadline) ||
            (m_budget.cancelled && m_budget.cancelled->load(std::memory_order_relaxed))) {
            m_budget.spent = true;
            return false;
        }
        --m_budget.steps;
        return true;
    }

    bool keep()
    {
        if (m_budget.spent)
            return false;
        if (m_budget.occurrences == 0) {
            m_budget.spent = true;
            return false;
        }
        --m_budget.occurrences;
        return true;
    }

private:
    ICalendarDocument::Budget& m_budget;
};

using TimeVisitor = std::function<bool(const icaltimetype&)>;

// Whether `time` lies past a rule's UNTIL.
bool isAfter(const ICalLibrary& ical, const icaltimetype& time, const icaltimetype& until)
{
    if (until.is_date)
        return civilKey(time, false) > civilKey(until, false);
    if (kindOf(time) == TimeKind::absolute && kindOf(until) == TimeKind::absolute)
        return keyOf(ical, time) > keyOf(ical, until);
    return civilKey(time, true) > civilKey(until, true);
}

icaltimetype timeOfCivil(std::int64_t civil, const icaltimetype& like)
{
    const CivilTime parts = civilOfKey(civil);
    const hh_mm_ss clock{parts.timeOfDay};
    icaltimetype time = like;
    time.year = int(parts.day.year());
    time.month = int(unsigned(parts.day.month()));
    time.day = int(unsigned(parts.day.day()));
    time.hour = int(clock.hours().count());
    time.minute = int(clock.minutes().count());
    time.second = int(clock.seconds().count());
    time.is_date = 0;
    return time;
}

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

std::vector<int> sortedWithin(std::vector<int> values, int limit)
{
    std::erase_if(values, [limit](int value) { return value < 0 || value >= limit; });
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

// A rule repeating every few seconds, minutes or hours, laid out here rather
// than by libical, whose search for the next match steps through every
// second between two matches in one call. The steps are taken on the clock
// of the start's zone; a limit that fails skips to the next day, hour or
// minute that can pass, and every period looked at is one step.
void subDailyTimes(const ICalLibrary& ical, const icalrecurrencetype& rule, const icaltimetype& start,
                   std::int64_t from, std::int64_t windowEnd, Work& work, const TimeVisitor& visit)
{
    const std::int64_t unit = rule.freq == ICAL_SECONDLY_RECURRENCE  ? 1
                              : rule.freq == ICAL_MINUTELY_RECURRENCE ? 60
                                                                      : 3600;
    const std::int64_t step = unit * std::max<std::int64_t>(rule.interval, 1);
    const std::int64_t base = civilKey(start, true);
    // The clock of a zone lies within a day of the moment it shows.
    const std::int64_t civilFrom = from - kSecondsPerDay;
    const std::int64_t civilEnd = windowEnd + kSecondsPerDay;
    const DateLimits dates = DateLimits::of(ical, rule);
    const std::vector<int> hours = sortedWithin(listed(rule.by_hour, ICAL_BY_HOUR_SIZE), 24);
    const std::vector<int> minutes = sortedWithin(listed(rule.by_minute, ICAL_BY_MINUTE_SIZE), 60);
    const std::vector<int> seconds = sortedWithin(listed(rule.by_second, ICAL_BY_SECOND_SIZE), 60);
    const hh_mm_ss startClock{civilOfKey(base).timeOfDay};
    const std::vector<int> ownMinute{int(startClock.minutes().count())};
    const std::vector<int> ownSecond{int(startClock.seconds().count())};
    const bool hasUntil = !ical.time_is_null_time(rule.until);

    // The first period at or after `civil`.
    const auto periodAt = [&](std::int64_t civil) { return -floorDivide(base - civil, step); };
    std::int64_t period = 0;
    if (rule.count == 0 && civilFrom > base)
        period = floorDivide(civilFrom - base, step);
    int counted = 0;
    for (std::size_t steps = 0; steps < ICalendarDocument::kMaxRuleSteps && work.step(); ++steps) {
        const std::int64_t at = base + period * step;
        if (at > civilEnd)
            return;
        const CivilTime civil = civilOfKey(at);
        const std::int64_t dayStart = at - civil.timeOfDay.count();
        const hh_mm_ss clock{civil.timeOfDay};
        const int hour = int(clock.hours().count());
        const int minute = int(clock.minutes().count());
        const int second = int(clock.seconds().count());
        if (!dates.matches(civil.day)) {
            period = std::max(period + 1, periodAt(dayStart + kSecondsPerDay));
            continue;
        }
        if (!DateLimits::has(hours, hour)) {
            period = std::max(period + 1, periodAt(dayStart + (hour + 1) * 3600));
            continue;
        }
        if (rule.freq != ICAL_HOURLY_RECURRENCE && !DateLimits::has(minutes, minute)) {
            period = std::max(period + 1, periodAt(dayStart + hour * 3600 + (minute + 1) * 60));
            continue;
        }
        // The times of this period: BYSECOND (and for hours BYMINUTE) expand
        // what coarser steps leave open.
        std::vector<std::int64_t> candidates;
        if (rule.freq == ICAL_SECONDLY_RECURRENCE) {
            if (DateLimits::has(seconds, second))
                candidates.push_back(at);
        } else if (rule.freq == ICAL_MINUTELY_RECURRENCE) {
            for (const int s : seconds.empty() ? ownSecond : seconds)
                candidates.push_back(at - second + s);
        } else {
            for (const int m : minutes.empty() ? ownMinute : minutes)
                for (const int s : seconds.empty() ? ownSecond : seconds)
                    candidates.push_back(at - minute * 60 - second + m * 60 + s);
        }
        for (const std::int64_t candidate : candidates) {
            if (candidate < base)
                continue;
            const icaltimetype time = timeOfCivil(candidate, start);
            if (hasUntil && isAfter(ical, time, rule.until))
                return;
            if (rule.count != 0 && ++counted > rule.count)
                return;
            if (keyOf(ical, time) >= windowEnd || !visit(time))
                return;
        }
        ++period;
    }
}

// The times of one rule from about `from` until `windowEnd`.
void ruleTimes(const ICalLibrary& ical, const icalrecurrencetype& rule, const icaltimetype& start, std::int64_t from,
               std::int64_t windowEnd, Work& work, const TimeVisitor& visit)
{
    if (isSubDaily(rule)) {
        subDailyTimes(ical, rule, start, from, windowEnd, work, visit);
        return;
    }
    icalrecur_iterator* iterator = ical.recur_iterator_new(rule, start);
    if (!iterator)
        return;
    // Rules without COUNT can skip to the window; with COUNT every step from
    // the start counts.
    if (rule.count == 0 && from > keyOf(ical, start))
        ical.recur_iterator_set_start(iterator, timeOfKey(ical, from, start));
    for (std::size_t steps = 0; steps < ICalendarDocument::kMaxRuleSteps && work.step(); ++steps) {
        const icaltimetype time = ical.recur_iterator_next(iterator);
        if (ical.time_is_null_time(time) || keyOf(ical, time) >= windowEnd || !visit(time))
            break;
    }
    ical.recur_iterator_free(iterator);
}

// The exclusions of a master, read once: exact moments (in keys) and whole
// days (an EXDATE of a date excludes every occurrence on that day).
struct Exclusions {
    std::set<std::int64_t> moments;
    std::set<std::int64_t> days;

    bool contains(std::int64_t key) const
    {
        return moments.contains(key) || days.contains(floorDivide(key, kSecondsPerDay));
    }
};

Exclusions exclusionsOf(const ICalLibrary& ical, icalcomponent* component, const icaltimetype& start,
                        std::int64_t length, std::int64_t windowStart, std::int64_t windowEnd,
                        const std::set<const icalproperty*>& refused, Work& work)
{
    Exclusions exclusions;
    for (icalproperty* property = ical.component_get_first_property(component, ICAL_EXDATE_PROPERTY);
         property && work.step(); property = ical.component_get_next_property(component, ICAL_EXDATE_PROPERTY)) {
        icaltimetype time = ical.property_get_datetime_with_component(property, component);
        if (ical.time_is_null_time(time))
            continue;
        if (time.is_date) {
            exclusions.days.insert(floorDivide(civilKey(time, false), kSecondsPerDay));
            continue;
        }
        // A floating exclusion of a zoned event is read on the event's clock.
        if (kindOf(time) == TimeKind::floating && kindOf(start) == TimeKind::absolute)
            time.zone = start.zone;
        exclusions.moments.insert(keyOf(ical, time));
    }
    for (icalproperty* property = ical.component_get_first_property(component, ICAL_EXRULE_PROPERTY); property;
         property = ical.component_get_next_property(component, ICAL_EXRULE_PROPERTY)) {
        if (refused.contains(property))
            continue;
        ruleTimes(ical, ical.property_get_exrule(property), start, windowStart - length, windowEnd, work,
                  [&](const icaltimetype& time) {
                      exclusions.moments.insert(keyOf(ical, time));
                      return true;
                  });
    }
    return exclusions;
}

// The keys of a master's occurrences that may overlap the window: DTSTART,
// RRULE and RDATE, without EXDATE and EXRULE, each once.
std::vector<std::int64_t> occurrenceKeys(const ICalLibrary& ical, icalcomponent* component, const icaltimetype& start,
                                         std::int64_t length, std::int64_t windowStart, std::int64_t windowEnd,
                                         const std::set<const icalproperty*>& refused, Work& work)
{
    const Exclusions exclusions = exclusionsOf(ical, component, start, length, windowStart, windowEnd, refused, work);
    std::set<std::int64_t> keys;
    const auto consider = [&](const icaltimetype& time) {
        if (keys.size() >= ICalendarDocument::kMaxOccurrencesPerEvent)
            return false;
        const std::int64_t key = keyOf(ical, time);
        if (key >= windowEnd || key + length < windowStart || exclusions.contains(key))
            return true;
        keys.insert(key);
        return true;
    };

    consider(start);

    for (icalproperty* property = ical.component_get_first_property(component, ICAL_RRULE_PROPERTY); property;
         property = ical.component_get_next_property(component, ICAL_RRULE_PROPERTY)) {
        if (!refused.contains(property))
            ruleTimes(ical, ical.property_get_rrule(property), start, windowStart - length, windowEnd, work, consider);
    }

    for (icalproperty* property = ical.component_get_first_property(component, ICAL_RDATE_PROPERTY);
         property && work.step(); property = ical.component_get_next_property(component, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = ical.property_get_rdate(property);
        icaltimetype time = ical.time_is_null_time(value.time) ? value.period.start : value.time;
        if (ical.time_is_null_time(time))
            continue;
        // The value carries no zone of its own: resolve the property's TZID.
        if (icalparameter* tzid = ical.property_get_first_parameter(property, ICAL_TZID_PARAMETER)) {
            const char* name = ical.parameter_get_tzid(tzid);
            icalcomponent* calendar = ical.component_get_parent(component);
            icaltimezone* zone = calendar ? ical.component_get_timezone(calendar, name) : nullptr;
            if (!zone)
                zone = ical.timezone_get_builtin_timezone(name);
            if (zone)
                time = ical.time_set_timezone(&time, zone);
        }
        consider(time);
    }
    return {keys.begin(), keys.end()};
}

struct Placed {
    Date start;
    CalendarStoreEvent event;
};

class Layout {
public:
    Layout(Date windowStart, Date windowEnd, const std::string& calendarIdentifier, Work& work)
        : m_windowStart(windowStart), m_windowEnd(windowEnd), m_calendarIdentifier(calendarIdentifier), m_work(work)
    {
        // Keys of dates and floating times lie up to a day off the moments
        // they become; widen, then check each occurrence's real times.
        m_keyStart = floor<seconds>(windowStart).time_since_epoch().count() - kSecondsPerDay;
        m_keyEnd = ceil<seconds>(windowEnd).time_since_epoch().count() + kSecondsPerDay;
    }

    std::vector<Placed> series(const EventSeries& series) const
    {
        std::vector<Placed> placed;
        const EventComponent* master = series.master ? &*series.master : nullptr;
        const bool isRepeating = !series.overrides.empty() || (master && repeats(*master->ical, master->component));
        const TimeKind idKind = master ? kindOf(master->ical->component_get_dtstart(master->component))
                                       : TimeKind::absolute;
        if (series.master)
            masterOccurrences(series, isRepeating, idKind, placed);
        for (const std::int64_t key : series.overrideOrder) {
            const EventComponent& item = series.overrides.at(key);
            const ICalLibrary& ical = *item.ical;
            const icaltimetype start = ical.component_get_dtstart(item.component);
            if (ical.time_is_null_time(start))
                continue;
            const TimeKind kind = series.master ? idKind : kindOf(start);
            place(item, series.uid, start, keyOf(ical, start), lengthOf(ical, item.component, start),
                  series.uid ? std::optional(*series.uid + "/" + recurrenceText(key, kind)) : std::nullopt, placed);
        }
        std::stable_sort(placed.begin(), placed.end(),
                         [](const Placed& a, const Placed& b) { return a.start < b.start; });
        return placed;
    }

private:
    void masterOccurrences(const EventSeries& series, bool isRepeating, TimeKind idKind,
                           std::vector<Placed>& placed) const
    {
        const EventComponent& master = *series.master;
        const ICalLibrary& ical = *master.ical;
        const icaltimetype start = ical.component_get_dtstart(master.component);
        if (ical.time_is_null_time(start))
            return;
        const std::int64_t length = lengthOf(ical, master.component, start);
        for (const std::int64_t key :
             occurrenceKeys(ical, master.component, start, length, m_keyStart, m_keyEnd, *master.refused, m_work)) {
            if (series.overrides.contains(key))
                continue;
            std::optional<std::string> identifier;
            if (series.uid)
                identifier = isRepeating ? *series.uid + "/" + recurrenceText(key, idKind) : *series.uid;
            place(master, series.uid, start, key, length, identifier, placed);
        }
    }

    void place(const EventComponent& item, const std::optional<std::string>& uid, const icaltimetype& like,
               std::int64_t key, std::int64_t length, std::optional<std::string> identifier,
               std::vector<Placed>& placed) const
    {
        const TimeKind kind = kindOf(like);
        const auto start = dateOfKey(key, kind);
        auto end = endDateOfKey(key + length, kind);
        if (!start || !end)
            return;
        if (*end < *start)
            end = start;
        if (!overlaps(*start, *end, m_windowStart, m_windowEnd) || !m_work.keep())
            return;
        CalendarStoreEvent event = describe(*item.ical, item.component, m_calendarIdentifier);
        event.icsFile = item.document->file();
        event.eventIdentifier = std::move(identifier);
        event.calendarItemIdentifier = itemIdentifier(item, uid, m_calendarIdentifier);
        event.start = start;
        event.end = end;
        event.isAllDay = kind == TimeKind::date;
        placed.push_back({*start, std::move(event)});
    }

    Date m_windowStart;
    Date m_windowEnd;
    std::int64_t m_keyStart;
    std::int64_t m_keyEnd;
    const std::string& m_calendarIdentifier;
    Work& m_work;
};

} // namespace

struct ICalendarDocument::Parsed {
    const ICalLibrary* ical;
    ComponentPointer root;
    std::vector<icalcomponent*> calendars;
    std::vector<icalcomponent*> events;
    std::vector<std::optional<std::string>> uids;
    std::set<const icalproperty*> refused;
    std::vector<std::string> notes;
};

ICalendarDocument::ICalendarDocument(std::unique_ptr<Parsed> parsed, std::string source,
                                     std::optional<std::filesystem::path> file)
    : m_parsed(std::move(parsed)), m_source(std::move(source)), m_file(std::move(file))
{
}

ICalendarDocument::~ICalendarDocument() = default;

Expected<std::shared_ptr<const ICalendarDocument>, std::string> ICalendarDocument::parse(
    std::string_view text, std::string source, std::optional<std::filesystem::path> file)
{
    return parse(ICalLibrary::shared(), text, std::move(source), std::move(file));
}

Expected<std::shared_ptr<const ICalendarDocument>, std::string> ICalendarDocument::parse(
    const ICalLibrary& ical, std::string_view text, std::string source, std::optional<std::filesystem::path> file)
{
    if (!ical.isLoaded())
        return unexpected(ical.problem);
    // The parser reads up to the first NUL byte.
    const std::string copy(text);
    ComponentPointer root(ical.parser_parse_string(copy.c_str()), ComponentFree{&ical});
    if (!root)
        return unexpected(std::string("not a complete iCalendar object"));

    auto parsed = std::make_unique<Parsed>();
    parsed->ical = &ical;
    switch (ical.component_isa(root.get())) {
    case ICAL_VCALENDAR_COMPONENT:
        parsed->calendars.push_back(root.get());
        break;
    case ICAL_XROOT_COMPONENT:
        for (icalcomponent* calendar = ical.component_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             calendar; calendar = ical.component_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            parsed->calendars.push_back(calendar);
        break;
    default:
        break;
    }
    if (parsed->calendars.empty())
        return unexpected(std::string("no VCALENDAR object"));
    // Before anything reads a time through them.
    for (icalcomponent* calendar : parsed->calendars) {
        std::vector<icalcomponent*> dropped;
        for (icalcomponent* zone = ical.component_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); zone;
             zone = ical.component_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT))
            if (!zoneIsSane(ical, zone))
                dropped.push_back(zone);
        for (icalcomponent* zone : dropped) {
            icalproperty* property = ical.component_get_first_property(zone, ICAL_TZID_PROPERTY);
            const char* tzid = property ? ical.property_get_tzid(property) : nullptr;
            parsed->notes.push_back("time zone " + std::string(tzid ? tzid : "without TZID") +
                                    " ignored: it changes more often than yearly");
            ical.component_remove_component(calendar, zone);
            ical.component_free(zone);
        }
    }
    for (icalcomponent* calendar : parsed->calendars)
        for (icalcomponent* event = ical.component_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = ical.component_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            parsed->events.push_back(event);
            parsed->uids.push_back(nonEmpty(ical.component_get_uid(event)));
            const icaltimetype start = ical.component_get_dtstart(event);
            for (const icalproperty_kind kind : {ICAL_RRULE_PROPERTY, ICAL_EXRULE_PROPERTY})
                for (icalproperty* property = ical.component_get_first_property(event, kind); property;
                     property = ical.component_get_next_property(event, kind)) {
                    const icalrecurrencetype rule = kind == ICAL_RRULE_PROPERTY ? ical.property_get_rrule(property)
                                                                                : ical.property_get_exrule(property);
                    if (const auto why = refusal(ical, rule, start)) {
                        parsed->refused.insert(property);
                        const char* text = ical.recurrencetype_as_string(const_cast<icalrecurrencetype*>(&rule));
                        parsed->notes.push_back("repeat rule ignored: " + std::string(text ? text : "?") + ": " +
                                                *why);
                    }
                }
        }
    parsed->root = std::move(root);
    return std::shared_ptr<const ICalendarDocument>(
        new ICalendarDocument(std::move(parsed), std::move(source), std::move(file)));
}

std::optional<std::string> ICalendarDocument::calendarName() const
{
    const ICalLibrary& ical = *m_parsed->ical;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto name = xProperty(ical, calendar, "X-WR-CALNAME"))
            return name;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto name = knownProperty(ical, calendar, ICAL_NAME_PROPERTY, ical.property_get_name))
            return name;
    return std::nullopt;
}

std::optional<std::string> ICalendarDocument::calendarColor() const
{
    const ICalLibrary& ical = *m_parsed->ical;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto color = knownProperty(ical, calendar, ICAL_COLOR_PROPERTY, ical.property_get_color))
            return color;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto color = xProperty(ical, calendar, "X-APPLE-CALENDAR-COLOR"))
            return color;
    return std::nullopt;
}

std::size_t ICalendarDocument::eventComponentCount() const
{
    return m_parsed->events.size();
}

const std::vector<std::optional<std::string>>& ICalendarDocument::eventUids() const
{
    return m_parsed->uids;
}

const std::vector<std::string>& ICalendarDocument::notes() const
{
    return m_parsed->notes;
}

ICalendarDocument::Budget ICalendarDocument::Budget::forWindow(Date start, Date end)
{
    const auto days = ceil<std::chrono::days>(std::max(end - start, Duration::zero())).count() + 1;
    return {.steps = kMaxCalendarSteps, .occurrences = std::size_t(days) * kMaxOccurrencesPerDay};
}

std::vector<CalendarStoreEvent> ICalendarDocument::occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                               Date start, Date end,
                                                               const std::string& calendarIdentifier)
{
    Budget budget = Budget::forWindow(start, end);
    return occurrences(documents, start, end, calendarIdentifier, budget);
}

std::vector<CalendarStoreEvent> ICalendarDocument::occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                               Date start, Date end,
                                                               const std::string& calendarIdentifier,
                                                               Budget& budget)
{
    // The series by UID in order of first appearance; events without a UID
    // stand alone.
    std::vector<std::vector<EventRef>> series;
    std::map<std::string, std::size_t> byUid;
    for (const ICalendarDocument* document : documents) {
        const auto& uids = document->m_parsed->uids;
        for (std::size_t index = 0; index < uids.size(); ++index) {
            if (!uids[index]) {
                series.push_back({{document, index}});
                continue;
            }
            const auto [found, inserted] = byUid.try_emplace(*uids[index], series.size());
            if (inserted)
                series.emplace_back();
            series[found->second].push_back({document, index});
        }
    }
    std::vector<CalendarStoreEvent> result;
    for (const auto& events : series) {
        auto placed = seriesOccurrences(events, start, end, calendarIdentifier, budget);
        std::move(placed.begin(), placed.end(), std::back_inserter(result));
        if (budget.spent)
            break;
    }
    return result;
}

std::vector<CalendarStoreEvent> ICalendarDocument::seriesOccurrences(const std::vector<EventRef>& events, Date start,
                                                                     Date end, const std::string& calendarIdentifier,
                                                                     Budget& budget)
{
    EventSeries series;
    for (const EventRef& ref : events) {
        const Parsed& parsed = *ref.document->m_parsed;
        const EventComponent item{parsed.events[ref.index], ref.document, ref.index, &parsed.refused, parsed.ical};
        const auto& uid = parsed.uids[ref.index];
        if (!series.uid)
            series.uid = uid;
        // A second master or a second replacement of one occurrence is a
        // duplicate: the first one stands.
        if (const auto key = recurrenceKey(*item.ical, item.component); key && uid) {
            if (series.overrides.try_emplace(*key, item).second)
                series.overrideOrder.push_back(*key);
        } else if (!series.master) {
            series.master = item;
        }
    }
    Work work(budget);
    const Layout layout(start, end, calendarIdentifier, work);
    std::vector<CalendarStoreEvent> result;
    for (Placed& placed : layout.series(series))
        result.push_back(std::move(placed.event));
    return result;
}
