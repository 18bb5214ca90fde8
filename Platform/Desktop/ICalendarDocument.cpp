#include "Platform/Desktop/ICalendarDocument.h"

#include "Platform/Core/LocalCalendar.h"
#include "VudeKit/AsciiCase.h"

#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>

namespace {

using namespace std::chrono;

constexpr std::int64_t kSecondsPerDay = 86400;

void configureLibical()
{
    static std::once_flag once;
    // A parse error must never abort the process.
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
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

std::optional<std::string> xProperty(icalcomponent* component, std::string_view name)
{
    for (icalproperty* property = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); property;
         property = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
        const char* propertyName = icalproperty_get_x_name(property);
        if (propertyName && asciiUppercased(propertyName) == name)
            if (auto value = nonEmpty(icalproperty_get_x(property)))
                return value;
    }
    return std::nullopt;
}

// A text property read through its own getter, which undoes the escapes
// ("\,") the generic string form keeps.
std::optional<std::string> knownProperty(icalcomponent* component, icalproperty_kind kind,
                                         const char* (*value)(const icalproperty*))
{
    icalproperty* property = icalcomponent_get_first_property(component, kind);
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

std::int64_t keyOf(const icaltimetype& time)
{
    switch (kindOf(time)) {
    case TimeKind::date:
        return civilKey(time, false);
    case TimeKind::floating:
        return civilKey(time, true);
    case TimeKind::absolute:
        return icaltime_as_timet_with_zone(time, time.zone);
    }
    return 0;
}

// The iterator's start point for a key, in the zone of the event's start.
icaltimetype timeOfKey(std::int64_t key, const icaltimetype& like)
{
    if (kindOf(like) == TimeKind::absolute)
        return icaltime_from_timet_with_zone(time_t(key), 0, like.zone);
    icaltimetype time = icaltime_from_timet_with_zone(time_t(key), like.is_date, nullptr);
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
std::int64_t lengthOf(icalcomponent* component, const icaltimetype& start)
{
    const icaltimetype end = icalcomponent_get_dtend(component);
    std::int64_t length = icaltime_is_null_time(end) ? 0 : keyOf(end) - keyOf(start);
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
};

// The events sharing one UID: the first without RECURRENCE-ID, and the
// replacements of single occurrences by their original start's key.
struct EventSeries {
    std::optional<std::string> uid;
    std::optional<EventComponent> master;
    std::map<std::int64_t, EventComponent> overrides;
    std::vector<std::int64_t> overrideOrder;
};

std::optional<std::int64_t> recurrenceKey(icalcomponent* component)
{
    icalproperty* property = icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY);
    if (!property)
        return std::nullopt;
    const icaltimetype time = icalproperty_get_datetime_with_component(property, component);
    if (icaltime_is_null_time(time))
        return std::nullopt;
    return keyOf(time);
}

bool repeats(icalcomponent* component)
{
    return icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY) ||
           icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY);
}

std::optional<QUrl> urlOf(icalcomponent* component)
{
    icalproperty* property = icalcomponent_get_first_property(component, ICAL_URL_PROPERTY);
    if (!property)
        return std::nullopt;
    const char* value = icalproperty_get_url(property);
    if (!value)
        return std::nullopt;
    QUrl url(QString::fromUtf8(value).trimmed(), QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

// The fields every occurrence of a component shares.
CalendarStoreEvent describe(icalcomponent* component, const std::string& calendarIdentifier)
{
    CalendarStoreEvent event;
    event.title = nonEmpty(icalcomponent_get_summary(component));
    event.location = text(icalcomponent_get_location(component));
    event.notes = text(icalcomponent_get_description(component));
    event.url = urlOf(component);
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

// --- Occurrences -----------------------------------------------------------

// The keys of a master's occurrences that may overlap the window: DTSTART,
// RRULE and RDATE, without EXDATE, each once.
std::vector<std::int64_t> occurrenceKeys(icalcomponent* component, const icaltimetype& start, std::int64_t length,
                                         std::int64_t windowStart, std::int64_t windowEnd)
{
    std::set<std::int64_t> keys;
    const auto consider = [&](icaltimetype time) {
        if (keys.size() >= ICalendarDocument::kMaxOccurrencesPerEvent)
            return;
        const std::int64_t key = keyOf(time);
        if (key >= windowEnd || key + length < windowStart)
            return;
        icaltimetype dtstart = start;
        if (icalproperty_recurrence_is_excluded(component, &dtstart, &time))
            return;
        keys.insert(key);
    };

    consider(start);

    for (icalproperty* property = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY); property;
         property = icalcomponent_get_next_property(component, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(property);
        icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
        if (!iterator)
            continue;
        // Rules without COUNT can skip to the window; with COUNT every step
        // from the start counts.
        const std::int64_t from = windowStart - length;
        if (rule.count == 0 && from > keyOf(start))
            icalrecur_iterator_set_start(iterator, timeOfKey(from, start));
        std::size_t steps = 0;
        for (icaltimetype time = icalrecur_iterator_next(iterator);
             !icaltime_is_null_time(time) && steps < ICalendarDocument::kMaxRuleSteps;
             time = icalrecur_iterator_next(iterator), ++steps) {
            if (keyOf(time) >= windowEnd || keys.size() >= ICalendarDocument::kMaxOccurrencesPerEvent)
                break;
            consider(time);
        }
        icalrecur_iterator_free(iterator);
    }

    for (icalproperty* property = icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY); property;
         property = icalcomponent_get_next_property(component, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(property);
        icaltimetype time = icaltime_is_null_time(value.time) ? value.period.start : value.time;
        if (icaltime_is_null_time(time))
            continue;
        // The value carries no zone of its own: resolve the property's TZID.
        if (icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER)) {
            const char* name = icalparameter_get_tzid(tzid);
            icalcomponent* calendar = icalcomponent_get_parent(component);
            icaltimezone* zone = calendar ? icalcomponent_get_timezone(calendar, name) : nullptr;
            if (!zone)
                zone = icaltimezone_get_builtin_timezone(name);
            if (zone)
                time = icaltime_set_timezone(&time, zone);
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
    Layout(Date windowStart, Date windowEnd, const std::string& calendarIdentifier)
        : m_windowStart(windowStart), m_windowEnd(windowEnd), m_calendarIdentifier(calendarIdentifier)
    {
        // Keys of dates and floating times lie up to a day off the moments
        // they become; widen, then check each occurrence's real times.
        m_keyStart = floor<seconds>(windowStart).time_since_epoch().count() - kSecondsPerDay;
        m_keyEnd = ceil<seconds>(windowEnd).time_since_epoch().count() + kSecondsPerDay;
    }

    std::vector<Placed> series(const EventSeries& series) const
    {
        std::vector<Placed> placed;
        const bool isRepeating = !series.overrides.empty() || (series.master && repeats(series.master->component));
        const TimeKind idKind = series.master ? kindOf(icalcomponent_get_dtstart(series.master->component))
                                              : TimeKind::absolute;
        if (series.master)
            masterOccurrences(series, isRepeating, idKind, placed);
        for (const std::int64_t key : series.overrideOrder) {
            const EventComponent& item = series.overrides.at(key);
            const icaltimetype start = icalcomponent_get_dtstart(item.component);
            if (icaltime_is_null_time(start))
                continue;
            const TimeKind kind = series.master ? idKind : kindOf(start);
            place(item, series.uid, start, keyOf(start), lengthOf(item.component, start),
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
        const icaltimetype start = icalcomponent_get_dtstart(master.component);
        if (icaltime_is_null_time(start))
            return;
        const std::int64_t length = lengthOf(master.component, start);
        for (const std::int64_t key : occurrenceKeys(master.component, start, length, m_keyStart, m_keyEnd)) {
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
        if (!overlaps(*start, *end, m_windowStart, m_windowEnd))
            return;
        CalendarStoreEvent event = describe(item.component, m_calendarIdentifier);
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
};

} // namespace

struct ICalendarDocument::Parsed {
    ComponentPointer root;
    std::vector<icalcomponent*> calendars;
    std::vector<icalcomponent*> events;
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
    configureLibical();
    // The parser reads up to the first NUL byte.
    const std::string copy(text);
    ComponentPointer root(icalparser_parse_string(copy.c_str()));
    if (!root)
        return unexpected(std::string("not a complete iCalendar object"));

    auto parsed = std::make_unique<Parsed>();
    switch (icalcomponent_isa(root.get())) {
    case ICAL_VCALENDAR_COMPONENT:
        parsed->calendars.push_back(root.get());
        break;
    case ICAL_XROOT_COMPONENT:
        for (icalcomponent* calendar = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             calendar; calendar = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            parsed->calendars.push_back(calendar);
        break;
    default:
        break;
    }
    if (parsed->calendars.empty())
        return unexpected(std::string("no VCALENDAR object"));
    for (icalcomponent* calendar : parsed->calendars)
        for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            parsed->events.push_back(event);
    parsed->root = std::move(root);
    return std::shared_ptr<const ICalendarDocument>(
        new ICalendarDocument(std::move(parsed), std::move(source), std::move(file)));
}

std::optional<std::string> ICalendarDocument::calendarName() const
{
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto name = xProperty(calendar, "X-WR-CALNAME"))
            return name;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto name = knownProperty(calendar, ICAL_NAME_PROPERTY, icalproperty_get_name))
            return name;
    return std::nullopt;
}

std::optional<std::string> ICalendarDocument::calendarColor() const
{
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto color = knownProperty(calendar, ICAL_COLOR_PROPERTY, icalproperty_get_color))
            return color;
    for (icalcomponent* calendar : m_parsed->calendars)
        if (auto color = xProperty(calendar, "X-APPLE-CALENDAR-COLOR"))
            return color;
    return std::nullopt;
}

std::size_t ICalendarDocument::eventComponentCount() const
{
    return m_parsed->events.size();
}

std::vector<CalendarStoreEvent> ICalendarDocument::occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                               Date start, Date end,
                                                               const std::string& calendarIdentifier)
{
    // Gather the series by UID in order of first appearance; events without
    // a UID stand alone.
    std::vector<EventSeries> series;
    std::map<std::string, std::size_t> byUid;
    for (const ICalendarDocument* document : documents) {
        for (std::size_t index = 0; index < document->m_parsed->events.size(); ++index) {
            const EventComponent item{document->m_parsed->events[index], document, index};
            const auto uid = nonEmpty(icalcomponent_get_uid(item.component));
            EventSeries* entry = nullptr;
            if (uid) {
                const auto [found, inserted] = byUid.try_emplace(*uid, series.size());
                if (inserted)
                    series.push_back({uid, std::nullopt, {}, {}});
                entry = &series[found->second];
            } else {
                series.push_back({std::nullopt, std::nullopt, {}, {}});
                entry = &series.back();
            }
            // A second master or a second replacement of one occurrence is a
            // duplicate: the first one stands.
            if (const auto key = recurrenceKey(item.component); key && uid) {
                if (entry->overrides.try_emplace(*key, item).second)
                    entry->overrideOrder.push_back(*key);
            } else if (!entry->master) {
                entry->master = item;
            }
        }
    }

    const Layout layout(start, end, calendarIdentifier);
    std::vector<CalendarStoreEvent> result;
    for (const EventSeries& entry : series)
        for (Placed& placed : layout.series(entry))
            result.push_back(std::move(placed.event));
    return result;
}
