#include "Vude/Settings/SettingsRootView.h"

#include "Vude/Settings/SettingsPaneInputs.h"
#include "Vude/Settings/SettingsPaneView.h"
#include "Vude/Settings/SettingsServices.h"
#include "Vude/Settings/SettingsSidebar.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

const QString SettingsRootView::openShortcutsNotification = QStringLiteral("app.ruvudav.notch.openShortcuts");
const QString SettingsRootView::openQuickAppsNotification = QStringLiteral("app.ruvudav.notch.openQuickApps");

namespace {

constexpr double tileSize = 24;
constexpr double tileRadius = 6;
constexpr double tileSymbolSize = 13;
constexpr double headerSpacing = 10;
constexpr Vude::FontToken headerFont{20, Vude::FontWeight::semibold};

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

} // namespace

/// The selected pane's tile and title.
class SettingsRootView::Header final : public QWidget {
public:
    explicit Header(SettingsPane pane) : m_pane(pane)
    {
        setObjectName(QStringLiteral("paneHeader"));
        setFont(toQFont(headerFont));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setAccessibleName(text(::title(pane)));
    }

    void setPane(SettingsPane pane)
    {
        m_pane = pane;
        setAccessibleName(text(::title(pane)));
        updateGeometry();
        update();
    }
    QString title() const { return text(::title(m_pane)); }

    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return QSize(int(std::ceil(tileSize + headerSpacing + metrics.horizontalAdvance(title()))),
                     int(std::ceil(std::max(tileSize, metrics.height()))));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QRectF tile(0, (height() - tileSize) / 2, tileSize, tileSize);
        painter.fillPath(continuousRoundedRect(tile, tileRadius), toQColor(Vude::color(tint(m_pane))));
        SymbolCatalog::draw(painter, tile, symbol(m_pane), toQColor(Vude::onColor(tint(m_pane))), tileSymbolSize);
        painter.setFont(font());
        painter.setPen(toQColor(Vude::Stone::x100));
        painter.drawText(QRectF(tile.right() + headerSpacing, 0, width() - tile.right() - headerSpacing, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, title());
    }

private:
    SettingsPane m_pane;
};

SettingsRootView::SettingsRootView(SettingsServices& services, const SettingsEnvironment& environment,
                                   NotificationCenter& notifications, SettingsPane selection, QWidget* parent)
    : QWidget(parent), m_services(services), m_environment(environment), m_selection(selection)
{
    setMinimumSize(minimumContentSize);
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    m_sidebar = new SettingsSidebar(selection, this);
    columns->addWidget(m_sidebar);
    connect(m_sidebar, &SettingsSidebar::selected, this, [this](SettingsPane pane) { select(pane); });

    auto* detail = new QWidget(this);
    detail->setAutoFillBackground(true);
    QPalette background = detail->palette();
    background.setColor(QPalette::Window, toQColor(Vude::Ink::x950));
    detail->setPalette(background);
    auto* detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new ScrollArea(detail);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    styleSettingsScrollBar(*m_scroll);
    detailLayout->addWidget(m_scroll);
    columns->addWidget(detail, 1);

    m_column = new QWidget;
    auto* stack = new QVBoxLayout(m_column);
    stack->setContentsMargins(detailPadding, detailPadding, detailPadding, detailPadding);
    stack->setSpacing(detailSpacing);
    m_header = new Header(selection);
    stack->addWidget(m_header);
    stack->addStretch(1);
    m_scroll->setWidget(m_column);

    showPane();

    // Observed from here on, so the request that follows the one that
    // built the window is heard.
    notifications.addObserver(openShortcutsNotification, this,
                              [this](const Notification&) { select(SettingsPane::shortcuts); });
    notifications.addObserver(openQuickAppsNotification, this,
                              [this](const Notification&) { select(SettingsPane::quickApps); });
    connect(&m_services, &SettingsServices::inputsChanged, this, [this] { refreshInputs(); });
}

SettingsRootView::~SettingsRootView() = default;

void SettingsRootView::select(SettingsPane pane)
{
    if (pane == m_selection && m_pane)
        return;
    m_selection = pane;
    m_sidebar->setSelection(pane);
    showPane();
}

SettingsPaneView* SettingsRootView::paneView() const
{
    return m_pane.data();
}

QString SettingsRootView::search() const
{
    return m_sidebar->search();
}

QString SettingsRootView::headerTitle() const
{
    return m_header->title();
}

void SettingsRootView::showPane()
{
    auto* stack = static_cast<QVBoxLayout*>(m_column->layout());
    if (m_pane) {
        // Leaves from the event loop: the request may have come from inside it.
        stack->removeWidget(m_pane);
        m_pane->hide();
        m_pane->deleteLater();
    }
    m_header->setPane(m_selection);
    SettingsPaneView* pane = makeSettingsPaneView(m_selection, m_environment, m_column);
    m_pane = pane;
    stack->insertWidget(1, pane);
    pane->bind(settingsPaneInputs(m_selection, m_services));
    pane->show();
    m_scroll->verticalScrollBar()->setValue(0);
}

void SettingsRootView::refreshInputs()
{
    if (m_pane)
        m_pane->bind(settingsPaneInputs(m_selection, m_services));
}
