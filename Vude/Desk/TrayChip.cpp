#include "Vude/Desk/TrayChip.h"

#include "Vude/Desk/TrayDragHandle.h"
#include "Vude/Desk/TrayLayout.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

QFont nameFont() { return systemFont(TrayLayout::nameSize); }
QFont subtitleFont() { return systemFont(TrayLayout::subtitleSize, Vude::FontWeight::regular, Vude::FontDesign::monospaced); }

QString qText(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

/// A soft shadow under `shape`: rings fading out over `radius`.
void paintShadow(QPainter& painter, const QRectF& shape, double cornerRadius, double radius, double opacity)
{
    if (opacity <= 0)
        return;
    constexpr int steps = 6;
    for (int i = steps; i >= 1; --i) {
        const double grow = radius * i / steps;
        QColor colour(0, 0, 0);
        colour.setAlphaF(opacity / steps);
        painter.fillPath(continuousRoundedRect(shape.adjusted(-grow, -grow, grow, grow), cornerRadius + grow), colour);
    }
}

} // namespace

TrayChip::TrayChip(const DeskEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment),
      m_hover(std::make_unique<SpringAnimator>(environment.view.scheduler, environment.view.clock,
                                               std::vector<double>{0}))
{
    setAttribute(Qt::WA_Hover);
    connect(m_hover.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));

    m_handle = new TrayDragHandle(environment, this);

    m_remove = new PlainButton(environment.view, this);
    m_remove->setText(QStringLiteral("Remove"));
    const int side = int(std::ceil(TrayLayout::removeSymbolSize + 2 * TrayLayout::removePadding));
    m_remove->setPreferredSize(QSize(side, side));
    m_remove->setPainter([](QPainter& painter, const PlainButton& button) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF disc = QRectF(button.rect()).adjusted(TrayLayout::removePadding, TrayLayout::removePadding,
                                                           -TrayLayout::removePadding, -TrayLayout::removePadding);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(Vude::Ink::x1000.withOpacity(0.85)));
        painter.drawEllipse(disc);
        QPen mark(toQColor(Vude::Stone::x100), 1.6);
        mark.setCapStyle(Qt::RoundCap);
        painter.setPen(mark);
        const double arm = disc.width() * 0.2;
        const QPointF c = disc.center();
        painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
        painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
    });
    connect(m_remove, &QAbstractButton::clicked, this, [this] {
        const auto remove = m_actions.onRemove;
        if (remove)
            remove();
    });
    m_remove->hide();
}

TrayChip::~TrayChip() = default;

void TrayChip::set(const NotchTrayItem& item, std::shared_ptr<NotchTrayStore> store, bool copyByDefault,
                   Actions actions)
{
    const bool otherFile = item.storedPath != m_item.storedPath;
    m_item = item;
    m_store = std::move(store);
    m_copyByDefault = copyByDefault;
    m_actions = std::move(actions);
    m_handle->set({item}, m_actions.onMoved, copyByDefault);
    setToolTip(QString::fromStdString(TrayLayout::chipHelp(item.displayName, copyByDefault)));
    setAccessibleName(QString::fromStdString(item.displayName));
    if (otherFile) {
        m_thumbnail.reset();
        if (isVisible())
            loadThumbnail();
    }
    update();
}

QSize TrayChip::sizeHint() const
{
    const double height = TrayLayout::tileSide + TrayLayout::chipSpacingInside + QFontMetricsF(nameFont()).height() + 1
                          + QFontMetricsF(subtitleFont()).height();
    return {int(TrayLayout::labelWidth), int(std::ceil(height))};
}

QRectF TrayChip::tileRect() const
{
    return {(width() - TrayLayout::tileSide) / 2, 0, TrayLayout::tileSide, TrayLayout::tileSide};
}

void TrayChip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_handle->setGeometry(tileRect().toRect());
    const QSize side = m_remove->sizeHint();
    const QRectF tile = tileRect();
    m_remove->setGeometry(int(tile.right()) - side.width(), int(tile.top()), side.width(), side.height());
    m_remove->raise();
}

void TrayChip::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadThumbnail();
}

void TrayChip::loadThumbnail()
{
    if (!m_store)
        return;
    const Uuid id = m_item.id;
    QPointer<TrayChip> self(this);
    m_store->thumbnail(m_item, TrayLayout::thumbnailSize, this, [self, id](std::optional<QImage> thumbnail) {
        // The chip may be gone, or show another item, by now.
        if (!self || self->m_item.id != id || !thumbnail || thumbnail->isNull())
            return;
        self->m_thumbnail = std::move(thumbnail);
        self->update();
    });
}

void TrayChip::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void TrayChip::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void TrayChip::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_remove->setVisible(hovering);
    m_hover->animateTo({hovering ? 1.0 : 0.0}, m_environment.view.motion(Vude::Motion::hover));
    update();
}

std::unique_ptr<QMenu> TrayChip::contextMenu()
{
    auto menu = std::make_unique<QMenu>();
    QPointer<TrayChip> self(this);
    // Each action reads the chip when chosen; the menu may outlive a refresh.
    menu->addAction(QStringLiteral("Quick Look"), [self] {
        if (self && self->m_store)
            self->m_store->quickLook(self->m_item);
    });
    menu->addAction(qText(LinuxTexts::trayShowInFiles.shown), [self] {
        if (self && self->m_actions.onReveal)
            self->m_actions.onReveal();
    });
    menu->addAction(QStringLiteral("Copy"), [self] {
        if (self && self->m_actions.onCopy)
            self->m_actions.onCopy();
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Remove"), [self] {
        if (!self)
            return;
        const auto remove = self->m_actions.onRemove;
        if (remove)
            remove();
    });
    return menu;
}

void TrayChip::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu = contextMenu();
    menu->exec(event->globalPos());
    event->accept();
}

void TrayChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double hover = std::clamp(m_hover->value()[0], 0.0, 1.2);
    const QRectF tile = tileRect();

    painter.save();
    const double scale = 1 + (TrayLayout::hoverScale - 1) * hover;
    painter.translate(tile.center());
    painter.scale(scale, scale);
    painter.translate(-tile.center());
    paintShadow(painter, tile.translated(0, 2), TrayLayout::tileRadius, 6, 0.4 * std::min(hover, 1.0));
    const QPainterPath shape = continuousRoundedRect(tile, TrayLayout::tileRadius);
    painter.fillPath(shape, toQColor(Vude::Ink::x800));
    painter.save();
    painter.setClipPath(shape);
    if (m_thumbnail) {
        const QRectF box = tile.adjusted(TrayLayout::thumbnailPadding, TrayLayout::thumbnailPadding,
                                         -TrayLayout::thumbnailPadding, -TrayLayout::thumbnailPadding);
        QSizeF fitted = QSizeF(m_thumbnail->size()).scaled(box.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(box.center().x() - fitted.width() / 2, box.center().y() - fitted.height() / 2,
                                 fitted.width(), fitted.height()),
                          *m_thumbnail);
    } else {
        const double side = std::ceil(TrayLayout::placeholderSymbolSize * SymbolCatalog::kOpticalScale);
        SymbolCatalog::draw(painter, QRectF(tile.center().x() - side / 2, tile.center().y() - side / 2, side, side),
                            m_item.isDirectory ? "folder.fill" : "doc.fill", toQColor(Vude::Stone::x400),
                            TrayLayout::placeholderSymbolSize);
    }
    painter.restore();
    const QColor border = m_hovering ? toQColor(Vude::Accent::x500.withOpacity(0.6)) : toQColor(Vude::Ink::x600);
    painter.strokePath(continuousRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), TrayLayout::tileRadius - 0.5),
                       QPen(border, 1));
    painter.restore();

    const QFontMetricsF nameMetrics(nameFont());
    const double nameTop = tile.bottom() + TrayLayout::chipSpacingInside;
    const QRectF nameBox((width() - TrayLayout::labelWidth) / 2, nameTop, TrayLayout::labelWidth, nameMetrics.height());
    painter.setFont(nameFont());
    painter.setPen(toQColor(m_hovering ? Vude::Stone::x100 : Vude::Stone::x300));
    painter.drawText(nameBox, Qt::AlignCenter,
                     nameMetrics.elidedText(QString::fromStdString(m_item.displayName), Qt::ElideMiddle,
                                            TrayLayout::labelWidth));
    const QFontMetricsF subtitleMetrics(subtitleFont());
    const QRectF subtitleBox(nameBox.left(), nameBox.bottom() + 1, TrayLayout::labelWidth, subtitleMetrics.height());
    painter.setFont(subtitleFont());
    painter.setPen(toQColor(Vude::Stone::x400));
    painter.drawText(subtitleBox, Qt::AlignCenter,
                     subtitleMetrics.elidedText(QString::fromStdString(m_item.subtitle), Qt::ElideRight,
                                                TrayLayout::labelWidth));
}
