#include "VudeKit/SettingsStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

using Array = DefaultsValue::Array;
using Dictionary = DefaultsValue::Dictionary;
using S = SettingsStore;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// One setting as the catalogue lists it, with its value in stored form: a bool,
// a double, a raw name, an array of names or a name-to-count dictionary.
struct Row {
    std::string_view key;
    DefaultsValue fallback;
    std::optional<std::pair<double, double>> range;
    // Some value other than the default, written through the setter.
    DefaultsValue sample;
    std::function<DefaultsValue(const S&)> read;
    std::function<void(S&, const DefaultsValue&)> write;
};

Row boolRow(std::string_view key, bool (S::*get)() const, void (S::*set)(const bool&), bool fallback)
{
    return {key, fallback, {}, !fallback, [get](const S& s) { return DefaultsValue((s.*get)()); },
            [set](S& s, const DefaultsValue& v) { (s.*set)(*v.toBool()); }};
}

Row numberRow(std::string_view key, double (S::*get)() const, void (S::*set)(double), double fallback, double low, double high)
{
    // A quarter of the way up the range differs from every default.
    const double sample = low + (high - low) / 4;
    return {key, fallback, std::pair{low, high}, sample, [get](const S& s) { return DefaultsValue((s.*get)()); },
            [set](S& s, const DefaultsValue& v) { (s.*set)(*v.toDouble()); }};
}

template <DescribedEnum E>
Row choiceRow(std::string_view key, E (S::*get)() const, void (S::*set)(const E&), std::string_view fallback)
{
    // The first case that is not the default.
    std::string_view other;
    for (const auto value : allCases<E>())
        if (rawValue(value) != fallback && other.empty())
            other = rawValue(value);
    return {key, fallback, {}, other, [get](const S& s) { return DefaultsValue(rawValue((s.*get)())); },
            [set](S& s, const DefaultsValue& v) { (s.*set)(*enumFromRaw<E>(*v.string())); }};
}

template <typename Container>
Array names(const Container& values)
{
    Array array;
    for (const auto& value : values) {
        if constexpr (DescribedEnum<std::decay_t<decltype(value)>>)
            array.emplace_back(rawValue(value));
        else
            array.emplace_back(value);
    }
    return array;
}

template <DescribedEnum E, typename Container>
Container parse(const DefaultsValue& stored)
{
    Container values;
    for (const auto& name : *stored.array())
        values.insert(values.end(), *enumFromRaw<E>(*name.string()));
    return values;
}

// The catalogue, transcribed by hand, in its order.
std::vector<Row> catalogue()
{
    return {
        // General, appearance and notch shape
        boolRow("launchAtLogin", &S::launchAtLogin, &S::setLaunchAtLogin, false),
        choiceRow("showOn", &S::showOn, &S::setShowOn, "allScreens"),
        choiceRow("fullscreenPolicy", &S::fullscreenPolicy, &S::setFullscreenPolicy, "notchedOnly"),
        choiceRow("appearance", &S::appearance, &S::setAppearance, "system"),
        boolRow("preferRoundButtons", &S::preferRoundButtons, &S::setPreferRoundButtons, true),
        boolRow("translucentNotch", &S::translucentNotch, &S::setTranslucentNotch, false),
        boolRow("contrastOutline", &S::contrastOutline, &S::setContrastOutline, true),
        boolRow("progressiveBlur", &S::progressiveBlur, &S::setProgressiveBlur, true),
        boolRow("hapticFeedback", &S::hapticFeedback, &S::setHapticFeedback, true),
        boolRow("expandOnHover", &S::expandOnHover, &S::setExpandOnHover, false),
        boolRow("alwaysOpenOnHover", &S::alwaysOpenOnHover, &S::setAlwaysOpenOnHover, false),
        boolRow("preventCloseOnMouseLeave", &S::preventCloseOnMouseLeave, &S::setPreventCloseOnMouseLeave, true),
        boolRow("lockWhileTyping", &S::lockWhileTyping, &S::setLockWhileTyping, false),
        numberRow("contentPadding", &S::contentPadding, &S::setContentPadding, 12, 0, 24),
        boolRow("demoMode", &S::demoMode, &S::setDemoMode, false),
        numberRow("notchWidthAdjust", &S::notchWidthAdjust, &S::setNotchWidthAdjust, 0, -20, 20),
        numberRow("notchHeightAdjust", &S::notchHeightAdjust, &S::setNotchHeightAdjust, 0, -20, 20),
        boolRow("handlerEnabled", &S::handlerEnabled, &S::setHandlerEnabled, true),
        numberRow("handlerWidth", &S::handlerWidth, &S::setHandlerWidth, 184, 80, 400),
        numberRow("handlerHeight", &S::handlerHeight, &S::setHandlerHeight, 8, 2, 24),
        boolRow("handlerTransparent", &S::handlerTransparent, &S::setHandlerTransparent, false),
        // Gestures and activities in general
        boolRow("gesturesWhileHovering", &S::gesturesWhileHovering, &S::setGesturesWhileHovering, true),
        boolRow("naturalMovement", &S::naturalMovement, &S::setNaturalMovement, false),
        boolRow("swipeToToggleOpen", &S::swipeToToggleOpen, &S::setSwipeToToggleOpen, true),
        boolRow("swipeToCycleActivity", &S::swipeToCycleActivity, &S::setSwipeToCycleActivity, true),
        boolRow("swipeToDismissActivity", &S::swipeToDismissActivity, &S::setSwipeToDismissActivity, true),
        boolRow("swipeToSkipMedia", &S::swipeToSkipMedia, &S::setSwipeToSkipMedia, true),
        boolRow("invertMediaGestures", &S::invertMediaGestures, &S::setInvertMediaGestures, false),
        boolRow("activitiesEnabled", &S::activitiesEnabled, &S::setActivitiesEnabled, true),
        boolRow("hideOnNonNotched", &S::hideOnNonNotched, &S::setHideOnNonNotched, false),
        numberRow("inactivityTimeout", &S::inactivityTimeout, &S::setInactivityTimeout, 10, 2, 60),
        boolRow("interactiveActivities", &S::interactiveActivities, &S::setInteractiveActivities, true),
        boolRow("suppressSystemHUD", &S::suppressSystemHUD, &S::setSuppressSystemHUD, false),
        boolRow("quickPeekEnabled", &S::quickPeekEnabled, &S::setQuickPeekEnabled, true),
        boolRow("unhideAutomatically", &S::unhideAutomatically, &S::setUnhideAutomatically, true),
        // Sound, display, battery, connectivity and Focus activities
        boolRow("soundEnabled", &S::soundEnabled, &S::setSoundEnabled, true),
        numberRow("soundDuration", &S::soundDuration, &S::setSoundDuration, 1.5, 0.5, 10),
        choiceRow("soundBarStyle", &S::soundBarStyle, &S::setSoundBarStyle, "white"),
        choiceRow("soundSpeed", &S::soundSpeed, &S::setSoundSpeed, "fast"),
        boolRow("soundShowPercentage", &S::soundShowPercentage, &S::setSoundShowPercentage, false),
        boolRow("soundHideLabel", &S::soundHideLabel, &S::setSoundHideLabel, false),
        choiceRow("soundTrailing", &S::soundTrailing, &S::setSoundTrailing, "device"),
        boolRow("displayEnabled", &S::displayEnabled, &S::setDisplayEnabled, true),
        numberRow("displayDuration", &S::displayDuration, &S::setDisplayDuration, 1.5, 0.5, 10),
        choiceRow("displayBarStyle", &S::displayBarStyle, &S::setDisplayBarStyle, "glow"),
        choiceRow("displaySpeed", &S::displaySpeed, &S::setDisplaySpeed, "fast"),
        boolRow("displayShowPercentage", &S::displayShowPercentage, &S::setDisplayShowPercentage, false),
        boolRow("displayHideLabel", &S::displayHideLabel, &S::setDisplayHideLabel, false),
        boolRow("batteryEnabled", &S::batteryEnabled, &S::setBatteryEnabled, true),
        numberRow("batteryDuration", &S::batteryDuration, &S::setBatteryDuration, 5, 1, 15),
        boolRow("batteryNotifyLowPowerMode", &S::batteryNotifyLowPowerMode, &S::setBatteryNotifyLowPowerMode, true),
        boolRow("batteryWarnLow", &S::batteryWarnLow, &S::setBatteryWarnLow, true),
        numberRow("batteryLowThreshold", &S::batteryLowThreshold, &S::setBatteryLowThreshold, 20, 5, 50),
        boolRow("batteryHidePercentage", &S::batteryHidePercentage, &S::setBatteryHidePercentage, false),
        boolRow("connectivityEnabled", &S::connectivityEnabled, &S::setConnectivityEnabled, true),
        numberRow("connectivityDuration", &S::connectivityDuration, &S::setConnectivityDuration, 5, 1, 15),
        boolRow("connectivityWarnLow", &S::connectivityWarnLow, &S::setConnectivityWarnLow, true),
        numberRow("connectivityLowThreshold", &S::connectivityLowThreshold, &S::setConnectivityLowThreshold, 20, 5, 50),
        boolRow("focusEnabled", &S::focusEnabled, &S::setFocusEnabled, true),
        numberRow("focusDuration", &S::focusDuration, &S::setFocusDuration, 5, 1, 15),
        boolRow("focusReplaceWaveform", &S::focusReplaceWaveform, &S::setFocusReplaceWaveform, false),
        boolRow("focusHideLabel", &S::focusHideLabel, &S::setFocusHideLabel, false),
        // Now playing, file tray, idle and lock, clipboard, pipelines
        boolRow("nowPlayingEnabled", &S::nowPlayingEnabled, &S::setNowPlayingEnabled, true),
        numberRow("nowPlayingIdleDuration", &S::nowPlayingIdleDuration, &S::setNowPlayingIdleDuration, 3, 1, 30),
        choiceRow("nowPlayingBarStyle", &S::nowPlayingBarStyle, &S::setNowPlayingBarStyle, "monochrome"),
        boolRow("nowPlayingDisableArtworkFlip", &S::nowPlayingDisableArtworkFlip, &S::setNowPlayingDisableArtworkFlip, false),
        boolRow("nowPlayingHideWhileSourceActive", &S::nowPlayingHideWhileSourceActive, &S::setNowPlayingHideWhileSourceActive, false),
        boolRow("nowPlayingPeekOnChange", &S::nowPlayingPeekOnChange, &S::setNowPlayingPeekOnChange, true),
        boolRow("trayMoveOnDrop", &S::trayMoveOnDrop, &S::setTrayMoveOnDrop, false),
        numberRow("trayMaxItems", &S::trayMaxItems, &S::setTrayMaxItems, 50, 5, 200),
        boolRow("trayCopyByDefault", &S::trayCopyByDefault, &S::setTrayCopyByDefault, true),
        choiceRow("keepAwakeDuration", &S::keepAwakeDuration, &S::setKeepAwakeDuration, "indefinite"),
        boolRow("lockSoundsEnabled", &S::lockSoundsEnabled, &S::setLockSoundsEnabled, false),
        boolRow("showLockActivity", &S::showLockActivity, &S::setShowLockActivity, true),
        boolRow("clipboardEnabled", &S::clipboardEnabled, &S::setClipboardEnabled, true),
        numberRow("clipboardMaxItems", &S::clipboardMaxItems, &S::setClipboardMaxItems, 40, 5, 200),
        boolRow("clipboardPersists", &S::clipboardPersists, &S::setClipboardPersists, false),
        boolRow("pipelinesEnabled", &S::pipelinesEnabled, &S::setPipelinesEnabled, true),
        {"pipelineOrder", Array{}, {}, Array{"zip", "compressImage", "zip"},
         [](const S& s) { return DefaultsValue(names(s.pipelineOrder())); },
         [](S& s, const DefaultsValue& v) { s.setPipelineOrder(parse<PipelineID, PipelineList>(v)); }},
        // Calendar, Desk widgets and sync
        {"visibleCalendars", Array{}, {}, Array{std::string("\0none", 5)},
         [](const S& s) { return DefaultsValue(names(s.visibleCalendars())); },
         [](S& s, const DefaultsValue& v) {
             CalendarIDSet ids;
             for (const auto& id : *v.array())
                 ids.insert(*id.string());
             s.setVisibleCalendars(ids);
         }},
        numberRow("calendarDaysBehind", &S::calendarDaysBehind, &S::setCalendarDaysBehind, 7, 0, 30),
        numberRow("calendarDaysAhead", &S::calendarDaysAhead, &S::setCalendarDaysAhead, 7, 1, 30),
        boolRow("showPastEventsToday", &S::showPastEventsToday, &S::setShowPastEventsToday, false),
        boolRow("showAllDayEvents", &S::showAllDayEvents, &S::setShowAllDayEvents, false),
        boolRow("showMultiDayEvents", &S::showMultiDayEvents, &S::setShowMultiDayEvents, false),
        numberRow("calendarLeadMinutes", &S::calendarLeadMinutes, &S::setCalendarLeadMinutes, 5, 0, 60),
        boolRow("dismissAtEventEnd", &S::dismissAtEventEnd, &S::setDismissAtEventEnd, true),
        boolRow("detectMeetingLinks", &S::detectMeetingLinks, &S::setDetectMeetingLinks, true),
        {"widgetOrder", Array{"media", "todos", "shortcuts", "mirror"}, {}, Array{"weather", "media"},
         [](const S& s) { return DefaultsValue(names(s.widgetOrder())); },
         [](S& s, const DefaultsValue& v) { s.setWidgetOrder(parse<WidgetID, WidgetList>(v)); }},
        // A set reads back in its stored order: sorted by name.
        {"enabledWidgets", Array{"media", "mirror", "shortcuts", "todos"}, {}, Array{"calendar", "weather"},
         [](const S& s) {
             std::set<std::string> sorted;
             for (const auto id : s.enabledWidgets())
                 sorted.emplace(rawValue(id));
             return DefaultsValue(names(sorted));
         },
         [](S& s, const DefaultsValue& v) { s.setEnabledWidgets(parse<WidgetID, WidgetSet>(v)); }},
        {"widgetCells", Dictionary{}, {}, Dictionary{{"media", 6}, {"mirror", 3}},
         [](const S& s) {
             Dictionary cells;
             for (const auto& [id, count] : s.widgetCells())
                 cells.emplace(std::string(rawValue(id)), count);
             return DefaultsValue(cells);
         },
         [](S& s, const DefaultsValue& v) {
             WidgetCellMap cells;
             for (const auto& [name, count] : *v.dictionary())
                 cells[*enumFromRaw<WidgetID>(name)] = static_cast<int>(*count.toInteger());
             s.setWidgetCells(cells);
         }},
        boolRow("syncEnabled", &S::syncEnabled, &S::setSyncEnabled, true),
    };
}

const Row& rowFor(std::string_view key)
{
    static const auto rows = catalogue();
    for (const auto& row : rows)
        if (row.key == key)
            return row;
    throw std::invalid_argument(std::string(key));
}

class SettingsStoreTest : public testing::Test {
protected:
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
};

TEST_F(SettingsStoreTest, TheCatalogueHas92DistinctSettings)
{
    const auto rows = catalogue();
    EXPECT_EQ(rows.size(), 92u);
    std::set<std::string_view> keys;
    for (const auto& row : rows)
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
}

TEST_F(SettingsStoreTest, AFreshStoreReadsEveryDefaultAndWritesOnlyTheSchemaVersion)
{
    S store(defaults);
    for (const auto& row : catalogue()) {
        SCOPED_TRACE(std::string(row.key));
        EXPECT_EQ(row.read(store), row.fallback);
    }
    EXPECT_EQ(defaults->dictionaryRepresentation(), (Dictionary{{"settingsSchemaVersion", 1}}));
    EXPECT_EQ(store.revision(), 0);
}

TEST_F(SettingsStoreTest, EverySetterStoresUnderItsPropertyName)
{
    S store(defaults);
    for (const auto& row : catalogue()) {
        SCOPED_TRACE(std::string(row.key));
        ASSERT_NE(row.sample, row.fallback);
        row.write(store, row.sample);
        EXPECT_EQ(defaults->object(row.key), row.sample);
        EXPECT_EQ(row.read(store), row.sample);
    }
    EXPECT_EQ(defaults->dictionaryRepresentation().size(), 93u) << "92 settings and the schema version";
}

TEST_F(SettingsStoreTest, NumbersAreClampedToTheirRangeOnWrite)
{
    S store(defaults);
    for (const auto& row : catalogue()) {
        if (!row.range)
            continue;
        SCOPED_TRACE(std::string(row.key));
        const auto [low, high] = *row.range;
        const std::vector<std::pair<double, double>> writes{
            {low - 1, low},      {high + 1, high},    {low, low},  {high, high},
            {std::nan(""), low}, {kInfinity, high},   {-kInfinity, low},
        };
        for (const auto& [written, stored] : writes) {
            row.write(store, written);
            EXPECT_EQ(defaults->object(row.key), DefaultsValue(stored)) << "wrote " << written;
        }
    }
}

TEST_F(SettingsStoreTest, ClampingCornersOfTheCatalogue)
{
    S store(defaults);
    store.setContentPadding(100);
    EXPECT_EQ(store.contentPadding(), 24);
    store.setHandlerWidth(std::nan(""));
    EXPECT_EQ(store.handlerWidth(), 80) << "NaN takes the lower bound";
    store.setCalendarDaysAhead(-3);
    EXPECT_EQ(store.calendarDaysAhead(), 1);
    store.setCalendarDaysAhead(0);
    store.setCalendarDaysBehind(0);
    EXPECT_EQ(store.calendarDaysAhead(), 1) << "ahead starts at one day";
    EXPECT_EQ(store.calendarDaysBehind(), 0);
    store.setTrayMaxItems(37.5);
    store.setClipboardMaxItems(37.5);
    EXPECT_EQ(store.trayMaxItems(), 37.5) << "counts are doubles";
    EXPECT_EQ(store.clipboardMaxItems(), 37.5);
}

struct StoredRow {
    const char* why;
    std::string_view key;
    DefaultsValue stored;
    DefaultsValue reads; // in the row's stored form
};

TEST_F(SettingsStoreTest, StoredValuesReadAsTheyAreOrAsTheDefault)
{
    const std::vector<StoredRow> rows{
        {"a raw name in another case names no case", "fullscreenPolicy", "Always", "notchedOnly"},
        {"a raw name matches exactly", "fullscreenPolicy", "never", "never"},
        {"a number reads as its text, which names no case", "showOn", 2, "allScreens"},
        {"a bool is no raw name", "showOn", true, "allScreens"},
        {"numbers are not clamped on read", "contentPadding", 100.0, 100.0},
        {"an integer reads as a number", "contentPadding", 20, 20.0},
        {"a numeric string is no number", "contentPadding", "20", 12.0},
        {"a bool is no number", "contentPadding", true, 12.0},
        {"0 reads as false", "soundEnabled", 0, false},
        {"1 reads as true", "launchAtLogin", 1, true},
        {"2 is no bool", "soundEnabled", 2, true},
        {"a fraction is no bool", "soundEnabled", 0.5, true},
        {"a string is no bool", "soundEnabled", "false", true},
        {"a date is no bool", "soundEnabled", kReferenceDate, true},
        {"a list with a number reads as the default", "widgetOrder", Array{"media", 3}, Array{"media", "todos", "shortcuts", "mirror"}},
        {"a list that is no array reads as the default", "widgetOrder", "media", Array{"media", "todos", "shortcuts", "mirror"}},
        {"unknown names are dropped", "widgetOrder", Array{"calendar", "Media", "notes"}, Array{"calendar", "notes"}},
        {"only unknown names give an empty list", "widgetOrder", Array{"nonsense"}, Array{}},
        {"repeats survive in a list", "widgetOrder", Array{"notes", "notes"}, Array{"notes", "notes"}},
        {"repeats survive in the pipeline list", "pipelineOrder", Array{"zip", "zip", "bogus"}, Array{"zip", "zip"}},
        {"an empty stored set stays empty", "enabledWidgets", Array{}, Array{}},
        {"unknown widgets leave a set", "enabledWidgets", Array{"mirror", "bogus"}, Array{"mirror"}},
        {"a set with a number reads as the default", "enabledWidgets", Array{"mirror", 1}, Array{"media", "mirror", "shortcuts", "todos"}},
        {"calendar identifiers are taken as they are", "visibleCalendars", Array{"B", std::string("\0none", 5)}, Array{std::string("\0none", 5), "B"}},
        {"a calendar set with a number reads as empty", "visibleCalendars", Array{"A", 7}, Array{}},
        {"cells are not clamped on read; unknown widgets dropped", "widgetCells", Dictionary{{"media", 9}, {"bogus", 3}}, Dictionary{{"media", 9}}},
        {"one non-integer count empties the map", "widgetCells", Dictionary{{"media", 5}, {"todos", "3"}}, Dictionary{}},
        {"a fractional count empties the map", "widgetCells", Dictionary{{"media", 4.5}}, Dictionary{}},
        {"an integral double is a count", "widgetCells", Dictionary{{"media", 5.0}}, Dictionary{{"media", 5}}},
        {"cells that are no dictionary read as empty", "widgetCells", Array{"media"}, Dictionary{}},
    };
    S store(defaults);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        defaults->set(row.key, row.stored);
        EXPECT_EQ(rowFor(row.key).read(store), row.reads);
        EXPECT_EQ(defaults->object(row.key), row.stored) << "reading leaves the stored value alone";
    }
}

TEST_F(SettingsStoreTest, SetsAreStoredSortedByName)
{
    S store(defaults);
    store.setEnabledWidgets({WidgetID::weather, WidgetID::audioDevice, WidgetID::media});
    EXPECT_EQ(defaults->object("enabledWidgets"), DefaultsValue(Array{"audioDevice", "media", "weather"}));
    store.setVisibleCalendars({"b", "a", "B"});
    EXPECT_EQ(defaults->object("visibleCalendars"), DefaultsValue(Array{"B", "a", "b"}));
}

TEST_F(SettingsStoreTest, SetCellsClampsToTheWidgetsLimitsAndKeepsOtherEntries)
{
    struct CellsRow {
        int cells;
        WidgetID id;
        int stored;
    };
    const std::vector<CellsRow> rows{
        {9, WidgetID::media, 8}, {1, WidgetID::media, 4}, {0, WidgetID::mirror, 2},
        {-50, WidgetID::calendar, 3}, {5, WidgetID::calendar, 5}, {8, WidgetID::weather, 8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.id)) + " " + std::to_string(row.cells));
        defaults->set("widgetCells", Dictionary{{"todos", 20}, {"bogus", 1}});
        S store(defaults);
        store.setCells(row.cells, row.id);
        EXPECT_EQ(defaults->object("widgetCells"), DefaultsValue(Dictionary{{std::string(rawValue(row.id)), row.stored}, {"todos", 20}}))
            << "the other widget's entry is written back as read, unknown names are gone";
        EXPECT_EQ(store.revision(), 1);
    }
}

TEST_F(SettingsStoreTest, AssigningTheWholeCellMapDoesNotClamp)
{
    S store(defaults);
    store.setWidgetCells({{WidgetID::media, 20}, {WidgetID::mirror, 0}});
    EXPECT_EQ(defaults->object("widgetCells"), DefaultsValue(Dictionary{{"media", 20}, {"mirror", 0}}));
}

TEST_F(SettingsStoreTest, SetWidgetAddsOrRemovesOneWidget)
{
    S store(defaults);
    store.setWidget(WidgetID::calendar, true);
    store.setWidget(WidgetID::media, false);
    store.setWidget(WidgetID::weather, false);
    EXPECT_EQ(store.enabledWidgets(), (WidgetSet{WidgetID::calendar, WidgetID::todos, WidgetID::shortcuts, WidgetID::mirror}));
    EXPECT_EQ(store.revision(), 3) << "one write each, also when nothing changed";
}

TEST_F(SettingsStoreTest, EveryWriteBumpsTheRevisionAndNotifiesOnce)
{
    S store(defaults);
    int notified = 0;
    const auto token = store.addObserver([&] { ++notified; });

    store.setSoundEnabled(false);
    store.setSoundEnabled(false);
    EXPECT_EQ(store.revision(), 2) << "an unchanged value still counts";
    EXPECT_EQ(notified, 2);

    store.setCells(4, WidgetID::todos);
    store.resetAll();
    EXPECT_EQ(store.revision(), 4);
    EXPECT_EQ(notified, 4);

    [[maybe_unused]] const auto readBack = store.notchGuards();
    [[maybe_unused]] const auto order = store.widgetOrder();
    EXPECT_EQ(store.revision(), 4) << "reads never count";

    store.removeObserver(token);
    store.setDemoMode(true);
    EXPECT_EQ(notified, 4);
    EXPECT_EQ(store.revision(), 5);
}

TEST_F(SettingsStoreTest, AnObserverMayRemoveItselfWhileNotified)
{
    S store(defaults);
    int calls = 0;
    std::uint64_t token = 0;
    token = store.addObserver([&] {
        ++calls;
        store.removeObserver(token);
    });
    store.setDemoMode(true);
    store.setDemoMode(false);
    EXPECT_EQ(calls, 1);
}

// A view torn down by an earlier observer removes its own observer on the
// way out; calling it afterwards would reach a dead object.
TEST_F(SettingsStoreTest, AnObserverRemovedByAnEarlierOneIsNotCalled)
{
    S store(defaults);
    std::vector<std::string> calls;
    auto view = std::make_unique<std::string>("view");
    std::uint64_t viewToken = 0;
    store.addObserver([&] {
        calls.push_back("closer");
        if (view) {
            store.removeObserver(viewToken);
            view.reset();
        }
    });
    viewToken = store.addObserver([&] { calls.push_back(*view); });
    store.addObserver([&] { calls.push_back("later"); });

    store.setDemoMode(true);
    EXPECT_EQ(calls, (std::vector<std::string>{"closer", "later"}));
}

TEST_F(SettingsStoreTest, NotchGuardsFollowTheirSettings)
{
    struct GuardRow {
        const char* key;
        bool NotchStateGuards::*field;
    };
    const std::vector<GuardRow> rows{
        {"expandOnHover", &NotchStateGuards::expandOnHover},
        {"alwaysOpenOnHover", &NotchStateGuards::alwaysOpenOnHover},
        {"preventCloseOnMouseLeave", &NotchStateGuards::preventCloseOnMouseLeave},
        {"swipeToToggleOpen", &NotchStateGuards::swipeToToggleOpen},
        {"swipeToDismissActivity", &NotchStateGuards::swipeToDismissActivity},
        {"swipeToCycleActivity", &NotchStateGuards::swipeToCycleActivity},
        {"swipeToSkipMedia", &NotchStateGuards::swipeToSkipMedia},
        {"interactiveActivities", &NotchStateGuards::interactiveActivities},
        {"quickPeekEnabled", &NotchStateGuards::quickPeekEnabled},
        {"demoMode", &NotchStateGuards::demoMode},
        {"lockWhileTyping", &NotchStateGuards::lockWhileTyping},
    };
    S store(defaults);
    const NotchStateGuards fresh{.expandOnHover = false,
                                 .alwaysOpenOnHover = false,
                                 .preventCloseOnMouseLeave = true,
                                 .swipeToToggleOpen = true,
                                 .swipeToDismissActivity = true,
                                 .swipeToCycleActivity = true,
                                 .swipeToSkipMedia = true,
                                 .interactiveActivities = true,
                                 .quickPeekEnabled = true,
                                 .demoMode = false,
                                 .isTyping = false,
                                 .lockWhileTyping = false};
    EXPECT_EQ(store.notchGuards(), fresh);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const bool flipped = !(fresh.*row.field);
        defaults->set(row.key, flipped);
        auto expected = fresh;
        expected.*row.field = flipped;
        EXPECT_EQ(store.notchGuards(), expected);
        defaults->remove(row.key);
    }
}

TEST_F(SettingsStoreTest, MigrationStoresVersionOneUnlessAVersionIsThere)
{
    struct MigrationRow {
        const char* why;
        std::optional<DefaultsValue> stored;
        DefaultsValue after;
    };
    const std::vector<MigrationRow> rows{
        {"absent", std::nullopt, 1},
        {"zero", 0, 1},
        {"negative", -2, 1},
        {"a string", "1", 1},
        {"a fraction", 1.5, 1},
        {"a bool", true, 1},
        {"the current version", 1, 1},
        {"a newer version stays", 5, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        auto store = std::make_shared<InMemoryUserDefaults>();
        store->set("soundEnabled", "untouched");
        if (row.stored)
            store->set("settingsSchemaVersion", *row.stored);
        const S settings(store);
        EXPECT_EQ(store->dictionaryRepresentation(), (Dictionary{{"settingsSchemaVersion", row.after}, {"soundEnabled", "untouched"}}));
        EXPECT_EQ(settings.revision(), 0);
    }
}

TEST_F(SettingsStoreTest, ResetAllRemovesKeysThatStartLowerCase)
{
    struct ResetRow {
        std::string key;
        bool removed;
        const char* why;
    };
    const std::vector<ResetRow> rows{
        {"soundEnabled", true, "a setting"},
        {"hasCompletedOnboarding", true, "the app's other own keys go too"},
        {"\xC3\xA9" "clair", true, "an accented lower-case letter"},
        {"\xCF\x89\xCC\x81x", true, "omega with a combining accent is one lower-case character"},
        {"\xC2\xAA" "b", true, "the feminine ordinal has the Lowercase property"},
        {"\xCF\x83x", true, "Greek sigma"},
        {"NSWindow Frame main", false, "the platform's keys"},
        {"\xC3\x89" "clair", false, "an accented capital"},
        {"\xCE\xA9\xCC\x81x", false, "a capital with a combining accent"},
        {"\xC7\x85x", false, "a title-case letter"},
        {"_x", false, "punctuation"},
        {"1x", false, "a digit"},
        {"\xE6\x97\xA5" "x", false, "a letter without case"},
        {"\xFF" "x", false, "not UTF-8"},
        {"", false, "the empty key"},
    };
    for (const auto& row : rows)
        defaults->set(row.key, 1);
    defaults->set("settingsSchemaVersion", 5);
    S store(defaults);

    store.resetAll();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(defaults->object(row.key).has_value(), !row.removed);
    }
    EXPECT_EQ(defaults->object("settingsSchemaVersion"), DefaultsValue(1));
    EXPECT_TRUE(store.soundEnabled());
}

TEST_F(SettingsStoreTest, ANullDefaultsStoreUsesTheStandardOne)
{
    const auto installed = std::make_shared<InMemoryUserDefaults>();
    const auto previous = UserDefaults::standard();
    UserDefaults::installStandard(installed);
    S store(nullptr);
    store.setDemoMode(true);
    EXPECT_EQ(installed->boolForKey("demoMode"), true);
    UserDefaults::installStandard(previous);
}

} // namespace
