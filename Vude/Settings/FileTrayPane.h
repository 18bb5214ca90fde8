#pragma once
// The File Tray pane: what a drop on the notch and a drag off the tray do
// with the original (copy or move, each with its explanation), how many
// files the tray keeps, and the drop lanes: the switch that splits the notch
// into actions and one row per pipeline, always in declaration order (the
// lane order is what `pipelineOrder` keeps, not how the rows are listed).
//
// The two pickers read their settings with opposite polarity: the drop
// picker shows move when `trayMoveOnDrop` is true, the drag picker shows
// copy when `trayCopyByDefault` is true. Only the drop's removal text is a
// warning (amber): a drag off the shelf never loses the file.

#include "Vude/Settings/ActivityPane.h"
#include "Vude/Settings/TrayDropMode.h"
#include "VudeKit/PipelineID.h"
#include "VudeUI/Tokens.h"

#include <QString>
#include <QWidget>

#include <map>
#include <vector>

class PipelineRow;
class SettingsPicker;
class SettingsText;

class FileTrayPane final : public ActivityPane {
    Q_OBJECT
public:
    /// A picker's explanation and its colour.
    struct Explanation {
        QString text;
        Vude::Color color;
    };
    static TrayDropMode dropMode(bool moveOnDrop) { return moveOnDrop ? TrayDropMode::move : TrayDropMode::copy; }
    static TrayDropMode dragMode(bool copyByDefault) { return copyByDefault ? TrayDropMode::copy : TrayDropMode::move; }
    static Explanation dropExplanation(bool moveOnDrop);
    static Explanation dragExplanation(bool copyByDefault);

    FileTrayPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);

    void bind(const SettingsPaneInputs& inputs) override;

    SettingsPicker* dropPicker() const { return m_dropPicker; }
    SettingsPicker* dragPicker() const { return m_dragPicker; }
    SettingsText* dropText() const { return m_dropText; }
    SettingsText* dragText() const { return m_dragText; }
    ValueSlider* maxItemsSlider() const { return m_maxItems; }
    SettingsSwitch* lanesSwitch() const { return m_lanesSwitch; }
    /// The block of pipeline rows, dimmed as one while the lanes are off.
    QWidget* pipelineList() const { return m_pipelineList; }
    /// The pipeline rows in their shown order.
    std::vector<PipelineRow*> pipelineRows() const;
    PipelineRow* pipelineRow(PipelineID id) const { return m_rows.at(id); }

protected:
    void build(QVBoxLayout& stack, SettingsBindings& bindings) override;

private:
    void refresh();
    void setOn(PipelineID pipeline, bool on);

    FileTrayPaneInputs m_inputs;
    SettingsPicker* m_dropPicker = nullptr;
    SettingsPicker* m_dragPicker = nullptr;
    SettingsText* m_dropText = nullptr;
    SettingsText* m_dragText = nullptr;
    ValueSlider* m_maxItems = nullptr;
    SettingsSwitch* m_lanesSwitch = nullptr;
    QWidget* m_pipelineList = nullptr;
    std::map<PipelineID, PipelineRow*> m_rows;
};

/// One pipeline's row: its symbol (accent while on), its title and a switch.
class PipelineRow final : public QWidget {
    Q_OBJECT
public:
    PipelineRow(PipelineID id, const ViewEnvironment& environment, QWidget* parent = nullptr);

    PipelineID id() const { return m_id; }
    void present(bool on);
    bool isOn() const { return m_on; }
    SettingsSwitch* onSwitch() const { return m_switch; }
    /// The colour the symbol is drawn in now.
    Vude::Color symbolColor() const;

signals:
    void toggleRequested(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PipelineID m_id;
    SettingsSwitch* m_switch = nullptr;
    QWidget* m_symbol = nullptr;
    bool m_on = false;
};
