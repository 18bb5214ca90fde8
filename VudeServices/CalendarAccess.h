#pragma once
// Whether the app may read the user's calendars, as the calendar service
// holds it. The diagnostics report prints the case's name.

#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/EnumTraits.h"

enum class CalendarAccess {
    granted,
    notDetermined,
    writeOnly,
    denied,
    restricted,
};

template <>
struct EnumTraits<CalendarAccess> {
    static constexpr std::array cases{
        EnumCase{CalendarAccess::granted, "granted"},
        EnumCase{CalendarAccess::notDetermined, "notDetermined"},
        EnumCase{CalendarAccess::writeOnly, "writeOnly"},
        EnumCase{CalendarAccess::denied, "denied"},
        EnumCase{CalendarAccess::restricted, "restricted"},
    };
};

/// The store's decision as the service sees it; a value the store should
/// never give reads as not yet decided.
constexpr CalendarAccess calendarAccess(CalendarAuthorizationStatus status)
{
    switch (status) {
    case CalendarAuthorizationStatus::notDetermined:
        return CalendarAccess::notDetermined;
    case CalendarAuthorizationStatus::restricted:
        return CalendarAccess::restricted;
    case CalendarAuthorizationStatus::denied:
        return CalendarAccess::denied;
    case CalendarAuthorizationStatus::fullAccess:
        return CalendarAccess::granted;
    case CalendarAuthorizationStatus::writeOnly:
        return CalendarAccess::writeOnly;
    }
    return CalendarAccess::notDetermined;
}
