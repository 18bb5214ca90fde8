#include "Vude/Shell/NotchDeskAdapters.h"

#include "VudeServices/Clip.h"
#include "VudeServices/PipelineRunner.h"
#include "VudeServices/QuickApp.h"
#include "VudeServices/TimerStore.h"
#include "VudeServices/TrayStore.h"

#include <algorithm>

NotchTrayItem notchTrayItem(const TrayItem& item)
{
    return {item.id, item.displayName, item.originalPath};
}

NotchTimer notchTimer(const VudeTimer& timer)
{
    return {timer.id, timer.label, timer.total, timer.startedAt, timer.pausedRemaining};
}

NotchClip notchClip(const Clip& clip)
{
    return {clip.id, clip.preview()};
}

NotchQuickApp notchQuickApp(const QuickApp& app)
{
    return {app.bundleID, app.name};
}

std::vector<NotchTrayItem> TrayStoreAdapter::items() const
{
    std::vector<NotchTrayItem> items;
    items.reserve(m_store.items().size());
    for (const TrayItem& item : m_store.items())
        items.push_back(notchTrayItem(item));
    return items;
}

void TrayStoreAdapter::remove(const NotchTrayItem& item)
{
    const auto& items = m_store.items();
    const auto found = std::ranges::find(items, item.id, &TrayItem::id);
    if (found == items.end())
        return;
    const TrayItem listed = *found; // remove() changes the list it lives in
    m_store.remove(listed);
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

PipelineRunnerAdapter::PipelineRunnerAdapter(PipelineRegistry registry, Scheduler& scheduler)
    : m_runner(std::make_shared<PipelineRunner>(std::move(registry), scheduler))
{
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
