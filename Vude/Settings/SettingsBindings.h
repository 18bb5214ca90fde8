#pragma once
// How a pane ties its controls to what they show. Every pane holds one
// SettingsBindings over the settings store:
//
//     bindings.bind(demoSwitch, &SettingsStore::demoMode, &SettingsStore::setDemoMode);
//     bindings.bind(paddingSlider, &SettingsStore::contentPadding, &SettingsStore::setContentPadding);
//     bindings.bind(keepAwake, [&] { return idle.isKeepingAwake(); }, [&](bool) { onToggleKeepAwake(); });
//     bindings.refreshOn(&idle, &IdleService::keepingAwakeChanged);
//     bindings.follow([=] { row->setLabel(...); });   // anything else that reads a setting
//
// The rules every pane keeps through it:
// - a control refreshes in place after every write to the store (and on the
//   signals named with refreshOn), and a refresh never writes back;
// - controls are never rebuilt by a refresh, so one the user holds (a
//   slider mid-drag, a focused switch) stays the same widget;
// - the source wins over the click: a switch or slider asks its setter for
//   the new value, then shows whatever its getter reads afterwards. A setter
//   that ignores the request (a toggle that calls a service, a store that
//   keeps a row on) leaves the control showing the source.
// Rows that a refresh adds, moves or removes are kept by key (KeyedColumn),
// so a row whose own button removed it goes from the event loop, never
// inside its own clicked().
//
// Main thread only; the store must outlive the bindings.

#include "VudeKit/SettingsStore.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class SettingsSwitch;
class ValueSlider;

class SettingsBindings final : public QObject {
    Q_OBJECT
public:
    /// Lives as long as `owner` (the pane), or until deleted.
    SettingsBindings(SettingsStore& store, QObject* owner);
    ~SettingsBindings() override;

    SettingsStore& store() const { return m_store; }

    /// Calls `refresh` now and after every refresh cause.
    void follow(std::function<void()> refresh);

    void bind(SettingsSwitch* control, std::function<bool()> get, std::function<void(bool)> set);
    void bind(SettingsSwitch* control, bool (SettingsStore::*get)() const,
              void (SettingsStore::*set)(const bool&));
    void bind(ValueSlider* control, std::function<double()> get, std::function<void(double)> set);
    void bind(ValueSlider* control, double (SettingsStore::*get)() const, void (SettingsStore::*set)(double));

    /// Refreshes everything on each emission of `signal` by `sender` too.
    template <typename Sender, typename Signal>
    void refreshOn(Sender* sender, Signal signal)
    {
        connect(sender, signal, this, [this] { refresh(); });
    }

    /// Reads every source again and shows it.
    void refresh();

private:
    SettingsStore& m_store;
    std::uint64_t m_observer = 0;
    std::vector<std::function<void()>> m_refreshes;
    bool m_refreshing = false;
};
