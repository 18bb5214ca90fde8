#include "Vude/Settings/SettingsSidebar.h"

#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int searchHeight = 28;
constexpr int margin = 10;
constexpr int rowInset = 8;

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

} // namespace

/// The painted list of sections and rows.
class SettingsSidebar::List final : public QWidget {
public:
    explicit List(SettingsSidebar& sidebar) : QWidget(nullptr), m_sidebar(sidebar), m_entries(entries())
    {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAccessibleName(QStringLiteral("Settings"));
        int height = 0;
        for (const Entry& entry : m_entries)
            height += entry.heading ? headingHeight : rowHeight;
        setFixedHeight(height + margin);
    }

    QRect rowRect(SettingsPane pane) const
    {
        int y = 0;
        for (const Entry& entry : m_entries) {
            const int height = entry.heading ? headingHeight : rowHeight;
            if (!entry.heading && entry.pane == pane)
                return QRect(0, y, width(), height);
            y += height;
        }
        return {};
    }

    std::optional<SettingsPane> paneAt(QPoint point) const
    {
        for (const auto pane : allCases<SettingsPane>())
            if (rowRect(pane).contains(point))
                return pane;
        return std::nullopt;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        int y = 0;
        for (const Entry& entry : m_entries) {
            if (entry.heading) {
                paintHeading(painter, QRect(0, y, width(), headingHeight), *entry.heading);
                y += headingHeight;
                continue;
            }
            paintRow(painter, QRect(0, y, width(), rowHeight), entry.pane);
            y += rowHeight;
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        if (const auto pane = paneAt(event->position().toPoint()))
            pick(*pane);
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const auto hovered = paneAt(event->position().toPoint());
        if (hovered != m_hovered) {
            m_hovered = hovered;
            update();
        }
    }

    void leaveEvent(QEvent*) override
    {
        m_hovered.reset();
        update();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const auto panes = allCases<SettingsPane>();
        const auto at = std::size_t(std::find(panes.begin(), panes.end(), m_sidebar.m_selection) - panes.begin());
        if (event->key() == Qt::Key_Up && at > 0) {
            pick(panes[at - 1]);
            return;
        }
        if (event->key() == Qt::Key_Down && at + 1 < panes.size()) {
            pick(panes[at + 1]);
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    void pick(SettingsPane pane)
    {
        if (pane == m_sidebar.m_selection)
            return;
        m_sidebar.setSelection(pane);
        emit m_sidebar.selected(pane);
    }

    void paintHeading(QPainter& painter, const QRect& rect, SettingsSection section) const
    {
        painter.setFont(toQFont(Vude::FontToken{11, Vude::FontWeight::semibold}));
        painter.setPen(toQColor(Vude::Stone::x400));
        painter.drawText(rect.adjusted(rowInset + 8, 0, -rowInset, -4), Qt::AlignLeft | Qt::AlignBottom,
                         text(displayName(section)));
    }

    void paintRow(QPainter& painter, const QRect& rect, SettingsPane pane) const
    {
        const QRectF band = QRectF(rect).adjusted(rowInset, 1, -rowInset, -1);
        if (pane == m_sidebar.m_selection)
            painter.fillPath(continuousRoundedRect(band, 6), toQColor(Vude::Ink::x700));
        else if (pane == m_hovered)
            painter.fillPath(continuousRoundedRect(band, 6), toQColor(Vude::Ink::x800));
        const QRectF tile(band.left() + 8, rect.center().y() + 0.5 - tileSize / 2, tileSize, tileSize);
        painter.fillPath(continuousRoundedRect(tile, tileRadius), toQColor(Vude::color(tint(pane))));
        SymbolCatalog::draw(painter, tile, symbol(pane), toQColor(Vude::onColor(tint(pane))), tileSymbolSize);
        painter.setFont(toQFont(Vude::Type_::settingsRow));
        painter.setPen(toQColor(Vude::Stone::x100));
        const QRectF title(tile.right() + 8, rect.top(), band.right() - tile.right() - 16, rect.height());
        painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(text(::title(pane)), Qt::ElideRight, int(title.width())));
    }

    SettingsSidebar& m_sidebar;
    std::vector<Entry> m_entries;
    std::optional<SettingsPane> m_hovered;
};

std::vector<SettingsSidebar::Entry> SettingsSidebar::entries()
{
    std::vector<Entry> shown;
    for (const auto heading : allCases<SettingsSection>()) {
        if (!displayName(heading).empty())
            shown.push_back({heading, SettingsPane::general});
        for (const auto pane : allCases<SettingsPane>())
            if (section(pane) == heading)
                shown.push_back({std::nullopt, pane});
    }
    return shown;
}

SettingsSidebar::SettingsSidebar(SettingsPane selection, QWidget* parent) : QWidget(parent), m_selection(selection)
{
    setFixedWidth(sidebarWidth);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, toQColor(Vude::Ink::x900));
    setPalette(background);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, margin, 0, 0);
    layout->setSpacing(margin);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QStringLiteral("Search settings"));
    m_search->setClearButtonEnabled(true);
    m_search->setFixedHeight(searchHeight);
    m_search->setFont(toQFont(Vude::Type_::settingsRow));
    m_search->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                                           " border-radius: 6px; padding: 0 6px; }")
                                .arg(toQColor(Vude::Ink::x800).name(), toQColor(Vude::Stone::x100).name(),
                                     toQColor(Vude::Ink::x700).name()));
    QPalette field = m_search->palette();
    field.setColor(QPalette::PlaceholderText, toQColor(Vude::Stone::x400));
    m_search->setPalette(field);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(margin, 0, margin, 0);
    searchRow->addWidget(m_search);
    layout->addLayout(searchRow);

    m_scroll = new ScrollArea(this);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    styleSettingsScrollBar(*m_scroll);
    m_list = new List(*this);
    m_scroll->setWidget(m_list);
    layout->addWidget(m_scroll, 1);
}

void SettingsSidebar::setSelection(SettingsPane pane)
{
    m_selection = pane;
    const QRect row = m_list->rowRect(pane);
    m_scroll->ensureVisible(row.center().x(), row.center().y(), 0, rowHeight);
    m_list->update();
}

QString SettingsSidebar::search() const
{
    return m_search->text();
}

QRect SettingsSidebar::rowRect(SettingsPane pane) const
{
    const QRect row = m_list->rowRect(pane);
    return QRect(m_list->mapTo(this, row.topLeft()), row.size());
}

QStringList SettingsSidebar::headings() const
{
    QStringList shown;
    for (const Entry& entry : entries())
        if (entry.heading)
            shown << text(displayName(*entry.heading));
    return shown;
}
