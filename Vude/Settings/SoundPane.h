#pragma once
// The Sound pane: the volume pill on or off and how long it stays, the
// look and speed of its bar, whether it shows a percentage or hides the
// device name, and the system HUD replacement it shares with the Display
// pane. Built afresh when Accessibility changes.

#include "Vude/Settings/ActivityPane.h"

class ActivityHeaderCard;
class SuppressionCard;

class SoundPane final : public ActivityPane {
    Q_OBJECT
public:
    /// The bar looks offered here: glow is the display's.
    static const std::vector<BarStyle>& barStyles();

    SoundPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    ActivityHeaderCard* header() const { return m_header; }
    SuppressionCard* suppressionCard() const { return m_suppression; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    SoundPaneInputs m_inputs;
    ActivityHeaderCard* m_header = nullptr;
    SuppressionCard* m_suppression = nullptr;
};
