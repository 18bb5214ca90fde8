#pragma once
// The General pane: the notch's behaviour and gesture switches, the tuning
// sliders, the sync card and the geometry the app detected on each screen.
//
// A change of either notch size adjustment, whoever writes it, rebuilds the
// panels (a drag rebuilds at every step); an unchanged value and building
// the pane rebuild nothing. The geometry text is read again after each
// rebuild and whenever the pane is shown.

#include "Vude/Settings/SettingsPaneView.h"
#include "VudeKit/SettingsStore.h"

#include <QPointer>
#include <QString>

#include <optional>
#include <vector>

class QLabel;
class QVBoxLayout;
class SettingsBindings;
class SettingsSwitch;
class SyncCard;
class ValueSlider;

class GeneralPane final : public SettingsPaneView {
    Q_OBJECT
public:
    /// A switch of the Behaviour or Gestures card and the setting it writes.
    struct Switch {
        const char* label;
        std::optional<const char*> footnote;
        bool (SettingsStore::*get)() const;
        void (SettingsStore::*set)(const bool&);
    };
    static const std::vector<Switch>& behaviourSwitches();
    static const std::vector<Switch>& gestureSwitches();

    GeneralPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~GeneralPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    /// The switch in the row labelled `label`; none when there is no such row.
    SettingsSwitch* switchNamed(const QString& label) const;
    ValueSlider* sliderNamed(const QString& label) const;
    QLabel* geometryText() const;
    SyncCard* syncCard() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void noteSizeAdjustments();
    void refreshGeometry();

    const SettingsEnvironment& m_environment;
    GeneralPaneInputs m_inputs;
    QVBoxLayout* m_stack = nullptr;
    SettingsBindings* m_bindings = nullptr;
    QPointer<QLabel> m_geometry;
    QPointer<SyncCard> m_syncCard;
    double m_widthAdjust = 0;
    double m_heightAdjust = 0;
};
