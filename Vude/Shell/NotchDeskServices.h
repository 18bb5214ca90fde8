#pragma once
// What a notch view model and the Desk use of the Desk's services, each
// through the narrowest interface that serves it, and the plain values they
// publish. The services themselves plug in through thin adapters
// (NotchDeskAdapters.h); the values are as much of each service's own type
// as the Desk reads.
//
// Interfaces that change by themselves are QObjects with one change signal,
// so a view connects with itself as the context and never outlives the
// connection. Main thread only.

#include "VudeKit/Date.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/Uuid.h"
#include "VudeServices/Clip.h"

#include <QImage>
#include <QObject>
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
    /// The tray's own copy: every open, reveal, copy and drag acts on it.
    std::string storedPath{};
    bool isDirectory = false;
    /// The size, or for a folder its entry count and size ("3 items · 1 KB").
    std::string subtitle{};
    /// The stored copy's MIME type.
    std::string type{};
    bool operator==(const NotchTrayItem&) const = default;
};

/// The file tray: its items, newest first, taking them out, and showing one.
class NotchTrayStore {
public:
    using ThumbnailDone = std::function<void(std::optional<QImage> thumbnail)>;

    virtual ~NotchTrayStore() = default;
    virtual std::vector<NotchTrayItem> items() const = 0;
    /// Drops the item with `item`'s id; its stored copy goes with it.
    virtual void remove(const NotchTrayItem& item) = 0;
    /// Drops the entry with `item`'s id and leaves its stored copy on disk,
    /// for when another program is still taking the file away.
    virtual void removeEntry(const NotchTrayItem& item) = 0;
    /// Settles what removeEntry handed out: a stored copy that is gone has
    /// its folder deleted, one still there is listed again. Nothing unless
    /// overridden.
    virtual void sweep() {}
    /// Empties the tray; every stored copy goes.
    virtual void removeAll() = 0;
    /// The item's picture for a chip `size` points wide, made off the main
    /// thread; `done` runs later on the main thread, unless `context` is gone
    /// by then. None when there is not even a type icon.
    virtual void thumbnail(const NotchTrayItem& item, double size, QObject* context, ThumbnailDone done) = 0;
    /// Opens the stored copy with the desktop's default application.
    virtual void quickLook(const NotchTrayItem& item) = 0;
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

/// The Desk's countdowns: the list in creation order, a new one, pausing,
/// resuming and taking one out. Timers are found by id.
class NotchTimerStore {
public:
    virtual ~NotchTimerStore() = default;
    virtual std::vector<NotchTimer> timers() const = 0;
    /// Appends a timer of `total` seconds, started now when `start` holds.
    virtual void add(double total, const std::string& label, bool start) = 0;
    /// Pauses the timer with `timer`'s id when it runs, else resumes it, at
    /// `now`.
    virtual void toggle(const NotchTimer& timer, Date now) = 0;
    virtual void remove(const NotchTimer& timer) = 0;
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

/// A calendar's colour, sRGB components 0...1.
struct NotchCalendarColor {
    double red = 0.5;
    double green = 0.5;
    double blue = 0.5;
    bool operator==(const NotchCalendarColor&) const = default;
};

/// One event (or one occurrence of a repeating one) as the Desk shows it.
struct NotchCalendarEvent {
    std::string id{};
    std::string title{};
    Date start{};
    Date end{};
    bool isAllDay = false;
    std::optional<std::string> location{};
    /// None when the event has no calendar.
    std::optional<NotchCalendarColor> calendarColor{};
    /// A video-meeting link found in the event.
    std::optional<QUrl> meetingURL{};
    /// The iCalendar file the event was read from.
    std::optional<std::filesystem::path> icsFile{};
    bool operator==(const NotchCalendarEvent&) const = default;
};

/// The events of one local day; `day` is its first moment.
struct NotchCalendarDay {
    Date day;
    std::vector<NotchCalendarEvent> events;
    bool operator==(const NotchCalendarDay&) const = default;
};

/// The calendar service as far as the notch goes: asking for access and the
/// loaded events by day. `changed` follows every change of either.
class NotchCalendarService : public QObject {
    Q_OBJECT
public:
    ~NotchCalendarService() override = default;
    virtual NotchCalendarAccess access() const = 0;
    /// What went wrong with the last request for access, if anything.
    virtual std::optional<std::string> requestError() const = 0;
    /// Asks for access when it is not yet decided and loads the calendars
    /// once granted; calls `done` on the main thread when that is over.
    virtual void start(std::function<void()> done) = 0;
    /// The loaded events by day, days ascending; none unless overridden.
    virtual std::vector<NotchCalendarDay> grouped() const { return {}; }

signals:
    /// The access or the loaded events changed.
    void changed();
};

/// One entry of the clipboard history.
struct NotchClip {
    Uuid id;
    std::string preview;
    Clip::Kind kind = Clip::Kind::text;
    /// The copied text exactly; a file's name; "Image" for an image.
    std::string text{};
    bool operator==(const NotchClip&) const = default;
};

/// One application of the Desk's quick-launch grid.
struct NotchQuickApp {
    /// The desktop entry's id.
    std::string bundleIdentifier;
    std::string name;
    /// The pin's own id, a tile's identity.
    Uuid id{};
    /// The entry's path when it was pinned, for when the id no longer finds it.
    std::optional<std::string> path{};
    bool operator==(const NotchQuickApp&) const = default;
};

// Services the model only holds for the Desk; it calls nothing on them.
class ShortcutsService;
class QuickAppsService;
class ClipboardService;
class WeatherProvider;
