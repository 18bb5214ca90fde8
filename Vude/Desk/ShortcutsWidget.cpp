#include "Vude/Desk/ShortcutsWidget.h"

#include "Vude/Desk/DeskRowLayout.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStackedWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr DeskRowLayout::Metrics kRow{.paddingX = 7, .paddingY = 4, .symbolWidth = 12, .spacing = 6};

QFont labelFont() { return systemFont(ShortcutRow::textSize); }

double rowHeight()
{
    const double text = QFontMetricsF(labelFont()).height();
    const double symbol = ShortcutRow::symbolSize * SymbolCatalog::kOpticalScale;
    return std::ceil(DeskRowLayout::height(kRow, std::max(text, symbol)));
}

QString qString(const std::string& text) { return QString::fromStdString(text); }

} // namespace

ShortcutRow::ShortcutRow(const ViewEnvironment& environment, QWidget* parent) : PlainButton(environment, parent)
{
    setPreferredSize(QSize(0, int(rowHeight())));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPainter([](QPainter& painter, const PlainButton& button) {
        const auto& row = static_cast<const ShortcutRow&>(button);
        painter.fillPath(continuousRoundedRect(row.rect(), cornerRadius), toQColor(Vude::Ink::x900));
        const Parts parts = row.parts();
        SymbolCatalog::draw(painter, parts.symbol, row.m_shortcut.symbol, toQColor(Vude::Accent::x500), symbolSize);
        const QFont font = labelFont();
        painter.setFont(font);
        painter.setPen(toQColor(Vude::Stone::x100));
        const QString shown = QFontMetricsF(font).elidedText(row.label(), Qt::ElideRight, parts.label.width());
        painter.drawText(parts.label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    });
}

void ShortcutRow::setShortcut(const ShortcutSnapshot& shortcut)
{
    m_shortcut = shortcut;
    setText(qString(shortcut.displayName()));
    update();
}

ShortcutRow::Parts ShortcutRow::parts() const
{
    const double textWidth = QFontMetricsF(labelFont()).horizontalAdvance(label());
    const DeskRowLayout layout =
        DeskRowLayout::layout({double(width()), double(height())}, kRow, std::ceil(textWidth), std::nullopt);
    return {toQRectF(layout.symbol), toQRectF(layout.text)};
}

ShortcutsWidget::ShortcutsWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::shortcuts, parent), m_environment(environment)
{
    m_content = new QStackedWidget;
    m_content->setFrameShape(QFrame::NoFrame);
    m_empty = new WidgetEmptyState(environment.view, "sparkles", QStringLiteral("Choose your shortcuts"),
                                   QStringLiteral("in settings."),
                                   WidgetEmptyState::Action{QStringLiteral("Choose Shortcuts"), [this] {
                                                                const auto configure = m_binding.onConfigure;
                                                                if (configure)
                                                                    configure();
                                                            }});
    m_list = new KeyedRowList<Uuid, ShortcutRow>;
    m_list->setSpacing(rowSpacing);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_list);
    m_frame = new WidgetFrame(QStringLiteral("Shortcuts"), m_content, Qt::AlignCenter, nullptr, this);
}

void ShortcutsWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<ShortcutsBinding>(binding);
    m_list->setItems(
        m_binding.items, [](const ShortcutSnapshot& item) { return item.id; },
        [this](const ShortcutSnapshot&, QWidget* parent) {
            auto* row = new ShortcutRow(m_environment.view, parent);
            connect(row, &QAbstractButton::clicked, this, [this, row] {
                // The row's own snapshot, as it is now; the closure may
                // rebind this widget while it runs.
                const auto run = m_binding.onRun;
                if (run)
                    run(row->shortcut());
            });
            return row;
        },
        [](ShortcutRow& row, const ShortcutSnapshot& item) { row.setShortcut(item); });
    m_content->setCurrentWidget(m_binding.items.empty() ? static_cast<QWidget*>(m_empty) : m_list);
}

void ShortcutsWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
