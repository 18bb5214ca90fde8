// The Desk's calendar widget: what stands in for the list in each access
// state, the rows against the clock, what a click opens, and a picture for
// a person.
#include "Vude/Desk/CalendarWidget.h"

#include "Vude/Desk/CalendarRow.h"
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using desktest::DeskRig;

constexpr QSize kCell{300, 132};

class CalendarWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        // Noon, so the hours around now are today's.
        rig.clock.advance(12h);
    }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// A binding whose closures note their calls in `calls`.
    CalendarBinding binding(NotchCalendarAccess access, std::vector<NotchCalendarDay> days = {})
    {
        CalendarBinding made;
        made.access = access;
        made.days = std::move(days);
        made.onRequestAccess = [this] { calls.push_back("request"); };
        made.onOpenSettings = [this] { calls.push_back("settings"); };
        made.onOpen = [this](const NotchCalendarEvent& event) { calls.push_back("open " + event.id); };
        return made;
    }

    CalendarWidget& show(const CalendarBinding& values)
    {
        if (!widget) {
            widget = std::make_unique<CalendarWidget>(rig.environment);
            widget->resize(kCell);
        }
        widget->bind(values);
        widget->show();
        return *widget;
    }

    NotchCalendarEvent event(std::string id, Duration fromNow, Duration length) const
    {
        NotchCalendarEvent made;
        made.id = id;
        made.title = id;
        made.start = rig.clock.now() + fromNow;
        made.end = made.start + length;
        return made;
    }

    NotchCalendarDay dayOf(std::vector<NotchCalendarEvent> events) const
    {
        return {std::chrono::floor<std::chrono::days>(events.front().start), std::move(events)};
    }

    DeskRig rig;
    std::vector<std::string> calls;
    std::unique_ptr<CalendarWidget> widget;
};

TEST_F(CalendarWidgetQtTest, EachAccessStateShowsItsMessageAndTheButtonThatHelps)
{
    const struct {
        NotchCalendarAccess access;
        bool withDays;
        const char* symbol;
        const char* message;
        const char* detail;
        const char* button;
        const char* call;
    } rows[] = {
        {NotchCalendarAccess::granted, false, "calendar", "Nothing scheduled", "Enjoy the quiet.", nullptr, nullptr},
        {NotchCalendarAccess::notDetermined, false, "calendar.badge.plus", "Show your events in the notch", nullptr,
         "Allow", "request"},
        {NotchCalendarAccess::notDetermined, true, "calendar.badge.plus", "Show your events in the notch", nullptr,
         "Allow", "request"},
        {NotchCalendarAccess::writeOnly, false, "calendar.badge.exclamationmark",
         "Vude can only add events. Grant full access to see them.", nullptr, "Open Calendars Folder", "settings"},
        {NotchCalendarAccess::denied, true, "calendar.badge.exclamationmark", "Calendar access is off", nullptr,
         "Open Calendars Folder", "settings"},
        {NotchCalendarAccess::restricted, false, "calendar.badge.exclamationmark",
         "Calendar access is restricted on this computer", nullptr, nullptr, nullptr},
    };
    const NotchCalendarDay day = dayOf({event("standup", 1h, 15min)});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        calls.clear();
        std::vector<NotchCalendarDay> days;
        if (row.withDays)
            days.push_back(day);
        CalendarWidget& calendar = show(binding(row.access, days));
        WidgetEmptyState* empty = calendar.emptyState();
        ASSERT_NE(empty, nullptr);
        EXPECT_FALSE(calendar.list()->isVisible());
        EXPECT_EQ(empty->symbol(), row.symbol);
        EXPECT_EQ(empty->message(), row.message);
        EXPECT_EQ(empty->detail(), row.detail ? std::optional<QString>(row.detail) : std::nullopt);
        if (!row.button) {
            EXPECT_EQ(empty->button(), nullptr);
            continue;
        }
        ASSERT_NE(empty->button(), nullptr);
        EXPECT_EQ(empty->button()->text(), row.button);
        QTest::mouseClick(empty->button(), Qt::LeftButton);
        EXPECT_EQ(calls, std::vector<std::string>{row.call});
    }

    // Granted with events: the list, and no empty state.
    CalendarWidget& calendar = show(binding(NotchCalendarAccess::granted, {day}));
    EXPECT_EQ(calendar.emptyState(), nullptr);
    EXPECT_TRUE(calendar.list()->isVisible());
    ASSERT_EQ(calendar.rows().size(), 1u);
}

TEST_F(CalendarWidgetQtTest, AllowAsksTheServiceAndTheListFollowsItsAnswer)
{
    auto service = std::make_shared<notchtest::FakeCalendarService>();
    rig.model->calendarService = service;
    widget = std::make_unique<CalendarWidget>(rig.environment);
    widget->resize(kCell);
    QObject::connect(service.get(), &NotchCalendarService::changed, widget.get(),
                     [this] { widget->bind(DeskBinder(*rig.model, rig.environment).calendar()); });
    widget->bind(DeskBinder(*rig.model, rig.environment).calendar());
    widget->show();

    ASSERT_NE(widget->emptyState(), nullptr);
    QTest::mouseClick(widget->emptyState()->button(), Qt::LeftButton);
    EXPECT_EQ(service->starts, 1);
    service->days = {dayOf({event("review", 2h, 1h)})};
    service->answer(NotchCalendarAccess::granted);
    EXPECT_EQ(widget->emptyState(), nullptr) << "replaced after its own click returned";
    ASSERT_EQ(widget->rows().size(), 1u);
    EXPECT_EQ(widget->rows()[0]->event().id, "review");
}

TEST_F(CalendarWidgetQtTest, OngoingRowsAreHighlightedAndEndedOnesDimmed)
{
    NotchCalendarEvent ongoing = event("Design review", -10min, 40min);
    ongoing.location = "Room 4";
    ongoing.meetingURL = QUrl("https://meet.example.com/abc");
    ongoing.calendarColor = NotchCalendarColor{0.2, 0.5, 0.9};
    NotchCalendarEvent ended = event("Standup", -60min, 15min);
    NotchCalendarEvent later = event("Lunch", 45min, 60min);
    CalendarWidget& calendar = show(binding(NotchCalendarAccess::granted, {dayOf({ended, ongoing, later})}));
    const std::vector<CalendarRow*> rows = calendar.rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(calendar.headers(), std::vector<QString>{"TODAY"});

    const QImage drawn = testsupport::picture(calendar, 1, Qt::black);
    const auto at = [&](const CalendarRow* row, int x, int y) {
        return QColor(drawn.pixel(row->mapTo(&calendar, QPoint(x, y))));
    };
    const CalendarRow* endedRow = rows[0];
    const CalendarRow* ongoingRow = rows[1];
    EXPECT_EQ(at(ongoingRow, ongoingRow->width() - 30, ongoingRow->height() - 2), toQColor(Vude::Ink::x850))
        << "the ongoing row's background";
    EXPECT_EQ(at(endedRow, endedRow->width() - 30, endedRow->height() - 2), QColor(Qt::black));
    EXPECT_EQ(at(ongoingRow, 7, ongoingRow->height() / 2), QColor(51, 128, 230)) << "its calendar's colour";
    const QColor dimmedBar = at(endedRow, 7, endedRow->height() / 2);
    const QColor stone = toQColor(Vude::Stone::x400);
    EXPECT_NEAR(dimmedBar.red(), stone.red() * 0.55, 2) << "no colour: Stone x400, at 0.55";

    EXPECT_EQ(ongoingRow->timeLabel(), "now · 30m left");
    EXPECT_EQ(endedRow->timeLabel(), CalendarWidgetLayout::clockTime(ended.start) + "–" +
                                         CalendarWidgetLayout::clockTime(ended.end));
    EXPECT_EQ(rows[2]->timeLabel(), CalendarWidgetLayout::clockTime(later.start) + " · in 45m");
    testsupport::saveScreenshot(calendar, "calendar-ongoing-and-ended");
}

TEST_F(CalendarWidgetQtTest, TheClockMovesInThirtySecondStepsWhileTheListIsShown)
{
    const NotchCalendarEvent soon = event("Call", 31min, 30min);
    CalendarWidget& calendar = show(binding(NotchCalendarAccess::granted, {dayOf({soon})}));
    CalendarRow* row = calendar.rows().at(0);
    const QString start = CalendarWidgetLayout::clockTime(soon.start);
    EXPECT_EQ(row->timeLabel(), start + " · in 31m");
    rig.scheduler.advance(29s);
    EXPECT_EQ(row->timeLabel(), start + " · in 31m");
    rig.scheduler.advance(1s);
    EXPECT_EQ(row->timeLabel(), start + " · in 30m");
    EXPECT_EQ(calendar.rows().at(0), row) << "the same row, told the new time";

    calendar.hide();
    rig.scheduler.advance(31min);
    EXPECT_EQ(row->timeLabel(), start + " · in 30m") << "no clock while hidden";
    calendar.show();
    EXPECT_EQ(row->timeLabel(), "now · 29m left") << "read again as it shows";
}

TEST_F(CalendarWidgetQtTest, AClickOpensTheMeetingLinkElseTheEventsFile)
{
    const fs::path ics = fs::path(rig.folder.path().toStdString()) / "event.ics";
    std::ofstream(ics) << "BEGIN:VCALENDAR\nEND:VCALENDAR\n";
    NotchCalendarEvent meeting = event("meeting", 5min, 30min);
    meeting.meetingURL = QUrl("https://meet.example.com/abc");
    meeting.icsFile = ics;
    NotchCalendarEvent dentist = event("dentist", 2h, 30min);
    dentist.icsFile = ics;
    auto service = std::make_shared<notchtest::FakeCalendarService>();
    service->currentAccess = NotchCalendarAccess::granted;
    service->days = {dayOf({meeting, dentist})};
    rig.model->calendarService = service;

    widget = std::make_unique<CalendarWidget>(rig.environment);
    widget->resize(kCell);
    widget->bind(DeskBinder(*rig.model, rig.environment).calendar());
    widget->show();
    const std::vector<CalendarRow*> rows = widget->rows();
    ASSERT_EQ(rows.size(), 2u);
    QTest::mouseClick(rows[0], Qt::LeftButton);
    QTest::mouseClick(rows[1], Qt::LeftButton);
    EXPECT_EQ(rig.fakes.urls.opened,
              (std::vector<QUrl>{QUrl("https://meet.example.com/abc"),
                                 QUrl::fromLocalFile(QString::fromStdString(ics.string()))}));
}

TEST_F(CalendarWidgetQtTest, DaysAreHeadedInOrderAndRowsKeptAcrossRefreshes)
{
    NotchCalendarEvent first = event("first", 1h, 1h);
    NotchCalendarEvent tomorrow = event("tomorrow", 24h, 1h);
    NotchCalendarEvent inThreeDays = event("later", 72h, 1h);
    CalendarWidget& calendar =
        show(binding(NotchCalendarAccess::granted, {dayOf({first}), dayOf({tomorrow}), dayOf({inThreeDays})}));
    const std::vector<QString> headers = calendar.headers();
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(headers[0], "TODAY");
    EXPECT_EQ(headers[1], "TOMORROW");
    EXPECT_EQ(headers[2], CalendarWidget::dayLabel(inThreeDays.start, rig.clock.now()).toUpper());
    CalendarRow* kept = calendar.rows().at(1);

    // The first goes, the others stay as they were.
    show(binding(NotchCalendarAccess::granted, {dayOf({tomorrow}), dayOf({inThreeDays})}));
    EXPECT_EQ(calendar.headers(), (std::vector<QString>{"TOMORROW", headers[2]}));
    EXPECT_EQ(calendar.rows().at(0), kept);
    EXPECT_LT(calendar.rows().at(0)->y(), calendar.rows().at(1)->y());
}

} // namespace
