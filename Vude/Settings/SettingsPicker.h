#pragma once
// A two-choice picker for a TrayDropMode: a label above two wide buttons,
// copy then move, each with its title and subtitle; the chosen one is
// filled with the accent. Like the switch it never changes its own
// selection: a click asks through `chosen`, and the owner shows what was
// stored with setSelection.

#include "Vude/Settings/TrayDropMode.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QString>
#include <QWidget>

#include <map>

class PlainButton;

class SettingsPicker final : public QWidget {
    Q_OBJECT
public:
    static constexpr QMargins margins{14, 12, 14, 4};
    static constexpr int spacing = 8;
    static constexpr double buttonRadius = 8;
    static constexpr int buttonPaddingX = 11;
    static constexpr int buttonPaddingY = 7;

    /// `environment` must outlive the picker.
    SettingsPicker(const QString& label, const ViewEnvironment& environment, QWidget* parent = nullptr);

    QString label() const { return m_label; }
    TrayDropMode selection() const { return m_selection; }
    /// Shows `mode` as chosen; never emits `chosen`.
    void setSelection(TrayDropMode mode);
    PlainButton* button(TrayDropMode mode) const { return m_buttons.at(mode); }

signals:
    /// The user picked `mode` (also the one already chosen).
    void chosen(TrayDropMode mode);

private:
    QString m_label;
    TrayDropMode m_selection = TrayDropMode::copy;
    std::map<TrayDropMode, PlainButton*> m_buttons;
};
