#pragma once
// The Widgets pane: a scaled live preview of the Desk row, one row per
// widget (move up and down, on and off), and the width of the selected
// widget in cells. Every change is written to the store first and then
// announced once through onLayoutChanged, so open Desks follow at once.

#include "Vude/Settings/SettingsPaneView.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/WidgetLayout.h"

#include <QPointer>
#include <QRectF>
#include <QString>

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class PlainButton;
class QVBoxLayout;
class SettingsBindings;
class SettingsCard;
class SettingsSwitch;
class SettingsText;
class ValueSlider;
class RavoPreview;
class RavoWidgetRow;

class RavoPane final : public SettingsPaneView {
    Q_OBJECT
public:
    static constexpr double cellWidth = 54;
    static constexpr double gap = 22;
    static constexpr double maxWidth = 1100;
    static constexpr double previewWidth = 430;
    static constexpr double minimumTileWidth = 30;

    /// The preview's row: the layout, its scale, each tile's drawn width.
    struct Preview {
        ZeriRuvuzi layout;
        double scale = 1;
        std::vector<double> tileWidths;
    };
    /// The preview for what `settings` holds, with `available` points.
    static Preview preview(const SettingsStore& settings, double available);
    /// The main screen's width less 80, or 1360 without a screen.
    static double availableWidth(std::optional<double> mainScreenWidth);
    /// "Notes doesn't fit and won't be shown."; none without overflow.
    static std::optional<QString> overflowSentence(const std::vector<WidgetID>& overflow);
    static QString widthFootnote(WidgetID id);
    /// The slider's value as stored: halves away from zero.
    static int cellsFor(double value) { return int(std::lround(value)); }

    RavoPane(const SettingsEnvironment& environment, QWidget* parent = nullptr);
    ~RavoPane() override;

    void bind(const SettingsPaneInputs& inputs) override;

    WidgetID selected() const { return m_selected; }
    void select(WidgetID id);

    /// The rows in their shown order.
    std::vector<RavoWidgetRow*> rows() const;
    RavoWidgetRow* row(WidgetID id) const;
    RavoPreview* previewView() const { return m_preview; }
    ValueSlider* widthSlider() const;
    SettingsText* widthTitle() const { return m_widthTitle; }
    SettingsText* widthNote() const { return m_widthNote; }

private:
    void build();
    void refresh();
    void rebuildWidthCard();
    void toggle(WidgetID id, bool enabled);
    void move(WidgetID id, int offset);
    void layoutChanged();

    const SettingsEnvironment& m_environment;
    RavoPaneInputs m_inputs;
    WidgetID m_selected = WidgetID::media;
    QVBoxLayout* m_stack = nullptr;
    SettingsBindings* m_bindings = nullptr;
    RavoPreview* m_preview = nullptr;
    SettingsCard* m_rowCard = nullptr;
    std::map<WidgetID, RavoWidgetRow*> m_rows;
    QWidget* m_widthCard = nullptr;
    QPointer<ValueSlider> m_widthSlider;
    SettingsText* m_widthTitle = nullptr;
    SettingsText* m_widthNote = nullptr;
    std::optional<WidgetID> m_widthCardFor;
};

/// The preview: the heading, the black Desk with its tiles (each selects its
/// widget) or "No widgets enabled", and the overflow sentence.
class RavoPreview final : public QWidget {
    Q_OBJECT
public:
    static constexpr double deskHeight = 84;
    static constexpr double tileHeight = 56;
    static constexpr double tileTop = 16;
    static constexpr double tileSpacing = 4;

    explicit RavoPreview(QWidget* parent = nullptr);

    void present(RavoPane::Preview preview, WidgetID selected);
    const RavoPane::Preview& shown() const { return m_preview; }
    /// Where each tile is drawn, in placement order.
    std::vector<std::pair<WidgetID, QRectF>> tiles() const;
    QRectF deskRect() const;
    std::optional<QString> overflowText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

signals:
    void tileClicked(WidgetID id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double headingHeight() const;

    RavoPane::Preview m_preview;
    WidgetID m_selected = WidgetID::media;
};

/// One widget's row of the list.
class RavoWidgetRow final : public QWidget {
    Q_OBJECT
public:
    RavoWidgetRow(WidgetID id, const ViewEnvironment& environment, QWidget* parent = nullptr);

    WidgetID id() const { return m_id; }
    void present(int index, int count, bool selected, bool enabled, int cells);
    bool isSelected() const { return m_selected; }
    bool isOn() const { return m_enabled; }
    int cells() const { return m_cells; }

    PlainButton* upArrow() const { return m_up; }
    PlainButton* downArrow() const { return m_down; }
    SettingsSwitch* enableSwitch() const { return m_switch; }
    SettingsText* cellsText() const { return m_cellsText; }

signals:
    void selectRequested();
    void toggleRequested(bool enabled);
    void moveRequested(int offset);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    WidgetID m_id;
    QWidget* m_icon = nullptr;
    PlainButton* m_up = nullptr;
    PlainButton* m_down = nullptr;
    SettingsSwitch* m_switch = nullptr;
    SettingsText* m_cellsText = nullptr;
    bool m_selected = false;
    bool m_enabled = false;
    int m_cells = 0;
};
