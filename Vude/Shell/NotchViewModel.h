#pragma once
// The observable state of one screen's notch and the one way in for
// everything that happens to it. `send` runs an event through the state
// machine with the current settings as guards, publishes the new state with
// the animation the views should use, resizes the panel (at once when it
// grows, after the animation when it shrinks), lends or takes back the
// keyboard, sets the panel's corner radius and backdrop, refreshes the Desk's
// data when it opens, plays the haptic itself and hands the remaining
// effects to its owner.
//
// Every observed field has its own change signal, emitted only when a new
// value differs from the held one. The Desk's services are held through the
// narrow interfaces of NotchDeskServices.h. Main thread only.
//
// A hidden notch draws nothing and takes no clicks, yet must stay reachable
// where the desktop has no tray for a status item: while hidden, the model
// watches the wheel globally (without taking any input) and a scroll that
// reads as a downward swipe over the handler's area brings the notch back.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeKit/NotchState.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/ScrollGestureRecognizer.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/WidgetLayout.h"
#include "VudeServices/AudioState.h"
#include "VudeServices/MediaCommand.h"
#include "VudeServices/NotchGeometry.h"
#include "VudeServices/NowPlayingState.h"
#include "VudeUI/ActivityMetrics.h"
#include "VudeUI/Tokens.h"
#include "Vude/Shell/NotchDeskServices.h"
#include "Vude/Shell/NotchPipelineRunner.h"
#include "Vude/Shell/NotchSizing.h"
#include "Vude/Shell/ShellPlatform.h"
#include "Vude/Shell/WheelScrollTranslator.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DidoDivuzerore;
class NotchPanel;
class PipelineRegistry;

/// Posted by the Desk: open the settings window, and then select a pane.
namespace NotchNotificationName {
inline const QString vudeOpenSettings = QStringLiteral("app.ruvudav.notch.openSettings");
inline const QString vudeOpenShortcuts = QStringLiteral("app.ruvudav.notch.openShortcuts");
inline const QString vudeOpenQuickApps = QStringLiteral("app.ruvudav.notch.openQuickApps");
} // namespace NotchNotificationName

class NotchViewModel final : public QObject {
    Q_OBJECT
public:
    /// Closed, not hovering, nothing published yet. `settings`, `platform`'s
    /// objects, `scheduler`, `clock` and `measurer` must outlive the model.
    NotchViewModel(const NotchGeometry& geometry, SettingsStore& settings, const ShellPlatform& platform,
                   Scheduler& scheduler, const ClockSource& clock, const TextMeasurer& measurer,
                   QObject* parent = nullptr);
    ~NotchViewModel() override;

    // Observed state.

    /// What the notch shows; changed only by send().
    const NotchState& state() const { return m_state; }
    /// The pointer is over the notch (the hover hint); changed only by send().
    bool isHovering() const { return m_isHovering; }
    /// The animation of the last change of state or hover hint.
    const Vude::Animation& animation() const { return m_animation; }

    const NotchGeometry& geometry() const { return m_geometry; }
    void setGeometry(const NotchGeometry& geometry);
    const NowPlayingState& nowPlaying() const { return m_nowPlaying; }
    void setNowPlaying(const NowPlayingState& nowPlaying);
    const std::vector<NotchTrayItem>& trayItems() const { return m_trayItems; }
    void setTrayItems(const std::vector<NotchTrayItem>& items);
    const std::shared_ptr<WeatherProvider>& weatherProvider() const { return m_weatherProvider; }
    void setWeatherProvider(std::shared_ptr<WeatherProvider> provider);
    const std::vector<NotchClip>& clips() const { return m_clips; }
    void setClips(const std::vector<NotchClip>& clips);
    const std::vector<AudioOutputDevice>& audioDevices() const { return m_audioDevices; }
    void setAudioDevices(const std::vector<AudioOutputDevice>& devices);
    const std::vector<NotchQuickApp>& quickApps() const { return m_quickApps; }
    void setQuickApps(const std::vector<NotchQuickApp>& apps);
    /// The files dragged over the notch.
    const QList<QUrl>& dragURLs() const { return m_dragURLs; }
    void setDragURLs(const QList<QUrl>& urls);
    /// The lanes offered for them.
    const std::vector<DropLane>& dragLanes() const { return m_dragLanes; }
    void setDragLanes(const std::vector<DropLane>& lanes);
    /// The index into dragLanes under the pointer.
    std::optional<int> hoveredLane() const { return m_hoveredLane; }
    void setHoveredLane(std::optional<int> lane);
    const std::vector<NotchTimer>& timers() const { return m_timers; }
    void setTimers(const std::vector<NotchTimer>& timers);
    /// The Desk's widget row.
    const ZeriRuvuzi& layout() const { return m_layout; }
    void setLayout(const ZeriRuvuzi& layout);

    SettingsStore& settings() const { return m_settings; }

    // The Desk's services and the owner's hooks; none until set.

    std::shared_ptr<NotchTrayStore> trayStore;
    std::shared_ptr<NotchTimerStore> timerStore;
    std::shared_ptr<NotchCalendarService> calendarService;
    std::shared_ptr<DidoDivuzerore> repository;
    /// The drop pipelines a drag may offer as lanes.
    std::shared_ptr<const PipelineRegistry> pipelines;
    /// Runs them; the Desk's banner shows its state and undoes its last run.
    std::shared_ptr<NotchPipelineRunner> pipelineRunner;
    std::shared_ptr<ShortcutsService> shortcutsService;
    std::shared_ptr<QuickAppsService> quickAppsService;
    std::shared_ptr<ClipboardService> clipboardService;
    /// The sound outputs as last known, without asking the sound server;
    /// read each time the Desk opens.
    std::function<std::vector<AudioOutputDevice>()> audioOutputDevices;
    /// Makes the device with that id the default sound output without
    /// waiting; `done` runs later on the main thread with whether the sound
    /// server took it.
    std::function<void(std::uint32_t id, std::function<void(bool)> done)> setDefaultAudioOutput;
    /// Opens the desktop's privacy settings for calendars.
    std::function<void()> openCalendarSettings;
    /// Opens the desktop's location settings.
    std::function<void()> openLocationSettings;
    /// Writes a line to the developer trace.
    std::function<void(const std::string&)> trace;
    /// The desktop's reduce-motion preference; animations are full without it.
    const ReduceMotionSetting* reduceMotion = nullptr;
    /// Called by the Desk's media widget.
    std::function<void(const MediaCommand&)> onMediaCommand;
    /// Receives the effects the model does not carry out itself.
    std::function<void(const NotchEffect&)> onEffect;
    /// Called after every state change, hover-hint resize and window resize.
    std::function<void()> onGeometryChange;

    NotchPanel* panel() const;
    /// Held weakly.
    void setPanel(NotchPanel* panel);
    /// Sets both canvases of the panel to `canvas` and hangs the panel from
    /// the top of its screen, centred on the notch and clamped to the screen.
    void placePanel(Size canvas);

    // Events.

    void send(const NotchEvent& event);
    /// Scroll input over the notch, in points, with its gesture phase.
    void handleScroll(double dx, double dy, SwipePhase phase);
    /// Files dragged over the notch: they and their lanes are published.
    void beginDrag(const QList<QUrl>& urls);
    /// The lane under `x` in a lane strip `width` wide.
    std::optional<int> lane(double x, double width) const;
    bool isAmbientMedia() const { return NotchSizing::isAmbientMedia(m_state); }

    // The Desk's operations.

    /// Adds a started timer of `seconds` with no label, then republishes the
    /// store's timers (none without a store).
    void addTimer(double seconds);
    /// Opens the event's meeting link when links are detected and it has
    /// one, else the event's calendar file in the user's calendar
    /// application. Nothing opens when there is neither.
    void openCalendarEvent(const NotchCalendarEvent& event);
    /// Opens a web page (http or https) with the desktop's opener; any other
    /// link is left alone.
    void openWebPage(const QUrl& url);
    /// Takes out of the tray every item copied from one of `files` (the
    /// outputs of an undone pipeline run), then republishes the tray.
    void removeTrayItems(const std::vector<std::filesystem::path>& files);
    /// Asks for calendar access when it is undecided; otherwise opens the
    /// privacy settings where the user can change it.
    void requestCalendarAccess();

    // Sizing.

    Size contentSize(const NotchState& state) const { return sizing().contentSize(state); }
    double ravoHeight() const { return sizing().ravoHeight(); }
    double openHeaderHeight() const { return sizing().openHeaderHeight(); }
    Size currentCanvasSize() const { return sizing().canvas(m_state); }
    Rect interactiveRect(Size size) const { return sizing().interactiveRect(size); }
    /// The interactive rectangle of the panel's window as it is now, which
    /// during a delayed shrink is still the earlier, larger size; the canvas
    /// without a panel.
    Rect currentInteractiveRect() const;

signals:
    /// Every event send() is given, before it is applied, whether or not it
    /// changes anything (for traces and tests).
    void eventSent(const NotchEvent& event);
    void stateChanged();
    void isHoveringChanged();
    void geometryChanged();
    void nowPlayingChanged();
    void trayItemsChanged();
    void weatherProviderChanged();
    void clipsChanged();
    void audioDevicesChanged();
    void quickAppsChanged();
    void dragURLsChanged();
    void dragLanesChanged();
    void hoveredLaneChanged();
    void timersChanged();
    void layoutChanged();

private:
    NotchSizing sizing() const;
    bool reducesMotion() const { return reduceMotion && reduceMotion->reduceMotion(); }
    void performHaptic();
    void updateHoverHint(const NotchEvent& event);
    void resizeWindow(const NotchState& to);
    /// Sets both canvases of `panel` to `canvas` and hangs it from the top
    /// of the screen, centred on the notch.
    void placePanel(NotchPanel& panel, Size canvas);
    void setKeyboardFocus(NotchPanel& panel, bool requested);
    void carryOut(const NotchEffect& effect);
    void watchWheelWhileHidden();
    void hiddenWheelTurned(const MouseEvent& event);
    std::optional<ScrollIntent> recognise(double dx, double dy, SwipePhase phase);

    SettingsStore& m_settings;
    ShellPlatform m_platform;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    ActivityMetrics m_metrics;

    NotchState m_state = NotchState::closed();
    bool m_isHovering = false;
    Vude::Animation m_animation = Vude::Motion::close;
    NotchGeometry m_geometry;
    NowPlayingState m_nowPlaying;
    std::vector<NotchTrayItem> m_trayItems;
    std::shared_ptr<WeatherProvider> m_weatherProvider;
    std::vector<NotchClip> m_clips;
    std::vector<AudioOutputDevice> m_audioDevices;
    std::vector<NotchQuickApp> m_quickApps;
    QList<QUrl> m_dragURLs;
    std::vector<DropLane> m_dragLanes;
    std::optional<int> m_hoveredLane;
    std::vector<NotchTimer> m_timers;
    ZeriRuvuzi m_layout;

    NotchStateMachine m_machine;
    QPointer<NotchPanel> m_panel;
    ScrollGestureRecognizer m_scroll;
    WheelScrollTranslator m_hiddenWheel;
    std::optional<int> m_hiddenWheelMonitor;
};
