#include "Vude/Desk/CalendarWidget.h"

#include "Platform/Core/LocalCalendar.h"
#include "Vude/Desk/CalendarRow.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/KeyedWidgets.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

const QString kTitle = QStringLiteral("Calendar");

QFont headerFont()
{
    QFont font = systemFont(CalendarWidget::headerSize, Vude::FontWeight::semibold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, CalendarWidget::headerTracking);
    return font;
}

/// Every child fills it: the list and the empty state, one of them shown.
class Stack final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (QObject* child : children())
            if (auto* widget = qobject_cast<QWidget*>(child))
                widget->setGeometry(rect());
    }
};

} // namespace

/// A day's header: its label, upper-case and tracked.
class CalendarWidget::DayHeader final : public QWidget {
public:
    using QWidget::QWidget;

    void setLabel(const QString& label)
    {
        const QString upper = label.toUpper();
        if (upper == m_text)
            return;
        m_text = upper;
        setAccessibleName(label);
        update();
    }
    const QString& text() const { return m_text; }

    static int headerHeight() { return int(std::ceil(QFontMetricsF(headerFont()).height())); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(headerFont());
        painter.setPen(toQColor(Vude::Stone::x400));
        const QString fitted = QFontMetricsF(headerFont()).elidedText(m_text, Qt::ElideRight, width());
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, fitted);
    }

private:
    QString m_text;
};

/// The day list's one column: headers and rows as siblings, `spacing`
/// apart, top to bottom.
class CalendarWidget::Column final : public QWidget {
public:
    using QWidget::QWidget;

    void setItems(std::vector<QWidget*> items)
    {
        m_items = std::move(items);
        double height = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i)
            height += (i ? spacing : 0) + itemHeight(m_items[i]);
        setMinimumHeight(int(std::ceil(height)));
        place();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

private:
    static int itemHeight(QWidget* item)
    {
        return dynamic_cast<DayHeader*>(item) ? DayHeader::headerHeight() : CalendarRow::rowHeight();
    }

    void place()
    {
        int y = 0;
        for (QWidget* item : m_items) {
            const int height = itemHeight(item);
            item->setGeometry(0, y, width(), height);
            y += height + int(spacing);
        }
    }

    std::vector<QWidget*> m_items;
};

CalendarWidget::CalendarWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::calendar, parent), m_environment(environment), m_now(environment.wallClock.now())
{
    m_stack = new Stack;
    m_frame = new WidgetFrame(kTitle, m_stack, Qt::AlignTop | Qt::AlignHCenter, nullptr, this);
    m_list = new ScrollArea(m_stack);
    m_column = new Column;
    m_list->setWidget(m_column);
    m_headers = std::make_unique<KeyedWidgets<std::int64_t, DayHeader>>(*m_column);
    m_rows = std::make_unique<KeyedWidgets<std::string, CalendarRow>>(*m_column);
    m_list->hide();
}

CalendarWidget::~CalendarWidget()
{
    m_tick.cancel();
    // The keepers go before the column that parents their widgets.
    m_rows.reset();
    m_headers.reset();
}

void CalendarWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<CalendarBinding>(binding);
    showContent(CalendarWidgetLayout::accessContent(m_binding.access, !m_binding.days.empty()));
    refreshList();
    updateClock();
}

void CalendarWidget::showContent(const std::optional<CalendarWidgetLayout::AccessContent>& content)
{
    if (m_contentShown && content == m_content)
        return;
    m_contentShown = true;
    m_content = content;
    if (m_emptyState) {
        // The refresh may come from a click on its own button.
        m_emptyState->hide();
        m_emptyState->deleteLater();
        m_emptyState = nullptr;
    }
    m_list->setVisible(!content);
    if (!content)
        return;
    std::optional<WidgetEmptyState::Action> action;
    if (content->action != CalendarWidgetLayout::Action::none) {
        const bool request = content->action == CalendarWidgetLayout::Action::requestAccess;
        action = WidgetEmptyState::Action{content->actionTitle, [self = QPointer<CalendarWidget>(this), request] {
                                              if (!self)
                                                  return;
                                              const auto& perform = request ? self->m_binding.onRequestAccess
                                                                            : self->m_binding.onOpenSettings;
                                              if (perform)
                                                  perform();
                                          }};
    }
    m_emptyState = new WidgetEmptyState(m_environment.view, content->symbol, content->message, content->detail,
                                        std::move(action), m_stack);
    m_emptyState->setGeometry(m_stack->rect());
    m_emptyState->show();
}

void CalendarWidget::refreshList()
{
    std::vector<std::int64_t> dayKeys;
    std::vector<std::string> eventKeys;
    for (const NotchCalendarDay& day : m_binding.days) {
        dayKeys.push_back(day.day.time_since_epoch().count());
        for (const NotchCalendarEvent& event : day.events)
            eventKeys.push_back(event.id);
    }
    m_headers->reconcile(dayKeys, [](const std::int64_t&, QWidget* parent) { return new DayHeader(parent); });
    m_rows->reconcile(eventKeys, [this](const std::string&, QWidget* parent) {
        auto* row = new CalendarRow(m_environment.view, parent);
        connect(row, &QAbstractButton::clicked, this, [this, row] {
            if (m_binding.onOpen)
                m_binding.onOpen(row->event());
        });
        return row;
    });

    std::vector<QWidget*> items;
    for (const NotchCalendarDay& day : m_binding.days) {
        DayHeader* header = m_headers->find(day.day.time_since_epoch().count());
        if (!header)
            continue;
        header->setLabel(dayLabel(day.day, m_now));
        header->show();
        items.push_back(header);
        for (const NotchCalendarEvent& event : day.events) {
            CalendarRow* row = m_rows->find(event.id);
            // An id repeated in the list shows once, at its first place.
            if (!row || std::find(items.begin(), items.end(), row) != items.end())
                continue;
            row->setEvent(event);
            row->setNow(m_now);
            row->show();
            items.push_back(row);
        }
    }
    m_column->setItems(std::move(items));
}

std::vector<CalendarRow*> CalendarWidget::rows() const
{
    std::vector<CalendarRow*> shown;
    for (const NotchCalendarDay& day : m_binding.days) {
        for (const NotchCalendarEvent& event : day.events) {
            CalendarRow* row = m_rows->find(event.id);
            if (row && std::find(shown.begin(), shown.end(), row) == shown.end())
                shown.push_back(row);
        }
    }
    return shown;
}

std::vector<QString> CalendarWidget::headers() const
{
    std::vector<QString> texts;
    for (const DayHeader* header : m_headers->widgets())
        texts.push_back(header->text());
    return texts;
}

void CalendarWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}

void CalendarWidget::showEvent(QShowEvent* event)
{
    DeskWidget::showEvent(event);
    m_shown = true;
    updateClock();
}

void CalendarWidget::hideEvent(QHideEvent* event)
{
    DeskWidget::hideEvent(event);
    m_shown = false;
    updateClock();
}

void CalendarWidget::updateClock()
{
    const bool wanted = m_shown && m_contentShown && !m_content;
    if (wanted == m_ticking)
        return;
    m_ticking = wanted;
    if (!wanted) {
        m_tick.cancel();
        return;
    }
    tick();
    m_tick = m_environment.view.scheduler.every(tickInterval, [self = QPointer<CalendarWidget>(this)] {
        if (self)
            self->tick();
    });
}

void CalendarWidget::tick()
{
    LocalCalendar::refreshTimeZone();
    m_now = m_environment.wallClock.now();
    refreshList();
}
