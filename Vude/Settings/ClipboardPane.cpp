#include "Vude/Settings/ClipboardPane.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeKit/SettingsStore.h"
#include "VudeServices/ClipboardService.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

/// A privacy line's symbol: 14 wide, as tall as the text's first line, so
/// it sits level with that line however many the text wraps onto.
class PrivacySymbol final : public QWidget {
public:
    static constexpr int width = 14;
    static constexpr double size = 11;

    explicit PrivacySymbol(std::string_view name) : m_name(name)
    {
        const QFontMetricsF metrics(toQFont(Vude::Type_::settingsFootnote));
        setFixedSize(width, int(std::ceil(metrics.height())));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        SymbolCatalog::draw(painter, QRectF(rect()), m_name, toQColor(Vude::Stone::x400), size);
    }

private:
    std::string_view m_name;
};

QWidget* privacyLine(std::string_view symbol, const QString& text)
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new PrivacySymbol(symbol), 0, Qt::AlignTop);
    layout->addWidget(new SettingsText(text, Vude::Type_::settingsFootnote, Vude::Stone::x300), 1);
    return line;
}

} // namespace

std::vector<ClipboardPane::PrivacyLine> ClipboardPane::privacyLines()
{
    return {
        {"lock.fill", QStringLiteral("Passwords are never recorded. Password managers mark what they copy as "
                                     "concealed, and Vude skips anything so marked.")},
        {"desktopcomputer", qt(LinuxTexts::clipboardHistoryStaysHere.shown)},
        {"trash",
         QStringLiteral("Clearing the list deletes any copied images from disk too, not just the rows.")},
    };
}

QString ClipboardPane::persistenceFootnote(bool persists)
{
    return persists ? QStringLiteral("History is written to disk and survives a restart.")
                    : QStringLiteral("History lives in memory only and is gone when Vude quits.");
}

ClipboardPane::ClipboardPane(const SettingsEnvironment& environment, QWidget* parent)
    : SettingsPaneView(SettingsPane::clipboard, parent), m_environment(environment)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(18);
}

ClipboardPane::~ClipboardPane() = default;

void ClipboardPane::bind(const SettingsPaneInputs& inputs)
{
    m_inputs = std::get<ClipboardPaneInputs>(inputs);
    if (m_inputs.settings && !m_bindings)
        build();
}

void ClipboardPane::build()
{
    SettingsStore& store = *m_inputs.settings;
    auto* stack = static_cast<QVBoxLayout*>(layout());
    m_bindings = new SettingsBindings(store, this);

    auto* card = new SettingsCard;
    m_record = new SettingsSwitch(m_environment.view);
    card->addRow(new SettingsRow(
        QStringLiteral("Remember what you copy"), m_record,
        QStringLiteral("Recent clips appear on the Desk. Click one to put it back on the clipboard.")));
    m_bindings->bind(m_record, &SettingsStore::clipboardEnabled, &SettingsStore::setClipboardEnabled);

    m_maxItems = new ValueSlider(QStringLiteral("Keep at most"), 5, 200, QStringLiteral(" clips"));
    card->addRow(m_maxItems);
    m_bindings->bind(m_maxItems, &SettingsStore::clipboardMaxItems, &SettingsStore::setClipboardMaxItems);

    m_persist = new SettingsSwitch(m_environment.view);
    m_persistRow = new SettingsRow(QStringLiteral("Keep history after quitting"), m_persist,
                                   persistenceFootnote(store.clipboardPersists()));
    card->addRow(m_persistRow);
    m_bindings->bind(
        m_persist, [&store] { return store.clipboardPersists(); }, [this](bool persists) { setPersists(persists); });
    m_bindings->follow([this, &store] { m_persistRow->setFootnote(persistenceFootnote(store.clipboardPersists())); });
    stack->addWidget(card);

    stack->addWidget(SettingsText::sectionTitle(QStringLiteral("Privacy")));
    auto* privacy = new SettingsCard;
    auto* lines = new QWidget;
    auto* linesLayout = new QVBoxLayout(lines);
    linesLayout->setContentsMargins(14, 14, 14, 14);
    linesLayout->setSpacing(7);
    for (const PrivacyLine& line : privacyLines())
        linesLayout->addWidget(privacyLine(line.symbol, line.text));
    privacy->addRow(lines);
    stack->addWidget(privacy);

    m_clear = new AccentButton(m_environment.view, QStringLiteral("Clear history now"), AccentButton::Style::small);
    connect(m_clear, &AccentButton::clicked, this, [this] { clearHistory(); });
    stack->addWidget(m_clear, 0, Qt::AlignLeft);
    stack->addStretch(1);
}

void ClipboardPane::setPersists(bool persists)
{
    m_inputs.settings->setClipboardPersists(persists);
    if (persists || !m_inputs.clipboard)
        return;
    // The poll hands the flag over only while recording is on: tell the
    // history now, or a removal on the Desk would write the file back.
    m_inputs.clipboard->setPersists(false);
    m_inputs.clipboard->forgetOnDisk();
}

void ClipboardPane::clearHistory()
{
    if (m_inputs.clipboard)
        m_inputs.clipboard->clear();
    if (m_inputs.onChange)
        m_inputs.onChange();
}
