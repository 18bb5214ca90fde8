#pragma once
// What a notch view model uses of the Desk's services, each through the
// narrowest interface that serves it, and the plain values it publishes for
// the Desk. The services themselves plug in through thin adapters; the
// values are as much of each service's own type as the notch needs.

#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Uuid.h"

#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// One entry of the file tray.
struct NotchTrayItem {
    Uuid id;
    /// The file's name as the user dropped it.
    std::string displayName;
    /// The file the item was copied from; none when it was moved in.
    std::optional<std::string> originalPath;
    bool operator==(const NotchTrayItem&) const = default;
};

/// The file tray: its items, newest first, and taking one out.
class NotchTrayStore {
public:
    virtual ~NotchTrayStore() = default;
    virtual std::vector<NotchTrayItem> items() const = 0;
    /// Drops the item with `item`'s id; its stored copy goes with it.
    virtual void remove(const NotchTrayItem& item) = 0;
};

/// One countdown of the Desk's timers.
struct NotchTimer {
    Uuid id;
    std::string label;
    /// Seconds.
    double total = 0;
    /// Present exactly while the timer runs.
    std::optional<Date> startedAt;
    /// Present while paused.
    std::optional<double> pausedRemaining;
    bool operator==(const NotchTimer&) const = default;
};

/// The Desk's countdowns: the list in creation order, and a new one.
class NotchTimerStore {
public:
    virtual ~NotchTimerStore() = default;
    virtual std::vector<NotchTimer> timers() const = 0;
    /// Appends a timer of `total` seconds, started now when `start` holds.
    virtual void add(double total, const std::string& label, bool start) = 0;
};

/// Whether the app may read the user's calendars.
enum class NotchCalendarAccess { granted, notDetermined, writeOnly, denied, restricted };

template <>
struct EnumTraits<NotchCalendarAccess> {
    using A = NotchCalendarAccess;
    static constexpr std::array cases{
        EnumCase{A::granted, "granted"}, EnumCase{A::notDetermined, "notDetermined"},
        EnumCase{A::writeOnly, "writeOnly"}, EnumCase{A::denied, "denied"}, EnumCase{A::restricted, "restricted"},
    };
};

/// What the Desk hands back when the user opens one of its calendar events.
struct NotchCalendarEvent {
    Date start;
    /// A video-meeting link found in the event.
    std::optional<QUrl> meetingURL;
    /// The iCalendar file the event was read from.
    std::optional<std::filesystem::path> icsFile;
    bool operator==(const NotchCalendarEvent&) const = default;
};

/// The calendar service as far as asking for access goes.
class NotchCalendarService {
public:
    virtual ~NotchCalendarService() = default;
    virtual NotchCalendarAccess access() const = 0;
    /// What went wrong with the last request for access, if anything.
    virtual std::optional<std::string> requestError() const = 0;
    /// Asks for access when it is not yet decided and loads the calendars
    /// once granted; calls `done` on the main thread when that is over.
    virtual void start(std::function<void()> done) = 0;
};

/// One entry of the clipboard history.
struct NotchClip {
    Uuid id;
    std::string preview;
    bool operator==(const NotchClip&) const = default;
};

/// One application of the Desk's quick-launch grid.
struct NotchQuickApp {
    /// The desktop entry's id.
    std::string bundleIdentifier;
    std::string name;
    bool operator==(const NotchQuickApp&) const = default;
};

// Services the model only holds for the Desk; it calls nothing on them.
class ShortcutsService;
class QuickAppsService;
class ClipboardService;
class WeatherProvider;
