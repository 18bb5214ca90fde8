#pragma once
// What the calendar widget decides, as plain values: what stands in for the
// list in each access state, how a day is headed, how an event's time reads
// against the clock and how its row is styled. The widget only paints these.
//
// Days are the user's local days (LocalCalendar: a day with a clock change
// is still one day); names of days come from the user's locale (QLocale),
// times of day are always "HH:mm".

#include "Vude/Shell/NotchDeskServices.h"
#include "VudeKit/Date.h"
#include "VudeUI/Tokens.h"

#include <QString>

#include <optional>
#include <string>

struct CalendarWidgetLayout {
    /// Where an event stands against the clock.
    enum class Phase {
        /// Its start is still ahead.
        upcoming,
        /// start ≤ now < end.
        ongoing,
        /// end ≤ now.
        ended,
    };

    /// What a button of an access state does.
    enum class Action { none, requestAccess, openSettings };

    /// An empty state standing in for the list.
    struct AccessContent {
        std::string symbol;
        QString message;
        std::optional<QString> detail;
        Action action = Action::none;
        /// The button's title; empty without an action.
        QString actionTitle{};
        bool operator==(const AccessContent&) const = default;
    };

    struct RowStyle {
        Phase phase = Phase::upcoming;
        Vude::FontWeight titleWeight = Vude::FontWeight::medium;
        Vude::Color titleColor = Vude::Stone::x100;
        Vude::Color timeColor = Vude::Stone::x400;
        /// The calendar's colour; Stone x400 for an event without one.
        Vude::Color barColor = Vude::Stone::x400;
        /// The meeting-link marker's colour.
        Vude::Color markerColor = Vude::Stone::x300;
        /// A rounded Ink x850 background behind the row.
        bool highlighted = false;
        double opacity = 1;
        bool showsMarker = false;
        bool showsLocation = false;
        bool operator==(const RowStyle&) const = default;
    };

    /// What shows instead of the day list for `access`; none when the list
    /// itself shows (access granted and some days).
    static std::optional<AccessContent> accessContent(NotchCalendarAccess access, bool hasDays);

    static Phase phase(const NotchCalendarEvent& event, Date now);

    /// "Today", "Tomorrow", "Yesterday"; the weekday's full name two to six
    /// days ahead; else the short weekday, the day and the short month
    /// ("Mon 5 Jan" in English). Counted in calendar days, not 24 hours.
    static QString dayLabel(Date day, Date now);

    /// "All day"; for an ongoing event "now", or "now · 12m left" within its
    /// last hour; for any other "09:00 · in 15m" when it starts in 1 to 60
    /// whole minutes, else "09:00–10:00". Minutes are truncated.
    static QString timeLabel(const NotchCalendarEvent& event, Date now);

    static RowStyle rowStyle(const NotchCalendarEvent& event, Date now);

    /// `date` on the local clock as "HH:mm".
    static QString clockTime(Date date);
};
