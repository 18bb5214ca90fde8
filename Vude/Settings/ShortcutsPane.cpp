#include "Vude/Settings/ShortcutsPane.h"

#include "Platform/Desktop/ShortcutsFolder.h"
#include "Vude/Settings/PaneControls.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"
#include "Vude/Toolkit/KeyedColumn.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeKit/LocalizedCaseInsensitive.h"
#include "VudeServices/ShortcutSeeder.h"
#include "VudeServices/ShortcutsService.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

/// The symbol `name` at `pointSize` in `color`, in a frame 18 wide.
class RowSymbol final : public QWidget {
public:
    RowSymbol(double pointSize, Vude::Color color) : m_pointSize(pointSize), m_color(color)
    {
        setFixedSize(18, int(std::ceil(pointSize * SymbolCatalog::kOpticalScale)));
    }
    void setSymbol(std::string name)
    {
        m_name = std::move(name);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const double side = m_pointSize * SymbolCatalog::kOpticalScale;
        SymbolCatalog::draw(painter, QRectF((width() - side) / 2, (height() - side) / 2, side, side), m_name,
                            toQColor(m_color), m_pointSize);
    }

private:
    double m_pointSize;
    Vude::Color m_color;
    std::string m_name;
};

} // namespace

// MARK: - The pane's rules

std::vector<std::string> ShortcutsPane::results(const std::vector<std::string>& available,
                                                const std::vector<ShortcutSnapshot>& chosen, const QString& search)
{
    const std::string part = search.toStdString();
    std::vector<std::string> offered;
    for (const std::string& name : available) {
        const auto named = [&](const ShortcutSnapshot& shortcut) { return shortcut.shortcutName == name; };
        const bool onDesk = std::any_of(chosen.begin(), chosen.end(), named);
        if (onDesk)
            continue;
        if (!part.empty() && !localizedCaseInsensitiveContains(name, part))
            continue;
        offered.push_back(name);
    }
    return offered;
}

QString ShortcutsPane::trimmedName(const QString& name)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype start = 0;
    qsizetype end = name.size();
    while (start < end && blank(name[start]))
        ++start;
    while (end > start && blank(name[end - 1]))
        --end;
    return name.mid(start, end - start);
}

bool ShortcutsPane::canListShortcuts(const ShortcutsService* service, const BuildProfile& profile)
{
    return service && service->canList() && profile.has(Capability::shortcutListing);
}

QString ShortcutsPane::unavailableText(const BuildProfile& profile)
{
    if (profile.isSandboxed())
        return qt(LinuxTexts::unavailableSandboxed.shown) +
               QStringLiteral(" Vude can still run your shortcuts \u2014 type a shortcut's exact name to add it.");
    return QStringLiteral("Vude can't list your shortcuts on this build, but it can still run them. Type a "
                          "shortcut's exact name to add it.");
}

QString ShortcutsPane::noneFoundText()
{
    const std::string home = Environment::process()("HOME").value_or("");
    return QString::fromStdString(
        LinuxTexts::noShortcutsFound(LinuxTexts::homeRelative(ShortcutsFolder::directory().string(), home)));
}

// MARK: - The pane

ShortcutsPane::ShortcutsPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::shortcuts, parent), m_environment(environment)
{
    m_stack = new QVBoxLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(18);
    build();
}

ShortcutsPane::~ShortcutsPane() = default;

void ShortcutsPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<ShortcutsPaneInputs>(inputs);
    refresh();
}

void ShortcutsPane::build()
{
    const ViewEnvironment& view = m_environment.view;

    m_stack->addWidget(SettingsText::sectionTitle(QStringLiteral("On the Desk")));
    auto* deskCard = new SettingsCard;
    m_chosenEmpty = new SettingsText(QStringLiteral("No shortcuts chosen yet. Pick some below."),
                                     Vude::Type_::settingsFootnote, Vude::Stone::x400);
    deskCard->addRow(PaneControls::paddedRow(m_chosenEmpty));
    m_chosen = new KeyedColumn<Uuid, ShortcutDeskRow>;
    deskCard->addRow(m_chosen);
    m_stack->addWidget(deskCard);

    m_stack->addWidget(SettingsText::sectionTitle(qt(LinuxTexts::shortcutsFoundSection.shown)));
    auto* foundCard = new SettingsCard;

    // Where listing is not possible.
    m_unavailable = new QWidget;
    auto* unavailable = new QVBoxLayout(m_unavailable);
    unavailable->setContentsMargins(14, 14, 14, 14);
    unavailable->setSpacing(8);
    m_unavailableText = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    unavailable->addWidget(m_unavailableText);
    foundCard->addRow(m_unavailable);

    // The search row.
    m_searchRow = new PaneControls::DividedRow;
    auto* search = new QHBoxLayout(m_searchRow);
    search->setContentsMargins(14, 9, 14, 9);
    search->setSpacing(8);
    auto* glass = new RowSymbol(11, Vude::Stone::x400);
    glass->setSymbol("magnifyingglass");
    search->addWidget(glass);
    m_search = PaneControls::textField(QStringLiteral("Search shortcuts"), false);
    search->addWidget(m_search, 1);
    m_reload = PaneControls::symbolButton(view, "arrow.clockwise", 11, Vude::Stone::x400, QSize(18, 18),
                                          Vude::Stone::x400);
    m_reload->setHelpText(QStringLiteral("Reload the list"));
    search->addWidget(m_reload);
    connect(m_search, &QLineEdit::textChanged, this, &ShortcutsPane::refreshList);
    connect(m_reload, &QAbstractButton::clicked, this, &ShortcutsPane::load);
    foundCard->addRow(m_searchRow);

    // The list area: one of these shows.
    m_loadingRow = PaneControls::loadingRow(view, QStringLiteral("Reading your shortcuts\u2026"));
    foundCard->addRow(m_loadingRow);

    m_noneFound = new QWidget;
    auto* noneFound = new QVBoxLayout(m_noneFound);
    noneFound->setContentsMargins(14, 14, 14, 14);
    noneFound->setSpacing(8);
    noneFound->addWidget(new SettingsText(noneFoundText(), Vude::Type_::settingsFootnote, Vude::Stone::x400));
    foundCard->addRow(m_noneFound);

    m_listText = new SettingsText({}, Vude::Type_::settingsFootnote, Vude::Stone::x400);
    m_listTextBox = PaneControls::paddedRow(m_listText);
    foundCard->addRow(m_listTextBox);

    m_list = new KeyedColumn<std::string, ShortcutListRow>;
    foundCard->addRow(m_list);
    m_stack->addWidget(foundCard);

    // The add-by-name row, shown in whichever block offers it.
    m_nameRow = new QWidget;
    auto* name = new QHBoxLayout(m_nameRow);
    name->setContentsMargins(0, 0, 0, 0);
    name->setSpacing(8);
    m_name = PaneControls::textField(QStringLiteral("Shortcut name"), true);
    name->addWidget(m_name, 1);
    m_add = new AccentButton(view, QStringLiteral("Add"), AccentButton::Style::small);
    name->addWidget(m_add);
    connect(m_name, &QLineEdit::textChanged, this,
            [this] { Dimming::setDimmed(*m_add, trimmedName(m_name->text()).isEmpty()); });
    connect(m_name, &QLineEdit::returnPressed, this, &ShortcutsPane::addManual);
    connect(m_add, &QAbstractButton::clicked, this, &ShortcutsPane::addManual);
    Dimming::setDimmed(*m_add, true);
    noneFound->addWidget(m_nameRow);

    auto* footnote = SettingsText::footnote(qt(LinuxTexts::shortcutsSyncFootnote.shown));
    m_stack->addWidget(footnote);
    m_stack->addStretch(1);
}

void ShortcutsPane::showEvent(QShowEvent* event)
{
    SettingsPaneView::showEvent(event);
    // Every visit lists afresh; a window coming back from the taskbar is no visit.
    if (!event->spontaneous())
        load();
}

void ShortcutsPane::load()
{
    m_loading = true;
    refreshList();
    ShortcutsService* service = m_inputs.shortcuts;
    if (!service) {
        finishLoad({});
        return;
    }
    QPointer<ShortcutsPane> self(this);
    service->available([self](std::vector<std::string> names) {
        if (self)
            self->finishLoad(std::move(names));
    });
}

void ShortcutsPane::finishLoad(std::vector<std::string> names)
{
    m_available = std::move(names);
    m_loading = false;
    refreshList();
}

void ShortcutsPane::addManual()
{
    const QString name = trimmedName(m_name->text());
    if (name.isEmpty())
        return;
    const std::string text = name.toStdString();
    if (m_inputs.onAdd)
        m_inputs.onAdd(text, ShortcutSeeder::symbol(text));
    m_name->clear();
}

std::vector<std::string> ShortcutsPane::results() const
{
    return results(m_available, m_inputs.chosen, m_search->text());
}

void ShortcutsPane::refresh()
{
    refreshChosen();
    refreshList();
}

void ShortcutsPane::refreshChosen()
{
    m_chosenEmpty->parentWidget()->setVisible(m_inputs.chosen.empty());
    m_chosen->setItems(
        m_inputs.chosen, [](const ShortcutSnapshot& shortcut) { return shortcut.id; },
        [this](const ShortcutSnapshot& shortcut, QWidget* parent) {
            auto* row = new ShortcutDeskRow(m_environment.view, parent);
            const Uuid id = shortcut.id;
            connect(row, &ShortcutDeskRow::removeRequested, this, [this, id] {
                if (m_inputs.onRemove)
                    m_inputs.onRemove(id);
            });
            return row;
        },
        [](ShortcutDeskRow& row, const ShortcutSnapshot& shortcut) { row.present(shortcut); });
}

void ShortcutsPane::placeNameRow(QWidget* holder)
{
    if (m_nameRow->parentWidget() != holder)
        static_cast<QVBoxLayout*>(holder->layout())->addWidget(m_nameRow);
    m_nameRow->show();
}

void ShortcutsPane::refreshList()
{
    const bool listing = canListShortcuts(m_inputs.shortcuts, m_inputs.profile);
    m_unavailable->setVisible(!listing);
    m_searchRow->setVisible(listing);
    if (!listing) {
        m_unavailableText->setText(unavailableText(m_inputs.profile));
        placeNameRow(m_unavailable);
    }

    const std::vector<std::string> offered = listing && !m_loading ? results() : std::vector<std::string>{};
    const bool loading = listing && m_loading;
    const bool noneFound = listing && !m_loading && m_available.empty();
    const bool nothingLeft = listing && !m_loading && !m_available.empty() && offered.empty();
    m_loadingRow->setVisible(loading);
    m_noneFound->setVisible(noneFound);
    if (noneFound)
        placeNameRow(m_noneFound);
    m_listTextBox->setVisible(nothingLeft);
    if (nothingLeft)
        m_listText->setText(PaneControls::emptyResultsText(m_search->text()));
    m_list->setVisible(!offered.empty());
    m_list->setItems(
        offered, [](const std::string& name) { return name; },
        [this](const std::string& name, QWidget* parent) {
            auto* row = new ShortcutListRow(m_environment.view, parent);
            const std::string shortcut = name;
            connect(row, &ShortcutListRow::addRequested, this, [this, shortcut] {
                if (m_inputs.onAdd)
                    m_inputs.onAdd(shortcut, ShortcutSeeder::symbol(shortcut));
            });
            return row;
        },
        [](ShortcutListRow& row, const std::string& name) { row.present(name); });
}

std::vector<ShortcutDeskRow*> ShortcutsPane::deskRows() const
{
    return m_chosen->rows();
}

std::vector<ShortcutListRow*> ShortcutsPane::listRows() const
{
    return m_list->isHidden() ? std::vector<ShortcutListRow*>{} : m_list->rows();
}

SettingsText* ShortcutsPane::chosenEmptyText() const
{
    return m_chosenEmpty->parentWidget()->isHidden() ? nullptr : m_chosenEmpty;
}

SettingsText* ShortcutsPane::listText() const
{
    return m_listTextBox->isHidden() ? nullptr : m_listText;
}

SettingsText* ShortcutsPane::unavailableExplanation() const
{
    return m_unavailable->isHidden() ? nullptr : m_unavailableText;
}

QWidget* ShortcutsPane::loadingRow() const
{
    return m_loadingRow->isHidden() ? nullptr : m_loadingRow;
}

QLineEdit* ShortcutsPane::searchField() const
{
    return m_searchRow->isHidden() ? nullptr : m_search;
}

QLineEdit* ShortcutsPane::nameField() const
{
    return m_nameRow->parentWidget()->isHidden() ? nullptr : m_name;
}

// MARK: - The rows

ShortcutDeskRow::ShortcutDeskRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 8, 14, 8);
    row->setSpacing(10);
    auto* symbol = new RowSymbol(12, Vude::Accent::x500);
    symbol->setObjectName(QStringLiteral("symbol"));
    row->addWidget(symbol);
    m_name = new SettingsText({}, Vude::Type_::settingsRow, Vude::Stone::x100);
    m_name->setWrapping(false);
    row->addWidget(m_name);
    row->addStretch(1);
    row->addSpacing(8);
    m_remove = PaneControls::symbolButton(environment, "minus.circle.fill", 13, Vude::Stone::x400, QSize(18, 18),
                                          Vude::Stone::x400);
    m_remove->setHelpText(QStringLiteral("Remove from the Desk"));
    row->addWidget(m_remove);
    connect(m_remove, &QAbstractButton::clicked, this, &ShortcutDeskRow::removeRequested);
}

void ShortcutDeskRow::present(const ShortcutSnapshot& shortcut)
{
    m_shortcut = shortcut;
    m_name->setText(QString::fromStdString(shortcut.displayName()));
    if (auto* symbol = static_cast<RowSymbol*>(findChild<QWidget*>(QStringLiteral("symbol"))))
        symbol->setSymbol(shortcut.symbol);
}

QString ShortcutDeskRow::shownName() const
{
    return m_name->text();
}

void ShortcutDeskRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}

ShortcutListRow::ShortcutListRow(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_button = new PlainButton(environment);
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const int height = int(std::ceil(std::max(QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height(),
                                              12 * SymbolCatalog::kOpticalScale))) + 16;
    m_button->setPreferredSize(QSize(0, height));
    m_button->setPainter([](QPainter& painter, const PlainButton& self) {
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF content = QRectF(self.rect()).adjusted(14, 8, -14, -8);
        const double side = 12 * SymbolCatalog::kOpticalScale;
        const QColor accent = toQColor(Vude::Accent::x500);
        const QRectF symbol(content.left() + (18 - side) / 2, content.center().y() - side / 2, side, side);
        SymbolCatalog::draw(painter, symbol, "plus.circle", accent, 12);
        painter.setFont(toQFont(Vude::Type_::settingsRow));
        QColor ink = toQColor(Vude::Stone::x100);
        if (self.isPressedInside())
            ink.setAlphaF(0.6F);
        painter.setPen(ink);
        content.setLeft(content.left() + 18 + 10);
        const QString text = QFontMetricsF(painter.font()).elidedText(self.text(), Qt::ElideRight, content.width() - 8);
        painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, text);
    });
    outer->addWidget(m_button);
    connect(m_button, &QAbstractButton::clicked, this, &ShortcutListRow::addRequested);
}

void ShortcutListRow::present(const std::string& name)
{
    m_name = name;
    m_button->setText(QString::fromStdString(name));
    m_button->update();
}

void ShortcutListRow::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
}
