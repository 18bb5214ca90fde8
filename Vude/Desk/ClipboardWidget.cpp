#include "Vude/Desk/ClipboardWidget.h"

#include "Vude/Desk/ClipRowLook.h"
#include "Vude/Desk/DeskRowLayout.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using Look = ClipRowLook;

constexpr DeskRowLayout::Metrics kRow{
    .paddingX = 7, .paddingY = 5, .symbolWidth = 13, .spacing = 7, .minimumSpacer = 4};

QFont textFont() { return systemFont(Look::textSize); }
QFont clearFont() { return systemFont(ClipboardWidget::clearSize, Vude::FontWeight::medium); }
double symbolBox(double size) { return size * SymbolCatalog::kOpticalScale; }
int removeBox() { return int(std::ceil(symbolBox(Look::removeSize))); }

double rowHeight()
{
    const double text = QFontMetricsF(textFont()).height();
    return std::ceil(DeskRowLayout::height(kRow, std::max(text, symbolBox(Look::symbolSize))));
}

} // namespace

ClipRow::ClipRow(const ViewEnvironment& environment, QWidget* parent)
    : PlainButton(environment, parent), m_environment(environment)
{
    setPreferredSize(QSize(0, int(rowHeight())));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPainter([](QPainter& painter, const PlainButton& button) {
        const auto& row = static_cast<const ClipRow&>(button);
        const Look look = Look::of(row.m_clip, row.isHovering(), row.m_justCopied);
        if (look.background)
            painter.fillPath(continuousRoundedRect(row.rect(), Look::cornerRadius), toQColor(*look.background));
        const Parts parts = row.parts();
        SymbolCatalog::draw(painter, parts.symbol, look.symbol, toQColor(look.symbolColor), Look::symbolSize);
        const QFont font = textFont();
        painter.setFont(font);
        painter.setPen(toQColor(look.textColor));
        const QString shown =
            QFontMetricsF(font).elidedText(QString::fromStdString(look.text), Qt::ElideRight, parts.text.width());
        painter.drawText(parts.text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    });

    m_remove = new PlainButton(environment, this);
    m_remove->setPreferredSize(QSize(removeBox(), removeBox()));
    m_remove->setPainter([](QPainter& painter, const PlainButton& button) {
        SymbolCatalog::draw(painter, button.rect(), "xmark", toQColor(Vude::Stone::x400), Look::removeSize);
    });
    m_remove->hide();
    connect(m_remove, &QAbstractButton::clicked, this, &ClipRow::removeRequested);
    connect(this, &QAbstractButton::clicked, this, [this] {
        markCopied();
        emit restoreRequested();
    });
    connect(this, &PlainButton::hoveringChanged, this, &ClipRow::updateLook);
}

ClipRow::~ClipRow()
{
    for (ScheduledTask& mark : m_marks)
        mark.cancel();
}

void ClipRow::setClip(const NotchClip& clip)
{
    m_clip = clip;
    setText(QString::fromStdString(clip.preview));
    setHelpText(QString::fromStdString(Look::toolTip(clip)));
    update();
}

ClipRow::Parts ClipRow::parts() const
{
    const Look look = Look::of(m_clip, false, m_justCopied);
    const double textWidth = QFontMetricsF(textFont()).horizontalAdvance(QString::fromStdString(look.text));
    std::optional<Size> remove;
    if (!m_remove->isHidden())
        remove = Size{double(removeBox()), double(removeBox())};
    const DeskRowLayout layout =
        DeskRowLayout::layout({double(width()), double(height())}, kRow, std::ceil(textWidth), remove);
    // The cross's place whether or not it shows.
    const DeskRowLayout withRemove = DeskRowLayout::layout({double(width()), double(height())}, kRow, 0,
                                                           Size{double(removeBox()), double(removeBox())});
    return {toQRectF(layout.symbol), toQRectF(layout.text), toQRectF(*withRemove.accessory)};
}

void ClipRow::resizeEvent(QResizeEvent* event)
{
    PlainButton::resizeEvent(event);
    m_remove->setGeometry(parts().remove.toAlignedRect());
}

void ClipRow::markCopied()
{
    // Each click ends the mark 1.2 s later; a later click does not put off
    // the end of an earlier one.
    std::erase_if(m_marks, [](const ScheduledTask& mark) { return !mark.isActive(); });
    m_justCopied = true;
    QPointer<ClipRow> self(this);
    m_marks.push_back(m_environment.scheduler.after(copiedFor, [self] {
        if (!self)
            return;
        self->m_justCopied = false;
        self->updateLook();
    }));
    updateLook();
}

void ClipRow::updateLook()
{
    const bool showsRemove = Look::of(m_clip, isHovering(), m_justCopied).showsRemove;
    if (showsRemove == m_remove->isHidden()) {
        m_remove->setGeometry(parts().remove.toAlignedRect());
        m_remove->setVisible(showsRemove);
    }
    update();
}

ClipboardWidget::ClipboardWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::clipboard, parent), m_environment(environment)
{
    m_clear = new PlainButton(environment.view);
    m_clear->setText(QStringLiteral("Clear"));
    const QFontMetricsF metrics(clearFont());
    m_clear->setPreferredSize(
        QSize(int(std::ceil(metrics.horizontalAdvance(m_clear->text()))), int(std::ceil(metrics.height()))));
    m_clear->setPainter([](QPainter& painter, const PlainButton& button) {
        painter.setFont(clearFont());
        painter.setPen(toQColor(Vude::Stone::x400));
        painter.drawText(button.rect(), Qt::AlignCenter | Qt::TextSingleLine, button.text());
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        const auto clear = m_binding.onClear;
        if (clear)
            clear();
    });

    m_content = new QStackedWidget;
    m_content->setFrameShape(QFrame::NoFrame);
    m_empty = new WidgetEmptyState(environment.view, "doc.on.clipboard", QStringLiteral("Nothing copied yet"),
                                   QStringLiteral("Copy something and it lands here."));
    m_list = new KeyedRowList<Uuid, ClipRow>;
    m_list->setSpacing(rowSpacing);
    // "Clear" sits in the cell's top-trailing corner whenever there are
    // rows: the list starts under it, so no row (nor its cross) runs beneath.
    auto* listPage = new QWidget;
    auto* listColumn = new QVBoxLayout(listPage);
    listColumn->setContentsMargins(0, m_clear->sizeHint().height() + int(rowSpacing), 0, 0);
    listColumn->setSpacing(0);
    listColumn->addWidget(m_list);
    m_content->addWidget(m_empty);
    m_content->addWidget(listPage);
    m_frame = new WidgetFrame(QStringLiteral("Clipboard"), m_content, Qt::AlignCenter, m_clear, this);
}

void ClipboardWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<ClipboardBinding>(binding);
    m_list->setItems(
        m_binding.clips, [](const NotchClip& clip) { return clip.id; },
        [this](const NotchClip&, QWidget* parent) {
            auto* row = new ClipRow(m_environment.view, parent);
            // The closures may rebind this widget, and drop the row, while
            // they run: each works on copies.
            connect(row, &ClipRow::restoreRequested, this, [this, row] {
                const auto restore = m_binding.onRestore;
                const NotchClip clip = row->clip();
                if (restore)
                    restore(clip);
            });
            connect(row, &ClipRow::removeRequested, this, [this, row] {
                const auto remove = m_binding.onRemove;
                const NotchClip clip = row->clip();
                if (remove)
                    remove(clip);
            });
            return row;
        },
        [](ClipRow& row, const NotchClip& clip) { row.setClip(clip); });
    const bool empty = m_binding.clips.empty();
    m_clear->setVisible(!empty);
    m_content->setCurrentIndex(empty ? 0 : 1);
}

void ClipboardWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
