#include "Vude/Onboarding/OnboardingView.h"

#include "Vude/Onboarding/OnboardingContent.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Shell/Views/NotchDemoView.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QShortcut>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using Step = OnboardingModel::Step;
using Vude::FontWeight;

// The walkthrough's text styles.
namespace T {
QFont eyebrow() { return systemFont(10, FontWeight::semibold); }
QFont title() { return systemFont(27, FontWeight::semibold); }
QFont body() { return systemFont(13.5, FontWeight::regular); }
QFont rowTitle() { return systemFont(12.5, FontWeight::semibold); }
QFont rowBody() { return systemFont(11, FontWeight::regular); }
QFont button() { return systemFont(12.5, FontWeight::semibold); }
} // namespace T

constexpr double maxTextWidth = 470;
/// Extra room between the lines of the body and of a note.
constexpr double bodyLineSpacing = 3;
constexpr double noteLineSpacing = 2;
const Vude::Animation stepSpring = Vude::Animation::spring(std::chrono::milliseconds(380), 0.86);
const Vude::Animation progressSpring = Vude::Animation::spring(std::chrono::milliseconds(300), 0.8);

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

QLabel* styled(QLabel* label, const QFont& font, Vude::Color color, const char* name)
{
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toQColor(color));
    label->setPalette(palette);
    return label;
}

QLabel* label(const QString& content, const QFont& font, Vude::Color color, QWidget* parent, const char* name)
{
    return styled(new QLabel(content, parent), font, color, name);
}

// Wrapping text with extra room between its lines, which a label cannot
// give. Still a label, so its text and accessible name read as one. It is
// as wide as its longest line up to its maximum width, and wraps at words.
class SpacedLabel final : public QLabel {
public:
    SpacedLabel(double lineSpacing, QWidget* parent) : QLabel(parent), m_lineSpacing(lineSpacing) {}

    QSize sizeHint() const override
    {
        QTextLayout lines;
        layOut(lines, QWIDGETSIZE_MAX);
        const int width = std::min(int(std::ceil(lines.maximumWidth())), maximumWidth());
        return {width, heightForWidth(width)};
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        QTextLayout lines;
        return int(std::ceil(layOut(lines, width)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QTextLayout lines;
        layOut(lines, width());
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        lines.draw(&painter, QPointF(0, 0));
    }

private:
    /// Lays the text out in lines at most `width` wide; their height.
    double layOut(QTextLayout& lines, double width) const
    {
        QString shown = text();
        shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
        lines.setText(shown);
        lines.setFont(font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        lines.setTextOption(option);
        lines.beginLayout();
        double y = 0;
        for (QTextLine line = lines.createLine(); line.isValid(); line = lines.createLine()) {
            line.setLineWidth(std::max(0.0, width));
            if (line.lineNumber() > 0)
                y += m_lineSpacing;
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        lines.endLayout();
        return y;
    }

    double m_lineSpacing;
};

QLabel* spacedLabel(const QString& content, const QFont& font, Vude::Color color, double lineSpacing,
                    QWidget* parent, const char* name)
{
    auto* result = new SpacedLabel(lineSpacing, parent);
    result->setText(content);
    return styled(result, font, color, name);
}

// A rounded box filled and outlined; its children are laid out on it.
class Box : public QWidget {
public:
    Box(QColor fill, QColor outline, QWidget* parent) : QWidget(parent), m_fill(fill), m_outline(outline) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 11, 11);
        painter.fillPath(shape, m_fill);
        painter.setPen(QPen(m_outline, 1));
        painter.drawPath(shape);
    }

private:
    QColor m_fill;
    QColor m_outline;
};

// A symbol drawn in a box of its own, on an optional rounded tile.
class Symbol final : public QWidget {
public:
    Symbol(std::string_view name, QColor color, double pointSize, QSize box, QColor tile, QWidget* parent)
        : QWidget(parent), m_name(name), m_color(color), m_size(pointSize), m_tile(tile)
    {
        setFixedSize(box);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_tile.alpha() > 0) {
            QPainterPath tile;
            tile.addRoundedRect(QRectF(rect()), 8, 8);
            painter.fillPath(tile, m_tile);
        }
        SymbolCatalog::draw(painter, QRectF(rect()), m_name, m_color, m_size);
    }

private:
    std::string_view m_name;
    QColor m_color;
    double m_size;
    QColor m_tile;
};

PlainButton* textButton(const ViewEnvironment& environment, const QString& title, const QFont& font,
                        Vude::Color color, QWidget* parent, const char* name)
{
    auto* button = new PlainButton(environment, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(title);
    const QFontMetrics metrics(font);
    button->setPreferredSize(QSize(metrics.horizontalAdvance(title) + 4, metrics.height() + 4));
    button->setPainter([font, color](QPainter& painter, const PlainButton& self) {
        painter.setFont(font);
        QColor shown = toQColor(color);
        if (self.isPressedInside())
            shown.setAlphaF(0.6F);
        painter.setPen(shown);
        painter.drawText(QRectF(self.rect()), Qt::AlignCenter, self.text());
    });
    return button;
}

QWidget* permissionRow(const ViewEnvironment& environment, PermissionSystem& system, Permission permission,
                       Permission::State state, std::function<void()> onRequest, QWidget* parent)
{
    const auto content = OnboardingContent::row(permission, state);
    const bool granted = content.control == OnboardingContent::RowControl::on;
    auto* row = new Box(toQColor(Vude::Ink::x850), toQColor(Vude::Ink::x700), parent);
    row->setObjectName(QStringLiteral("row.") + text(permission.rawValue()));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(13, 13, 13, 13);
    layout->setSpacing(13);
    layout->addWidget(new Symbol(content.symbol, toQColor(granted ? Vude::Accent::x500 : Vude::Stone::x400), 14,
                                 QSize(32, 32), toQColor(granted ? Vude::Accent::tint : Vude::Ink::x800), row));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(text(content.title), T::rowTitle(), Vude::Stone::x100, row, "rowTitle"));
    texts->addWidget(label(text(content.detail), T::rowBody(), Vude::Stone::x400, row, "rowDetail"));
    layout->addLayout(texts, 1);
    switch (content.control) {
    case OnboardingContent::RowControl::on: {
        auto* on = new QHBoxLayout;
        on->setSpacing(4);
        on->addWidget(new Symbol("checkmark", toQColor(Vude::Semantic::sage), 9, QSize(10, 12), Qt::transparent, row));
        on->addWidget(label(QStringLiteral("On"), systemFont(11, FontWeight::medium), Vude::Semantic::sage, row, "on"));
        layout->addLayout(on);
        break;
    }
    case OnboardingContent::RowControl::openSettings: {
        auto* open = textButton(environment, text(content.openTitle), systemFont(11, FontWeight::medium),
                                Vude::Stone::x200, row, "openSettings");
        QObject::connect(open, &PlainButton::clicked, row, [permission, &system] { permission.openSettings(system); });
        layout->addWidget(open);
        break;
    }
    case OnboardingContent::RowControl::allow: {
        auto* allow = new AccentButton(environment, QStringLiteral("Allow"), AccentButton::Style::small, row);
        allow->setObjectName(QStringLiteral("allow"));
        QObject::connect(allow, &PlainButton::clicked, row, std::move(onRequest));
        layout->addWidget(allow);
        break;
    }
    }
    return row;
}

QWidget* stuckHelpBox(const ViewEnvironment& environment, PermissionSystem& system, Permission permission,
                      const BluetoothStackStatus& stack, std::function<void()> onDismiss, QWidget* parent)
{
    const auto help = OnboardingContent::stuckHelp(permission, stack);
    QColor amberOutline = toQColor(Vude::Semantic::amber);
    amberOutline.setAlphaF(0.4F);
    auto* box = new Box(toQColor(Vude::Ink::x850), amberOutline, parent);
    box->setObjectName(QStringLiteral("stuckHelp"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(13, 13, 13, 13);
    layout->setSpacing(9);

    auto* header = new QHBoxLayout;
    header->setSpacing(7);
    header->addWidget(new Symbol("exclamationmark.triangle.fill", toQColor(Vude::Semantic::amber), 11, QSize(13, 13),
                                 Qt::transparent, box));
    header->addWidget(label(text(OnboardingContent::stuckTitle), T::rowTitle(), Vude::Stone::x100, box, "stuckTitle"));
    header->addStretch(1);
    auto* close = new PlainButton(environment, box);
    close->setObjectName(QStringLiteral("stuckClose"));
    close->setText(QStringLiteral("Close"));
    close->setPreferredSize(QSize(14, 14));
    close->setPainter([](QPainter& painter, const PlainButton& self) {
        SymbolCatalog::draw(painter, QRectF(self.rect()), "xmark", toQColor(Vude::Stone::x400), 9);
    });
    QObject::connect(close, &PlainButton::clicked, box, std::move(onDismiss));
    header->addWidget(close);
    layout->addLayout(header);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(5);
    int number = 1;
    for (const std::string_view step : help.steps) {
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        auto* digit = label(QString::number(number++), systemFont(9, FontWeight::semibold, Vude::FontDesign::monospaced),
                            Vude::Stone::x400, box, "stepNumber");
        digit->setFixedWidth(12);
        digit->setAlignment(Qt::AlignRight | Qt::AlignTop);
        line->addWidget(digit, 0, Qt::AlignTop);
        line->addWidget(label(text(step), T::rowBody(), Vude::Stone::x300, box, "stuckStep"), 1);
        steps->addLayout(line);
    }
    layout->addLayout(steps);
    layout->addSpacing(2);
    auto* open = textButton(environment, text(help.openTitle), systemFont(11, FontWeight::medium), Vude::Stone::x200,
                            box, "stuckOpen");
    QObject::connect(open, &PlainButton::clicked, box, [permission, &system] { permission.openSettings(system); });
    layout->addWidget(open, 0, Qt::AlignLeft);
    return box;
}

} // namespace

// One capsule per step, the current one long and in the accent colour.
class ProgressCapsules final : public QWidget {
public:
    ProgressCapsules(const ViewEnvironment& environment, int current, QWidget* parent)
        : QWidget(parent), m_environment(environment)
    {
        m_progress = std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, targets(current));
        connect(m_progress.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
        setFixedSize(5 * 14, 5);
    }

    void setCurrent(int current) { m_progress->animateTo(targets(current), m_environment.motion(progressSpring)); }

    std::vector<double> widths() const
    {
        std::vector<double> result;
        for (const double progress : m_progress->value())
            result.push_back(5 + 9 * progress);
        return result;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const auto shown = widths();
        double total = 5.0 * (double(shown.size()) - 1);
        for (const double width : shown)
            total += width;
        double x = (width() - total) / 2;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const double progress = std::clamp(m_progress->value()[i], 0.0, 1.0);
            const QColor off = toQColor(Vude::Ink::x700);
            const QColor on = toQColor(Vude::Accent::x500);
            const QColor color = QColor::fromRgbF(float(off.redF() + (on.redF() - off.redF()) * progress),
                                                  float(off.greenF() + (on.greenF() - off.greenF()) * progress),
                                                  float(off.blueF() + (on.blueF() - off.blueF()) * progress));
            QPainterPath capsule;
            capsule.addRoundedRect(QRectF(x, 0, shown[i], 5), 2.5, 2.5);
            painter.fillPath(capsule, color);
            x += shown[i] + 5;
        }
    }

private:
    static std::vector<double> targets(int current)
    {
        std::vector<double> result;
        for (const Step step : OnboardingModel::allSteps())
            result.push_back(OnboardingModel::number(step) == current ? 1 : 0);
        return result;
    }

    const ViewEnvironment& m_environment;
    std::unique_ptr<SpringAnimator> m_progress;
};

namespace {

// The footer's bar with its line along the top.
class Footer final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), toQColor(Vude::Ink::x900));
        painter.fillRect(QRect(0, 0, width(), 1), toQColor(Vude::Ink::x700));
    }
};

} // namespace

OnboardingView::OnboardingView(OnboardingModel& model, ViewEnvironment environment, std::function<void()> onFinish,
                               BluetoothStackRead readBluetoothStack, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_environment(environment)
    , m_onFinish(std::move(onFinish))
    , m_readBluetoothStack(std::move(readBluetoothStack))
{
    setObjectName(QStringLiteral("OnboardingView"));
    setFixedSize(windowSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    styleSettingsScrollBar(*m_scroll);
    QPalette ink = m_scroll->palette();
    ink.setColor(QPalette::Window, toQColor(Vude::Ink::x950));
    m_scroll->setPalette(ink);
    m_scroll->viewport()->setPalette(ink);
    m_scroll->viewport()->setAutoFillBackground(true);
    auto* page = new QWidget(m_scroll);
    page->setObjectName(QStringLiteral("page"));
    page->setPalette(ink);
    page->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(48, 34, 48, 28);
    column->setSpacing(0);
    m_heroSlot = new QVBoxLayout;
    m_heroSlot->setSpacing(0);
    column->addLayout(m_heroSlot);

    auto* copy = new QVBoxLayout;
    copy->setSpacing(9);
    m_eyebrow = label({}, T::eyebrow(), Vude::Stone::x400, page, "eyebrow");
    QFont eyebrowFont = T::eyebrow();
    eyebrowFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    m_eyebrow->setFont(eyebrowFont);
    m_title = label({}, T::title(), Vude::Stone::x100, page, "title");
    QFont titleFont = T::title();
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
    m_title->setFont(titleFont);
    m_body = spacedLabel({}, T::body(), Vude::Stone::x300, bodyLineSpacing, page, "body");
    m_body->setMaximumWidth(int(maxTextWidth));
    copy->addWidget(m_eyebrow);
    copy->addWidget(m_title);
    copy->addWidget(m_body);
    column->addLayout(copy);
    m_extraSlot = new QVBoxLayout;
    m_extraSlot->setSpacing(0);
    column->addLayout(m_extraSlot);
    column->addStretch(1);
    m_scroll->setWidget(page);
    layout->addWidget(m_scroll, 1);

    auto* footer = new Footer(this);
    footer->setObjectName(QStringLiteral("footer"));
    auto* bar = new QHBoxLayout(footer);
    bar->setContentsMargins(32, 20, 32, 20);
    bar->setSpacing(14);
    m_progress = new ProgressCapsules(m_environment, OnboardingModel::number(model.step()), footer);
    bar->addWidget(m_progress);
    bar->addStretch(1);
    m_back = textButton(m_environment, QStringLiteral("Back"), T::button(), Vude::Stone::x400, footer, "back");
    connect(m_back, &PlainButton::clicked, this, [this] { m_model.back(); });
    bar->addWidget(m_back);
    m_primary = new AccentButton(m_environment, QString(), AccentButton::Style::regular, footer);
    m_primary->setObjectName(QStringLiteral("primary"));
    connect(m_primary, &PlainButton::clicked, this, [this] { primaryPressed(); });
    bar->addWidget(m_primary);
    layout->addWidget(footer);

    // The primary button is the default action: Return and Enter press it.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, m_primary, &QAbstractButton::click);
    }

    connect(&model, &OnboardingModel::stepChanged, this, [this] { stepChanged(); });
    connect(&model, &OnboardingModel::permissionStatesChanged, this, [this] { rebuildExtra(); });
    connect(&model, &OnboardingModel::stuckPermissionChanged, this, [this] { rebuildExtra(); });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationBecameActive();
    });
    stepChanged();
}

OnboardingView::~OnboardingView() = default;

void OnboardingView::applicationBecameActive()
{
    m_model.refreshPermissions();
}

NotchDemoView* OnboardingView::hero() const
{
    return m_hero.data();
}

std::vector<double> OnboardingView::capsuleWidths() const
{
    return m_progress->widths();
}

void OnboardingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_model.refreshPermissions();
    updateScrollBar();
}

void OnboardingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateScrollBar();
}

void OnboardingView::updateScrollBar()
{
    // A scroll area shows or hides its bar only when the event loop next
    // turns: a page that fits would show an empty bar after each change.
    // Decided here at once, the bar shows only while the page is taller.
    QWidget* page = m_scroll->widget();
    const int height = page->hasHeightForWidth() ? page->heightForWidth(m_scroll->width()) : -1;
    const bool scrolls = std::max(height, page->minimumSizeHint().height()) > m_scroll->height();
    m_scroll->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void OnboardingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(Vude::Ink::x950));
}

void OnboardingView::stepChanged()
{
    const Step step = m_model.step();
    // A new demonstration on every step, so its script starts afresh.
    delete m_hero.data();
    if (const auto script = OnboardingContent::hero(step)) {
        auto* hero = new NotchDemoView(*script, OnboardingContent::heroNotchWidth, OnboardingContent::heroNotchHeight,
                                       m_environment.scheduler, m_environment.clock, m_environment.reduceMotion,
                                       m_scroll->widget());
        hero->setObjectName(QStringLiteral("hero"));
        m_heroSlot->addWidget(hero);
        // A layout shows a new child only when the event loop next turns.
        hero->show();
        m_heroSlot->setContentsMargins(0, 0, 0, 26);
        m_hero = hero;
    } else {
        m_heroSlot->setContentsMargins(0, 0, 0, 0);
    }
    const auto copy = OnboardingContent::copy(step);
    m_eyebrow->setText(text(copy.eyebrow).toUpper());
    m_title->setText(text(copy.title));
    m_body->setText(text(copy.body));
    rebuildExtra();

    m_progress->setCurrent(OnboardingModel::number(step));
    m_back->setVisible(OnboardingContent::showsBack(step));
    m_primary->setTitle(text(OnboardingContent::primaryTitle(step)));
}

void OnboardingView::rebuildExtra()
{
    // The refresh may come from a click inside the old block.
    if (QWidget* old = m_extra.data()) {
        old->hide();
        old->deleteLater();
    }
    const Step step = m_model.step();
    auto* page = m_scroll->widget();
    QWidget* extra = nullptr;
    if (step == Step::media) {
        extra = new QWidget(page);
        auto* layout = new QHBoxLayout(extra);
        layout->setContentsMargins(0, 20, 0, 0);
        layout->setSpacing(10);
        auto* bar = new QWidget(extra);
        bar->setFixedWidth(2);
        bar->setAutoFillBackground(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, toQColor(Vude::Ink::x600));
        bar->setPalette(palette);
        layout->addWidget(bar);
        auto* note = spacedLabel(text(OnboardingContent::note(step)), T::rowBody(), Vude::Stone::x400,
                                 noteLineSpacing, extra, "note");
        note->setMaximumWidth(int(maxTextWidth) - 12);
        layout->addWidget(note);
        layout->addStretch(1);
    } else if (step == Step::permissions) {
        extra = new QWidget(page);
        auto* layout = new QVBoxLayout(extra);
        layout->setContentsMargins(0, 22, 0, 0);
        layout->setSpacing(9);
        PermissionSystem& system = m_model.permissionSystem();
        for (const Permission permission : OnboardingContent::offeredPermissions())
            layout->addWidget(permissionRow(m_environment, system, permission, m_model.state(permission),
                                            [this, permission] { m_model.request(permission); }, extra));
        if (const auto stuck = m_model.stuckPermission()) {
            const BluetoothStackStatus stack =
                *stuck == Permission::bluetooth && m_readBluetoothStack ? m_readBluetoothStack() : BluetoothStackStatus{};
            layout->addWidget(stuckHelpBox(m_environment, system, *stuck, stack,
                                           [this] { m_model.setStuckPermission(std::nullopt); }, extra));
        }
    }
    if (extra) {
        m_extraSlot->addWidget(extra);
        extra->show();
    }
    m_extra = extra;
    updateScrollBar();
}

void OnboardingView::primaryPressed()
{
    if (m_model.step() == Step::ravo) {
        if (m_onFinish)
            m_onFinish();
        return;
    }
    m_model.advance();
}
