#include "Vude/Settings/SettingsBindings.h"

#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/ValueSlider.h"

SettingsBindings::SettingsBindings(SettingsStore& store, QObject* owner) : QObject(owner), m_store(store)
{
    m_observer = m_store.addObserver([this] { refresh(); });
}

SettingsBindings::~SettingsBindings()
{
    m_store.removeObserver(m_observer);
}

void SettingsBindings::follow(std::function<void()> refresh)
{
    refresh();
    m_refreshes.push_back(std::move(refresh));
}

void SettingsBindings::refresh()
{
    // A refresh that writes would come back here: once is enough.
    if (m_refreshing)
        return;
    m_refreshing = true;
    // A copy: a refresh may follow something more.
    const auto refreshes = m_refreshes;
    for (const auto& each : refreshes)
        each();
    m_refreshing = false;
}

void SettingsBindings::bind(SettingsSwitch* control, std::function<bool()> get, std::function<void(bool)> set)
{
    const QPointer<SettingsSwitch> guarded(control);
    auto show = [guarded, get] {
        if (guarded)
            guarded->setOn(get());
    };
    connect(control, &SettingsSwitch::flipped, this, [set, show](bool requested) {
        set(requested);
        show();
    });
    follow(show);
}

void SettingsBindings::bind(SettingsSwitch* control, bool (SettingsStore::*get)() const,
                            void (SettingsStore::*set)(const bool&))
{
    SettingsStore& store = m_store;
    bind(control, [&store, get] { return (store.*get)(); }, [&store, set](bool value) { (store.*set)(value); });
}

void SettingsBindings::bind(ValueSlider* control, std::function<double()> get, std::function<void(double)> set)
{
    const QPointer<ValueSlider> guarded(control);
    auto show = [guarded, get] {
        if (guarded)
            guarded->setValue(get());
    };
    connect(control, &ValueSlider::moved, this, [set, show](double requested) {
        set(requested);
        show();
    });
    follow(show);
}

void SettingsBindings::bind(ValueSlider* control, double (SettingsStore::*get)() const,
                            void (SettingsStore::*set)(double))
{
    SettingsStore& store = m_store;
    bind(control, [&store, get] { return (store.*get)(); }, [&store, set](double value) { (store.*set)(value); });
}
