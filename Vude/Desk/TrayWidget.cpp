#include "Vude/Desk/TrayWidget.h"

#include "Vude/Desk/MoreDropZone.h"
#include "Vude/Desk/TrayAllChip.h"
#include "Vude/Desk/TrayChip.h"
#include "Vude/Desk/TrayChipRow.h"
#include "Vude/Desk/TrayLayout.h"
#include "Vude/Toolkit/KeyedWidgets.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/Strokes.h"
#include "Vude/Toolkit/ToolTips.h"
#include "Vude/Toolkit/WrappedText.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

const QString kClear = QStringLiteral("Clear");
const QString kDot = QStringLiteral("\u00B7");

QFont countFont() { return systemFont(TrayLayout::headerTextSize, Vude::FontWeight::medium); }
QFont hintFont() { return systemFont(TrayLayout::headerTextSize); }

constexpr double kEmptySpacing = 5;
constexpr double kEmptyPaddingX = 16;
constexpr double kEmptyPaddingY = 4;
constexpr double kEmptyRadius = 12;
constexpr double kEmptySymbolSize = 20;

} // namespace

TrayWidget::TrayWidget(const DeskEnvironment& environment, QWidget* parent)
    : TrayView(parent), m_environment(environment)
{
    setAccessibleName(QStringLiteral("Tray"));
    m_clear = new PlainButton(environment.view, this);
    m_clear->setText(kClear);
    const QFontMetricsF metrics(countFont());
    m_clear->setPreferredSize(
        QSize(int(std::ceil(metrics.horizontalAdvance(kClear))), int(std::ceil(metrics.height()))));
    m_clear->setPainter([](QPainter& painter, const PlainButton& button) {
        painter.setFont(countFont());
        QColor ink = toQColor(button.isHovering() ? Vude::Stone::x200 : Vude::Stone::x400);
        painter.setPen(ink);
        painter.drawText(button.rect(), Qt::AlignCenter, button.text());
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        const auto clear = m_binding.onClear;
        if (clear)
            clear();
    });

    m_row = new TrayChipRow(this);
    m_content = new QWidget;
    m_content->setAttribute(Qt::WA_TranslucentBackground);
    m_row->setWidget(m_content);
    m_all = new TrayAllChip(environment, m_content);
    m_more = new MoreDropZone(m_content);
    m_chips = std::make_unique<KeyedWidgets<Uuid, TrayChip>>(*m_content);
    bind({});
}

TrayWidget::~TrayWidget() = default;

void TrayWidget::bind(const TrayBinding& binding)
{
    m_binding = binding;
    const std::vector<NotchTrayItem>& items = m_binding.items;
    std::vector<Uuid> ids;
    ids.reserve(items.size());
    for (const NotchTrayItem& item : items)
        ids.push_back(item.id);
    const auto chips = m_chips->reconcile(
        ids, [this](const Uuid&, QWidget* parent) { return new TrayChip(m_environment, parent); });
    // A list that repeats an id shows it once, at its first place.
    const std::vector<Uuid>& shown = m_chips->keys();
    for (std::size_t i = 0; i < chips.size() && i < shown.size(); ++i) {
        const NotchTrayItem& item = *std::ranges::find(items, shown[i], &NotchTrayItem::id);
        TrayChip::Actions actions;
        // Each closure is bound to its item.
        actions.onRemove = [remove = m_binding.onRemove, item] {
            if (remove)
                remove(item);
        };
        actions.onMoved = [moved = m_binding.onMoved, item] {
            if (moved)
                moved(item);
        };
        actions.onReveal = [reveal = m_binding.onReveal, item] {
            if (reveal)
                reveal(item);
        };
        actions.onCopy = [copy = m_binding.onCopy, item] {
            if (copy)
                copy(item);
        };
        chips[i]->set(item, m_binding.store, m_binding.copyByDefault, std::move(actions));
        chips[i]->setVisible(true);
    }
    m_all->set(items, m_binding.copyByDefault);
    const bool empty = items.empty();
    m_all->setVisible(TrayLayout::showsAllChip(items.size()));
    m_clear->setVisible(!empty);
    m_row->setVisible(!empty);
    placeChildren();
    update();
}

bool TrayWidget::isEmptyStateShown() const
{
    return m_binding.items.empty();
}

TrayAllChip* TrayWidget::allChip() const
{
    return TrayLayout::showsAllChip(m_binding.items.size()) ? m_all : nullptr;
}

std::vector<TrayChip*> TrayWidget::chips() const
{
    return m_chips->widgets();
}

QString TrayWidget::countText() const
{
    return QString::fromStdString(TrayLayout::countText(m_binding.items.size()));
}

QString TrayWidget::hintText() const
{
    return QString::fromStdString(TrayLayout::hintText(m_binding.copyByDefault));
}

double TrayWidget::headerHeight() const
{
    return std::ceil(QFontMetricsF(countFont()).height());
}

void TrayWidget::resizeEvent(QResizeEvent* event)
{
    TrayView::resizeEvent(event);
    placeChildren();
}

void TrayWidget::showEvent(QShowEvent* event)
{
    TrayView::showEvent(event);
    showToolTipsWhileInactive(*this);
    // What drags handed out is settled now: gone files leave for good,
    // files the receiver left behind come back. That may refresh us.
    if (m_binding.store)
        m_binding.store->sweep();
}

void TrayWidget::placeChildren()
{
    const double header = headerHeight();
    const QSize clear = m_clear->sizeHint();
    m_clear->setGeometry(width() - clear.width(), int((header - clear.height()) / 2), clear.width(), clear.height());
    const int top = int(std::ceil(header + TrayLayout::stackSpacing));
    m_row->setGeometry(0, top, width(), std::max(0, height() - top));

    std::vector<QWidget*> placed;
    if (TrayLayout::showsAllChip(m_binding.items.size()))
        placed.push_back(m_all);
    for (TrayChip* chip : m_chips->widgets())
        placed.push_back(chip);
    std::vector<Size> sizes;
    for (QWidget* widget : placed)
        sizes.push_back({double(widget->sizeHint().width()), double(widget->sizeHint().height())});
    // No frame and no scroll bars: the viewport is the row (and is resized
    // only once the row is shown).
    const QSize viewport = m_row->size();
    const TrayLayout::Row row = TrayLayout::row(sizes, {double(viewport.width()), double(viewport.height())});
    const auto whole = [](const Rect& rect) {
        return QRect(int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
                     int(std::lround(rect.height)));
    };
    for (std::size_t i = 0; i < placed.size(); ++i)
        placed[i]->setGeometry(whole(row.chips[i]));
    m_more->setGeometry(whole(row.more));
    m_content->resize(int(std::ceil(row.content.width)), int(std::ceil(row.content.height)));
}

void TrayWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_binding.items.empty()) {
        const QRectF box = QRectF(rect()).adjusted(0, kEmptyPaddingY, 0, -kEmptyPaddingY);
        painter.strokePath(insideStrokePath(box, kEmptyRadius, 1), dashedPen(toQColor(Vude::Ink::x600), 1, {5, 4}));
        const double width = std::max(0.0, box.width() - 2 * kEmptyPaddingX);
        const QFont titleFont = systemFont(12, Vude::FontWeight::medium);
        const QFont detailFont = systemFont(10);
        const double side = std::ceil(kEmptySymbolSize * SymbolCatalog::kOpticalScale);
        const QSizeF title = WrappedText::size(emptyTitle, titleFont, width);
        const QSizeF detail = WrappedText::size(emptyDetail, detailFont, width);
        const double column = side + kEmptySpacing + title.height() + kEmptySpacing + detail.height();
        double y = box.center().y() - column / 2;
        SymbolCatalog::draw(painter, QRectF(box.center().x() - side / 2, y, side, side), "tray.and.arrow.down",
                            toQColor(Vude::Stone::x300), kEmptySymbolSize);
        y += side + kEmptySpacing;
        const double left = box.left() + kEmptyPaddingX;
        WrappedText::draw(painter, QRectF(left, y, width, title.height()), emptyTitle, titleFont,
                          toQColor(Vude::Stone::x200));
        y += title.height() + kEmptySpacing;
        WrappedText::draw(painter, QRectF(left, y, width, detail.height()), emptyDetail, detailFont,
                          toQColor(Vude::Stone::x400));
        return;
    }

    const double header = headerHeight();
    double x = 0;
    const auto draw = [&](const QString& text, const QFont& font, const Vude::Color& colour) {
        const QFontMetricsF metrics(font);
        const double advance = std::ceil(metrics.horizontalAdvance(text));
        painter.setFont(font);
        painter.setPen(toQColor(colour));
        painter.drawText(QRectF(x, 0, advance + 1, header), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += advance + TrayLayout::headerSpacing;
    };
    draw(countText(), countFont(), Vude::Stone::x300);
    draw(kDot, hintFont(), Vude::Ink::x600);
    draw(hintText(), hintFont(), Vude::Stone::x400);
}
