#pragma once
// The Idle & Lock pane: keep-awake on and off with what the display will do,
// how long keep-awake lasts, and the two screen-lock settings.
//
// The keep-awake switch shows the idle service, never the click: flipping
// it asks onToggleKeepAwake, and the row, the switch and its footnote follow
// the service's signals, so a timed keep-awake that ends by itself turns
// them back with no one touching the pane. Without a way to keep the
// display awake (no inhibitor on the session bus) the switch is dimmed and
// the footnote says why. Choosing a duration only stores it: it applies the
// next time keep-awake starts.

#include "Vude/Settings/SettingsPaneView.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeKit/Date.h"
#include "VudeKit/SettingEnums.h"

#include <QPointer>
#include <QString>

#include <optional>
#include <vector>

class IdleService;
class SettingsBindings;
class SettingsRow;
class SettingsSwitch;

/// One duration choice: a capsule, accent-filled while it is the stored one.
class KeepAwakeChip final : public PlainButton {
    Q_OBJECT
public:
    static constexpr Vude::FontToken textFont{11, Vude::FontWeight::medium};
    static constexpr double horizontalPadding = 10;
    static constexpr double verticalPadding = 5;

    KeepAwakeChip(const ViewEnvironment& environment, KeepAwakeDurationSetting duration, QWidget* parent = nullptr);

    KeepAwakeDurationSetting duration() const { return m_duration; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

private:
    void paint(QPainter& painter) const;

    KeepAwakeDurationSetting m_duration;
    bool m_selected = false;
};

class IdleLockPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// What the display does now, under the keep-awake row.
    static QString statusFootnote(bool isKeepingAwake, std::optional<Date> keepAwakeUntil);
    /// The keep-awake row's footnote when nothing can keep the display awake.
    static QString unavailableFootnote();

    /// What the keep-awake row shows.
    struct KeepAwakeRow {
        QString label;
        QString footnote;
        /// The switch can be used; dimmed otherwise.
        bool usable = false;
    };
    /// The row for an idle service in that state (none: `hasService` false),
    /// `available` saying whether an inhibitor answered. A keep-awake that
    /// is on can always be switched off.
    static KeepAwakeRow keepAwakeRow(bool hasService, bool isKeepingAwake, std::optional<Date> keepAwakeUntil,
                                     bool available);

    IdleLockPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~IdleLockPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    SettingsRow* keepAwakeRow() const { return m_keepAwakeRow; }
    SettingsSwitch* keepAwakeSwitch() const { return m_keepAwake; }
    const std::vector<KeepAwakeChip*>& chips() const { return m_chips; }
    /// The switch in the row labelled `label`; none when there is no such row.
    SettingsSwitch* switchNamed(const QString& label) const;

private:
    void build();
    void toggleKeepAwake();
    void showKeepAwake();

    const SettingsEnvironment& m_environment;
    IdleLockPaneInputs m_inputs;
    QPointer<IdleService> m_idle;
    bool m_available = false;
    SettingsBindings* m_bindings = nullptr;
    SettingsRow* m_keepAwakeRow = nullptr;
    SettingsSwitch* m_keepAwake = nullptr;
    std::vector<KeepAwakeChip*> m_chips;
};
