#include "Vude/Desk/CalendarRow.h"

#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

QFont titleFont(Vude::FontWeight weight) { return systemFont(12.0, weight); }
QFont timeFont() { return systemFont(10.0, Vude::FontWeight::regular, Vude::FontDesign::monospaced); }
QFont detailFont() { return systemFont(10.0, Vude::FontWeight::regular); }

double lineHeight(const QFont& font) { return std::ceil(QFontMetricsF(font).height()); }

/// Draws `text` from `x` on the line at `top`, cut with "…" at `right`;
/// returns where it ended.
double drawLine(QPainter& painter, const QString& text, const QFont& font, const QColor& color, double x, double top,
                double right)
{
    const QFontMetricsF metrics(font);
    const double room = std::max(0.0, right - x);
    const QString fitted = metrics.elidedText(text, Qt::ElideRight, room);
    const double width = std::min(room, metrics.horizontalAdvance(fitted));
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRectF(x, top, room, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fitted);
    return x + width;
}

} // namespace

CalendarRow::CalendarRow(const ViewEnvironment& environment, QWidget* parent) : PlainButton(environment, parent)
{
    setPreferredSize(QSize(0, rowHeight()));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPainter([this](QPainter& painter, const PlainButton&) { paintRow(painter); });
}

int CalendarRow::rowHeight()
{
    return int(std::ceil(2 * paddingY + lineHeight(titleFont(Vude::FontWeight::semibold)) + lineSpacing +
                         std::max(lineHeight(timeFont()), lineHeight(detailFont()))));
}

void CalendarRow::setEvent(const NotchCalendarEvent& event)
{
    if (event == m_event)
        return;
    m_event = event;
    setText(QString::fromStdString(event.title));
    setAccessibleDescription(timeLabel());
    update();
}

void CalendarRow::setNow(Date now)
{
    if (now == m_now)
        return;
    m_now = now;
    setAccessibleDescription(timeLabel());
    update();
}

void CalendarRow::paintRow(QPainter& painter) const
{
    const CalendarWidgetLayout::RowStyle look = style();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(look.opacity);
    const QRectF bounds = rect();
    if (look.highlighted)
        painter.fillPath(continuousRoundedRect(bounds, cornerRadius), toQColor(Vude::Ink::x850));

    const QRectF content = bounds.adjusted(paddingX, paddingY, -paddingX, -paddingY);
    painter.fillPath(continuousRoundedRect(QRectF(content.left(), content.top(), barWidth, content.height()), 1.5),
                     toQColor(look.barColor));

    double right = content.right();
    if (look.showsMarker) {
        const double box = std::ceil(markerSize * SymbolCatalog::kOpticalScale);
        const double titleLine = lineHeight(titleFont(look.titleWeight));
        SymbolCatalog::draw(painter, QRectF(right - box, content.top() + (titleLine - box) / 2, box, box),
                            "video.fill", toQColor(look.markerColor), markerSize);
        right -= box + spacing;
    }

    const double left = content.left() + barWidth + spacing;
    const QFont title = titleFont(look.titleWeight);
    drawLine(painter, QString::fromStdString(m_event.title), title, toQColor(look.titleColor), left, content.top(),
             right);

    const double detailTop = content.top() + lineHeight(title) + lineSpacing;
    double x = drawLine(painter, timeLabel(), timeFont(), toQColor(look.timeColor), left, detailTop, right);
    if (!look.showsLocation)
        return;
    const QColor quiet = toQColor(Vude::Stone::x400);
    x = drawLine(painter, QStringLiteral("·"), detailFont(), quiet, x + detailSpacing, detailTop, right);
    drawLine(painter, QString::fromStdString(*m_event.location), detailFont(), quiet, x + detailSpacing, detailTop,
             right);
}
