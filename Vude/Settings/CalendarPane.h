#pragma once
// The Calendar pane: the access card while calendars cannot be read, which
// calendars feed the notch, which events count, and how the calendar pill
// behaves. It reads the calendar service (access, calendars, last refresh)
// and follows its signals; it writes the store and nothing else.
//
// onFilterChanged runs once after each change of the visible calendars made
// here, and once for each change of an event setting (past events today,
// all-day, multi-day, days behind and ahead) whoever wrote it; the activity
// settings never call it.

#include "Vude/Settings/SettingsPaneView.h"
#include "VudeKit/Date.h"
#include "VudeKit/SettingsStore.h"
#include "VudeServices/CalendarAccess.h"
#include "VudeServices/CalendarSource.h"

#include <QLocale>
#include <QPointer>
#include <QString>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

class AccentButton;
class CalendarService;
class CalendarSourceRow;
class PlainButton;
class QVBoxLayout;
class SettingsBindings;
class SettingsSwitch;
class SettingsText;
class ValueSlider;
template <typename Key, typename Row>
class KeyedColumn;

class CalendarPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// Empty: every calendar visible. The none marker: no calendar.
    static bool isVisible(const CalendarIDSet& visible, const std::string& id);
    /// The set to store after switching `id` on or off, given what is stored
    /// and the identifiers of every known calendar (in the service's order).
    static CalendarIDSet visibleAfter(const CalendarIDSet& visible, const std::vector<CalendarSource>& calendars,
                                      const std::string& id, bool on);
    /// The access card's message; none while access is granted.
    static std::optional<QString> accessMessage(CalendarAccess access);
    /// The access card's button: "Allow Access" while undecided, else
    /// `openTitle` (what opening the calendar permission's pane does here).
    static QString accessButtonTitle(CalendarAccess access, const QString& openTitle);
    /// "Last refreshed " and the time of day in `locale`, seconds included,
    /// without a date or a time zone.
    static QString lastRefreshedText(Date refreshed, const QLocale& locale = QLocale());

    CalendarPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~CalendarPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    bool isVisible(const std::string& id) const;
    void setVisible(const std::string& id, bool visible);
    void selectAll();
    void clear();

    /// None while access is granted.
    QWidget* accessCard() const;
    AccentButton* accessButton() const { return m_accessButton; }
    SettingsText* accessText() const { return m_accessText; }
    PlainButton* selectAllButton() const { return m_selectAll; }
    PlainButton* clearButton() const { return m_clear; }
    PlainButton* refreshButton() const { return m_refresh; }
    /// The calendar switches, in the service's order.
    std::vector<CalendarSourceRow*> calendarRows() const;
    SettingsSwitch* switchNamed(const QString& label) const;
    ValueSlider* sliderNamed(const QString& label) const;
    /// None before the first refresh.
    SettingsText* lastRefreshedLine() const;

private:
    /// The five settings the service's filter is made of, besides the calendars.
    using EventSettings = std::tuple<bool, bool, bool, double, double>;
    static EventSettings eventSettings(const SettingsStore& store);

    void build();
    void refresh();
    void noteEventSettings();
    void accessPressed();
    void filterChanged();

    const SettingsEnvironment& m_environment;
    CalendarPaneInputs m_inputs;
    QVBoxLayout* m_stack = nullptr;
    SettingsBindings* m_bindings = nullptr;
    QWidget* m_accessCard = nullptr;
    SettingsText* m_accessText = nullptr;
    AccentButton* m_accessButton = nullptr;
    PlainButton* m_selectAll = nullptr;
    PlainButton* m_clear = nullptr;
    PlainButton* m_refresh = nullptr;
    KeyedColumn<std::string, CalendarSourceRow>* m_calendars = nullptr;
    SettingsText* m_lastRefreshed = nullptr;
    EventSettings m_eventSettings{};
};

/// One calendar of the pane's list: its colour, its title and its switch.
class CalendarSourceRow final : public QWidget {
    Q_OBJECT
public:
    CalendarSourceRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void present(const CalendarSource& calendar, bool visible);
    const CalendarSource& calendar() const { return m_calendar; }
    SettingsText* title() const { return m_title; }
    SettingsSwitch* visibleSwitch() const { return m_switch; }

signals:
    void flipped(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CalendarSource m_calendar;
    QWidget* m_dot = nullptr;
    SettingsText* m_title = nullptr;
    SettingsSwitch* m_switch = nullptr;
};
