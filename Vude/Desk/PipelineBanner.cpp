#include "Vude/Desk/PipelineBanner.h"

#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

using Banner = PipelineBannerLayout;

QFont titleFont(Banner::Kind kind)
{
    switch (kind) {
    case Banner::Kind::running:
        return systemFont(Banner::titleSize, Vude::FontWeight::semibold);
    case Banner::Kind::finished:
        return systemFont(Banner::titleSize, Vude::FontWeight::medium);
    case Banner::Kind::failed:
    case Banner::Kind::idle:
        break;
    }
    return systemFont(Banner::titleSize, Vude::FontWeight::regular);
}

QFont detailFont() { return systemFont(Banner::detailSize, Vude::FontWeight::regular); }
QFont undoFont() { return systemFont(Banner::titleSize, Vude::FontWeight::semibold); }

/// `text` on at most `maxLines` lines `width` wide, the last cut with "…"
/// when the text goes on.
QStringList wrapped(const QString& text, const QFont& font, double width, int maxLines)
{
    QStringList lines;
    if (width <= 0)
        return lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (lines.size() < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            lines.push_back(QFontMetricsF(font).elidedText(text.mid(line.textStart()), Qt::ElideRight, width));
            break;
        }
        lines.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

double symbolSide() { return std::ceil(Banner::symbolSize * SymbolCatalog::kOpticalScale); }

} // namespace

PipelineBanner::PipelineBanner(const DeskEnvironment& environment, QWidget* parent) : PipelineBannerView(parent)
{
    m_undo = new PlainButton(environment.view, this);
    m_undo->setText(QString::fromLatin1(Banner::undoTitle));
    const QFontMetricsF metrics(undoFont());
    m_undo->setPreferredSize(
        QSize(int(std::ceil(metrics.horizontalAdvance(m_undo->text()))), int(std::ceil(metrics.height()))));
    m_undo->setPainter([](QPainter& painter, const PlainButton& button) {
        painter.setFont(undoFont());
        QColor ink = toQColor(Vude::Accent::x500);
        if (button.isPressedInside())
            ink.setAlphaF(0.6);
        painter.setPen(ink);
        painter.drawText(button.rect(), Qt::AlignCenter, button.text());
    });
    connect(m_undo, &QAbstractButton::clicked, this, [this] {
        // The binding may be replaced while onUndo runs.
        const auto undo = m_binding.onUndo;
        if (undo)
            undo();
    });
    m_undo->hide();
}

void PipelineBanner::bind(const PipelineBannerBinding& binding)
{
    m_binding = binding;
    m_layout = Banner::of(binding.state);
    m_undo->setVisible(m_layout.showsUndo);
    setAccessibleName(QString::fromStdString(m_layout.text));
    updateGeometry();
    placeUndo();
    update();
}

double PipelineBanner::textWidth(double width) const
{
    double used = 2 * Banner::paddingX;
    if (m_layout.kind == Banner::Kind::running)
        used += Banner::barWidth + Banner::spacing;
    else
        used += symbolSide() + Banner::spacing;
    if (m_layout.showsUndo)
        used += m_undo->sizeHint().width() + Banner::spacing;
    return std::max(0.0, width - used);
}

int PipelineBanner::heightForWidth(int width) const
{
    double content = 0;
    switch (m_layout.kind) {
    case Banner::Kind::idle:
        return 0;
    case Banner::Kind::running:
        content = QFontMetricsF(titleFont(m_layout.kind)).height();
        if (!m_layout.detail.empty())
            content += QFontMetricsF(detailFont()).height();
        break;
    case Banner::Kind::finished:
        content = std::max(QFontMetricsF(titleFont(m_layout.kind)).height(), symbolSide());
        break;
    case Banner::Kind::failed: {
        const QFont font = titleFont(m_layout.kind);
        const auto lines = wrapped(QString::fromStdString(m_layout.text), font, textWidth(width), Banner::messageLines);
        content = std::max(double(std::max<qsizetype>(1, lines.size())) * QFontMetricsF(font).height(), symbolSide());
        break;
    }
    }
    return int(std::ceil(content + 2 * Banner::paddingY));
}

QSize PipelineBanner::sizeHint() const
{
    const int w = std::max(width(), 1);
    return {m_layout.takesSpace() ? w : 0, heightForWidth(w)};
}

void PipelineBanner::resizeEvent(QResizeEvent* event)
{
    PipelineBannerView::resizeEvent(event);
    placeUndo();
}

void PipelineBanner::placeUndo()
{
    const QSize size = m_undo->sizeHint();
    m_undo->setGeometry(int(width() - Banner::paddingX) - size.width(), (height() - size.height()) / 2, size.width(),
                        size.height());
}

void PipelineBanner::paintEvent(QPaintEvent*)
{
    if (!m_layout.takesSpace())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    painter.fillPath(continuousRoundedRect(bounds, Banner::cornerRadius), toQColor(Vude::Ink::x850));
    const QRectF inner = bounds.adjusted(Banner::paddingX, Banner::paddingY, -Banner::paddingX, -Banner::paddingY);
    const double textLeft = bounds.width() - Banner::paddingX - textWidth(bounds.width());
    const QFont font = titleFont(m_layout.kind);
    const QFontMetricsF metrics(font);
    const QString text = QString::fromStdString(m_layout.text);

    if (m_layout.kind == Banner::Kind::running) {
        const QRectF track(inner.left(), inner.center().y() - Banner::barHeight / 2, Banner::barWidth,
                           Banner::barHeight);
        painter.fillPath(continuousRoundedRect(track, Banner::barHeight / 2), toQColor(Vude::Ink::x600));
        if (m_layout.fraction > 0) {
            QRectF filled = track;
            filled.setWidth(track.width() * m_layout.fraction);
            painter.fillPath(continuousRoundedRect(filled, std::min(Banner::barHeight, filled.width()) / 2),
                             toQColor(Vude::Accent::x500));
        }
        const QFontMetricsF detailMetrics(detailFont());
        const double blockHeight = metrics.height() + (m_layout.detail.empty() ? 0 : detailMetrics.height());
        const double top = inner.center().y() - blockHeight / 2;
        const double width = textWidth(bounds.width());
        painter.setFont(font);
        painter.setPen(toQColor(Vude::Stone::x100));
        painter.drawText(QRectF(textLeft, top, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, width));
        if (!m_layout.detail.empty()) {
            painter.setFont(detailFont());
            painter.setPen(toQColor(Vude::Stone::x400));
            painter.drawText(QRectF(textLeft, top + metrics.height(), width, detailMetrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             detailMetrics.elidedText(QString::fromStdString(m_layout.detail), Qt::ElideRight, width));
        }
        return;
    }

    const double side = symbolSide();
    SymbolCatalog::draw(painter, QRectF(inner.left(), inner.center().y() - side / 2, side, side), m_layout.symbol,
                        toQColor(m_layout.symbolColor), Banner::symbolSize);
    const double width = textWidth(bounds.width());
    painter.setFont(font);
    if (m_layout.kind == Banner::Kind::finished) {
        painter.setPen(toQColor(Vude::Stone::x100));
        painter.drawText(QRectF(textLeft, inner.top(), width, inner.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, width));
        return;
    }
    painter.setPen(toQColor(Vude::Stone::x200));
    const QStringList lines = wrapped(text, font, width, Banner::messageLines);
    double y = inner.center().y() - double(lines.size()) * metrics.height() / 2;
    for (const QString& line : lines) {
        painter.drawText(QRectF(textLeft, y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.height();
    }
}
