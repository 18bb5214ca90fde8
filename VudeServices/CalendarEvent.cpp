#include "VudeServices/CalendarEvent.h"

#include "Platform/Core/LocalCalendar.h"

bool CalendarEvent::isMultiDay() const
{
    return !LocalCalendar::isSameDay(start, end);
}
