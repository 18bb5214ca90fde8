#pragma once
// The "System HUDs" section of the sound and display panes: whether Vude
// takes the volume and brightness keys and shows its own HUD instead of the
// desktop's. With the keys available it is a switch over suppressSystemHUD
// (and, while on, a row saying which keys pass through); without them it
// offers "Allow…", which only calls `onRequest`. Nothing is asked for when
// the card is shown, and it never polls: `canSuppress` is read by whoever
// builds the pane.

#include "Vude/Toolkit/ViewEnvironment.h"

#include <QString>
#include <QWidget>

#include <functional>

class AccentButton;
class SettingsBindings;
class SettingsRow;
class SettingsSwitch;

class SuppressionCard final : public QWidget {
    Q_OBJECT
public:
    static constexpr int headingSpacing = 8;

    static QString heading();
    static QString switchLabel();
    static QString footnote(bool canSuppress);
    static QString allowTitle();
    static QString passThroughLabel();
    static QString passThroughFootnote();
    static QString passThroughText();

    /// Binds to suppressSystemHUD in the bindings' store. `environment`
    /// must outlive the card.
    SuppressionCard(SettingsBindings& bindings, bool canSuppress, std::function<void()> onRequest,
                    const ViewEnvironment& environment, QWidget* parent = nullptr);

    bool canSuppress() const { return m_canSuppress; }
    SettingsRow* switchRow() const { return m_switchRow; }
    /// The switch; none without access.
    SettingsSwitch* suppressSwitch() const { return m_switch; }
    /// "Allow…"; none with access.
    AccentButton* allowButton() const { return m_allow; }
    SettingsRow* passThroughRow() const { return m_passThrough; }
    /// The rows shown now, top to bottom.
    int shownRowCount() const;

private:
    bool m_canSuppress;
    SettingsRow* m_switchRow = nullptr;
    SettingsSwitch* m_switch = nullptr;
    AccentButton* m_allow = nullptr;
    SettingsRow* m_passThrough = nullptr;
};
