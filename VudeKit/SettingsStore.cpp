#include "VudeKit/SettingsStore.h"

#include "VudeKit/Numbers.h"
#include "VudeKit/WidgetLayout.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <limits>

namespace {

// Whether the first character (one grapheme cluster) of `key` is lower-case:
// a single code point with the Unicode Lowercase property, or a cluster that
// lower-casing leaves alone while upper-casing changes it ("e" + U+0301).
bool startsWithLowercase(std::string_view key)
{
    if (key.empty())
        return false;
    const auto lead = static_cast<unsigned char>(key.front());
    // Combining marks after an ASCII letter do not change its case.
    if (lead < 0x80)
        return lead >= 'a' && lead <= 'z';

    const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(key.data(), static_cast<int32_t>(key.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> graphemes(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !graphemes)
        return u_hasBinaryProperty(text.char32At(0), UCHAR_LOWERCASE);
    graphemes->setText(text);
    graphemes->first();
    const int32_t end = graphemes->next();
    const icu::UnicodeString first(text, 0, end == icu::BreakIterator::DONE ? text.length() : end);

    if (first.countChar32() == 1 && u_hasBinaryProperty(first.char32At(0), UCHAR_LOWERCASE))
        return true;
    icu::UnicodeString lower(first);
    icu::UnicodeString upper(first);
    lower.toLower(icu::Locale::getRoot());
    upper.toUpper(icu::Locale::getRoot());
    return lower == first && upper != first;
}

template <DescribedEnum E>
std::vector<E> enumsFromNames(const DefaultsValue::Array& names)
{
    std::vector<E> values;
    for (const auto& name : names)
        if (const auto value = enumFromRaw<E>(*name.string()))
            values.push_back(*value);
    return values;
}

/// The stored array when every element is a string; nullopt otherwise.
std::optional<DefaultsValue::Array> stringArray(const UserDefaults& defaults, std::string_view key)
{
    auto array = defaults.arrayForKey(key);
    if (!array)
        return std::nullopt;
    const bool allStrings = std::all_of(array->begin(), array->end(), [](const auto& value) { return value.string() != nullptr; });
    if (!allStrings)
        return std::nullopt;
    return array;
}

template <typename Range, typename Name>
DefaultsValue::Array namesOf(const Range& values, Name name)
{
    DefaultsValue::Array names;
    for (const auto& value : values)
        names.emplace_back(name(value));
    return names;
}

// Sets are stored sorted by plain string comparison, so their form is canonical.
DefaultsValue::Array sortedNames(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return namesOf(names, [](const std::string& name) { return name; });
}

} // namespace

const std::set<std::string_view>& SettingsStore::deviceLocalKeys()
{
    static const std::set<std::string_view> keys{
        "notchWidthAdjust", "notchHeightAdjust", "handlerWidth", "handlerHeight", "showOn", "mirrorDeviceID", "demoMode",
    };
    return keys;
}

WidgetList SettingsStore::defaultWidgetOrder()
{
    return {WidgetID::media, WidgetID::todos, WidgetID::shortcuts, WidgetID::mirror};
}

WidgetSet SettingsStore::defaultEnabledWidgets()
{
    const auto order = defaultWidgetOrder();
    return WidgetSet(order.begin(), order.end());
}

SettingsStore::SettingsStore(std::shared_ptr<UserDefaults> defaults)
    : m_defaults(defaults ? std::move(defaults) : UserDefaults::standard())
{
    migrateIfNeeded();
}

void SettingsStore::migrateIfNeeded()
{
    const auto version = m_defaults->integerForKey(schemaVersionKey);
    if (version && *version >= 1)
        return;
    m_defaults->set(schemaVersionKey, currentSchemaVersion);
}

NotchStateGuards SettingsStore::notchGuards() const
{
    NotchStateGuards guards;
    guards.expandOnHover = expandOnHover();
    guards.alwaysOpenOnHover = alwaysOpenOnHover();
    guards.preventCloseOnMouseLeave = preventCloseOnMouseLeave();
    guards.swipeToToggleOpen = swipeToToggleOpen();
    guards.swipeToDismissActivity = swipeToDismissActivity();
    guards.swipeToCycleActivity = swipeToCycleActivity();
    guards.swipeToSkipMedia = swipeToSkipMedia();
    guards.interactiveActivities = interactiveActivities();
    guards.quickPeekEnabled = quickPeekEnabled();
    guards.demoMode = demoMode();
    guards.lockWhileTyping = lockWhileTyping();
    guards.isTyping = false;
    return guards;
}

void SettingsStore::setWidget(WidgetID id, bool enabled)
{
    auto widgets = enabledWidgets();
    if (enabled)
        widgets.insert(id);
    else
        widgets.erase(id);
    setEnabledWidgets(widgets);
}

void SettingsStore::setCells(int cells, WidgetID id)
{
    auto map = widgetCells();
    map[id] = WidgetLayoutEngine::clampCells(cells, id);
    setWidgetCells(map);
}

void SettingsStore::resetAll()
{
    std::vector<std::string> doomed;
    for (const auto& [key, value] : m_defaults->dictionaryRepresentation())
        if (startsWithLowercase(key))
            doomed.push_back(key);
    m_defaults->remove(doomed);
    m_defaults->set(schemaVersionKey, currentSchemaVersion);
    didWrite();
}

std::uint64_t SettingsStore::addObserver(Observer observer)
{
    const auto token = m_nextToken++;
    m_observers.push_back({token, std::move(observer)});
    return token;
}

void SettingsStore::removeObserver(std::uint64_t token)
{
    std::erase_if(m_observers, [token](const ObserverEntry& entry) { return entry.token == token; });
}

void SettingsStore::didWrite()
{
    ++m_revision;
    // A copy, so an observer may add or remove observers (or write again).
    // One removed by an earlier observer of this round is skipped: its owner
    // may already be gone.
    const auto observers = m_observers;
    for (const auto& entry : observers)
        if (isObserving(entry.token))
            entry.observer();
}

bool SettingsStore::isObserving(std::uint64_t token) const
{
    return std::any_of(m_observers.begin(), m_observers.end(),
                       [token](const ObserverEntry& entry) { return entry.token == token; });
}

// Reading

bool SettingsStore::read(std::string_view key, bool fallback) const
{
    return m_defaults->boolForKey(key).value_or(fallback);
}

double SettingsStore::read(std::string_view key, double fallback) const
{
    return m_defaults->doubleForKey(key).value_or(fallback);
}

PipelineList SettingsStore::read(std::string_view key, const PipelineList& fallback) const
{
    const auto names = stringArray(*m_defaults, key);
    return names ? enumsFromNames<PipelineID>(*names) : fallback;
}

WidgetList SettingsStore::read(std::string_view key, const WidgetList& fallback) const
{
    const auto names = stringArray(*m_defaults, key);
    return names ? enumsFromNames<WidgetID>(*names) : fallback;
}

WidgetSet SettingsStore::read(std::string_view key, const WidgetSet& fallback) const
{
    const auto names = stringArray(*m_defaults, key);
    if (!names)
        return fallback;
    const auto widgets = enumsFromNames<WidgetID>(*names);
    return WidgetSet(widgets.begin(), widgets.end());
}

CalendarIDSet SettingsStore::read(std::string_view key, const CalendarIDSet& fallback) const
{
    const auto names = stringArray(*m_defaults, key);
    if (!names)
        return fallback;
    CalendarIDSet identifiers;
    for (const auto& name : *names)
        identifiers.insert(*name.string());
    return identifiers;
}

WidgetCellMap SettingsStore::read(std::string_view key, const WidgetCellMap& fallback) const
{
    const auto stored = m_defaults->dictionaryForKey(key);
    if (!stored)
        return fallback;
    WidgetCellMap cells;
    for (const auto& [name, value] : *stored) {
        const auto count = value.toInteger();
        if (!count)
            return {};
        // Absurd counts saturate rather than wrap.
        if (const auto id = enumFromRaw<WidgetID>(name))
            cells[*id] = static_cast<int>(std::clamp<std::int64_t>(*count, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    return cells;
}

// Writing

void SettingsStore::write(std::string_view key, DefaultsValue value)
{
    m_defaults->set(key, std::move(value));
    didWrite();
}

void SettingsStore::write(std::string_view key, bool value)
{
    write(key, DefaultsValue(value));
}

void SettingsStore::writeNumber(std::string_view key, double value, double lowest, double highest)
{
    write(key, DefaultsValue(clampedOrLower(value, lowest, highest)));
}

void SettingsStore::write(std::string_view key, const PipelineList& value)
{
    write(key, namesOf(value, [](PipelineID id) { return rawValue(id); }));
}

void SettingsStore::write(std::string_view key, const WidgetList& value)
{
    write(key, namesOf(value, [](WidgetID id) { return rawValue(id); }));
}

void SettingsStore::write(std::string_view key, const WidgetSet& value)
{
    std::vector<std::string> names;
    for (const auto id : value)
        names.emplace_back(rawValue(id));
    write(key, sortedNames(std::move(names)));
}

void SettingsStore::write(std::string_view key, const CalendarIDSet& value)
{
    write(key, sortedNames(std::vector<std::string>(value.begin(), value.end())));
}

void SettingsStore::write(std::string_view key, const WidgetCellMap& value)
{
    DefaultsValue::Dictionary cells;
    for (const auto& [id, count] : value)
        cells.emplace(std::string(rawValue(id)), count);
    write(key, std::move(cells));
}
