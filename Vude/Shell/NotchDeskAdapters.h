#pragma once
// The Desk's services behind the narrow interfaces a notch view model uses,
// and the plain values it publishes made from the services' own types.

#include "Vude/Shell/NotchDeskServices.h"
#include "Vude/Shell/NotchPipelineRunner.h"

#include <memory>

class PipelineRunner;
class Scheduler;
class TimerStore;
class TrayStore;
struct CalendarDay;
struct CalendarEvent;
struct Clip;
struct QuickApp;
struct TrayItem;
struct VudeTimer;

NotchTrayItem notchTrayItem(const TrayItem& item);
NotchTimer notchTimer(const VudeTimer& timer);
NotchClip notchClip(const Clip& clip);
NotchQuickApp notchQuickApp(const QuickApp& app);
NotchCalendarEvent notchCalendarEvent(const CalendarEvent& event);
NotchCalendarDay notchCalendarDay(const CalendarDay& day);
/// The pin the service knows, back from what the Desk was shown.
QuickApp quickApp(const NotchQuickApp& app);

/// The tray as the models see it; `store` must outlive the adapter.
class TrayStoreAdapter final : public NotchTrayStore {
public:
    explicit TrayStoreAdapter(TrayStore& store) : m_store(store) {}
    std::vector<NotchTrayItem> items() const override;
    // Each acts on the listed item with that id; an item no longer listed
    // is left alone.
    void remove(const NotchTrayItem& item) override;
    void removeEntry(const NotchTrayItem& item) override;
    void sweep() override;
    void removeAll() override;
    /// An item no longer listed gets no picture (done hears none, later).
    void thumbnail(const NotchTrayItem& item, double size, QObject* context, ThumbnailDone done) override;
    void quickLook(const NotchTrayItem& item) override;

private:
    const TrayItem* listed(const Uuid& id) const;

    TrayStore& m_store;
};

/// The countdowns as the models see them; `store` must outlive the adapter.
class TimerStoreAdapter final : public NotchTimerStore {
public:
    explicit TimerStoreAdapter(TimerStore& store) : m_store(store) {}
    std::vector<NotchTimer> timers() const override;
    void add(double total, const std::string& label, bool start) override;
    void toggle(const NotchTimer& timer, Date now) override;
    void remove(const NotchTimer& timer) override;

private:
    TimerStore& m_store;
};

/// The pipeline runner as the controller drives it and the Desk's banner
/// shows it; owns the runner.
class PipelineRunnerAdapter final : public NotchPipelineRunner {
public:
    /// A runner over `registry`; `scheduler` must outlive the adapter.
    PipelineRunnerAdapter(PipelineRegistry registry, Scheduler& scheduler);
    ~PipelineRunnerAdapter() override;

    std::shared_ptr<const PipelineRegistry> registry() const override;
    PipelineRegistry::Pipelines lanes(const std::vector<std::filesystem::path>& urls,
                                      const PipelineList& enabled) const override;
    void run(PipelineRegistry::Pipeline pipeline, std::vector<std::filesystem::path> urls,
             std::filesystem::path folder, FinishHandler onFinish) override;
    PipelineRunState state() const override;
    std::vector<std::filesystem::path> undo() override;

    /// The runner itself, for the Desk's pipeline banner.
    PipelineRunner& runner() const { return *m_runner; }

private:
    std::shared_ptr<PipelineRunner> m_runner;
};
