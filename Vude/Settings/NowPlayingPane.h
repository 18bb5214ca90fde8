#pragma once
// The Now Playing pane: the activity's switch with how long the pill stays
// once playback goes idle, the progress bar's look from three previewed
// tiles, and three behaviours. Unlike the other activity panes it has no
// header card, and the idle slider stays active while the activity is off.
// Without the helper's universal reading a card explains what is missing;
// nothing is dimmed. Built afresh when that reading comes or goes.

#include "Vude/Settings/ActivityPane.h"
#include "VudeKit/SettingEnums.h"

#include <utility>
#include <vector>

class SettingsCard;
class UnavailableCard;

class NowPlayingPane final : public ActivityPane {
    Q_OBJECT
public:
    /// The progress bar's tiles, in order, with their titles.
    static const std::vector<std::pair<MediaBarStyle, QString>>& barStyles();

    NowPlayingPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    SettingsCard* activityCard() const { return m_activityCard; }
    SettingsCard* optionsCard() const { return m_optionsCard; }
    SettingsSwitch* enabledSwitch() const { return m_enabled; }
    ValueSlider* idleSlider() const { return m_idle; }
    PreviewPicker* barPicker() const { return m_barPicker; }
    /// None while every player is read.
    UnavailableCard* fallbackCard() const { return m_fallbackCard; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    NowPlayingPaneInputs m_inputs;
    SettingsCard* m_activityCard = nullptr;
    SettingsCard* m_optionsCard = nullptr;
    SettingsSwitch* m_enabled = nullptr;
    ValueSlider* m_idle = nullptr;
    PreviewPicker* m_barPicker = nullptr;
    UnavailableCard* m_fallbackCard = nullptr;
};
