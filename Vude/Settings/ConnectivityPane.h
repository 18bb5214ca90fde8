#pragma once
// The Connectivity pane: the Bluetooth device pill's switch and duration,
// its low-battery warning with the threshold, and a note on where device
// batteries come from. Without Bluetooth access a permission card comes
// first and the header and warning cards are dimmed; only a granted state
// hides the card. The state is the one read when the pane was built.

#include "Vude/Settings/SettingsPaneView.h"

class ActivityHeaderCard;
class PermissionNeededCard;
class QVBoxLayout;
class SettingsBindings;
class SettingsCard;
class SettingsSwitch;
class SettingsText;
class ValueSlider;

class ConnectivityPane final : public SettingsPaneView {
    Q_OBJECT
public:
    ConnectivityPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~ConnectivityPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    /// None once access is granted.
    PermissionNeededCard* permissionCard() const { return m_permissionCard; }
    ActivityHeaderCard* headerCard() const { return m_header; }
    SettingsCard* warningCard() const { return m_warningCard; }
    SettingsSwitch* warnLowSwitch() const { return m_warnLow; }
    ValueSlider* thresholdSlider() const { return m_threshold; }
    SettingsText* note() const { return m_note; }

private:
    void build();

    const SettingsEnvironment& m_environment;
    ConnectivityPaneInputs m_inputs;
    QVBoxLayout* m_stack = nullptr;
    SettingsBindings* m_bindings = nullptr;
    PermissionNeededCard* m_permissionCard = nullptr;
    ActivityHeaderCard* m_header = nullptr;
    SettingsCard* m_warningCard = nullptr;
    SettingsSwitch* m_warnLow = nullptr;
    ValueSlider* m_threshold = nullptr;
    SettingsText* m_note = nullptr;
};
