#include "Vude/Desk/TrayAllChip.h"

#include "Vude/Desk/TrayDragHandle.h"
#include "Vude/Desk/TrayLayout.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QFont labelFont() { return systemFont(TrayLayout::nameSize, Vude::FontWeight::medium); }

} // namespace

TrayAllChip::TrayAllChip(const DeskEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment),
      m_hover(std::make_unique<SpringAnimator>(environment.view.scheduler, environment.view.clock,
                                               std::vector<double>{0}))
{
    connect(m_hover.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    m_handle = new TrayDragHandle(environment, this);
}

TrayAllChip::~TrayAllChip() = default;

void TrayAllChip::set(std::vector<NotchTrayItem> items, bool copyByDefault)
{
    m_count = items.size();
    // A drag of every item reports no move: the tray keeps them all.
    m_handle->set(std::move(items), nullptr, copyByDefault);
    setToolTip(QString::fromStdString(TrayLayout::allChipHelp(m_count)));
    setAccessibleName(QString::fromStdString(TrayLayout::allChipLabel(m_count)));
    update();
}

QSize TrayAllChip::sizeHint() const
{
    const double height =
        TrayLayout::allTileHeight + TrayLayout::chipSpacingInside + QFontMetricsF(labelFont()).height();
    return {int(TrayLayout::labelWidth), int(std::ceil(height))};
}

QRectF TrayAllChip::tileRect() const
{
    return {(width() - TrayLayout::allTileWidth) / 2, 0, TrayLayout::allTileWidth, TrayLayout::allTileHeight};
}

void TrayAllChip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_handle->setGeometry(tileRect().toRect());
}

void TrayAllChip::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void TrayAllChip::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void TrayAllChip::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_hover->animateTo({hovering ? 1.0 : 0.0}, m_environment.view.motion(Vude::Motion::hover));
}

void TrayAllChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = tileRect();
    const double hover = std::clamp(m_hover->value()[0], 0.0, 1.2);

    painter.save();
    const double scale = 1 + (TrayLayout::hoverScale - 1) * hover;
    painter.translate(tile.center());
    painter.scale(scale, scale);
    painter.translate(-tile.center());
    for (const TrayLayout::Card& card : TrayLayout::cards(m_count)) {
        painter.save();
        painter.translate(tile.center() + QPointF(card.offsetX, 0));
        painter.rotate(card.degrees);
        const QRectF face(-TrayLayout::cardSide / 2, -TrayLayout::cardSide / 2, TrayLayout::cardSide,
                          TrayLayout::cardSide);
        painter.fillPath(continuousRoundedRect(face, TrayLayout::tileRadius), toQColor(Vude::Ink::x800));
        painter.strokePath(continuousRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), TrayLayout::tileRadius - 0.5),
                           QPen(toQColor(Vude::Ink::x600), 1));
        painter.restore();
    }
    const double side = std::ceil(TrayLayout::stackSymbolSize * SymbolCatalog::kOpticalScale);
    SymbolCatalog::draw(painter, QRectF(tile.center().x() - side / 2, tile.center().y() - side / 2, side, side),
                        "square.stack.3d.up.fill", toQColor(Vude::Accent::x500), TrayLayout::stackSymbolSize);
    painter.restore();

    const QFontMetricsF metrics(labelFont());
    painter.setFont(labelFont());
    painter.setPen(toQColor(Vude::Stone::x200));
    const QRectF label((width() - TrayLayout::labelWidth) / 2, tile.bottom() + TrayLayout::chipSpacingInside,
                       TrayLayout::labelWidth, metrics.height());
    painter.drawText(label, Qt::AlignCenter,
                     metrics.elidedText(QString::fromStdString(TrayLayout::allChipLabel(m_count)), Qt::ElideRight,
                                        label.width()));
}
