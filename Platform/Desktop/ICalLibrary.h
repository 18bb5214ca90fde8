#pragma once
// The libical functions the calendar reader calls, looked up in the library
// on the first read rather than linked: the app's start then pays nothing for
// a library it needs only once the calendars are read.

#include <libical/ical.h>

#include <string>

// Every function the reader calls, named without libical's "ical" prefix.
#define VUDE_ICAL_FUNCTIONS(X)                                                                                         \
    X(component_free)                                                                                                  \
    X(component_get_description)                                                                                       \
    X(component_get_dtend)                                                                                             \
    X(component_get_dtstart)                                                                                           \
    X(component_get_first_component)                                                                                   \
    X(component_get_first_property)                                                                                    \
    X(component_get_location)                                                                                          \
    X(component_get_next_component)                                                                                    \
    X(component_get_next_property)                                                                                     \
    X(component_get_parent)                                                                                            \
    X(component_get_summary)                                                                                           \
    X(component_get_timezone)                                                                                          \
    X(component_get_uid)                                                                                               \
    X(component_isa)                                                                                                   \
    X(component_remove_component)                                                                                      \
    X(error_set_errors_are_fatal)                                                                                      \
    X(parameter_get_tzid)                                                                                              \
    X(parser_parse_string)                                                                                             \
    X(property_get_color)                                                                                              \
    X(property_get_datetime_with_component)                                                                            \
    X(property_get_exrule)                                                                                             \
    X(property_get_first_parameter)                                                                                    \
    X(property_get_name)                                                                                               \
    X(property_get_rdate)                                                                                              \
    X(property_get_rrule)                                                                                              \
    X(property_get_tzid)                                                                                               \
    X(property_get_url)                                                                                                \
    X(property_get_x)                                                                                                  \
    X(property_get_x_name)                                                                                             \
    X(recur_iterator_free)                                                                                             \
    X(recur_iterator_new)                                                                                              \
    X(recur_iterator_next)                                                                                             \
    X(recur_iterator_set_start)                                                                                        \
    X(recurrencetype_as_string)                                                                                        \
    X(recurrencetype_day_day_of_week)                                                                                  \
    X(recurrencetype_month_month)                                                                                      \
    X(time_as_timet_with_zone)                                                                                         \
    X(time_from_timet_with_zone)                                                                                       \
    X(time_is_null_time)                                                                                               \
    X(time_set_timezone)                                                                                               \
    X(timezone_get_builtin_timezone)

struct ICalLibrary {
    static constexpr const char* kFileName = "libical.so.3";

#define VUDE_ICAL_MEMBER(name) decltype(&ical##name) name = nullptr;
    VUDE_ICAL_FUNCTIONS(VUDE_ICAL_MEMBER)
#undef VUDE_ICAL_MEMBER

    /// Why the functions could not be had; empty once they all were.
    std::string problem;

    bool isLoaded() const { return problem.empty(); }

    /// The functions of the library file `fileName`, with its parse errors
    /// made non-fatal; or, when it cannot be opened or lacks one of them, no
    /// function and the reason. The library stays loaded for good.
    static ICalLibrary load(const char* fileName);

    /// `load(kFileName)`, done on the first call. Thread-safe.
    static const ICalLibrary& shared();
};
