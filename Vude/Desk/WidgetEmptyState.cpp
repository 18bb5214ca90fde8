#include "Vude/Desk/WidgetEmptyState.h"

#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/WrappedText.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

using Layout = WidgetEmptyStateLayout;

QFont messageFont() { return systemFont(Layout::textSize, Vude::FontWeight::regular); }
QFont detailFont() { return systemFont(Layout::textSize, Vude::FontWeight::semibold); }
QFont buttonFont() { return systemFont(Layout::textSize, Vude::FontWeight::semibold); }

double symbolBox() { return std::ceil(Layout::symbolSize * SymbolCatalog::kOpticalScale); }

Size toSize(const QSizeF& size) { return {size.width(), size.height()}; }

/// The text's rectangle widened to the whole wrapping width about its
/// centre, so it is drawn with the lines it was measured with.
QRectF textRect(const Rect& measured, double width)
{
    return {measured.midX() - width / 2, measured.y, width, measured.height};
}

} // namespace

WidgetEmptyState::WidgetEmptyState(const ViewEnvironment& environment, std::string symbol, QString message,
                                   std::optional<QString> detail, std::optional<Action> action, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(symbol)), m_message(std::move(message)), m_detail(std::move(detail)),
      m_action(std::move(action))
{
    setAccessibleName(m_message);
    if (m_detail)
        setAccessibleDescription(*m_detail);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    if (!m_action)
        return;
    m_button = new PlainButton(environment, this);
    m_button->setText(m_action->title);
    const QFontMetricsF metrics(buttonFont());
    const QSizeF label(std::ceil(metrics.horizontalAdvance(m_action->title)), std::ceil(metrics.height()));
    m_button->setPreferredSize(QSize(int(label.width() + 2 * Layout::buttonPaddingX),
                                     int(label.height() + 2 * Layout::buttonPaddingY)));
    m_button->setPainter([](QPainter& painter, const PlainButton& button) {
        const QRectF bounds = button.rect();
        const QPainterPath capsule = continuousRoundedRect(bounds, bounds.height() / 2);
        painter.fillPath(capsule, toQColor(button.isPressedInside() ? Vude::Accent::x600 : Vude::Accent::x500));
        painter.setFont(buttonFont());
        painter.setPen(toQColor(Vude::Accent::on));
        painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, button.text());
    });
    connect(m_button, &QAbstractButton::clicked, this, [this] {
        if (m_action && m_action->perform)
            m_action->perform();
    });
}

WidgetEmptyState::~WidgetEmptyState() = default;

WidgetEmptyStateLayout WidgetEmptyState::layoutIn(const Rect& bounds) const
{
    const double textWidth = Layout::textWidth(bounds.width);
    Layout::Measures measures;
    measures.symbol = symbolBox();
    measures.message = toSize(WrappedText::size(m_message, messageFont(), textWidth));
    if (m_detail)
        measures.detail = toSize(WrappedText::size(*m_detail, detailFont(), textWidth));
    if (m_button) {
        const QSize button = m_button->sizeHint();
        measures.buttonLabel = Size{button.width() - 2 * Layout::buttonPaddingX,
                                    button.height() - 2 * Layout::buttonPaddingY};
    }
    return Layout::layout(bounds, measures);
}

WidgetEmptyStateLayout WidgetEmptyState::currentLayout() const
{
    return layoutIn({0, 0, double(width()), double(height())});
}

int WidgetEmptyState::heightForWidth(int width) const
{
    return int(std::ceil(layoutIn({0, 0, double(width), 0}).height));
}

QSize WidgetEmptyState::sizeHint() const
{
    const int width = 200;
    return {width, heightForWidth(width)};
}

void WidgetEmptyState::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_button)
        return;
    if (const auto button = currentLayout().button)
        m_button->setGeometry(int(std::lround(button->x)), int(std::lround(button->y)), int(button->width),
                              int(button->height));
}

void WidgetEmptyState::paintEvent(QPaintEvent*)
{
    const WidgetEmptyStateLayout layout = currentLayout();
    const double textWidth = Layout::textWidth(width());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    SymbolCatalog::draw(painter, toQRectF(layout.symbol), m_symbol, toQColor(Vude::Stone::x400), Layout::symbolSize);
    WrappedText::draw(painter, textRect(layout.message, textWidth), m_message, messageFont(),
                      toQColor(Vude::Stone::x300));
    if (m_detail && layout.detail)
        WrappedText::draw(painter, textRect(*layout.detail, textWidth), *m_detail, detailFont(),
                          toQColor(Vude::Stone::x100));
}
