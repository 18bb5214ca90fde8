#pragma once
// The Now Playing pane: the activity's switch with how long the pill stays
// once playback goes idle, the progress bar's look from three previewed
// tiles, and three behaviours. Unlike the other activity panes it has no
// header card, and the idle slider stays active while the activity is off
// (it also decides when the ambient media view goes). Without the helper's
// universal reading a card explains what is missing; nothing is dimmed.

#include "Vude/Settings/SettingsPaneView.h"
#include "VudeKit/SettingEnums.h"

#include <QString>

#include <utility>
#include <vector>

class PreviewPicker;
class QVBoxLayout;
class SettingsBindings;
class SettingsCard;
class SettingsSwitch;
class UnavailableCard;
class ValueSlider;

class NowPlayingPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// The progress bar's tiles, in order, with their titles.
    static const std::vector<std::pair<MediaBarStyle, QString>>& barStyles();

    NowPlayingPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~NowPlayingPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    SettingsCard* activityCard() const { return m_activityCard; }
    SettingsCard* optionsCard() const { return m_optionsCard; }
    SettingsSwitch* enabledSwitch() const { return m_enabled; }
    ValueSlider* idleSlider() const { return m_idle; }
    PreviewPicker* barPicker() const { return m_barPicker; }
    /// The switch in the row labelled `label`; none when there is no such row.
    SettingsSwitch* switchNamed(const QString& label) const;
    /// None while every player is read.
    UnavailableCard* fallbackCard() const { return m_fallbackCard; }

private:
    void build();

    const SettingsEnvironment& m_environment;
    NowPlayingPaneInputs m_inputs;
    QVBoxLayout* m_stack = nullptr;
    SettingsBindings* m_bindings = nullptr;
    SettingsCard* m_activityCard = nullptr;
    SettingsCard* m_optionsCard = nullptr;
    SettingsSwitch* m_enabled = nullptr;
    ValueSlider* m_idle = nullptr;
    PreviewPicker* m_barPicker = nullptr;
    UnavailableCard* m_fallbackCard = nullptr;
};
