#include "Vude/Shell/NotchViewModel.h"

#include "VudeServices/PipelineRegistry.h"
#include "VudeServices/ScreenCoordinates.h"
#include "VudeSync/DidoDivuzerore.h"
#include "Vude/Shell/NotchDropLanes.h"
#include "Vude/Shell/NotchPanel.h"

#include <set>
#include <system_error>

namespace {

constexpr double kOpenRadius = 34;
constexpr double kRestingRadius = 14;

/// Stores `value` and tells whether it changed.
template <typename T>
bool assign(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

std::vector<std::filesystem::path> localFiles(const QList<QUrl>& urls)
{
    std::vector<std::filesystem::path> files;
    files.reserve(std::size_t(urls.size()));
    for (const QUrl& url : urls)
        files.emplace_back(url.toLocalFile().toStdString());
    return files;
}

} // namespace

NotchViewModel::NotchViewModel(const NotchGeometry& geometry, SettingsStore& settings, const ShellPlatform& platform,
                               Scheduler& scheduler, const ClockSource& clock, const TextMeasurer& measurer,
                               QObject* parent)
    : QObject(parent), m_settings(settings), m_platform(platform), m_scheduler(scheduler), m_clock(clock),
      m_metrics(measurer), m_geometry(geometry), m_machine(NotchState::closed(), settings.notchGuards())
{
}

NotchViewModel::~NotchViewModel()
{
    if (m_hiddenWheelMonitor)
        m_platform.mouseMonitor.removeMonitor(*m_hiddenWheelMonitor);
}

#define VUDE_OBSERVED_SETTER(Name, Type, field, signal)                                                    \
    void NotchViewModel::set##Name(const Type& value)                                                      \
    {                                                                                                      \
        if (assign(field, value))                                                                          \
            emit signal();                                                                                 \
    }

VUDE_OBSERVED_SETTER(Geometry, NotchGeometry, m_geometry, geometryChanged)
VUDE_OBSERVED_SETTER(NowPlaying, NowPlayingState, m_nowPlaying, nowPlayingChanged)
VUDE_OBSERVED_SETTER(TrayItems, std::vector<NotchTrayItem>, m_trayItems, trayItemsChanged)
VUDE_OBSERVED_SETTER(Clips, std::vector<NotchClip>, m_clips, clipsChanged)
VUDE_OBSERVED_SETTER(AudioDevices, std::vector<AudioOutputDevice>, m_audioDevices, audioDevicesChanged)
VUDE_OBSERVED_SETTER(QuickApps, std::vector<NotchQuickApp>, m_quickApps, quickAppsChanged)
VUDE_OBSERVED_SETTER(DragURLs, QList<QUrl>, m_dragURLs, dragURLsChanged)
VUDE_OBSERVED_SETTER(DragLanes, std::vector<DropLane>, m_dragLanes, dragLanesChanged)
VUDE_OBSERVED_SETTER(Timers, std::vector<NotchTimer>, m_timers, timersChanged)

#undef VUDE_OBSERVED_SETTER

void NotchViewModel::setLayout(const ZeriRuvuzi& layout)
{
    if (!assign(m_layout, layout))
        return;
    emit layoutChanged();
    // The open Desk is as wide and tall as its row: a row changed from the
    // settings would otherwise be drawn in, and cut by, the old window.
    if (m_state.isOpen())
        resizeWindow(m_state);
}

void NotchViewModel::setHoveredLane(std::optional<int> lane)
{
    if (assign(m_hoveredLane, lane))
        emit hoveredLaneChanged();
}

void NotchViewModel::setWeatherProvider(std::shared_ptr<WeatherProvider> provider)
{
    if (assign(m_weatherProvider, provider))
        emit weatherProviderChanged();
}

NotchPanel* NotchViewModel::panel() const
{
    return m_panel.data();
}

void NotchViewModel::setPanel(NotchPanel* panel)
{
    m_panel = panel;
}

NotchSizing NotchViewModel::sizing() const
{
    return {m_geometry, m_state, m_isHovering, m_layout, m_settings.contentPadding(), m_metrics};
}

Rect NotchViewModel::currentInteractiveRect() const
{
    // The window is centred on the notch and the content in the window, so
    // the band must be centred on the window's real width: while a shrink
    // waits, the window is still wider than the new canvas.
    if (m_panel)
        return interactiveRect(m_panel->frame().size());
    return interactiveRect(currentCanvasSize());
}

void NotchViewModel::performHaptic()
{
    if (m_settings.hapticFeedback())
        m_platform.haptics.perform(HapticPattern::alignment);
}

void NotchViewModel::send(const NotchEvent& event)
{
    emit eventSent(event);
    m_machine.setGuards(m_settings.notchGuards());
    updateHoverHint(event);

    const NotchState old = m_state;
    const std::vector<NotchEffect> effects = m_machine.apply(event);
    const NotchState next = m_machine.state();

    if (!(next == old)) {
        m_animation = Vude::Motion::respectingReduceMotion(next.isOpen() ? Vude::Motion::open : Vude::Motion::close,
                                                           reducesMotion());
        m_state = next;
        emit stateChanged();
        if (onGeometryChange)
            onGeometryChange();
        resizeWindow(next);

        if (NotchPanel* panel = m_panel.data()) {
            setKeyboardFocus(*panel, next.isOpen());

            const double radius = next.isOpen() ? kOpenRadius : kRestingRadius;
            if (panel->drawnBottomRadius() != radius) {
                panel->setDrawnBottomRadius(radius);
                panel->syncBackdrop();
            }

            const bool backdrop = m_settings.progressiveBlur();
            if (panel->backdropEnabled() != backdrop) {
                panel->setBackdropEnabled(backdrop);
                if (backdrop)
                    panel->syncBackdrop();
                else
                    panel->backdrop().hide();
            }
        }

        if (next.isOpen() && !old.isOpen()) {
            if (repository)
                repository->reloadFromStore();
            if (audioOutputDevices)
                setAudioDevices(audioOutputDevices());
        }
        watchWheelWhileHidden();
    }

    for (const NotchEffect& effect : effects)
        carryOut(effect);
}

void NotchViewModel::carryOut(const NotchEffect& effect)
{
    switch (effect.kind()) {
    case NotchEffect::Kind::requestKeyboardFocus:
        if (NotchPanel* panel = m_panel.data())
            setKeyboardFocus(*panel, effect.focus());
        return;
    case NotchEffect::Kind::haptic:
        performHaptic();
        return;
    case NotchEffect::Kind::cycleActivity:
    case NotchEffect::Kind::openRavo:
    case NotchEffect::Kind::mediaNext:
    case NotchEffect::Kind::mediaPrevious:
    case NotchEffect::Kind::dismissActivity:
        if (onEffect)
            onEffect(effect);
        return;
    }
}

void NotchViewModel::setKeyboardFocus(NotchPanel& panel, bool requested)
{
    const bool was = panel.keyboardFocusRequested();
    panel.setKeyboardFocusRequested(requested);
    if (was == requested)
        return;
    if (requested)
        panel.makeKeyAndOrderFront();
    else
        panel.resignKey();
}

void NotchViewModel::updateHoverHint(const NotchEvent& event)
{
    bool hovering = m_isHovering;
    if (event.kind() == NotchEvent::Kind::hoverBegan) {
        if (m_state.kind() == NotchState::Kind::closed || isAmbientMedia())
            hovering = true;
    } else if (event.kind() == NotchEvent::Kind::hoverEnded) {
        hovering = false;
    } else {
        return;
    }
    if (hovering == m_isHovering)
        return;

    m_isHovering = hovering;
    m_animation = Vude::Motion::respectingReduceMotion(Vude::Motion::hover, reducesMotion());
    emit isHoveringChanged();
    if (hovering)
        performHaptic();
    // Both ways at once: the hover margins are small, and a delayed shrink
    // would leave a dead band where the pointer just left.
    if (NotchPanel* panel = m_panel.data())
        placePanel(*panel, currentCanvasSize());
    if (onGeometryChange)
        onGeometryChange();
}

void NotchViewModel::resizeWindow(const NotchState& to)
{
    NotchPanel* panel = m_panel.data();
    if (!panel)
        return;
    const NotchSizing sizes = sizing();
    const Size target = sizes.canvas(to);
    if (NotchSizing::growsNow(panel->currentCanvas(), target)) {
        placePanel(*panel, target);
        if (onGeometryChange)
            onGeometryChange();
        return;
    }
    // Shrink once the new state's animation has settled, and only if that
    // state is still shown then; its size is read again at that moment.
    m_scheduler.after(NotchSizing::shrinkDelayTo(to), [self = QPointer<NotchViewModel>(this),
                                                       weakPanel = QPointer<NotchPanel>(panel), to] {
        if (!self || !weakPanel || !(self->m_state == to))
            return;
        self->placePanel(*weakPanel, self->currentCanvasSize());
        if (self->onGeometryChange)
            self->onGeometryChange();
    });
}

void NotchViewModel::placePanel(Size canvas)
{
    if (NotchPanel* panel = m_panel.data())
        placePanel(*panel, canvas);
}

void NotchViewModel::placePanel(NotchPanel& panel, Size canvas)
{
    panel.setCurrentCanvas(canvas);
    panel.setDrawnCanvas(canvas);
    const Rect frame = sizing().notchFrame(canvas);
    panel.setFrame(ScreenCoordinates::forScreens(m_platform.screens.screens()).toTopLeft(frame));
    panel.syncBackdrop();
}

void NotchViewModel::handleScroll(double dx, double dy, SwipePhase phase)
{
    if (!m_settings.gesturesWhileHovering())
        return;
    if (const auto intent = recognise(dx, dy, phase))
        send(ScrollGestureRecognizer::event(*intent, m_state));
}

std::optional<ScrollIntent> NotchViewModel::recognise(double dx, double dy, SwipePhase phase)
{
    m_scroll.naturalVertical = m_settings.naturalMovement();
    m_scroll.invertHorizontal = m_settings.invertMediaGestures();
    return m_scroll.consume(dx, dy, phase, m_clock.now());
}

void NotchViewModel::watchWheelWhileHidden()
{
    const bool hidden = m_state.kind() == NotchState::Kind::hidden;
    if (hidden && !m_hiddenWheelMonitor) {
        m_hiddenWheel = {};
        m_hiddenWheelMonitor = m_platform.mouseMonitor.addGlobalMonitor(
            mouseEventMask(MouseEventType::scrollWheel), [this](const MouseEvent& event) { hiddenWheelTurned(event); });
    } else if (!hidden && m_hiddenWheelMonitor) {
        m_platform.mouseMonitor.removeMonitor(*m_hiddenWheelMonitor);
        m_hiddenWheelMonitor.reset();
    }
}

void NotchViewModel::hiddenWheelTurned(const MouseEvent& event)
{
    if (m_state.kind() != NotchState::Kind::hidden)
        return;
    const Rect handler =
        ScreenCoordinates::forScreens(m_platform.screens.screens()).toTopLeft(m_geometry.notchRect());
    if (!handler.contains(event.location))
        return;
    // The same conversion and recogniser as a wheel over the visible notch,
    // so the turn that opens a closed notch also brings a hidden one back.
    const WheelInput input{{event.deltaX * 120, event.deltaY * 120}, {}, WheelPhase::none, m_clock.now()};
    const ScrollStep step = m_hiddenWheel.translate(input);
    if (recognise(step.dx, step.dy, step.phase) == ScrollIntent::down)
        send(NotchEvent::swipeDown());
}

void NotchViewModel::beginDrag(const QList<QUrl>& urls)
{
    setDragURLs(urls);
    setHoveredLane(std::nullopt);
    if (urls.isEmpty()) {
        setDragLanes({});
        return;
    }
    const PipelineRegistry* registry = m_settings.pipelinesEnabled() ? pipelines.get() : nullptr;
    setDragLanes(NotchDropLanes::lanes(localFiles(urls), registry, m_settings.pipelineOrder()));
}

std::optional<int> NotchViewModel::lane(double x, double width) const
{
    return NotchDropLanes::laneAt(x, width, m_dragLanes.size());
}

void NotchViewModel::addTimer(double seconds)
{
    if (timerStore)
        timerStore->add(seconds, std::string(), true);
    setTimers(timerStore ? timerStore->timers() : std::vector<NotchTimer>());
}

void NotchViewModel::openCalendarEvent(const NotchCalendarEvent& event)
{
    // Only a web link counts as a meeting link: calendar files come from
    // anywhere and must not make us open other kinds of address.
    const auto& link = event.meetingURL;
    if (m_settings.detectMeetingLinks() && link && link->isValid() && link->scheme() == QLatin1String("https")) {
        m_platform.urls.open(*link);
        return;
    }
    if (!event.icsFile || !event.icsFile->is_absolute())
        return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(*event.icsFile, error))
        return;
    m_platform.urls.open(QUrl::fromLocalFile(QString::fromStdString(event.icsFile->string())));
}

void NotchViewModel::openWebPage(const QUrl& url)
{
    if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
        m_platform.urls.open(url);
}

void NotchViewModel::removeTrayItems(const std::vector<std::filesystem::path>& files)
{
    if (files.empty() || !trayStore)
        return;
    std::set<std::filesystem::path> sources;
    for (const auto& file : files)
        sources.insert(file.lexically_normal());
    for (const NotchTrayItem& item : trayStore->items()) {
        if (item.originalPath && sources.count(std::filesystem::path(*item.originalPath).lexically_normal()))
            trayStore->remove(item);
    }
    setTrayItems(trayStore->items());
}

void NotchViewModel::requestCalendarAccess()
{
    if (!calendarService)
        return;
    if (calendarService->access() != NotchCalendarAccess::notDetermined) {
        if (openCalendarSettings)
            openCalendarSettings();
        return;
    }
    m_platform.activation.activateIgnoringOtherApps();
    // The request may outlive this model; what it finishes with does not.
    calendarService->start([service = calendarService, trace = trace, activation = &m_platform.activation] {
        if (trace) {
            const std::optional<std::string> error = service->requestError();
            trace("calendar access after request: " + std::string(rawValue(service->access())) +
                  " error=" + error.value_or("none"));
        }
        activation->setActivationPolicy(ActivationPolicy::accessory);
    });
}
