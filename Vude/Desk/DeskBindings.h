#pragma once
// What the Desk hands each widget: plain values and closures, one struct per
// widget, in the widget's member order. Widgets read these and call these,
// nothing else: they never reach for a service or the settings themselves,
// and never change the values they are handed. DeskBinder fills them from a
// screen's view model; every closure does nothing when its service is
// absent, except where its comment says otherwise.

#include "Vude/Shell/NotchDeskServices.h"
#include "VudeKit/WidgetID.h"
#include "VudeServices/AudioState.h"
#include "VudeServices/MediaCommand.h"
#include "VudeServices/NowPlayingState.h"
#include "VudeServices/PipelineRunState.h"
#include "VudeSync/Snapshots.h"

#include <QIcon>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class WeatherProvider;

struct MediaBinding {
    NowPlayingState state;
    std::function<void(const MediaCommand& command)> onCommand;
    /// The icon of the installed application with this app id (a null icon
    /// when it names none); none when it is not installed or without a
    /// quick apps service, which knows the applications.
    std::function<std::optional<QIcon>(const std::string& appId)> playerIcon{};
    /// Starts the application with this app id where it is installed now;
    /// nothing when it is gone.
    std::function<void(const std::string& appId)> onLaunchPlayer{};
};

struct CalendarBinding {
    /// Not determined without a calendar service.
    NotchCalendarAccess access = NotchCalendarAccess::notDetermined;
    std::vector<NotchCalendarDay> days;
    /// Asks for access while it is undecided, else opens the calendars'
    /// privacy settings.
    std::function<void()> onRequestAccess;
    /// Opens the calendars' privacy settings, with or without a service.
    std::function<void()> onOpenSettings;
    std::function<void(const NotchCalendarEvent& event)> onOpen;
};

struct TodosBinding {
    std::vector<TodoSnapshot> items;
    std::function<void(const std::string& text)> onAdd;
    std::function<void(const TodoSnapshot& todo)> onToggle;
    std::function<void(const TodoSnapshot& todo)> onFavorite;
    std::function<void(const TodoSnapshot& todo)> onDelete;
};

struct TimerBinding {
    std::vector<NotchTimer> timers;
    /// Seconds.
    std::function<void(double seconds)> onAdd;
    /// Pauses or resumes now. Without a timer store the list empties.
    std::function<void(const NotchTimer& timer)> onToggle;
    /// Without a timer store the list empties.
    std::function<void(const NotchTimer& timer)> onRemove;
};

struct NotesBinding {
    /// There is a repository to save to; edits would be dropped otherwise.
    bool editable = false;
    /// The note as it is now ("" without a repository), read when called.
    std::function<std::string()> text;
    /// Saves an edit as this computer's revision of the note.
    std::function<void(const std::string& text)> setText;
    /// Stores the current text again (when the widget is hidden).
    std::function<void()> onCommit;
};

struct ShortcutsBinding {
    std::vector<ShortcutSnapshot> items;
    std::function<void(const ShortcutSnapshot& shortcut)> onRun;
    /// Opens the settings on the shortcuts pane, with or without a service.
    std::function<void()> onConfigure;
};

struct MirrorBinding {
    // The mirror makes and owns its capture itself.
};

struct QuickAppsBinding {
    /// One adaptive grid column per this many points, the gap between.
    struct Columns {
        double minimumWidth = 56;
        double spacing = 10;
        bool operator==(const Columns&) const = default;
    };

    std::vector<NotchQuickApp> apps;
    Columns columns;
    /// None without a service or when the app cannot be found.
    std::function<std::optional<QIcon>(const NotchQuickApp& app)> icon;
    /// False without a service.
    std::function<bool(const NotchQuickApp& app)> isMissing;
    /// False without a service.
    std::function<bool(const NotchQuickApp& app)> isRunning;
    std::function<void(const NotchQuickApp& app)> onLaunch;
    /// Opens the settings on the quick apps pane, with or without a service.
    std::function<void()> onConfigure;
};

struct WeatherBinding {
    /// Observed by the widget itself; without one the cell shows nothing.
    std::shared_ptr<WeatherProvider> provider;
    /// Opens the desktop's location settings, with or without a provider.
    std::function<void()> onOpenSettings;
    /// Opens a web page (the weather's attribution).
    std::function<void(const QUrl& url)> onOpenURL;
};

struct ClipboardBinding {
    std::vector<NotchClip> clips;
    /// Puts the clip back on the clipboard.
    std::function<void(const NotchClip& clip)> onRestore;
    /// Without a clipboard service the list empties.
    std::function<void(const NotchClip& clip)> onRemove;
    /// Empties the list, with or without a service.
    std::function<void()> onClear;
};

struct AudioDeviceBinding {
    std::vector<AudioOutputDevice> devices;
    /// Makes the device the default output, then reads the devices again
    /// (the default one included) for every screen.
    std::function<void(const AudioOutputDevice& device)> onSelect;
};

/// A widget's values, by its WidgetID (the alternatives in WidgetID's
/// order).
using WidgetBinding = std::variant<MediaBinding, CalendarBinding, TodosBinding, TimerBinding, NotesBinding,
                                   ShortcutsBinding, MirrorBinding, QuickAppsBinding, WeatherBinding,
                                   ClipboardBinding, AudioDeviceBinding>;

/// The WidgetID a binding belongs to.
WidgetID widgetOf(const WidgetBinding& binding);

/// The tray tab's tray (not a WidgetID).
struct TrayBinding {
    std::vector<NotchTrayItem> items;
    /// The tray widget and its chips hold the store (thumbnails, Quick Look,
    /// drags); none without one.
    std::shared_ptr<NotchTrayStore> store;
    /// A plain drag out copies, Alt moves; the reverse when false.
    bool copyByDefault = true;
    /// Takes the item and its stored copy out of the tray.
    std::function<void(const NotchTrayItem& item)> onRemove;
    /// Empties the tray.
    std::function<void()> onClear;
    /// After a drag moved the item out: takes only its entry out, since the
    /// receiver may still be taking the stored copy away; the store's sweep
    /// deletes the copy once it is gone, or lists it again if it stays.
    std::function<void(const NotchTrayItem& item)> onMoved;
    /// Shows the stored copy in the file manager, with or without a store.
    std::function<void(const NotchTrayItem& item)> onReveal;
    /// Puts the stored copy, alone, on the clipboard, with or without a store.
    std::function<void(const NotchTrayItem& item)> onCopy;
};

/// The banner over the tray.
struct PipelineBannerBinding {
    /// Idle without a runner.
    PipelineRunState state = PipelineRunState::idle();
    /// Undoes the last run and takes its outputs out of the tray.
    std::function<void()> onUndo;
};
