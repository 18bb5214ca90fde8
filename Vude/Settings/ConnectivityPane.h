#pragma once
// The Connectivity pane: the Bluetooth device pill's switch and duration,
// its low-battery warning with the threshold, and a note on where device
// batteries come from. Without Bluetooth access a permission card comes
// first and the header and warning cards are dimmed and inert; only a
// granted state hides the card. Built afresh when the permission it was
// given changes.

#include "Vude/Settings/ActivityPane.h"

class ActivityHeaderCard;
class PermissionNeededCard;
class SettingsCard;
class SettingsText;

class ConnectivityPane final : public ActivityPane {
    Q_OBJECT
public:
    ConnectivityPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    /// None once access is granted.
    PermissionNeededCard* permissionCard() const { return m_permissionCard; }
    ActivityHeaderCard* headerCard() const { return m_header; }
    SettingsCard* warningCard() const { return m_warningCard; }
    SettingsSwitch* warnLowSwitch() const { return m_warnLow; }
    ValueSlider* thresholdSlider() const { return m_threshold; }
    SettingsText* note() const { return m_note; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    ConnectivityPaneInputs m_inputs;
    PermissionNeededCard* m_permissionCard = nullptr;
    ActivityHeaderCard* m_header = nullptr;
    SettingsCard* m_warningCard = nullptr;
    SettingsSwitch* m_warnLow = nullptr;
    ValueSlider* m_threshold = nullptr;
    SettingsText* m_note = nullptr;
};
