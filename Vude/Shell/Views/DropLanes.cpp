#include "Vude/Shell/Views/DropLanes.h"

#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QString qText(const std::string& text) { return QString::fromStdString(text); }

/// One line in `width`: shrunk down to the smallest scale first, then cut.
void drawLabel(QPainter& painter, const QRectF& box, const QString& text, double size, Vude::FontWeight weight)
{
    QFont font = systemFont(size, weight);
    double advance = QFontMetricsF(font).horizontalAdvance(text);
    if (advance > box.width() && advance > 0) {
        const double scale = std::max(DropLanesLayout::labelMinimumScale, box.width() / advance);
        font = systemFont(std::floor(size * scale * 2) / 2, weight);
    }
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter, metrics.elidedText(text, Qt::ElideRight, box.width()));
}

} // namespace

DropLanes::DropLanes(Scheduler& scheduler, const ClockSource& clock, QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_clock(clock),
      m_progress(std::make_unique<SpringAnimator>(scheduler, clock, std::vector<double>()))
{
    connect(m_progress.get(), &SpringAnimator::valueChanged, this, &DropLanes::changed);
}

DropLanes::~DropLanes() = default;

std::vector<double> DropLanes::targets() const
{
    std::vector<double> values(m_lanes.size(), 0.0);
    if (const auto lit = DropLanesLayout::hoveredIndex(m_hovered, m_lanes.size()))
        values[*lit] = 1;
    return values;
}

void DropLanes::set(const std::vector<DropLane>& lanes, std::optional<int> hovered, long long fileCount,
                    const Vude::Animation& hover)
{
    const bool newLanes = lanes != m_lanes;
    const bool moved = hovered != m_hovered;
    if (!newLanes && !moved && fileCount == m_fileCount)
        return;
    m_lanes = lanes;
    m_hovered = hovered;
    m_fileCount = fileCount;
    if (newLanes)
        m_progress->setValue(targets());
    else if (moved)
        m_progress->animateTo(targets(), hover);
    emit changed();
}

DropLanesLayout DropLanes::layout(const QRectF& bounds) const
{
    return DropLanesLayout::layout({bounds.x(), bounds.y(), bounds.width(), bounds.height()}, m_lanes, m_hovered,
                                   m_fileCount, m_progress->value());
}

bool DropLanes::isAnimating() const
{
    return m_progress->isAnimating();
}

void DropLanes::paint(QPainter& painter, const QRectF& bounds) const
{
    const DropLanesLayout lanes = layout(bounds);
    // The root view fades the whole strip in and out.
    const double opacity = painter.opacity();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const DropLanesLayout::Cell& cell : lanes.cells) {
        const QRectF frame = toQRectF(cell.frame);
        painter.save();
        painter.translate(frame.center());
        painter.scale(cell.scale, cell.scale);
        painter.translate(-frame.center());

        const QRectF back = toQRectF(cell.background);
        const double rest = 1 - cell.hover;
        if (rest > 0) {
            painter.setOpacity(opacity * rest);
            if (cell.rest == DropLanesLayout::Background::filled) {
                painter.fillPath(continuousRoundedRect(back, DropLanesLayout::cornerRadius), toQColor(Vude::Ink::x800));
            } else if (cell.rest == DropLanesLayout::Background::dashed) {
                // Drawn inside the shape: the path moves in by half the line.
                const double half = DropLanesLayout::dashLineWidth / 2;
                QPen pen(toQColor(Vude::Stone::x400.withOpacity(0.5)), DropLanesLayout::dashLineWidth);
                pen.setCapStyle(Qt::FlatCap);
                pen.setJoinStyle(Qt::MiterJoin);
                pen.setMiterLimit(10);
                pen.setDashPattern({DropLanesLayout::dashOn / DropLanesLayout::dashLineWidth,
                                    DropLanesLayout::dashOff / DropLanesLayout::dashLineWidth});
                painter.strokePath(continuousRoundedRect(back.adjusted(half, half, -half, -half),
                                                         std::max(0.0, DropLanesLayout::cornerRadius - half)),
                                   pen);
            }
        }
        if (cell.hover > 0) {
            painter.setOpacity(opacity * cell.hover);
            painter.fillPath(continuousRoundedRect(back, DropLanesLayout::cornerRadius), toQColor(Vude::Accent::x500));
        }
        painter.setOpacity(opacity);

        // The symbol over the label, centred in the cell.
        const QFontMetricsF labelMetrics(systemFont(cell.labelSize, cell.labelWeight));
        const double blockHeight = cell.symbolFrame + DropLanesLayout::spacing + labelMetrics.height();
        const double top = frame.center().y() - blockHeight / 2;
        const QColor ink = toQColor(cell.foreground);
        const QRectF symbolBox(frame.left(), top, frame.width(), cell.symbolFrame);
        const double side = std::ceil(cell.symbolSize * SymbolCatalog::kOpticalScale);
        SymbolCatalog::draw(painter, QRectF(symbolBox.center().x() - side / 2, symbolBox.center().y() - side / 2, side, side),
                            cell.symbol, ink, cell.symbolSize);
        painter.setPen(ink);
        const QRectF labelBox(frame.left() + cell.horizontalPadding, top + cell.symbolFrame + DropLanesLayout::spacing,
                              std::max(0.0, frame.width() - 2 * cell.horizontalPadding), labelMetrics.height());
        drawLabel(painter, labelBox, qText(cell.label), cell.labelSize, cell.labelWeight);
        painter.restore();
    }

    const QFont countFont = systemFont(DropLanesLayout::countSize, Vude::FontWeight::medium);
    const QFontMetricsF countMetrics(countFont);
    painter.setFont(countFont);
    painter.setPen(toQColor(Vude::Stone::x400));
    const QRectF countBox(bounds.left(), bounds.bottom() - DropLanesLayout::countBottomPadding - countMetrics.height(),
                          bounds.width(), countMetrics.height());
    painter.drawText(countBox, Qt::AlignCenter, qText(lanes.fileCount));
    painter.restore();
}
