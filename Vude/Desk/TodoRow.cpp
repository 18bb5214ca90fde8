#include "Vude/Desk/TodoRow.h"

#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/Strokes.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

const QString kDelete = QStringLiteral("Delete");
const QString kToggle = QStringLiteral("Done");
const QString kFavorite = QStringLiteral("Favorite");

constexpr double kCheckmarkSize = 8;
constexpr double kStarSize = 10;
constexpr double kCrossSize = 9;

QFont titleFont(bool done)
{
    QFont font = systemFont(TodoRow::titleSize);
    font.setStrikeOut(done);
    return font;
}

QRect toQRect(const Rect& rect)
{
    return {int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
            int(std::lround(rect.height))};
}

} // namespace

TodoRow::TodoRow(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment),
      m_hover(std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{0}))
{
    setAttribute(Qt::WA_Hover);
    connect(m_hover.get(), &SpringAnimator::valueChanged, this, [this] {
        placeButtons();
        update();
    });

    m_check = new PlainButton(environment, this);
    m_check->setText(kToggle);
    m_check->setPreferredSize(QSize(int(TodoRowLayout::checkSize), int(TodoRowLayout::checkSize)));
    m_check->setPainter([this](QPainter& painter, const PlainButton& self) {
        const bool done = m_item.isDone;
        const QRectF circle(QPointF(self.width() / 2.0 - circleSize / 2, self.height() / 2.0 - circleSize / 2),
                            QSizeF(circleSize, circleSize));
        painter.setPen(QPen(toQColor(done ? Vude::Accent::x500 : Vude::Ink::x600), circleLineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(insideStrokeRect(circle, circleLineWidth));
        if (!done)
            return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(Vude::Accent::x500));
        painter.drawEllipse(circle);
        SymbolCatalog::draw(painter, circle, "checkmark", toQColor(Vude::Accent::on), kCheckmarkSize);
    });
    connect(m_check, &QAbstractButton::clicked, this, [this] {
        if (onToggle)
            onToggle();
    });

    const QSize button(int(TodoRowLayout::buttonSize), int(TodoRowLayout::buttonSize));
    m_star = new PlainButton(environment, this);
    m_star->setText(kFavorite);
    m_star->setPreferredSize(button);
    m_star->setPainter([this](QPainter& painter, const PlainButton& self) {
        painter.setOpacity(starOpacity());
        const bool favourite = m_item.isFavorite;
        SymbolCatalog::draw(painter, self.rect(), favourite ? "star.fill" : "star",
                            toQColor(favourite ? Vude::Accent::x500 : Vude::Stone::x400), kStarSize);
    });
    connect(m_star, &QAbstractButton::clicked, this, [this] {
        if (onFavorite)
            onFavorite();
    });

    m_cross = new PlainButton(environment, this);
    m_cross->setText(kDelete);
    m_cross->setPreferredSize(button);
    m_cross->setPainter([this](QPainter& painter, const PlainButton& self) {
        painter.setOpacity(crossOpacity());
        SymbolCatalog::draw(painter, self.rect(), "xmark", toQColor(Vude::Stone::x400), kCrossSize);
    });
    connect(m_cross, &QAbstractButton::clicked, this, [this] {
        if (onDelete)
            onDelete();
    });
    placeButtons();
}

TodoRow::~TodoRow() = default;

void TodoRow::setItem(const TodoSnapshot& item)
{
    if (item == m_item)
        return;
    m_item = item;
    setAccessibleName(QString::fromStdString(item.title));
    placeButtons();
    update();
}

double TodoRow::hoverProgress() const
{
    return m_hover->value()[0];
}

double TodoRow::starOpacity() const
{
    return m_item.isFavorite ? 1.0 : std::clamp(hoverProgress(), 0.0, 1.0);
}

double TodoRow::crossOpacity() const
{
    return std::clamp(hoverProgress(), 0.0, 1.0);
}

TodoRowLayout TodoRow::currentLayout() const
{
    TodoRowLayout::Input input;
    input.bounds = {double(width()), double(height())};
    input.titleWidth = QFontMetricsF(titleFont(m_item.isDone)).horizontalAdvance(QString::fromStdString(m_item.title));
    input.showsStar = showsStar();
    input.showsCross = showsCross();
    return TodoRowLayout::layout(input);
}

QSize TodoRow::sizeHint() const
{
    const double height = TodoRowLayout::height(QFontMetricsF(titleFont(false)).height());
    return {200, int(std::ceil(height))};
}

QSize TodoRow::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void TodoRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void TodoRow::placeButtons()
{
    const TodoRowLayout layout = currentLayout();
    m_check->setGeometry(toQRect(layout.check));
    // A leaving button fades out where it was, and takes no click meanwhile.
    const auto place = [](PlainButton* button, const std::optional<Rect>& rect, double opacity) {
        if (rect)
            button->setGeometry(toQRect(*rect));
        button->setAttribute(Qt::WA_TransparentForMouseEvents, !rect);
        button->setVisible(rect || opacity > 0.01);
        button->update();
    };
    place(m_star, layout.star, starOpacity());
    place(m_cross, layout.cross, crossOpacity());
}

void TodoRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void TodoRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void TodoRow::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_hover->animateTo({hovering ? 1.0 : 0.0}, m_environment.motion(Vude::Motion::hover));
    placeButtons();
    update();
}

std::unique_ptr<QMenu> TodoRow::contextMenu()
{
    auto menu = std::make_unique<QMenu>();
    QAction* remove = menu->addAction(kDelete);
    connect(remove, &QAction::triggered, this, [this] {
        if (onDelete)
            onDelete();
    });
    return menu;
}

void TodoRow::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu = contextMenu();
    menu->exec(event->globalPos());
    event->accept();
}

void TodoRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double lit = std::clamp(hoverProgress(), 0.0, 1.0);
    if (lit > 0) {
        QColor card = toQColor(Vude::Ink::x850);
        card.setAlphaF(card.alphaF() * lit);
        painter.fillPath(continuousRoundedRect(rect(), cornerRadius), card);
    }

    const TodoRowLayout layout = currentLayout();
    const bool done = m_item.isDone;
    const QFont font = titleFont(done);
    const QString title = QString::fromStdString(m_item.title);
    const Rect room = layout.title;
    // One line; cut at the end when the room is short.
    const QString shown = QFontMetricsF(font).elidedText(title, Qt::ElideRight, room.width + 0.5);
    painter.setFont(font);
    painter.setPen(toQColor(done ? Vude::Stone::x400 : Vude::Stone::x100));
    painter.drawText(QRectF(room.x, room.y, room.width + 1, room.height),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
