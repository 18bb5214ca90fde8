#pragma once
// The Focus pane: the Focus pill's switch and duration, whether it replaces
// the waveform and hides its label, and, while the app cannot tell which
// mode is on, a card explaining the generic pill. Nothing here is dimmed.

#include "Vude/Settings/ActivityPane.h"

class ActivityHeaderCard;
class SettingsCard;
class UnavailableCard;

class FocusPane final : public ActivityPane {
    Q_OBJECT
public:
    FocusPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    ActivityHeaderCard* headerCard() const { return m_header; }
    SettingsCard* optionsCard() const { return m_options; }
    SettingsSwitch* replaceWaveformSwitch() const { return m_replaceWaveform; }
    SettingsSwitch* hideLabelSwitch() const { return m_hideLabel; }
    /// None when the mode's name is known.
    UnavailableCard* identityCard() const { return m_identityCard; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    FocusPaneInputs m_inputs;
    ActivityHeaderCard* m_header = nullptr;
    SettingsCard* m_options = nullptr;
    SettingsSwitch* m_replaceWaveform = nullptr;
    SettingsSwitch* m_hideLabel = nullptr;
    UnavailableCard* m_identityCard = nullptr;
};
