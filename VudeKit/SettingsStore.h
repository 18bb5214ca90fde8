#pragma once
// The one owner of every user preference. It keeps no copy of any value:
// each setting reads the user defaults on every access and writes them on
// every assignment, under a key equal to its property name. Numbers are
// clamped when written, never when read; stored values that are missing, of
// the wrong kind or name no case read as the setting's default.
//
// Main thread only. Every write (even of an unchanged value) bumps `revision`
// once and notifies the observers once.

#include "VudeKit/NotchStateGuards.h"
#include "VudeKit/SettingsCatalogue.h"
#include "VudeKit/UserDefaults.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

class SettingsStore {
public:
    static constexpr std::int64_t currentSchemaVersion = 1;
    static constexpr std::string_view schemaVersionKey = "settingsSchemaVersion";

    /// The keys that describe this machine rather than the user's taste. The
    /// store does not consult them itself.
    static const std::set<std::string_view>& deviceLocalKeys();

    static WidgetList defaultWidgetOrder();
    static WidgetSet defaultEnabledWidgets();

    /// Migrates the stored schema version; reads and writes nothing else.
    explicit SettingsStore(std::shared_ptr<UserDefaults> defaults);

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::shared_ptr<UserDefaults>& defaults() const { return m_defaults; }

#define VUDE_SETTING_ACCESSORS(name, Name, Type, fallback)                                         \
    Type name() const { return read(#name, Type(fallback)); }                                      \
    void set##Name(const Type& value) { write(#name, value); }
#define VUDE_NUMBER_ACCESSORS(name, Name, fallback, lowest, highest)                               \
    double name() const { return read(#name, double(fallback)); }                                  \
    void set##Name(double value) { writeNumber(#name, value, lowest, highest); }

    VUDE_SETTINGS_CATALOGUE(VUDE_SETTING_ACCESSORS, VUDE_NUMBER_ACCESSORS)

#undef VUDE_SETTING_ACCESSORS
#undef VUDE_NUMBER_ACCESSORS

    /// The transition switches for the notch state machine; `isTyping` is
    /// always false here.
    NotchStateGuards notchGuards() const;

    /// Adds the widget to, or removes it from, `enabledWidgets`: one write.
    void setWidget(WidgetID id, bool enabled);
    /// Stores `cells`, clamped to the widget's minimum ... 8, as the widget's
    /// entry of `widgetCells`: one write.
    void setCells(int cells, WidgetID id);

    /// Removes every key whose first character is a lower-case letter (all
    /// settings and the app's other own keys), keeps the rest, and stores the
    /// current schema version again.
    void resetAll();

    /// Writes made through this store since it was created.
    std::int64_t revision() const { return m_revision; }

    using Observer = std::function<void()>;
    /// Calls `observer` after every write, once per write. An observer removed
    /// while a write is being announced is not called for it.
    std::uint64_t addObserver(Observer observer);
    void removeObserver(std::uint64_t token);

private:
    void migrateIfNeeded();
    void didWrite();
    bool isObserving(std::uint64_t token) const;

    bool read(std::string_view key, bool fallback) const;
    double read(std::string_view key, double fallback) const;
    template <DescribedEnum E>
    E read(std::string_view key, E fallback) const
    {
        const auto raw = m_defaults->stringForKey(key);
        return raw ? enumFromRaw<E>(*raw).value_or(fallback) : fallback;
    }
    PipelineList read(std::string_view key, const PipelineList& fallback) const;
    WidgetList read(std::string_view key, const WidgetList& fallback) const;
    WidgetSet read(std::string_view key, const WidgetSet& fallback) const;
    CalendarIDSet read(std::string_view key, const CalendarIDSet& fallback) const;
    WidgetCellMap read(std::string_view key, const WidgetCellMap& fallback) const;

    void write(std::string_view key, bool value);
    void writeNumber(std::string_view key, double value, double lowest, double highest);
    template <DescribedEnum E>
    void write(std::string_view key, E value)
    {
        write(key, DefaultsValue(rawValue(value)));
    }
    void write(std::string_view key, const PipelineList& value);
    void write(std::string_view key, const WidgetList& value);
    void write(std::string_view key, const WidgetSet& value);
    void write(std::string_view key, const CalendarIDSet& value);
    void write(std::string_view key, const WidgetCellMap& value);
    void write(std::string_view key, DefaultsValue value);

    struct ObserverEntry {
        std::uint64_t token;
        Observer observer;
    };

    const std::shared_ptr<UserDefaults> m_defaults;
    std::int64_t m_revision = 0;
    std::vector<ObserverEntry> m_observers;
    std::uint64_t m_nextToken = 1;
};
