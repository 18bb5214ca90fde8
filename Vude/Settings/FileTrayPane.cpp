#include "Vude/Settings/FileTrayPane.h"

#include "Vude/Settings/PipelineSwitches.h"
#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsPicker.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

/// An explanation under a picker: the card's full width, wrapped.
QWidget* explanationBlock(SettingsText*& text)
{
    auto* block = new QWidget;
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(14, 0, 14, 10);
    text = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    layout->addWidget(text);
    return block;
}

class PipelineSymbol final : public QWidget {
public:
    static constexpr double size = 12;

    PipelineSymbol(PipelineID id, const PipelineRow& row) : m_id(id), m_row(row)
    {
        setFixedSize(18, int(std::ceil(size * SymbolCatalog::kOpticalScale)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double box = size * SymbolCatalog::kOpticalScale;
        SymbolCatalog::draw(painter, QRectF((width() - box) / 2, (height() - box) / 2, box, box), symbol(m_id),
                            toQColor(m_row.symbolColor()), size);
    }

private:
    PipelineID m_id;
    const PipelineRow& m_row;
};

} // namespace

FileTrayPane::Explanation FileTrayPane::dropExplanation(bool moveOnDrop)
{
    if (moveOnDrop)
        return {qt(LinuxTexts::trayDropMoves.shown), Vude::Semantic::amber};
    return {qt(LinuxTexts::trayDropCopies.shown), Vude::Stone::x400};
}

FileTrayPane::Explanation FileTrayPane::dragExplanation(bool copyByDefault)
{
    // Never a warning: the file itself stays wherever it lands.
    return {qt(copyByDefault ? LinuxTexts::trayDragCopies.shown : LinuxTexts::trayDragMoves.shown),
            Vude::Stone::x400};
}

FileTrayPane::FileTrayPane(const SettingsEnvironment& environment, QWidget* parent)
    : ActivityPane(SettingsPane::fileTray, environment, parent)
{
}

void FileTrayPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<FileTrayPaneInputs>(inputs);
    if (m_inputs.settings && buildCount() == 0)
        rebuild(*m_inputs.settings);
}

void FileTrayPane::build(QVBoxLayout& stack, SettingsBindings& bindings)
{
    SettingsStore& store = bindings.store();
    const ViewEnvironment& view = environment().view;

    // A heading, then a card of a picker over its explanation.
    const auto addPicker = [&](const QString& heading, const QString& label, SettingsText*& text) {
        stack.addWidget(SettingsText::sectionTitle(heading));
        auto* card = new SettingsCard;
        auto* picker = new SettingsPicker(label, view);
        card->addRow(picker);
        card->addRow(explanationBlock(text));
        stack.addWidget(card);
        return picker;
    };
    m_dropPicker = addPicker(QStringLiteral("Dropping in"), QStringLiteral("When you drop a file on the notch"),
                             m_dropText);
    connect(m_dropPicker, &SettingsPicker::chosen, this, [settings = &store](TrayDropMode mode) {
        settings->setTrayMoveOnDrop(mode == TrayDropMode::move);
    });
    m_dragPicker = addPicker(QStringLiteral("Dragging out"), QStringLiteral("When you drag an item off the shelf"),
                             m_dragText);
    connect(m_dragPicker, &SettingsPicker::chosen, this, [settings = &store](TrayDropMode mode) {
        settings->setTrayCopyByDefault(mode == TrayDropMode::copy);
    });

    stack.addWidget(SettingsText::sectionTitle(QStringLiteral("Shelf")));
    auto* shelfCard = new SettingsCard;
    m_maxItems = new ValueSlider(QStringLiteral("Keep at most"), 5, 200, QStringLiteral(" files"));
    shelfCard->addRow(m_maxItems);
    stack.addWidget(shelfCard);
    bindings.bind(m_maxItems, &SettingsStore::trayMaxItems, &SettingsStore::setTrayMaxItems);
    stack.addWidget(SettingsText::footnote(qt(LinuxTexts::trayLocalNote.shown)));

    stack.addWidget(SettingsText::sectionTitle(QStringLiteral("Drop actions")));
    auto* actionsCard = new SettingsCard;
    m_lanesSwitch = new SettingsSwitch(view);
    actionsCard->addRow(new SettingsRow(
        QStringLiteral("Split the notch into actions"), m_lanesSwitch,
        QStringLiteral("Hold a file over the notch and it divides into lanes \u2014 compress, convert, zip. Drop "
                       "anywhere else to just add it to the tray.")));
    bindings.bind(m_lanesSwitch, &SettingsStore::pipelinesEnabled, &SettingsStore::setPipelinesEnabled);
    m_pipelineList = new QWidget;
    m_pipelineList->setObjectName(QStringLiteral("pipelines"));
    auto* rows = new QVBoxLayout(m_pipelineList);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    for (PipelineID id : allCases<PipelineID>()) {
        auto* row = new PipelineRow(id, view);
        connect(row, &PipelineRow::toggleRequested, this, [this, id](bool on) { setOn(id, on); });
        rows->addWidget(row);
        m_rows[id] = row;
    }
    actionsCard->addRow(m_pipelineList);
    stack.addWidget(actionsCard);
    stack.addWidget(SettingsText::footnote(
        QStringLiteral("Only lanes that suit the files you're dragging appear \u2014 you won't see \u201CCompress\u201D "
                       "for a text file. Results land in the tray with an undo.")));
    bindings.follow([this] { refresh(); });
}

void FileTrayPane::refresh()
{
    const SettingsStore& store = *m_inputs.settings;
    const bool moveOnDrop = store.trayMoveOnDrop();
    m_dropPicker->setSelection(dropMode(moveOnDrop));
    const Explanation drop = dropExplanation(moveOnDrop);
    m_dropText->setText(drop.text);
    m_dropText->setColor(drop.color);

    const bool copyByDefault = store.trayCopyByDefault();
    m_dragPicker->setSelection(dragMode(copyByDefault));
    const Explanation drag = dragExplanation(copyByDefault);
    m_dragText->setText(drag.text);
    m_dragText->setColor(drag.color);

    const PipelineList order = store.pipelineOrder();
    for (const auto& [id, row] : m_rows)
        row->present(PipelineSwitches::isOn(order, id));
    Dimming::setDimmed(*m_pipelineList, !store.pipelinesEnabled());
}

void FileTrayPane::setOn(PipelineID pipeline, bool on)
{
    SettingsStore& store = *m_inputs.settings;
    const PipelineSwitches::Change change = PipelineSwitches::setOn(store.pipelineOrder(), pipeline, on);
    store.setPipelineOrder(change.order);
    if (change.turnsLanesOff)
        store.setPipelinesEnabled(false);
}

std::vector<PipelineRow*> FileTrayPane::pipelineRows() const
{
    std::vector<PipelineRow*> shown;
    auto* layout = m_pipelineList ? m_pipelineList->layout() : nullptr;
    for (int i = 0; layout && i < layout->count(); ++i)
        if (auto* row = qobject_cast<PipelineRow*>(layout->itemAt(i)->widget()))
            shown.push_back(row);
    return shown;
}

// MARK: - A pipeline's row

PipelineRow::PipelineRow(PipelineID id, const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_id(id)
{
    setObjectName(qt(rawValue(id)));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(10);
    m_symbol = new PipelineSymbol(id, *this);
    row->addWidget(m_symbol);
    auto* title = new SettingsText(qt(displayName(id)), Vude::Type_::settingsRow, Vude::Stone::x100);
    title->setWrapping(false);
    row->addWidget(title);
    row->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_switch = new SettingsSwitch(environment);
    row->addWidget(m_switch);
    connect(m_switch, &SettingsSwitch::flipped, this, [this](bool requested) { emit toggleRequested(requested); });
}

void PipelineRow::present(bool on)
{
    m_on = on;
    m_switch->setOn(on);
    m_symbol->update();
}

Vude::Color PipelineRow::symbolColor() const
{
    return m_on ? Vude::Accent::x500 : Vude::Stone::x400;
}

void PipelineRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}
