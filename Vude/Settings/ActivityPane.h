#pragma once
// What the activity panes share: one vertical stack, spacing 18, built over
// the settings store through one SettingsBindings, and built afresh when a
// value the pane was given that shapes it (Accessibility, a permission, the
// brightness) changes. The old elements are hidden and go from the event
// loop, since the change may come from a click inside them ("Allow…").

#include "Vude/Settings/SettingsPaneView.h"
#include "VudeKit/SettingsStore.h"

#include <QPointer>
#include <QString>

class PreviewPicker;
class QVBoxLayout;
class SettingsBindings;
class SettingsCard;
class SettingsSwitch;
class ValueSlider;

class ActivityPane : public SettingsPaneView {
    Q_OBJECT
public:
    static constexpr int spacing = 18;

    ActivityPane(SettingsPane pane, const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~ActivityPane() override;

    /// The elements of the last build, top to bottom.
    std::vector<QWidget*> elements() const;
    /// The switch in the row labelled `label`; none when there is no such row.
    SettingsSwitch* switchNamed(const QString& label) const;
    ValueSlider* sliderNamed(const QString& label) const;
    PreviewPicker* pickerNamed(const QString& label) const;
    /// How many times the pane was laid out.
    int buildCount() const { return m_buildCount; }

protected:
    /// Lays the pane out afresh over `settings`, calling build().
    void rebuild(SettingsStore& settings);
    /// Adds the pane's elements to `stack`, tied through `bindings`.
    virtual void build(QVBoxLayout& stack, SettingsBindings& bindings) = 0;

    const SettingsEnvironment& environment() const { return m_environment; }
    /// A row labelled `label` with a switch over a setting, added to `card`.
    SettingsSwitch* addSwitchRow(SettingsCard& card, SettingsBindings& bindings, const QString& label,
                                 bool (SettingsStore::*get)() const, void (SettingsStore::*set)(const bool&));

private:
    const SettingsEnvironment& m_environment;
    QVBoxLayout* m_layout = nullptr;
    QPointer<QWidget> m_content;
    QPointer<SettingsBindings> m_bindings;
    int m_buildCount = 0;
};
