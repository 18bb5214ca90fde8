#pragma once
// The first card of an activity's pane: the activity's on/off switch,
// labelled with its name, and how long its pill stays up. The duration
// slider is dimmed and inert while the activity is off, and follows the
// switch at once.

#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeKit/SettingsStore.h"

#include <QString>
#include <QWidget>

class SettingsBindings;
class SettingsSwitch;
class ValueSlider;

/// Dims `widget` (disabled, 0.45) whenever `flag` is off in the bindings'
/// store, at once and after every write.
void dimWhileOff(SettingsBindings& bindings, QWidget& widget, bool (SettingsStore::*flag)() const);

class ActivityHeaderCard final : public QWidget {
    Q_OBJECT
public:
    /// The slider runs from `lowest` to `highest` seconds.
    ActivityHeaderCard(const QString& title, double lowest, double highest, const ViewEnvironment& environment,
                       QWidget* parent = nullptr);

    /// Ties the switch to `enabled` and the slider to `duration` in the
    /// bindings' store.
    void bind(SettingsBindings& bindings, bool (SettingsStore::*enabled)() const,
              void (SettingsStore::*setEnabled)(const bool&), double (SettingsStore::*duration)() const,
              void (SettingsStore::*setDuration)(double));

    SettingsSwitch* enabledSwitch() const { return m_switch; }
    ValueSlider* durationSlider() const { return m_slider; }

private:
    SettingsSwitch* m_switch = nullptr;
    ValueSlider* m_slider = nullptr;
};
