#pragma once
// One event of the calendar widget: a bar in its calendar's colour, the
// title, the time (CalendarWidgetLayout::timeLabel) and the location, and a
// marker when the event has a meeting link. The whole row is one button;
// what a click opens is the widget's closure. Styled against the widget's
// clock: ongoing rows are highlighted, ended ones dimmed.

#include "Vude/Desk/CalendarWidgetLayout.h"
#include "Vude/Toolkit/PlainButton.h"

class CalendarRow final : public PlainButton {
    Q_OBJECT
public:
    static constexpr double paddingX = 6;
    static constexpr double paddingY = 4;
    static constexpr double barWidth = 3;
    static constexpr double spacing = 8;
    static constexpr double lineSpacing = 2;
    static constexpr double detailSpacing = 5;
    static constexpr double cornerRadius = 7;
    static constexpr double markerSize = 10;

    /// `environment` must outlive the row.
    explicit CalendarRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void setEvent(const NotchCalendarEvent& event);
    void setNow(Date now);
    const NotchCalendarEvent& event() const { return m_event; }

    QString timeLabel() const { return CalendarWidgetLayout::timeLabel(m_event, m_now); }
    CalendarWidgetLayout::RowStyle style() const { return CalendarWidgetLayout::rowStyle(m_event, m_now); }

    /// The row's height: two lines and the padding.
    static int rowHeight();

private:
    void paintRow(QPainter& painter) const;

    NotchCalendarEvent m_event;
    Date m_now{};
};
