#pragma once
// The decision on reading the user's events, shared by the permission layer
// (CalendarFolderAccess) and the calendar store, with the raw values the
// permission tables are written in.

enum class CalendarAuthorizationStatus : long {
    notDetermined = 0,
    restricted = 1,
    denied = 2,
    fullAccess = 3,
    writeOnly = 4,
};
