#pragma once
// The one owner of everything on the screens: for each eligible screen a
// NotchPanel, a NotchViewModel and a NotchHostingView hosting the root view,
// all keyed by the screen's display number. It makes and owns the Desk's
// services and hands them, the synced repository and the application's own
// handlers (through one configure hook) to every model it builds, whenever it
// builds it. It rebuilds the panels 0.25 s after the last change of screens
// or wake, keeping the objects of screens that stay; it closes an open Desk on
// a click elsewhere or on Escape; and it answers which model is under the
// pointer.
//
// During a file drag it arms every panel (raised into a wide drop zone at the
// drag level) and routes a drop to the lane under it: a pipeline, whose
// outputs join the tray; the shelf, which is the tray itself; or a nearby
// device through the sharing service.
//
// Main thread only. Callbacks hold the controller, models and hosts weakly.

#include "VudeKit/ClockSource.h"
#include "VudeKit/Geometry.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/ScrollGestureRecognizer.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/WidgetLayout.h"
#include "VudeServices/AudioState.h"
#include "VudeServices/NotchGeometry.h"
#include "VudeServices/TrayItem.h"
#include "VudeUI/ActivityMetrics.h"
#include "Vude/Shell/NotchPipelineRunner.h"
#include "Vude/Shell/ShellPlatform.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ApplicationCatalog;
class ArtworkCache;
class ClipboardService;
class DidoDivuzerore;
class FrontmostApplication;
class LocationProvider;
class NotchHostingView;
class NotchPanel;
class NotchViewModel;
class Pasteboard;
class QMenu;
class QWidget;
class QuickAppsService;
class ReduceMotionSetting;
class ShortcutsService;
class TimerStore;
class TrayStore;
class WeatherProvider;
class NotchTrayStore;
class NotchTimerStore;

/// What the controller uses and does not own; everything referenced must
/// outlive the controller.
struct NotchWindowControllerEnvironment {
    SettingsStore& settings;
    ShellPlatform platform;
    /// Debounced rebuilds, the models' delays, the views' frames.
    Scheduler& scheduler;
    /// The wall clock: timers, tray dates, the location's fix ages.
    ClockSource& clock;
    /// Steady time for animations.
    const ClockSource& steadyClock;
    const TextMeasurer& measurer;
    /// The general pasteboard, watched by the clipboard history.
    Pasteboard& pasteboard;
    /// Names the application each clip was copied in; none recorded when
    /// null.
    FrontmostApplication* frontmostApplication = nullptr;

    /// Holds the services' "Vude" folder and "Vude/Pipelines"; XdgPaths'
    /// "Application Support" when empty.
    std::filesystem::path applicationSupport{};
    /// The sound outputs as last known; none known when unset.
    std::function<std::vector<AudioOutputDevice>()> audioOutputDevices{};
    /// Makes a device the default sound output without waiting, telling
    /// `done` on the main thread whether it took; nothing switches when unset.
    std::function<void(std::uint32_t id, std::function<void(bool)> done)> setDefaultAudioOutput{};
    /// Writes a line to the diagnostics trace; nothing when unset.
    std::function<void(const std::string&)> trace{};
    /// Where the per-change "state ..." lines go; nothing when unset. The
    /// application passes standard error when VUDE_TRACE is set.
    std::function<void(const std::string&)> geometryTrace{};
    /// The desktop's reduce-motion preference for the models and views.
    const ReduceMotionSetting* reduceMotion = nullptr;
    /// The artwork cache the root views share; the app's shared one when none.
    ArtworkCache* artworkCache = nullptr;

    /// The installed applications for the quick apps; the desktop's own
    /// (GioApplicationCatalog) when none. Must be safe to scan from another
    /// thread.
    ApplicationCatalog* applicationCatalog = nullptr;
    /// Makes the location provider; LocationProvider::forSystem when unset.
    std::function<std::unique_ptr<LocationProvider>()> makeLocationProvider{};
    /// Makes the weather provider over the location provider, on first use;
    /// WeatherProvider::forSystem when unset.
    std::function<std::unique_ptr<WeatherProvider>(LocationProvider&)> makeWeatherProvider{};
    /// Makes the pipeline runner; a PipelineRunnerAdapter over the default
    /// pipelines when unset. A maker that returns none leaves no pipeline
    /// lanes, and drops go to the tray.
    std::function<std::unique_ptr<NotchPipelineRunner>()> makePipelineRunner{};
    /// Watches the clipboard (ClipboardService); off when false, for tests
    /// that have no use for it.
    bool makeClipboardService = true;
    /// Whether the user may read a dropped file, or read and enter a dropped
    /// folder; access(2) when unset. Tests run as root, which reads anything.
    std::function<bool(const std::filesystem::path&)> canRead{};
};

class NotchWindowController final : public QObject {
    Q_OBJECT
public:
    /// The height of the band at the top of the primary screen where a
    /// left-button drag arms the panels.
    static constexpr double armingBand = 260;
    /// The drop zone of an armed panel: the notch width plus this, at most the
    /// screen's width, and `armedZoneHeight` high.
    static constexpr double armedZoneExtraWidth = 560;
    static constexpr double armedZoneHeight = 190;
    /// The height of a resting panel's drop rectangle.
    static constexpr double restingDropHeight = 120;
    /// How long screen changes and wake are gathered before a rebuild.
    static constexpr Duration rebuildDelay = std::chrono::milliseconds(250);
    static constexpr const char* containerName = "Vude";
    /// Under Application Support.
    static constexpr const char* pipelineFolder = "Vude/Pipelines";

    /// Makes the Desk's services, follows screen changes and wake, builds
    /// the panels of the eligible screens and installs the dismiss monitors.
    /// The drag monitors wait for startDragMonitors().
    explicit NotchWindowController(NotchWindowControllerEnvironment environment, QObject* parent = nullptr);
    ~NotchWindowController() override;

    // Screens.

    /// Reconciles panels, models and hosts with the eligible screens now.
    void rebuild();
    /// rebuild() after `rebuildDelay`, replacing one already waiting.
    void scheduleRebuild();
    bool isRebuildPending() const { return m_rebuildTask.has_value(); }

    const std::map<std::uint32_t, NotchPanel*>& panels() const { return m_panels; }
    const std::map<std::uint32_t, NotchViewModel*>& models() const { return m_models; }
    const std::map<std::uint32_t, NotchHostingView*>& hosts() const { return m_hosts; }
    NotchPanel* panel(std::uint32_t displayID) const;
    NotchViewModel* model(std::uint32_t displayID) const;
    NotchHostingView* host(std::uint32_t displayID) const;

    /// The model of the screen under the pointer; else of the screen that
    /// last had input over its notch; else of the primary screen; else any;
    /// none without models.
    NotchViewModel* activeModel() const;

    /// Every model's geometry as text: four lines per screen, blocks in
    /// display-number order joined by a newline.
    std::string geometryReport() const;

    /// Called with every model the controller builds, right after its
    /// services are handed over, and at once with every existing model when
    /// installed: where the application gives a model its effect handler,
    /// media-command handler and calendar service.
    void setModelConfigurator(std::function<void(NotchViewModel&)> configure);
    /// Builds the open Desk's view in every root view, those built later
    /// included (NotchRootView::DeskViewFactory); the slot stays empty when
    /// unset.
    void setDeskViewFactory(std::function<QWidget*(RiziDar, NotchViewModel&, QWidget*)> factory);

    /// Builds the notch context menu on a right click; no menu when unset.
    std::function<std::unique_ptr<QMenu>()> contextMenuProvider;
    /// Hears the tray items a drop (or a pipeline's outputs) just added.
    std::function<void(const std::vector<TrayItem>& added)> onFilesDropped;

    // The Desk.

    /// Recomputes every model's widget row.
    void relayoutWidgets();
    /// Copies the clipboard history into every model.
    void refreshClips();
    /// Copies the quick-app list into every model.
    void refreshQuickApps();
    // A model's new list of sound outputs (read when its Desk opens, or after
    // a device was chosen there) reaches every other model by itself.
    /// Polls the clipboard; nothing at all when `enabled` is false. A new
    /// entry reaches the models when its read comes back, which may be later.
    void pollClipboard(bool enabled, std::int64_t maxItems, bool persists);
    /// True when the drag and clipboard polls would find nothing new: no drag
    /// armed, and neither change count moved since its poll last ran.
    bool pollsSettled() const;

    /// The synced store, handed to every model, including later ones.
    const std::shared_ptr<DidoDivuzerore>& repository() const { return m_repository; }
    void setRepository(std::shared_ptr<DidoDivuzerore> repository);

    // The Desk's services, made once and shared by every model.

    TrayStore& trayStore() const { return *m_trayStore; }
    TimerStore& timerStore() const { return *m_timerStore; }
    const std::shared_ptr<ShortcutsService>& shortcutsService() const { return m_shortcutsService; }
    const std::shared_ptr<QuickAppsService>& quickAppsService() const { return m_quickAppsService; }
    /// None when the environment asked for no clipboard history.
    const std::shared_ptr<ClipboardService>& clipboardService() const { return m_clipboardService; }
    /// None only when the environment's maker made none.
    NotchPipelineRunner* pipelineRunner() const { return m_pipelineRunner.get(); }
    LocationProvider& locationProvider();
    /// Made over the location provider on first use.
    const std::shared_ptr<WeatherProvider>& weatherProvider();

    // Drags and drops.

    /// Installs the global left-drag and left-up monitors (replacing any).
    void startDragMonitors();
    void stopDragMonitors();
    std::size_t dragMonitorCount() const { return m_dragMonitors.size(); }
    /// A new drag selection while the left button is held arms; a released
    /// button disarms. Called by the tick.
    void pollDragPasteboard();
    bool isDragArmed() const { return m_dragArmed; }
    /// Raises and widens every panel for a file drag, or returns them to
    /// their content size and resting level. Nothing when already so.
    void setDragArmed(bool armed);
    /// Tells every hosting view that our own tray is the drag's source.
    void setSourcingDrag(bool sourcing);
    /// "Vude/Pipelines" under Application Support, made on every read (a
    /// failure is ignored).
    std::filesystem::path pipelineOutputDirectory() const;

    // What the hooks of each hosting view call; `model` is the screen's.

    void dragEntered(NotchViewModel& model, const QList<QUrl>& urls);
    void dragMoved(NotchViewModel& model, Point point);
    /// Whether a drop at `point` would be taken, told to the drag's source
    /// while it moves: not on the sharing lane without a device, nor, on the
    /// shelf, when the tray could take none of the files. A source that acts
    /// on this answer, not on the drop's, must not think its files went
    /// somewhere. The sharing service and the files are asked once a drag.
    bool takesDropAt(NotchViewModel& model, Point point);
    void dragExited(NotchViewModel& model);
    /// Routes dropped files by the lane under `point` (the hosting view's
    /// coordinates); whether they were taken. A refused drop clears the
    /// drag and tells the model it left.
    bool drop(NotchViewModel& model, const QList<QUrl>& urls, Point point);
    void scrolled(NotchViewModel& model, double dx, double dy, SwipePhase phase);

    /// Escape: every open model is sent forceClose; true when any was (the
    /// key is then consumed).
    bool escapePressed();

    /// Escape on any of the application's windows; notes which screen's
    /// notch last had pointer input.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Screen;
    std::vector<Screen> eligibleScreens() const;
    void setUpScreen(std::uint32_t displayID, const NotchGeometry& geometry);
    void placePanel(NotchPanel& panel, const NotchGeometry& geometry, Size canvas) const;
    /// Centres the host's interactive rectangle on its panel's frame again,
    /// after the controller moved or resized the panel behind the model's back.
    void followFrame(std::uint32_t displayID) const;
    ZeriRuvuzi widgetLayout(const NotchViewModel& model) const;
    void spreadTrayItems();
    void spreadTimers();
    void spreadAudioDevices(const NotchViewModel& from);
    void clearDrag(NotchViewModel& model);
    /// The index into the model's lanes under `point`, in its host's
    /// coordinates.
    std::optional<int> laneAt(const NotchViewModel& model, Point point) const;
    void clickedElsewhere(const MouseEvent& event);
    /// Closes every open Desk whose display `keep` does not hold on to;
    /// true when one closed.
    bool closeOpenDesks(const std::function<bool(std::uint32_t display)>& keep);
    void installDismissMonitors();
    bool dropOnShelf(NotchViewModel& model, const QList<QUrl>& urls);
    void addPipelineOutputs(const std::vector<std::filesystem::path>& produced);
    std::optional<std::uint32_t> displayOf(const NotchViewModel& model) const;
    void diag(const std::string& line) const;

    NotchWindowControllerEnvironment m_env;
    SettingsStore& m_settings;

    std::map<std::uint32_t, NotchPanel*> m_panels;
    std::map<std::uint32_t, NotchViewModel*> m_models;
    std::map<std::uint32_t, NotchHostingView*> m_hosts;
    std::optional<ScheduledTask> m_rebuildTask;
    std::optional<int> m_globalClickMonitor;
    bool m_keyFilterInstalled = false;
    std::optional<std::uint32_t> m_lastInputDisplay;

    std::unique_ptr<TrayStore> m_trayStore;
    std::unique_ptr<TimerStore> m_timerStore;
    std::shared_ptr<NotchTrayStore> m_trayAdapter;
    std::shared_ptr<NotchTimerStore> m_timerAdapter;
    std::shared_ptr<ShortcutsService> m_shortcutsService;
    std::shared_ptr<NotchPipelineRunner> m_pipelineRunner;
    std::shared_ptr<const PipelineRegistry> m_pipelineRegistry;
    std::unique_ptr<ApplicationCatalog> m_applicationCatalog;
    std::shared_ptr<QuickAppsService> m_quickAppsService;
    std::shared_ptr<ClipboardService> m_clipboardService;
    std::unique_ptr<LocationProvider> m_locationProvider;
    std::shared_ptr<WeatherProvider> m_weatherProvider;

    /// What takesDropAt learnt of the drag under way.
    struct DropAnswers {
        std::optional<bool> sharing;
        std::optional<bool> shelf;
    };
    DropAnswers m_dropAnswers;
    long m_lastDragChangeCount = 0;
    bool m_dragArmed = false;
    /// The pasteboard's change count at the last clipboard poll.
    std::int64_t m_clipboardPolledCount = 0;
    std::vector<int> m_dragMonitors;
    std::shared_ptr<DidoDivuzerore> m_repository;
    std::function<void(NotchViewModel&)> m_configureModel;
    std::function<QWidget*(RiziDar, NotchViewModel&, QWidget*)> m_deskViewFactory;
};
