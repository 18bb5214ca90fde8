#pragma once
// The Clipboard pane: whether copies are recorded, how many are kept and
// whether the history outlives the app, three plain lines on what the
// history keeps, and a button that clears it.
//
// The window controller's poll hands the history its settings; the pane
// acts on the history itself only twice. Turning persistence off deletes
// the history file at once (the clips stay in memory, and a write still
// waiting never lands); clearing empties it, then calls onChange.

#include "Vude/Settings/SettingsPaneView.h"

#include <QString>

#include <string_view>
#include <vector>

class AccentButton;
class SettingsBindings;
class SettingsRow;
class SettingsSwitch;
class ValueSlider;

class ClipboardPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// One line of the privacy card.
    struct PrivacyLine {
        std::string_view symbol;
        QString text;
    };
    static std::vector<PrivacyLine> privacyLines();
    /// The footnote of "Keep history after quitting".
    static QString persistenceFootnote(bool persists);

    ClipboardPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~ClipboardPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    SettingsSwitch* recordSwitch() const { return m_record; }
    ValueSlider* maxItemsSlider() const { return m_maxItems; }
    SettingsSwitch* persistSwitch() const { return m_persist; }
    SettingsRow* persistRow() const { return m_persistRow; }
    AccentButton* clearButton() const { return m_clear; }

private:
    void build();
    void setPersists(bool persists);
    void clearHistory();

    const SettingsEnvironment& m_environment;
    ClipboardPaneInputs m_inputs;
    SettingsBindings* m_bindings = nullptr;
    SettingsSwitch* m_record = nullptr;
    ValueSlider* m_maxItems = nullptr;
    SettingsSwitch* m_persist = nullptr;
    SettingsRow* m_persistRow = nullptr;
    AccentButton* m_clear = nullptr;
};
