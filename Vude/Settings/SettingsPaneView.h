#pragma once
// A pane of the settings window, and the one place that says which view
// shows which SettingsPane (makeSettingsPaneView).
//
// The root view makes the selected pane's view afresh each time the
// selection changes, and hands it its inputs right after making it and
// again, in place, whenever they change while it stays selected (the
// repository republished its shortcuts): a pane keeps its own state (a
// search text, a list being loaded) for as long as it stays selected.
//
// To plug a pane in: derive from SettingsPaneView, read your alternative in
// bind() (std::get<GeneralPaneInputs>(inputs)), and return your view from
// its case in makeSettingsPaneView. Until then the case shows an
// UnbuiltPane. A pane is one vertical stack of section titles, cards and
// notes (SettingsText, SettingsCard, SettingsRow, ValueSlider) bound through
// one SettingsBindings.

#include "Vude/Settings/SettingsEnvironment.h"
#include "Vude/Settings/SettingsPane.h"
#include "Vude/Settings/SettingsPaneInputs.h"

#include <QWidget>

class SettingsPaneView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPaneView(SettingsPane pane, QWidget* parent = nullptr);
    SettingsPane pane() const { return m_pane; }

    /// The inputs, current now: right after the pane is made and whenever
    /// they change while it stays selected.
    virtual void bind(const SettingsPaneInputs& inputs) = 0;

private:
    SettingsPane m_pane;
};

/// The view of `pane`, not yet bound; `environment` must outlive it.
SettingsPaneView* makeSettingsPaneView(SettingsPane pane, const SettingsEnvironment& environment, QWidget* parent);

/// Stands in for a pane that has no content yet: a card saying so.
class UnbuiltPane final : public SettingsPaneView {
    Q_OBJECT
public:
    explicit UnbuiltPane(SettingsPane pane, QWidget* parent = nullptr);
    void bind(const SettingsPaneInputs& inputs) override;

    /// The card's two texts.
    static QString heading();
    static QString sentence(SettingsPane pane);

    /// The last inputs handed over.
    const SettingsPaneInputs& inputs() const { return m_inputs; }
    int bindCount() const { return m_bindCount; }

private:
    SettingsPaneInputs m_inputs;
    int m_bindCount = 0;
};
