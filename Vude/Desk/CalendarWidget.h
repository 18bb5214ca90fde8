#pragma once
// The Desk widget for the calendar: the loaded events grouped by day, each
// day under its header, each event a CalendarRow; while full access is
// missing, an empty state that says what is wrong and, where something can
// be done, one button for it. It calls only its binding's closures.
//
// Rows are drawn against `now`, which is read when the list appears and
// then every 30 s while it is on screen; no clock runs while the widget is
// hidden, on a closed Desk, or while an empty state shows. Headers and rows
// are kept by day and by event id across refreshes, so a hovered row stays
// hovered.

#include "Vude/Desk/CalendarWidgetLayout.h"
#include "Vude/Desk/DeskWidget.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CalendarRow;
class ScrollArea;
class WidgetEmptyState;
class WidgetFrame;
template <typename Key, typename Widget>
class KeyedWidgets;

class CalendarWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr Duration tickInterval = std::chrono::seconds(30);
    static constexpr double spacing = 8;
    static constexpr double headerSize = 9.5;
    static constexpr double headerTracking = 0.5;

    /// `environment` must outlive the widget.
    CalendarWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~CalendarWidget() override;

    void bind(const WidgetBinding& binding) override;

    /// How `day` is headed on `now`'s day (CalendarWidgetLayout::dayLabel);
    /// drawn upper-case.
    static QString dayLabel(Date day, Date now) { return CalendarWidgetLayout::dayLabel(day, now); }

    Date now() const { return m_now; }
    WidgetFrame* frame() const { return m_frame; }
    /// Shown instead of the list; none while the list shows.
    WidgetEmptyState* emptyState() const { return m_emptyState; }
    /// The day list, also while hidden.
    ScrollArea* list() const { return m_list; }
    /// The rows shown, in order.
    std::vector<CalendarRow*> rows() const;
    /// The headers' texts as drawn, in order.
    std::vector<QString> headers() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Column;
    class DayHeader;

    void showContent(const std::optional<CalendarWidgetLayout::AccessContent>& content);
    void refreshList();
    void updateClock();
    void tick();

    const DeskEnvironment& m_environment;
    CalendarBinding m_binding;
    Date m_now;
    WidgetFrame* m_frame = nullptr;
    QWidget* m_stack = nullptr;
    ScrollArea* m_list = nullptr;
    Column* m_column = nullptr;
    WidgetEmptyState* m_emptyState = nullptr;
    std::optional<CalendarWidgetLayout::AccessContent> m_content;
    bool m_contentShown = false;
    std::unique_ptr<KeyedWidgets<std::int64_t, DayHeader>> m_headers;
    std::unique_ptr<KeyedWidgets<std::string, CalendarRow>> m_rows;
    bool m_shown = false;
    bool m_ticking = false;
    ScheduledTask m_tick;
};
