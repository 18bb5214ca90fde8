#include "Vude/Shell/NotchDeskAdapters.h"

#include "VudeServices/CalendarEvent.h"
#include "VudeServices/Clip.h"
#include "VudeServices/PipelineRunner.h"
#include "VudeServices/QuickApp.h"
#include "VudeServices/TimerStore.h"
#include "VudeServices/TrayStore.h"

#include <QMetaObject>

#include <algorithm>

NotchTrayItem notchTrayItem(const TrayItem& item)
{
    return {item.id,        item.displayName, item.originalPath, item.storedPath,
            item.isDirectory, item.subtitle(),  item.utTypeIdentifier};
}

NotchTimer notchTimer(const VudeTimer& timer)
{
    return {timer.id, timer.label, timer.total, timer.startedAt, timer.pausedRemaining};
}

NotchClip notchClip(const Clip& clip)
{
    return {clip.id, clip.preview(), clip.kind, clip.text};
}

NotchQuickApp notchQuickApp(const QuickApp& app)
{
    return {app.bundleID, app.name, app.id, app.path};
}

QuickApp quickApp(const NotchQuickApp& app)
{
    return {app.id, app.bundleIdentifier, app.name, app.path};
}

NotchCalendarEvent notchCalendarEvent(const CalendarEvent& event)
{
    std::optional<NotchCalendarColor> color;
    if (event.calendarColor)
        color = NotchCalendarColor{event.calendarColor->red, event.calendarColor->green, event.calendarColor->blue};
    return {event.id,       event.title, event.start,      event.end,    event.isAllDay,
            event.location, color,       event.meetingURL, event.icsFile};
}

NotchCalendarDay notchCalendarDay(const CalendarDay& day)
{
    NotchCalendarDay shown{day.day, {}};
    shown.events.reserve(day.events.size());
    for (const CalendarEvent& event : day.events)
        shown.events.push_back(notchCalendarEvent(event));
    return shown;
}

std::vector<NotchTrayItem> TrayStoreAdapter::items() const
{
    std::vector<NotchTrayItem> items;
    items.reserve(m_store.items().size());
    for (const TrayItem& item : m_store.items())
        items.push_back(notchTrayItem(item));
    return items;
}

const TrayItem* TrayStoreAdapter::listed(const Uuid& id) const
{
    const auto& items = m_store.items();
    const auto found = std::ranges::find(items, id, &TrayItem::id);
    return found == items.end() ? nullptr : &*found;
}

void TrayStoreAdapter::remove(const NotchTrayItem& item)
{
    if (const TrayItem* found = listed(item.id)) {
        const TrayItem copy = *found; // remove() changes the list it lives in
        m_store.remove(copy);
    }
}

void TrayStoreAdapter::removeEntry(const NotchTrayItem& item)
{
    if (const TrayItem* found = listed(item.id)) {
        const TrayItem copy = *found;
        m_store.removeEntry(copy);
    }
}

void TrayStoreAdapter::sweep()
{
    m_store.sweep();
}

void TrayStoreAdapter::removeAll()
{
    m_store.removeAll();
}

void TrayStoreAdapter::thumbnail(const NotchTrayItem& item, double size, QObject* context, ThumbnailDone done)
{
    if (const TrayItem* found = listed(item.id)) {
        m_store.thumbnail(*found, size, context, std::move(done));
        return;
    }
    // Never at once: callers count on hearing back after they return. A
    // queued call to a context that is gone by then is dropped.
    QObject* receiver = context ? context : static_cast<QObject*>(&m_store);
    QMetaObject::invokeMethod(
        receiver,
        [done = std::move(done)] {
            if (done)
                done(std::nullopt);
        },
        Qt::QueuedConnection);
}

void TrayStoreAdapter::quickLook(const NotchTrayItem& item)
{
    if (const TrayItem* found = listed(item.id))
        m_store.quickLook(*found);
}

std::vector<NotchTimer> TimerStoreAdapter::timers() const
{
    std::vector<NotchTimer> timers;
    timers.reserve(m_store.timers().size());
    for (const VudeTimer& timer : m_store.timers())
        timers.push_back(notchTimer(timer));
    return timers;
}

void TimerStoreAdapter::add(double total, const std::string& label, bool start)
{
    m_store.add(total, label, start);
}

void TimerStoreAdapter::toggle(const NotchTimer& timer, Date now)
{
    // The store finds its timer by id and goes by its own state.
    VudeTimer stored;
    stored.id = timer.id;
    m_store.toggle(stored, now);
}

void TimerStoreAdapter::remove(const NotchTimer& timer)
{
    VudeTimer stored;
    stored.id = timer.id;
    m_store.remove(stored);
}

PipelineRunnerAdapter::PipelineRunnerAdapter(PipelineRegistry registry, Scheduler& scheduler)
    : m_runner(std::make_shared<PipelineRunner>(std::move(registry), scheduler))
{
    connect(m_runner.get(), &PipelineRunner::stateChanged, this, &NotchPipelineRunner::stateChanged);
}

PipelineRunnerAdapter::~PipelineRunnerAdapter() = default;

std::shared_ptr<const PipelineRegistry> PipelineRunnerAdapter::registry() const
{
    // Shares the runner's own registry, keeping the runner alive with it.
    return {m_runner, &m_runner->registry()};
}

PipelineRegistry::Pipelines PipelineRunnerAdapter::lanes(const std::vector<std::filesystem::path>& urls,
                                                         const PipelineList& enabled) const
{
    return m_runner->lanes(urls, enabled);
}

void PipelineRunnerAdapter::run(PipelineRegistry::Pipeline pipeline, std::vector<std::filesystem::path> urls,
                                std::filesystem::path folder, FinishHandler onFinish)
{
    m_runner->run(std::move(pipeline), std::move(urls), std::move(folder), std::move(onFinish));
}

PipelineRunState PipelineRunnerAdapter::state() const
{
    return m_runner->state();
}

std::vector<std::filesystem::path> PipelineRunnerAdapter::undo()
{
    return m_runner->undo();
}
