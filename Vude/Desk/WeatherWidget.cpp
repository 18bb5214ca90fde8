#include "Vude/Desk/WeatherWidget.h"

#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/ProgressSpinner.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeServices/WeatherProvider.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStackedWidget>

#include <chrono>
#include <cmath>

namespace {

using namespace std::chrono_literals;
using View = WeatherReadingView;

QString qString(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QFont temperatureFont()
{
    return systemFont(View::temperatureSize, Vude::FontWeight::medium, Vude::FontDesign::rounded);
}
QFont conditionFont() { return systemFont(View::conditionSize); }
QFont detailFont() { return systemFont(View::detailSize); }
QFont attributionFont() { return systemFont(View::attributionSize); }

/// A line of `font`'s height centred across `width`, from `y`.
QRectF line(double width, double y, const QFont& font)
{
    const double height = std::ceil(QFontMetricsF(font).height());
    return {View::paddingX, y, std::max(0.0, width - 2 * View::paddingX), height};
}

void drawLine(QPainter& painter, const QRectF& rect, const std::string& text, const QFont& font, const QColor& color)
{
    painter.setFont(font);
    painter.setPen(color);
    const QString shown = QFontMetricsF(font).elidedText(QString::fromStdString(text), Qt::ElideRight, rect.width());
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

} // namespace

WeatherReadingView::WeatherReadingView(const ViewEnvironment& environment, QWidget* parent) : QWidget(parent)
{
    m_attribution = new PlainButton(environment, this);
    m_attribution->setText(QStringLiteral(" Weather"));
    m_attribution->setHelpText(qString(LinuxTexts::weatherAttributionHelp.shown));
    const QFontMetricsF metrics(attributionFont());
    m_attribution->setPreferredSize(QSize(int(std::ceil(metrics.horizontalAdvance(m_attribution->text()))),
                                          int(std::ceil(metrics.height()))));
    m_attribution->setPainter([](QPainter& painter, const PlainButton& button) {
        painter.setFont(attributionFont());
        painter.setPen(toQColor(Vude::Stone::x400));
        painter.drawText(button.rect(), Qt::AlignCenter | Qt::TextSingleLine, button.text());
    });
}

void WeatherReadingView::setContent(const WeatherContent& content)
{
    m_content = content;
    setAccessibleName(QString::fromStdString(content.temperature + " " + content.condition));
    placeAttribution();
    update();
}

WeatherReadingView::Lines WeatherReadingView::lines() const
{
    const double w = width();
    Lines lines;
    const double symbol = std::ceil(symbolSize * SymbolCatalog::kOpticalScale);
    lines.symbol = {0, 0, w, symbol};
    lines.temperature = line(w, lines.symbol.bottom() + spacing, temperatureFont());
    lines.condition = line(w, lines.temperature.bottom() + spacing, conditionFont());
    double bottom = lines.condition.bottom();
    if (m_content.highLow) {
        lines.highLow = line(w, bottom + lineSpacing, detailFont());
        bottom = lines.highLow->bottom();
    }
    if (m_content.place) {
        lines.place = line(w, bottom + lineSpacing, detailFont());
        bottom = lines.place->bottom();
    }
    const QSize button = m_attribution->sizeHint();
    lines.attribution = {(w - button.width()) / 2, bottom + spacing, double(button.width()), double(button.height())};
    // The column centred down the view.
    const double offset = std::round((height() - lines.attribution.bottom()) / 2);
    for (QRectF* rect : {&lines.symbol, &lines.temperature, &lines.condition, &lines.attribution})
        rect->translate(0, offset);
    for (std::optional<QRectF>* rect : {&lines.highLow, &lines.place})
        if (*rect)
            (*rect)->translate(0, offset);
    return lines;
}

void WeatherReadingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeAttribution();
}

void WeatherReadingView::placeAttribution()
{
    m_attribution->setGeometry(lines().attribution.toAlignedRect());
}

void WeatherReadingView::paintEvent(QPaintEvent*)
{
    const Lines lines = this->lines();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QColor bright = toQColor(Vude::Stone::x100);
    SymbolCatalog::draw(painter, lines.symbol, m_content.symbol, bright, symbolSize);
    drawLine(painter, lines.temperature, m_content.temperature, temperatureFont(), bright);
    drawLine(painter, lines.condition, m_content.condition, conditionFont(), toQColor(Vude::Stone::x300));
    if (lines.highLow)
        drawLine(painter, *lines.highLow, *m_content.highLow, detailFont(), toQColor(Vude::Stone::x400));
    if (lines.place)
        drawLine(painter, *lines.place, *m_content.place, detailFont(), toQColor(Vude::Stone::x400));
}

WeatherWidget::WeatherWidget(const DeskEnvironment& environment, QLocale locale, QWidget* parent)
    : DeskWidget(WidgetID::weather, parent), m_environment(environment), m_locale(std::move(locale))
{
    m_pages = new QStackedWidget;
    m_pages->setFrameShape(QFrame::NoFrame);
    m_reading = new WeatherReadingView(environment.view);
    connect(m_reading->attribution(), &QAbstractButton::clicked, this, [this] {
        const auto open = m_binding.onOpenURL;
        if (!m_observed || !open)
            return;
        if (const auto& url = m_observed->attributionURL())
            open(*url);
    });
    m_progress = new ProgressSpinner(environment.view);
    m_pages->addWidget(m_reading);
    m_pages->addWidget(m_progress);
    m_pages->setCurrentWidget(m_progress);
    m_frame = new WidgetFrame(QStringLiteral("Weather"), m_pages, Qt::AlignCenter, nullptr, this);
    m_frame->hide();
}

WeatherWidget::~WeatherWidget() = default;

WidgetEmptyState* WeatherWidget::emptyState() const
{
    return m_content.kind == WeatherContent::Kind::emptyState ? m_empty : nullptr;
}

QWidget* WeatherWidget::progressView() const
{
    return m_progress;
}

PlainButton* WeatherWidget::attributionButton() const
{
    return m_reading->attribution();
}

void WeatherWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<WeatherBinding>(binding);
    WeatherProvider* provider = m_binding.provider.get();
    if (provider != m_observed) {
        if (m_observed)
            disconnect(m_observed, nullptr, this, nullptr);
        m_observed = provider;
        if (provider) {
            connect(provider, &WeatherProvider::availabilityChanged, this, &WeatherWidget::refresh);
            connect(provider, &WeatherProvider::snapshotChanged, this, &WeatherWidget::refresh);
            connect(provider, &WeatherProvider::attributionURLChanged, this, &WeatherWidget::refresh);
        }
    }
    m_frame->setVisible(provider != nullptr);
    refresh();
}

void WeatherWidget::refresh()
{
    if (!m_observed)
        return;
    WeatherContent next = WeatherContent::of(m_observed->availability(), m_observed->snapshot(), m_locale);
    const bool sameEmptyState = m_empty && next.kind == m_content.kind && next == m_content;
    m_content = std::move(next);
    switch (m_content.kind) {
    case WeatherContent::Kind::reading:
        m_reading->setContent(m_content);
        m_pages->setCurrentWidget(m_reading);
        break;
    case WeatherContent::Kind::progress:
        m_pages->setCurrentWidget(m_progress);
        break;
    case WeatherContent::Kind::emptyState:
        if (!sameEmptyState)
            showEmptyState();
        m_pages->setCurrentWidget(m_empty);
        break;
    }
}

void WeatherWidget::showEmptyState()
{
    // The old one may be the one whose button is being clicked.
    if (m_empty) {
        m_pages->removeWidget(m_empty);
        m_empty->hide();
        m_empty->deleteLater();
    }
    std::optional<WidgetEmptyState::Action> action;
    switch (m_content.action) {
    case WeatherContent::Action::allowLocation:
        action = WidgetEmptyState::Action{QString::fromStdString(m_content.actionTitle), [this] {
                                              if (m_observed)
                                                  m_observed->requestLocationAccess();
                                          }};
        break;
    case WeatherContent::Action::openSettings:
        action = WidgetEmptyState::Action{QString::fromStdString(m_content.actionTitle), [this] {
                                              const auto open = m_binding.onOpenSettings;
                                              if (open)
                                                  open();
                                          }};
        break;
    case WeatherContent::Action::none:
        break;
    }
    std::optional<QString> detail;
    if (m_content.detail)
        detail = QString::fromStdString(*m_content.detail);
    m_empty = new WidgetEmptyState(m_environment.view, m_content.emptySymbol, QString::fromStdString(m_content.message),
                                   detail, std::move(action));
    m_pages->addWidget(m_empty);
}

void WeatherWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
