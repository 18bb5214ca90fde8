#include "Vude/Settings/CalendarPane.h"

#include "Vude/Permissions/Permission.h"
#include "Vude/Settings/PaneControls.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/KeyedColumn.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeServices/CalendarFilter.h"
#include "VudeServices/CalendarService.h"
#include "VudeUI/qt/QtTokens.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

/// A switch of the Events or Activity card and the setting it writes.
struct Toggle {
    const char* label;
    bool (SettingsStore::*get)() const;
    void (SettingsStore::*set)(const bool&);
};

SettingsRow* switchRow(const ViewEnvironment& environment, SettingsBindings& bindings, const Toggle& toggle,
                       const std::optional<QString>& footnote = std::nullopt)
{
    auto* control = new SettingsSwitch(environment);
    bindings.bind(control, toggle.get, toggle.set);
    return new SettingsRow(QString::fromUtf8(toggle.label), control, footnote);
}

} // namespace

// MARK: - The pane's rules

bool CalendarPane::isVisible(const CalendarIDSet& visible, const std::string& id)
{
    return visible.empty() || visible.contains(id);
}

CalendarIDSet CalendarPane::visibleAfter(const CalendarIDSet& visible, const std::vector<CalendarSource>& calendars,
                                         const std::string& id, bool on)
{
    CalendarIDSet result;
    if (visible.empty()) {
        for (const CalendarSource& calendar : calendars)
            result.insert(calendar.id);
    } else {
        result = visible;
        result.erase(CalendarFilter::noneMarker);
    }
    if (on)
        result.insert(id);
    else
        result.erase(id);
    if (result.empty())
        result.insert(CalendarFilter::noneMarker);
    return result;
}

std::optional<QString> CalendarPane::accessMessage(CalendarAccess access)
{
    switch (access) {
    case CalendarAccess::granted:
        return std::nullopt;
    case CalendarAccess::notDetermined:
        return QStringLiteral("Vude needs access to your calendars to show events.");
    case CalendarAccess::writeOnly:
        return qt(LinuxTexts::calendarPaneWriteOnly.shown);
    case CalendarAccess::denied:
        return QStringLiteral("Calendar access is turned off for Vude.");
    case CalendarAccess::restricted:
        return qt(LinuxTexts::calendarPaneRestricted.shown);
    }
    return std::nullopt;
}

QString CalendarPane::accessButtonTitle(CalendarAccess access, const QString& openTitle)
{
    return access == CalendarAccess::notDetermined ? QStringLiteral("Allow Access") : openTitle;
}

QString CalendarPane::lastRefreshedText(Date refreshed, const QLocale& locale)
{
    // The locale's long time without its zone: hours, minutes and seconds
    // in the user's order and clock.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString withoutZone;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            withoutZone += c;
    }
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(refreshed.time_since_epoch());
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(milliseconds.count());
    return QStringLiteral("Last refreshed ") + locale.toString(time.time(), withoutZone.trimmed());
}

// MARK: - The pane

CalendarPane::CalendarPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::calendar, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

CalendarPane::~CalendarPane() = default;

void CalendarPane::bind(const SettingsPaneInputs& inputs)
{
    const bool first = m_bindings == nullptr;
    m_inputs = std::get<CalendarPaneInputs>(inputs);
    if (!m_inputs.settings)
        return;
    if (first)
        build();
    else
        m_bindings->refresh();
}

CalendarPane::EventSettings CalendarPane::eventSettings(const SettingsStore& store)
{
    return {store.showPastEventsToday(), store.showAllDayEvents(), store.showMultiDayEvents(),
            store.calendarDaysBehind(), store.calendarDaysAhead()};
}

void CalendarPane::build()
{
    SettingsStore& store = *m_inputs.settings;
    const ViewEnvironment& view = m_environment.view;
    m_bindings = new SettingsBindings(store, this);
    if (m_inputs.calendar) {
        m_bindings->refreshOn(m_inputs.calendar, &CalendarService::accessChanged);
        m_bindings->refreshOn(m_inputs.calendar, &CalendarService::calendarsChanged);
        m_bindings->refreshOn(m_inputs.calendar, &CalendarService::lastRefreshChanged);
    }

    // The access card.
    m_accessCard = new SettingsCard;
    auto* access = new QWidget;
    auto* accessColumn = new QVBoxLayout(access);
    accessColumn->setContentsMargins(14, 14, 14, 14);
    accessColumn->setSpacing(8);
    m_accessText = new SettingsText({}, Vude::Type_::settingsRow, Vude::Stone::x100);
    accessColumn->addWidget(m_accessText);
    m_accessButton = new AccentButton(view, QStringLiteral("Allow Access"), AccentButton::Style::small);
    accessColumn->addWidget(m_accessButton, 0, Qt::AlignLeft);
    connect(m_accessButton, &QAbstractButton::clicked, this, &CalendarPane::accessPressed);
    static_cast<SettingsCard*>(m_accessCard)->addRow(access);
    m_stack->addWidget(m_accessCard);

    // The calendars.
    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Calendars")));
    auto* calendarsCard = new SettingsCard;
    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(14, 10, 14, 10);
    buttonRow->setSpacing(10);
    const auto textButton = [&](const QString& title) {
        return PaneControls::textButton(view, title, Vude::Type_::settingsFootnote, Vude::Accent::x500);
    };
    m_selectAll = textButton(QStringLiteral("Select All"));
    m_clear = textButton(QStringLiteral("Clear"));
    m_refresh = textButton(QStringLiteral("Refresh now"));
    buttonRow->addWidget(m_selectAll);
    buttonRow->addWidget(m_clear);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_refresh);
    connect(m_selectAll, &QAbstractButton::clicked, this, &CalendarPane::selectAll);
    connect(m_clear, &QAbstractButton::clicked, this, &CalendarPane::clear);
    connect(m_refresh, &QAbstractButton::clicked, this, [this] {
        if (m_inputs.onRefresh)
            m_inputs.onRefresh();
    });
    calendarsCard->addRow(buttons);
    m_calendars = new KeyedColumn<std::string, CalendarSourceRow>;
    calendarsCard->addRow(m_calendars);
    m_stack->addWidget(calendarsCard);

    // The events.
    using S = SettingsStore;
    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Events")));
    auto* events = new SettingsCard;
    events->addRow(switchRow(view, *m_bindings, {"Show today's past events", &S::showPastEventsToday,
                                                 &S::setShowPastEventsToday}));
    events->addRow(
        switchRow(view, *m_bindings, {"Show all-day events", &S::showAllDayEvents, &S::setShowAllDayEvents}));
    events->addRow(
        switchRow(view, *m_bindings, {"Show multi-day events", &S::showMultiDayEvents, &S::setShowMultiDayEvents}));
    auto* behind = new ValueSlider(QStringLiteral("Days behind"), 0, 30, QStringLiteral(" days"));
    auto* ahead = new ValueSlider(QStringLiteral("Days ahead"), 1, 30, QStringLiteral(" days"));
    events->addRow(behind);
    events->addRow(ahead);
    m_bindings->bind(behind, &S::calendarDaysBehind, &S::setCalendarDaysBehind);
    m_bindings->bind(ahead, &S::calendarDaysAhead, &S::setCalendarDaysAhead);
    m_stack->addWidget(events);

    // The activity.
    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Activity")));
    auto* activity = new SettingsCard;
    auto* lead = new ValueSlider(QStringLiteral("Notify before"), 0, 60, QStringLiteral(" min"));
    activity->addRow(lead);
    m_bindings->bind(lead, &S::calendarLeadMinutes, &S::setCalendarLeadMinutes);
    activity->addRow(switchRow(view, *m_bindings,
                               {"Dismiss when the event ends", &S::dismissAtEventEnd, &S::setDismissAtEventEnd}));
    activity->addRow(switchRow(view, *m_bindings,
                               {"Detect meeting links", &S::detectMeetingLinks, &S::setDetectMeetingLinks},
                               qt(LinuxTexts::calendarMeetingLinksFootnote.shown)));
    m_stack->addWidget(activity);

    m_lastRefreshed = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    m_stack->addWidget(m_lastRefreshed);
    m_stack->addStretch(1);

    // Read now, so building the pane is not taken for a change.
    m_eventSettings = eventSettings(store);
    m_bindings->follow([this] {
        noteEventSettings();
        refresh();
    });
}

void CalendarPane::refresh()
{
    const CalendarService* service = m_inputs.calendar;
    const CalendarAccess access = service ? service->access() : CalendarAccess::notDetermined;
    const std::optional<QString> message = accessMessage(access);
    m_accessCard->setVisible(message.has_value());
    if (message) {
        m_accessText->setText(*message);
        const std::string opens =
            m_environment.permissions.privacyPaneTitle(Permission::calendar.settingsAnchor());
        m_accessButton->setTitle(
            accessButtonTitle(access, opens.empty() ? qt(LinuxTexts::openCalendarsFolder.shown) : qt(opens)));
    }

    static const std::vector<CalendarSource> none;
    const std::vector<CalendarSource>& calendars = service ? service->calendars() : none;
    m_calendars->setItems(
        calendars, [](const CalendarSource& calendar) { return calendar.id; },
        [this](const CalendarSource& calendar, QWidget* parent) {
            auto* row = new CalendarSourceRow(m_environment.view, parent);
            const std::string id = calendar.id;
            connect(row, &CalendarSourceRow::flipped, this, [this, id](bool visible) { setVisible(id, visible); });
            return row;
        },
        [this](CalendarSourceRow& row, const CalendarSource& calendar) {
            row.present(calendar, isVisible(calendar.id));
        });

    const std::optional<Date> refreshed = service ? service->lastRefresh() : std::nullopt;
    m_lastRefreshed->setVisible(refreshed.has_value());
    if (refreshed)
        m_lastRefreshed->setText(lastRefreshedText(*refreshed));
}

void CalendarPane::noteEventSettings()
{
    const EventSettings now = eventSettings(*m_inputs.settings);
    if (now == m_eventSettings)
        return;
    m_eventSettings = now;
    filterChanged();
}

void CalendarPane::accessPressed()
{
    CalendarService* service = m_inputs.calendar;
    const CalendarAccess access = service ? service->access() : CalendarAccess::notDetermined;
    if (access == CalendarAccess::notDetermined) {
        // The pane follows the service's signals; nothing else to do here.
        if (service)
            service->start();
        return;
    }
    Permission::calendar.openSettings(m_environment.permissions);
}

bool CalendarPane::isVisible(const std::string& id) const
{
    return m_inputs.settings && isVisible(m_inputs.settings->visibleCalendars(), id);
}

void CalendarPane::setVisible(const std::string& id, bool visible)
{
    if (!m_inputs.settings)
        return;
    static const std::vector<CalendarSource> none;
    const std::vector<CalendarSource>& calendars = m_inputs.calendar ? m_inputs.calendar->calendars() : none;
    m_inputs.settings->setVisibleCalendars(visibleAfter(m_inputs.settings->visibleCalendars(), calendars, id, visible));
    filterChanged();
}

void CalendarPane::selectAll()
{
    if (!m_inputs.settings)
        return;
    m_inputs.settings->setVisibleCalendars({});
    filterChanged();
}

void CalendarPane::clear()
{
    if (!m_inputs.settings)
        return;
    m_inputs.settings->setVisibleCalendars({CalendarFilter::noneMarker});
    filterChanged();
}

void CalendarPane::filterChanged()
{
    if (m_inputs.onFilterChanged)
        m_inputs.onFilterChanged();
}

QWidget* CalendarPane::accessCard() const
{
    return m_accessCard && !m_accessCard->isHidden() ? m_accessCard : nullptr;
}

std::vector<CalendarSourceRow*> CalendarPane::calendarRows() const
{
    return m_calendars ? m_calendars->rows() : std::vector<CalendarSourceRow*>{};
}

SettingsSwitch* CalendarPane::switchNamed(const QString& label) const
{
    for (auto* row : findChildren<SettingsRow*>())
        if (row->label() == label)
            return qobject_cast<SettingsSwitch*>(row->control());
    return nullptr;
}

ValueSlider* CalendarPane::sliderNamed(const QString& label) const
{
    for (auto* slider : findChildren<ValueSlider*>())
        if (slider->label() == label)
            return slider;
    return nullptr;
}

SettingsText* CalendarPane::lastRefreshedLine() const
{
    return m_lastRefreshed && !m_lastRefreshed->isHidden() ? m_lastRefreshed : nullptr;
}

// MARK: - A calendar's row

namespace {

class ColourDot final : public QWidget {
public:
    explicit ColourDot(const CalendarSource& calendar) : m_calendar(calendar) { setFixedSize(9, 9); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(float(m_calendar.red), float(m_calendar.green), float(m_calendar.blue)));
        painter.drawEllipse(QRectF(rect()));
    }

private:
    const CalendarSource& m_calendar;
};

} // namespace

CalendarSourceRow::CalendarSourceRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(9);
    m_dot = new ColourDot(m_calendar);
    row->addWidget(m_dot);
    m_title = new SettingsText({}, Vude::Type_::settingsRow, Vude::Stone::x100);
    m_title->setWrapping(false);
    row->addWidget(m_title);
    row->addStretch(1);
    m_switch = new SettingsSwitch(environment);
    row->addWidget(m_switch);
    connect(m_switch, &SettingsSwitch::flipped, this, &CalendarSourceRow::flipped);
}

void CalendarSourceRow::present(const CalendarSource& calendar, bool visible)
{
    m_calendar = calendar;
    m_title->setText(QString::fromStdString(calendar.title));
    m_switch->setOn(visible);
    m_dot->update();
}

void CalendarSourceRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}
