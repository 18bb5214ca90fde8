#include "Vude/Settings/SyncCard.h"

#include "Vude/Settings/SettingsBindings.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QTextLayout>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString colourSheet(const Vude::Color& color)
{
    return QStringLiteral("color: %1; background: transparent;").arg(toQColor(color).name());
}

/// The status block's dot, drawn on the first line's centre.
class Dot final : public QWidget {
public:
    explicit Dot(const Vude::Color& color, int lineHeight) : m_color(color)
    {
        setFixedSize(SyncCard::dotDiameter, lineHeight);
    }
    void setColor(const Vude::Color& color)
    {
        m_color = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(m_color));
        const double d = SyncCard::dotDiameter;
        painter.drawEllipse(QRectF(0, (height() - d) / 2, d, d));
    }

private:
    Vude::Color m_color;
};

} // namespace

ClampedText::ClampedText(const Vude::FontToken& font, const Vude::Color& color, int maximumLines, QWidget* parent)
    : QLabel(parent), m_maximumLines(std::max(1, maximumLines))
{
    setFont(toQFont(font));
    setStyleSheet(colourSheet(color));
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void ClampedText::setFullText(const QString& text)
{
    m_fullText = text;
    setText(clampedText(width()));
    updateGeometry();
}

QString ClampedText::clampedText(int width) const
{
    if (width <= 0 || m_fullText.isEmpty())
        return m_fullText;
    // Paragraph by paragraph, as the label wraps them, until the lines run out.
    QStringList kept;
    int linesLeft = m_maximumLines;
    for (const QString& paragraph : m_fullText.split(QLatin1Char('\n'))) {
        if (linesLeft == 0)
            break;
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int end = 0;
        int lines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            if (lines == linesLeft)
                break;
            line.setLineWidth(width);
            end = line.textStart() + line.textLength();
            ++lines;
        }
        layout.endLayout();
        kept.push_back(paragraph.left(end).trimmed());
        linesLeft -= std::max(1, lines);
    }
    return kept.join(QLatin1Char('\n'));
}

int ClampedText::heightForWidth(int width) const
{
    const QString shown = clampedText(width);
    const QFontMetrics metrics(font());
    const QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(1, width), 100000), Qt::TextWordWrap, shown);
    return std::min(bounds.height(), metrics.lineSpacing() * m_maximumLines + 1);
}

QSize ClampedText::sizeHint() const
{
    const int w = std::max(width(), 100);
    return {w, heightForWidth(w)};
}

QSize ClampedText::minimumSizeHint() const
{
    return {0, heightForWidth(std::max(width(), 100))};
}

void ClampedText::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    const QString shown = clampedText(width());
    if (shown != text())
        setText(shown);
}

SyncCard::Lines SyncCard::lines(const State& state, Date now)
{
    Lines lines;
    lines.dot = state.status.kind() == SyncStatus::Kind::unavailable ? Vude::Semantic::amber : Vude::Semantic::sage;
    lines.status = state.status.summary(now);
    if (state.isLocalOnly && state.syncEnabled)
        lines.localOnly = std::string(LinuxTexts::syncLocalOnly.shown);
    if (state.syncEnabled && !state.isLocalOnly) {
        using Kind = SyncCoordinator::PushRegistration::Kind;
        if (state.push.kind() == Kind::pending)
            lines.pushPending = std::string(LinuxTexts::syncPushPending.shown);
        else if (state.push.kind() == Kind::failed)
            lines.pushFailed = std::pair{std::string(LinuxTexts::syncPushFailed.shown), state.push.reason()};
    }
    lines.containerError = state.containerError;
    return lines;
}

SyncCard::SyncCard(SettingsStore& settings, SyncCoordinator* sync, const SettingsEnvironment& environment,
                   QWidget* parent)
    : QWidget(parent), m_settings(settings), m_sync(sync), m_hasSync(sync != nullptr), m_environment(environment)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsCard;
    outer->addWidget(card);

    m_switch = new SettingsSwitch(environment.view);
    card->addRow(new SettingsRow(qt(LinuxTexts::syncRowLabel.shown), m_switch, qt(LinuxTexts::syncRowFootnote.shown)));

    auto* block = new QWidget;
    auto* row = new QHBoxLayout(block);
    row->setContentsMargins(14, 11, 14, 11);
    row->setSpacing(8);
    const int statusLine = int(std::ceil(QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height()));
    m_dotView = new Dot(m_dot, statusLine);
    row->addWidget(m_dotView, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    m_status = new SettingsText({}, Vude::Type_::settingsRow, Vude::Stone::x100);
    m_localOnly = new SettingsText(qt(LinuxTexts::syncLocalOnly.shown), Vude::Type_::settingsFootnote, Vude::Stone::x400);
    m_pushPending =
        new SettingsText(qt(LinuxTexts::syncPushPending.shown), Vude::Type_::settingsFootnote, Vude::Stone::x400);
    m_pushFailedStack = new QWidget;
    auto* failed = new QVBoxLayout(m_pushFailedStack);
    failed->setContentsMargins(0, 0, 0, 0);
    failed->setSpacing(2);
    m_pushFailed = new SettingsText(qt(LinuxTexts::syncPushFailed.shown), Vude::Type_::settingsFootnote,
                                    Vude::Semantic::amber);
    m_pushFailure = new QLabel;
    m_pushFailure->setFont(toQFont(Vude::Type_::settingsFootnote));
    m_pushFailure->setStyleSheet(colourSheet(Vude::Stone::x400));
    m_pushFailure->setTextFormat(Qt::PlainText);
    m_pushFailure->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pushFailure->setWordWrap(true);
    failed->addWidget(m_pushFailed);
    failed->addWidget(m_pushFailure);
    m_containerError = new ClampedText(Vude::Type_::settingsFootnote, Vude::Stone::x400, maximumErrorLines);
    for (QWidget* line : {static_cast<QWidget*>(m_status), static_cast<QWidget*>(m_localOnly),
                          static_cast<QWidget*>(m_pushPending), m_pushFailedStack,
                          static_cast<QWidget*>(m_containerError)})
        texts->addWidget(line);
    row->addLayout(texts, 1);
    row->addSpacing(8);

    const QString title = QStringLiteral("Check now");
    const QFont buttonFont = toQFont(Vude::Type_::settingsFootnote);
    m_checkNow = new PlainButton(environment.view);
    m_checkNow->setText(title);
    const QFontMetricsF metrics(buttonFont);
    m_checkNow->setPreferredSize(QSize(int(std::ceil(metrics.horizontalAdvance(title))) + 2, statusLine));
    m_checkNow->setPainter([buttonFont](QPainter& painter, const PlainButton& button) {
        painter.setFont(buttonFont);
        QColor colour = toQColor(Vude::Accent::x500);
        if (button.isPressedInside())
            colour.setAlphaF(0.6);
        painter.setPen(colour);
        painter.drawText(QRectF(button.rect()), Qt::AlignLeft | Qt::AlignVCenter, button.text());
    });
    row->addWidget(m_checkNow, 0, Qt::AlignTop);
    connect(m_checkNow, &QAbstractButton::clicked, this, [this] {
        // Each press is one more check; an earlier one goes on.
        if (m_sync)
            m_sync->refreshAccountStatus();
    });
    card->addRow(block);

    m_bindings = new SettingsBindings(settings, this);
    m_bindings->bind(m_switch, &SettingsStore::syncEnabled, &SettingsStore::setSyncEnabled);
    if (sync) {
        m_bindings->refreshOn(sync, &SyncCoordinator::statusChanged);
        m_bindings->refreshOn(sync, &SyncCoordinator::isLocalOnlyChanged);
        m_bindings->refreshOn(sync, &SyncCoordinator::pushChanged);
        m_bindings->refreshOn(sync, &SyncCoordinator::containerErrorChanged);
    }
    m_bindings->follow([this] { refresh(); });
}

SyncCard::State SyncCard::state() const
{
    State state;
    state.syncEnabled = m_settings.syncEnabled();
    if (!m_sync) {
        state.status = SyncStatus::unavailable(SyncUnavailability::containerUnavailable);
        state.push = SyncCoordinator::PushRegistration::registered();
        return state;
    }
    state.status = m_sync->status();
    state.isLocalOnly = m_sync->isLocalOnly();
    state.push = m_sync->push();
    state.containerError = m_sync->containerError();
    return state;
}

void SyncCard::refresh()
{
    const Lines shown = shownLines();
    m_dot = shown.dot;
    static_cast<Dot*>(m_dotView)->setColor(shown.dot);
    m_status->setText(qt(shown.status));
    m_localOnly->setVisible(shown.localOnly.has_value());
    m_pushPending->setVisible(shown.pushPending.has_value());
    m_pushFailedStack->setVisible(shown.pushFailed.has_value());
    if (shown.pushFailed)
        m_pushFailure->setText(qt(shown.pushFailed->second));
    m_containerError->setVisible(shown.containerError.has_value());
    m_containerError->setFullText(shown.containerError ? qt(*shown.containerError) : QString());
}
