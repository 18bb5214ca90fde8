#include "Vude/Settings/RavoPane.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString name(WidgetID id)
{
    return qt(displayName(id));
}

std::unordered_set<WidgetID> toSet(const WidgetSet& set)
{
    return {set.begin(), set.end()};
}

std::unordered_map<WidgetID, int> toMap(const WidgetCellMap& map)
{
    return {map.begin(), map.end()};
}

int storedCells(const SettingsStore& settings, WidgetID id)
{
    const WidgetCellMap cells = settings.widgetCells();
    const auto found = cells.find(id);
    return found != cells.end() ? found->second : defaultCells(id);
}

double previewHeadingHeight()
{
    return std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsSection)).height());
}

double footnoteLineHeight()
{
    return std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsFootnote)).height());
}

} // namespace

// MARK: - The pane's rules

RavoPane::Preview RavoPane::preview(const SettingsStore& settings, double available)
{
    const WidgetLayoutEngine engine{cellWidth, gap, settings.contentPadding(), maxWidth};
    Preview preview;
    preview.layout = engine.layout(settings.widgetOrder(), toSet(settings.enabledWidgets()),
                                   toMap(settings.widgetCells()), available);
    if (preview.layout.totalWidth > 0)
        preview.scale = std::min(previewWidth / preview.layout.totalWidth, 1.0);
    for (const WidgetPlacement& placement : preview.layout.placements)
        preview.tileWidths.push_back(std::max(placement.width * preview.scale, minimumTileWidth));
    return preview;
}

double RavoPane::availableWidth(std::optional<double> mainScreenWidth)
{
    return mainScreenWidth ? *mainScreenWidth - 80 : 1360;
}

std::optional<QString> RavoPane::overflowSentence(const std::vector<WidgetID>& overflow)
{
    if (overflow.empty())
        return std::nullopt;
    QStringList names;
    for (WidgetID id : overflow)
        names << name(id);
    return names.join(QStringLiteral(", ")) + QStringLiteral(" ") +
           (overflow.size() == 1 ? QStringLiteral("doesn't") : QStringLiteral("don't")) +
           QStringLiteral(" fit and won't be shown.");
}

QString RavoPane::widthFootnote(WidgetID id)
{
    return QStringLiteral("Each cell is %1 pt. A widget won't go below %2 cells \u2014 narrower than that it stops "
                          "being useful rather than just tight.")
        .arg(qlonglong(cellWidth))
        .arg(qlonglong(minCells(id)));
}

// MARK: - The pane

RavoPane::RavoPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::ravo, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
}

RavoPane::~RavoPane() = default;

void RavoPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<RavoPaneInputs>(inputs);
    if (m_inputs.settings && !m_bindings)
        build();
}

void RavoPane::build()
{
    SettingsStore& store = *m_inputs.settings;
    m_bindings = new SettingsBindings(store, this);

    m_preview = new RavoPreview;
    connect(m_preview, &RavoPreview::tileClicked, this, &RavoPane::select);
    m_stack->addWidget(m_preview);

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Widgets")));
    m_rowCard = new SettingsCard;
    for (WidgetID id : allCases<WidgetID>()) {
        auto* row = new RavoWidgetRow(id, m_environment.view);
        connect(row, &RavoWidgetRow::selectRequested, this, [this, id] { select(id); });
        connect(row, &RavoWidgetRow::toggleRequested, this, [this, id](bool enabled) { toggle(id, enabled); });
        connect(row, &RavoWidgetRow::moveRequested, this, [this, id](int offset) { move(id, offset); });
        m_rows[id] = row;
        m_rowCard->addRow(row);
    }
    m_stack->addWidget(m_rowCard);

    m_widthCard = new QWidget;
    m_stack->addWidget(m_widthCard);
    m_stack->addStretch(1);

    m_bindings->follow([this] { refresh(); });
}

void RavoPane::select(WidgetID id)
{
    m_selected = id;
    refresh();
}

void RavoPane::refresh()
{
    if (!m_inputs.settings)
        return;
    const SettingsStore& store = *m_inputs.settings;
    std::optional<double> screenWidth;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        screenWidth = screen->geometry().width();
    m_preview->present(preview(store, availableWidth(screenWidth)), m_selected);

    // The rows in the normalised order, kept as the same widgets.
    const std::vector<WidgetID> order = WidgetLayoutEngine::normalise(store.widgetOrder());
    const WidgetSet enabled = store.enabledWidgets();
    auto* layout = m_rowCard->rowLayout();
    for (int index = 0; index < int(order.size()); ++index) {
        RavoWidgetRow* row = m_rows.at(order[index]);
        if (layout->indexOf(row) != index) {
            layout->removeWidget(row);
            layout->insertWidget(index, row);
        }
        row->present(index, int(order.size()), order[index] == m_selected, enabled.contains(order[index]),
                     storedCells(store, order[index]));
    }

    if (m_widthCardFor != m_selected)
        rebuildWidthCard();
    if (m_widthSlider)
        m_widthSlider->setValue(storedCells(store, m_selected));
}

void RavoPane::rebuildWidthCard()
{
    // The slider's range is the widget's own: a new card for another widget.
    const WidgetID id = m_selected;
    auto* card = new QWidget;
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    m_widthTitle = SettingsText::sectionTitle(name(id));
    column->addWidget(m_widthTitle);
    auto* sliderCard = new SettingsCard;
    m_widthSlider = new ValueSlider(QStringLiteral("Width"), minCells(id), maxCells(id), QStringLiteral(" cells"));
    sliderCard->addRow(m_widthSlider);
    column->addWidget(sliderCard);
    m_widthNote = SettingsText::footnote(widthFootnote(id));
    column->addWidget(m_widthNote);
    connect(m_widthSlider, &ValueSlider::moved, this, [this, id](double value) {
        if (!m_inputs.settings)
            return;
        m_inputs.settings->setCells(cellsFor(value), id);
        layoutChanged();
    });
    delete m_stack->replaceWidget(m_widthCard, card);
    m_widthCard->deleteLater();
    m_widthCard = card;
    m_widthCardFor = id;
}

void RavoPane::toggle(WidgetID id, bool enabled)
{
    m_inputs.settings->setWidget(id, enabled);
    layoutChanged();
}

void RavoPane::move(WidgetID id, int offset)
{
    SettingsStore& store = *m_inputs.settings;
    const std::vector<WidgetID> order = WidgetLayoutEngine::normalise(store.widgetOrder());
    const auto at = std::find(order.begin(), order.end(), id);
    const int index = int(at - order.begin());
    store.setWidgetOrder(WidgetLayoutEngine::move(order, index, index + offset));
    layoutChanged();
}

void RavoPane::layoutChanged()
{
    if (m_inputs.onLayoutChanged)
        m_inputs.onLayoutChanged();
}

std::vector<RavoWidgetRow*> RavoPane::rows() const
{
    std::vector<RavoWidgetRow*> shown;
    auto* layout = m_rowCard ? m_rowCard->rowLayout() : nullptr;
    for (int i = 0; layout && i < layout->count(); ++i)
        if (auto* row = qobject_cast<RavoWidgetRow*>(layout->itemAt(i)->widget()))
            shown.push_back(row);
    return shown;
}

ValueSlider* RavoPane::widthSlider() const
{
    return m_widthSlider;
}

RavoWidgetRow* RavoPane::row(WidgetID id) const
{
    const auto found = m_rows.find(id);
    return found != m_rows.end() ? found->second : nullptr;
}

// MARK: - The preview

RavoPreview::RavoPreview(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

double RavoPreview::headingHeight() const
{
    return previewHeadingHeight();
}

void RavoPreview::present(RavoPane::Preview preview, WidgetID selected)
{
    const bool overflowChanged = preview.layout.overflow.empty() != m_preview.layout.overflow.empty();
    m_preview = std::move(preview);
    m_selected = selected;
    if (overflowChanged)
        updateGeometry();
    update();
}

QSize RavoPreview::sizeHint() const
{
    double height = headingHeight() + 8 + deskHeight;
    if (!m_preview.layout.overflow.empty())
        height += 8 + footnoteLineHeight();
    return {int(RavoPane::previewWidth), int(std::ceil(height))};
}

QRectF RavoPreview::deskRect() const
{
    return {0, headingHeight() + 8, double(width()), deskHeight};
}

std::vector<std::pair<WidgetID, QRectF>> RavoPreview::tiles() const
{
    std::vector<std::pair<WidgetID, QRectF>> tiles;
    const auto& widths = m_preview.tileWidths;
    double total = 0;
    for (double each : widths)
        total += each;
    if (!widths.empty())
        total += tileSpacing * double(widths.size() - 1);
    const QRectF desk = deskRect();
    double x = desk.center().x() - total / 2;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        tiles.emplace_back(m_preview.layout.placements[i].id, QRectF(x, desk.top() + tileTop, widths[i], tileHeight));
        x += widths[i] + tileSpacing;
    }
    return tiles;
}

std::optional<QString> RavoPreview::overflowText() const
{
    return RavoPane::overflowSentence(m_preview.layout.overflow);
}

void RavoPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    painter.setFont(toQFont(Vude::Type_::settingsSection));
    painter.setPen(toQColor(Vude::Stone::x400));
    painter.drawText(QRectF(0, 0, width(), headingHeight()), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Preview"));

    const QRectF desk = deskRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(desk, 10, 10);

    if (m_preview.layout.isEmpty()) {
        painter.setFont(systemFont(10));
        painter.setPen(toQColor(Vude::Stone::x400));
        painter.drawText(desk, Qt::AlignCenter, QStringLiteral("No widgets enabled"));
    }
    for (const auto& [id, rect] : tiles()) {
        const bool selected = id == m_selected;
        const QColor ink = toQColor(selected ? Vude::Accent::x500 : Vude::Stone::x300);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(Vude::Ink::x850));
        painter.drawRoundedRect(rect, 6, 6);
        if (selected) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(ink, 1));
            painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        }
        const QFont label = systemFont(8, Vude::FontWeight::medium);
        const double labelHeight = QFontMetricsF(label).height();
        const double symbolSize = 11 * SymbolCatalog::kOpticalScale;
        const double top = rect.center().y() - (symbolSize + 3 + labelHeight) / 2;
        SymbolCatalog::draw(painter, QRectF(rect.center().x() - symbolSize / 2, top, symbolSize, symbolSize),
                            symbol(id), ink, 11);
        painter.setFont(label);
        painter.setPen(ink);
        const QString text = QFontMetricsF(label).elidedText(name(id), Qt::ElideRight, rect.width() - 2);
        painter.drawText(QRectF(rect.left(), top + symbolSize + 3, rect.width(), labelHeight), Qt::AlignCenter, text);
    }

    const double notchWidth = 74;
    const double notchHeight = 13;
    const Rect notch{desk.center().x() - notchWidth / 2, desk.top(), notchWidth, notchHeight};
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(Vude::Ink::x1000));
    painter.drawPath(toQPainterPath(NotchShape(3, 7).path(notch)));

    if (const auto sentence = overflowText()) {
        const QRectF line(0, desk.bottom() + 8, width(), footnoteLineHeight());
        const QColor amber = toQColor(Vude::Semantic::amber);
        const double iconSize = line.height();
        SymbolCatalog::draw(painter, QRectF(line.left(), line.top(), iconSize, iconSize), "exclamationmark.triangle",
                            amber, Vude::Type_::settingsFootnote.size);
        painter.setFont(toQFont(Vude::Type_::settingsFootnote));
        painter.setPen(amber);
        painter.drawText(line.adjusted(iconSize + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, *sentence);
    }
}

void RavoPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    for (const auto& [id, rect] : tiles())
        if (rect.contains(event->position())) {
            emit tileClicked(id);
            return;
        }
}

// MARK: - A widget's row

namespace {

class RowIcon final : public QWidget {
public:
    RowIcon(WidgetID id, const bool& enabled) : m_id(id), m_enabled(enabled) { setFixedSize(28, 28); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(m_enabled ? Vude::Accent::tint : Vude::Ink::x800));
        painter.drawRoundedRect(QRectF(rect()), 7, 7);
        const double size = 12 * SymbolCatalog::kOpticalScale;
        SymbolCatalog::draw(painter, QRectF((width() - size) / 2, (height() - size) / 2, size, size), symbol(m_id),
                            toQColor(m_enabled ? Vude::Accent::x500 : Vude::Stone::x400), 12);
    }

private:
    WidgetID m_id;
    const bool& m_enabled;
};

PlainButton* makeArrow(const ViewEnvironment& environment, const char* name)
{
    auto* arrow = new PlainButton(environment);
    arrow->setPreferredSize(QSize(14, 11));
    arrow->setPainter([name](QPainter& painter, const PlainButton& button) {
        const QColor ink = toQColor(button.isEnabled() ? Vude::Stone::x300 : Vude::Ink::x600);
        const double size = 8 * SymbolCatalog::kOpticalScale;
        const QRectF box((button.width() - size) / 2, (button.height() - size) / 2, size, size);
        SymbolCatalog::draw(painter, box, name, ink, 8);
    });
    return arrow;
}

} // namespace

RavoWidgetRow::RavoWidgetRow(WidgetID id, const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_id(id)
{
    setObjectName(qt(rawValue(id)));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(11);

    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(1);
    m_up = makeArrow(environment, "chevron.up");
    m_down = makeArrow(environment, "chevron.down");
    arrows->addWidget(m_up, 0, Qt::AlignHCenter);
    arrows->addWidget(m_down, 0, Qt::AlignHCenter);
    row->addLayout(arrows);
    connect(m_up, &QAbstractButton::clicked, this, [this] { emit moveRequested(-1); });
    connect(m_down, &QAbstractButton::clicked, this, [this] { emit moveRequested(1); });

    m_icon = new RowIcon(id, m_enabled);
    row->addWidget(m_icon);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* title = new SettingsText(name(id), Vude::Type_::settingsRow, Vude::Stone::x100);
    title->setWrapping(false);
    m_cellsText = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    m_cellsText->setWrapping(false);
    texts->addWidget(title);
    texts->addWidget(m_cellsText);
    row->addLayout(texts);
    row->addStretch(1);

    m_switch = new SettingsSwitch(environment);
    row->addWidget(m_switch);
    connect(m_switch, &SettingsSwitch::flipped, this, [this](bool requested) { emit toggleRequested(requested); });
}

void RavoWidgetRow::present(int index, int count, bool selected, bool enabled, int cells)
{
    m_selected = selected;
    m_enabled = enabled;
    m_cells = cells;
    m_up->setEnabled(index > 0);
    m_down->setEnabled(index < count - 1);
    m_switch->setOn(enabled);
    m_cellsText->setText(QStringLiteral("%1 cells").arg(qlonglong(cells)));
    update();
    m_icon->update();
    m_up->update();
    m_down->update();
}

void RavoWidgetRow::paintEvent(QPaintEvent*)
{
    if (m_selected) {
        QPainter painter(this);
        if (const auto clip = SettingsCard::clipFor(*this)) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setClipPath(*clip);
        }
        painter.fillRect(rect(), toQColor(Vude::Accent::tint));
    }
    paintRowDivider(*this);
}

void RavoWidgetRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit selectRequested();
}
