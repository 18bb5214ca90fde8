#pragma once
// The Battery pane: the battery pill on or off and how long it stays, Low
// Power Mode changes, the low-battery warning and its threshold (inert
// while the warning is off), the percentage, and a note on when the pill
// appears.

#include "Vude/Settings/ActivityPane.h"

class ActivityHeaderCard;
class SettingsText;

class BatteryPane final : public ActivityPane {
    Q_OBJECT
public:
    static QString note();

    BatteryPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    ActivityHeaderCard* header() const { return m_header; }
    SettingsText* noteText() const { return m_note; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    BatteryPaneInputs m_inputs;
    ActivityHeaderCard* m_header = nullptr;
    SettingsText* m_note = nullptr;
};
