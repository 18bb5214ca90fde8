// The Calendar pane: which calendars show (and the no-calendar marker in the
// real settings file), the filter changes it reports, the access card and
// the last refresh line.
#include "Vude/Settings/CalendarPane.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Platform/Desktop/FakeCalendarStore.h"
#include "Platform/Settings/FileUserDefaults.h"
#include "VudeServices/CalendarFilter.h"
#include "VudeServices/CalendarService.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;
using Status = CalendarAuthorizationStatus;

const std::string kNone = CalendarFilter::noneMarker;

std::vector<CalendarSource> sources(std::initializer_list<const char*> ids)
{
    std::vector<CalendarSource> calendars;
    for (const char* id : ids)
        calendars.push_back({id, id});
    return calendars;
}

TEST(CalendarPaneRules, TheNoneMarkerIsFiveCharactersNotTheEmptyText)
{
    EXPECT_EQ(kNone.size(), 5u);
    EXPECT_EQ(kNone[0], '\0');
    EXPECT_EQ(kNone.substr(1), "none");
    EXPECT_FALSE(CalendarPane::isVisible({kNone}, ""));
    EXPECT_TRUE(CalendarPane::isVisible({}, "anything")) << "empty: every calendar";
}

TEST(CalendarPaneRules, SwitchingACalendarStoresTheWholeSet)
{
    struct Row {
        const char* why;
        CalendarIDSet stored;
        const char* id;
        bool on;
        CalendarIDSet expected;
    };
    const auto known = sources({"work", "home", "family"});
    const std::vector<Row> rows{
        {"all visible, one off: every other known calendar", {}, "home", false, {"work", "family"}},
        {"all visible, one on: all of them, no longer empty", {}, "home", true, {"work", "home", "family"}},
        {"the last one off: the marker", {"work"}, "work", false, {kNone}},
        {"from none, one on: only that one", {kNone}, "home", true, {"home"}},
        {"from none, one off: still none", {kNone}, "home", false, {kNone}},
        {"a calendar no longer listed stays stored", {"work", "gone"}, "work", false, {"gone"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(CalendarPane::visibleAfter(row.stored, known, row.id, row.on), row.expected);
    }
}

TEST(CalendarPaneRules, TheAccessCardSaysWhyAndOffersTheRightButton)
{
    struct Row {
        CalendarAccess access;
        std::optional<QString> message;
        QString button;
    };
    const QString opens = QStringLiteral("Open Calendars Folder");
    const std::vector<Row> rows{
        {CalendarAccess::granted, std::nullopt, opens},
        {CalendarAccess::notDetermined, "Vude needs access to your calendars to show events.", "Allow Access"},
        {CalendarAccess::writeOnly,
         "Vude can only add events. Give your account read access to the calendars folder to see them.", opens},
        {CalendarAccess::denied, "Calendar access is turned off for Vude.", opens},
        {CalendarAccess::restricted, "Calendar access is restricted on this computer.", opens},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(rawValue(row.access).data());
        EXPECT_EQ(CalendarPane::accessMessage(row.access), row.message);
        EXPECT_EQ(CalendarPane::accessButtonTitle(row.access, opens), row.button);
    }
}

TEST(CalendarPaneRules, LastRefreshedIsTheTimeWithSecondsAndNoDate)
{
    const Date refreshed = Date(std::chrono::sys_days(std::chrono::year{2024} / 3 / 15)) + std::chrono::hours(14) +
                           std::chrono::minutes(5) + std::chrono::seconds(9);
    const QRegularExpression english(QStringLiteral("^Last refreshed \\d{1,2}:05:09[\\s\\x{202F}](AM|PM)$"));
    const QRegularExpression german(QStringLiteral("^Last refreshed \\d{2}:05:09$"));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QString inEnglish = CalendarPane::lastRefreshedText(refreshed, us);
    const QString inGerman = CalendarPane::lastRefreshedText(refreshed, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(english.match(inEnglish).hasMatch()) << inEnglish.toStdString();
    EXPECT_TRUE(german.match(inGerman).hasMatch()) << inGerman.toStdString();
}

class CalendarPaneQtTest : public ::testing::Test {
protected:
    CalendarService& makeService(Status status)
    {
        auto store = std::make_unique<FakeCalendarStore>();
        calendarStore = store.get();
        calendarStore->status = status;
        calendarStore->calendarList = {{"work", "Work", "#D04040"}, {"home", "Home", "#40A060"},
                                       {"family", "Family", "#4060D0"}};
        service = std::make_unique<CalendarService>(std::move(store), rig.clock, rig.scheduler);
        return *service;
    }

    CalendarPane& make(SettingsStore& store)
    {
        pane = std::make_unique<CalendarPane>(rig.environment);
        auto inputs = std::get<CalendarPaneInputs>(settingsPaneInputs(SettingsPane::calendar, rig.services));
        inputs.settings = &store;
        inputs.calendar = service.get();
        pane->bind(inputs);
        pane->resize(520, pane->sizeHint().height());
        return *pane;
    }
    CalendarPane& make() { return make(rig.store); }

    int filterChanges() const
    {
        return int(std::count(rig.services.log.begin(), rig.services.log.end(), "applyCalendarFilter"));
    }

    static std::vector<bool> switches(const CalendarPane& calendar)
    {
        std::vector<bool> on;
        for (auto* row : calendar.calendarRows())
            on.push_back(row->visibleSwitch()->isOn());
        return on;
    }

    SettingsRig rig;
    FakeCalendarStore* calendarStore = nullptr;
    std::unique_ptr<CalendarService> service;
    std::unique_ptr<CalendarPane> pane;
};

TEST_F(CalendarPaneQtTest, SwitchesSelectAllAndClearWriteTheRealSettingsFile)
{
    QTemporaryDir folder;
    const std::filesystem::path file = folder.filePath(QStringLiteral("defaults.json")).toStdString();
    SettingsStore store(std::make_shared<FileUserDefaults>(file));
    const auto reopened = [&] { return SettingsStore(std::make_shared<FileUserDefaults>(file)).visibleCalendars(); };

    makeService(Status::fullAccess).refresh(true);
    CalendarPane& calendar = make(store);
    calendar.show();
    ASSERT_EQ(calendar.calendarRows().size(), 3u) << "rows in the service's order: Family, Home, Work";
    EXPECT_EQ(switches(calendar), (std::vector<bool>{true, true, true}));

    struct Step {
        const char* why;
        std::function<void()> act;
        CalendarIDSet stored;
        std::vector<bool> shown;
    };
    const auto flip = [&](int row) {
        return [&, row] {
            QTest::mouseClick(calendar.calendarRows()[std::size_t(row)]->visibleSwitch(), Qt::LeftButton);
        };
    };
    const std::vector<Step> steps{
        {"one off from all", flip(1), {"work", "family"}, {true, false, true}},
        {"Clear stores the marker", [&] { QTest::mouseClick(calendar.clearButton(), Qt::LeftButton); }, {kNone},
         {false, false, false}},
        {"one on from none", flip(2), {"work"}, {false, false, true}},
        {"the last one off again", flip(2), {kNone}, {false, false, false}},
        {"Select All stores the empty set", [&] { QTest::mouseClick(calendar.selectAllButton(), Qt::LeftButton); },
         {}, {true, true, true}},
        {"one off after Select All", flip(0), {"home", "work"}, {false, true, true}},
    };
    int changes = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        step.act();
        EXPECT_EQ(store.visibleCalendars(), step.stored);
        EXPECT_EQ(reopened(), step.stored) << "what the file holds after a restart";
        EXPECT_EQ(switches(calendar), step.shown);
        EXPECT_EQ(filterChanges(), ++changes);
    }
    pane.reset(); // before the store it binds
}

TEST_F(CalendarPaneQtTest, EventSettingsReportAFilterChangeTheActivitySettingsDoNot)
{
    CalendarPane& calendar = make();
    calendar.show();
    EXPECT_EQ(filterChanges(), 0) << "building the pane is no change";

    ValueSlider* behind = calendar.sliderNamed("Days behind");
    ASSERT_NE(behind, nullptr);
    for (double value : {6.5, 4.0, 1.25, 0.0})
        emit behind->moved(value);
    EXPECT_EQ(rig.store.calendarDaysBehind(), 0);
    EXPECT_EQ(behind->shownText(), "0 days");
    EXPECT_EQ(filterChanges(), 4) << "one per change of the value";
    emit behind->moved(0);
    EXPECT_EQ(filterChanges(), 4) << "the same value is no change";

    emit calendar.sliderNamed("Days ahead")->moved(30);
    QTest::mouseClick(calendar.switchNamed("Show all-day events"), Qt::LeftButton);
    EXPECT_EQ(filterChanges(), 6);
    rig.store.setShowPastEventsToday(true);
    EXPECT_EQ(filterChanges(), 7) << "a write made elsewhere counts too";

    ValueSlider* lead = calendar.sliderNamed("Notify before");
    ASSERT_NE(lead, nullptr);
    emit lead->moved(12.7);
    EXPECT_EQ(lead->shownText(), "12 min");
    QTest::mouseClick(calendar.switchNamed("Dismiss when the event ends"), Qt::LeftButton);
    QTest::mouseClick(calendar.switchNamed("Detect meeting links"), Qt::LeftButton);
    EXPECT_FALSE(rig.store.dismissAtEventEnd());
    EXPECT_EQ(filterChanges(), 7) << "the activity settings are no filter";
}

TEST_F(CalendarPaneQtTest, TheAccessCardAsksOnceUndecidedAndOpensTheFolderOtherwise)
{
    rig.permissions.privacyTargets["Privacy_Calendars"] =
        QUrl(QStringLiteral("file:///home/u/.local/share/Vude/Calendars"));
    rig.permissions.privacyTitles["Privacy_Calendars"] = "Open Calendars Folder";
    CalendarService& calendars = makeService(Status::notDetermined);
    CalendarPane& calendar = make();
    calendar.show();
    ASSERT_NE(calendar.accessCard(), nullptr);
    EXPECT_EQ(calendar.accessButton()->text(), "Allow Access");
    EXPECT_TRUE(calendar.calendarRows().empty()) << "the list shows, empty, without access";
    EXPECT_TRUE(testsupport::saveScreenshot(calendar, "CalendarPane-undecided"));

    QTest::mouseClick(calendar.accessButton(), Qt::LeftButton);
    EXPECT_EQ(calendarStore->requestCount, 1);
    EXPECT_EQ(calendars.access(), CalendarAccess::granted);
    EXPECT_EQ(calendar.accessCard(), nullptr) << "gone as soon as the service reports access";
    EXPECT_EQ(calendar.calendarRows().size(), 3u);
    EXPECT_TRUE(rig.permissions.urls.opened.empty());

    pane.reset();
    makeService(Status::restricted);
    CalendarPane& restricted = make();
    restricted.show();
    ASSERT_NE(restricted.accessCard(), nullptr);
    EXPECT_EQ(restricted.accessText()->text(), "Calendar access is restricted on this computer.");
    EXPECT_EQ(restricted.accessButton()->text(), "Open Calendars Folder");
    QTest::mouseClick(restricted.accessButton(), Qt::LeftButton);
    ASSERT_EQ(rig.permissions.urls.opened.size(), 1u);
    EXPECT_EQ(rig.permissions.urls.opened[0].toLocalFile(), "/home/u/.local/share/Vude/Calendars");
    EXPECT_EQ(calendarStore->requestCount, 0);
}

TEST_F(CalendarPaneQtTest, RefreshNowAndTheLastRefreshedLine)
{
    CalendarService& calendars = makeService(Status::fullAccess);
    CalendarPane& calendar = make();
    calendar.show();
    EXPECT_EQ(calendar.lastRefreshedLine(), nullptr) << "no line before a refresh";

    QTest::mouseClick(calendar.refreshButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, (std::vector<std::string>{"refreshCalendar(hard)", "checkUpcomingEvent"}));

    calendars.refresh(true);
    ASSERT_TRUE(calendars.lastRefresh().has_value());
    ASSERT_NE(calendar.lastRefreshedLine(), nullptr);
    EXPECT_EQ(calendar.lastRefreshedLine()->text(), CalendarPane::lastRefreshedText(*calendars.lastRefresh()));
    ASSERT_EQ(calendar.calendarRows().size(), 3u);
    QStringList titles;
    for (auto* row : calendar.calendarRows())
        titles << row->title()->text();
    EXPECT_EQ(titles, QStringList({"Family", "Home", "Work"})) << "the service's order";
    rig.store.setVisibleCalendars({"home"});
    calendar.resize(520, calendar.sizeHint().height());
    EXPECT_TRUE(testsupport::saveScreenshot(calendar, "CalendarPane"));
}

} // namespace
