#pragma once
// The Display pane: the brightness pill on or off and how long it stays,
// the look and speed of its bar, whether it shows a percentage, a note on
// several displays, and the system HUD replacement it shares with the Sound
// pane. Where no backlight can be read, a card saying so comes first and
// the pill's cards are dimmed and inert; the note and the replacement stay
// usable. Built afresh when the brightness or Accessibility changes.

#include "Vude/Settings/ActivityPane.h"

class ActivityHeaderCard;
class SettingsCard;
class SettingsText;
class SuppressionCard;
class UnavailableCard;

class DisplayPane final : public ActivityPane {
    Q_OBJECT
public:
    /// The bar looks offered here: decibel is the sound's.
    static const std::vector<BarStyle>& barStyles();
    static QString note();

    DisplayPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    /// None while the brightness can be read.
    UnavailableCard* unavailableCard() const { return m_unavailable; }
    ActivityHeaderCard* header() const { return m_header; }
    SettingsCard* barCard() const { return m_barCard; }
    SettingsText* noteText() const { return m_note; }
    SuppressionCard* suppressionCard() const { return m_suppression; }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    DisplayPaneInputs m_inputs;
    UnavailableCard* m_unavailable = nullptr;
    ActivityHeaderCard* m_header = nullptr;
    SettingsCard* m_barCard = nullptr;
    SettingsText* m_note = nullptr;
    SuppressionCard* m_suppression = nullptr;
};
