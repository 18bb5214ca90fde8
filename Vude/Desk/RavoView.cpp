#include "Vude/Desk/RavoView.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Toolkit/KeyedWidgets.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Vude/Toolkit/ToolTips.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr double kTabSymbolSize = 9;
constexpr double kTabSpacing = 4;
constexpr double kTabPaddingX = 9;
constexpr double kTabPaddingY = 3;
constexpr double kActionSymbolSize = 11;

const QString kDeskTitle = QStringLiteral("Desk");
const QString kTrayTitle = QStringLiteral("Tray");
const QString kSettingsHelp = QStringLiteral("Settings");
const QString kCloseHelp = QStringLiteral("Close");

constexpr const char* kEmptySymbol = "square.grid.2x2";
const QString kEmptyMessage = QStringLiteral("Nothing on the Desk yet");
const QString kEmptyDetail = QStringLiteral("Pick the widgets you want.");
const QString kEmptyAction = QStringLiteral("Choose Widgets");

double symbolBox(double size) { return size * SymbolCatalog::kOpticalScale; }

const char* tabSymbol(RiziDar tab) { return tab == RiziDar::ravo ? "rectangle.3.group.fill" : "tray.fill"; }

QRect toQRect(const Rect& rect)
{
    const long left = std::lround(rect.x);
    const long top = std::lround(rect.y);
    return {int(left), int(top), int(std::lround(rect.maxX()) - left), int(std::lround(rect.maxY()) - top)};
}

QSize wholeSize(double width, double height) { return {int(std::ceil(width)), int(std::ceil(height))}; }

/// A tab button's size: the symbol and the title in a capsule.
QSize tabSize(const QString& title)
{
    const QFontMetricsF metrics(toQFont(Vude::Type_::activityTitle));
    const double symbol = symbolBox(kTabSymbolSize);
    return wholeSize(symbol + kTabSpacing + metrics.horizontalAdvance(title) + 2 * kTabPaddingX,
                     std::max(symbol, metrics.height()) + 2 * kTabPaddingY);
}

Size toSize(QSize size) { return {double(size.width()), double(size.height())}; }

/// The tray badge: a small accent dot over the tray tab's corner.
class TrayBadge final : public QWidget {
public:
    explicit TrayBadge(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(Vude::Accent::x500));
        painter.drawEllipse(QRectF(rect()));
    }
};

} // namespace

RavoView::RavoView(RiziDar tab, NotchViewModel& model, double inset, const DeskEnvironment& environment,
                   QWidget* parent)
    : QWidget(parent), m_tab(tab), m_model(model), m_inset(inset), m_environment(environment),
      m_binder(std::make_unique<DeskBinder>(model, environment))
{
    setAccessibleName(kDeskTitle);
    buildHeader();
    buildContent();
    connectModel();
    relayout();
}

RavoView::~RavoView()
{
    m_model.settings().removeObserver(m_settingsObserver);
}

// Building.

void RavoView::buildHeader()
{
    const auto makeTab = [this](RiziDar tab) {
        auto* button = new PlainButton(m_environment.view, this);
        const QString title = tab == RiziDar::ravo ? kDeskTitle : kTrayTitle;
        button->setText(title);
        button->setPreferredSize(tabSize(title));
        button->setPainter([this, tab](QPainter& painter, const PlainButton& self) {
            const bool selected = tab == m_tab;
            const QRectF bounds = self.rect();
            painter.fillPath(continuousRoundedRect(bounds, bounds.height() / 2),
                             toQColor(selected ? Vude::Ink::x800 : Vude::Ink::x950));
            const QColor ink = toQColor(selected ? Vude::Stone::x100 : Vude::Stone::x400);
            const double symbol = symbolBox(kTabSymbolSize);
            const QRectF content = bounds.adjusted(kTabPaddingX, 0, -kTabPaddingX, 0);
            SymbolCatalog::draw(painter, QRectF(content.left(), bounds.center().y() - symbol / 2, symbol, symbol),
                                tabSymbol(tab), ink, kTabSymbolSize);
            painter.setFont(toQFont(Vude::Type_::activityTitle));
            painter.setPen(ink);
            painter.drawText(content.adjusted(symbol + kTabSpacing, 0, 0, 0),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, self.text());
        });
        // The shown tab too: the state machine decides what that means.
        connect(button, &QAbstractButton::clicked, this, [this, tab] { m_model.send(NotchEvent::selectTab(tab)); });
        return button;
    };
    m_deskTab = makeTab(RiziDar::ravo);
    m_trayTab = makeTab(RiziDar::tray);

    const auto makeAction = [this](const char* symbol, const QString& help) {
        auto* button = new PlainButton(m_environment.view, this);
        button->setText(help);
        button->setHelpText(help);
        const double box = std::ceil(symbolBox(kActionSymbolSize));
        button->setPreferredSize(QSize(int(box), int(box)));
        button->setPainter([symbol](QPainter& painter, const PlainButton& self) {
            SymbolCatalog::draw(painter, self.rect(), symbol, toQColor(Vude::Stone::x400), kActionSymbolSize);
        });
        return button;
    };
    m_settings = makeAction("gearshape.fill", kSettingsHelp);
    connect(m_settings, &QAbstractButton::clicked, this,
            [this] { m_environment.notifications.post(NotchNotificationName::vudeOpenSettings); });
    m_close = makeAction("chevron.up", kCloseHelp);
    connect(m_close, &QAbstractButton::clicked, this, [this] { m_model.send(NotchEvent::forceClose()); });

    m_badge = new TrayBadge(this);
    m_badge->raise();
    updateBadge();
}

void RavoView::buildContent()
{
    if (m_tab == RiziDar::ravo) {
        m_row = std::make_unique<KeyedWidgets<WidgetID, DeskWidget>>(*this);
        reconcileRow();
        return;
    }
    // Without a tray store nothing shows under the header.
    if (!m_model.trayStore)
        return;
    m_banner = makePipelineBanner(m_environment, this);
    m_tray = makeTrayView(m_environment, this);
    rebindBanner();
    rebindTray();
}

void RavoView::connectModel()
{
    NotchViewModel* model = &m_model;
    connect(model, &NotchViewModel::layoutChanged, this, [this] {
        reconcileRow();
        relayout();
    });
    connect(model, &NotchViewModel::geometryChanged, this, &RavoView::relayout);
    connect(model, &NotchViewModel::trayItemsChanged, this, [this] {
        updateBadge();
        rebindTray();
    });
    connect(model, &NotchViewModel::nowPlayingChanged, this, [this] { rebind(WidgetID::media); });
    connect(model, &NotchViewModel::timersChanged, this, [this] { rebind(WidgetID::timer); });
    connect(model, &NotchViewModel::quickAppsChanged, this, [this] { rebind(WidgetID::quickApps); });
    connect(model, &NotchViewModel::weatherProviderChanged, this, [this] { rebind(WidgetID::weather); });
    connect(model, &NotchViewModel::clipsChanged, this, [this] { rebind(WidgetID::clipboard); });
    connect(model, &NotchViewModel::audioDevicesChanged, this, [this] { rebind(WidgetID::audioDevice); });
    if (const auto& calendar = m_model.calendarService)
        connect(calendar.get(), &NotchCalendarService::changed, this, [this] { rebind(WidgetID::calendar); });
    if (const auto& repository = m_model.repository) {
        connect(repository.get(), &DidoDivuzerore::todosChanged, this, [this] { rebind(WidgetID::todos); });
        connect(repository.get(), &DidoDivuzerore::shortcutsChanged, this, [this] { rebind(WidgetID::shortcuts); });
        connect(repository.get(), &DidoDivuzerore::noteTextChanged, this, [this] { rebind(WidgetID::notes); });
    }
    if (const auto& runner = m_model.pipelineRunner)
        connect(runner.get(), &NotchPipelineRunner::stateChanged, this, &RavoView::rebindBanner);
    // The tray's copy-or-move setting is read afresh.
    m_settingsObserver = m_model.settings().addObserver([this] { rebindTray(); });
}

// Keeping up.

void RavoView::reconcileRow()
{
    if (!m_row)
        return;
    std::vector<WidgetID> ids;
    for (const WidgetPlacement& placement : m_model.layout().placements)
        ids.push_back(placement.id);
    const std::vector<DeskWidget*> shown = m_row->reconcile(ids, [this](WidgetID id, QWidget* parent) -> DeskWidget* {
        DeskWidget* made = makeDeskWidget(id, m_environment, parent);
        made->bind(m_binder->binding(id));
        made->show();
        return made;
    });
    // Made before the buttons' badge, drawn under it.
    m_badge->raise();

    if (!shown.empty()) {
        delete m_emptyState;
        m_emptyState = nullptr;
        return;
    }
    if (m_emptyState)
        return;
    m_emptyState = new WidgetEmptyState(
        m_environment.view, kEmptySymbol, kEmptyMessage, kEmptyDetail,
        WidgetEmptyState::Action{kEmptyAction,
                                 [center = &m_environment.notifications] {
                                     // Opens the settings; no pane is chosen.
                                     center->post(NotchNotificationName::vudeOpenSettings);
                                 }},
        this);
    m_emptyState->show();
}

void RavoView::rebind(WidgetID id)
{
    if (DeskWidget* shown = widget(id))
        shown->bind(m_binder->binding(id));
}

void RavoView::rebindTray()
{
    if (m_tray)
        m_tray->bind(m_binder->tray());
}

void RavoView::rebindBanner()
{
    if (!m_banner)
        return;
    m_banner->bind(m_binder->pipelineBanner());
    relayout(); // an idle banner takes no space
}

void RavoView::updateBadge()
{
    m_badge->setVisible(!m_model.trayItems().empty() && m_tab != RiziDar::tray);
}

bool RavoView::isBadgeShown() const
{
    return m_badge->isVisibleTo(this);
}

std::vector<DeskWidget*> RavoView::widgets() const
{
    return m_row ? m_row->widgets() : std::vector<DeskWidget*>();
}

DeskWidget* RavoView::widget(WidgetID id) const
{
    return m_row ? m_row->find(id) : nullptr;
}

QWidget* RavoView::pipelineBanner() const
{
    return m_banner;
}

QWidget* RavoView::trayView() const
{
    return m_tray;
}

// Layout.

RavoLayout RavoView::currentLayout() const
{
    RavoLayout::Input input;
    input.content = m_model.contentSize(NotchState::open(m_tab));
    input.notch = m_model.geometry().notchSize;
    input.headerHeight = m_model.openHeaderHeight();
    input.inset = m_inset;
    for (const WidgetPlacement& placement : m_model.layout().placements)
        input.widths.push_back(placement.width);
    input.deskTab = toSize(m_deskTab->sizeHint());
    input.trayTab = toSize(m_trayTab->sizeHint());
    input.settings = toSize(m_settings->sizeHint());
    input.close = toSize(m_close->sizeHint());
    return RavoLayout::layout(input);
}

void RavoView::relayout()
{
    const RavoLayout layout = currentLayout();
    m_deskTab->setGeometry(toQRect(layout.deskTab));
    m_trayTab->setGeometry(toQRect(layout.trayTab));
    m_settings->setGeometry(toQRect(layout.settings));
    m_close->setGeometry(toQRect(layout.close));
    m_badge->setGeometry(toQRect(layout.badge));

    const std::vector<DeskWidget*> row = widgets();
    for (std::size_t i = 0; i < row.size() && i < layout.cells.size(); ++i)
        row[i]->setGeometry(toQRect(layout.cells[i]));
    if (m_emptyState)
        m_emptyState->setGeometry(toQRect(layout.emptyState));
    if (m_tray) {
        const QRect tray = toQRect(layout.tray);
        // A failure's message wraps at the tray's width.
        const int bannerHeight = !m_banner                       ? 0
                                 : m_banner->hasHeightForWidth() ? std::max(0, m_banner->heightForWidth(tray.width()))
                                                                 : std::max(0, m_banner->sizeHint().height());
        if (m_banner)
            m_banner->setGeometry(tray.x(), tray.y(), tray.width(), bannerHeight);
        const int top = bannerHeight > 0 ? bannerHeight + int(RavoLayout::traySpacing) : 0;
        m_tray->setGeometry(tray.adjusted(0, top, 0, 0));
    }
    update();
}

void RavoView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void RavoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showToolTipsWhileInactive(*this);
}

void RavoView::paintEvent(QPaintEvent*)
{
    if (!m_row || m_row->size() < 2)
        return;
    const RavoLayout layout = currentLayout();
    QPainter painter(this);
    for (const Rect& divider : layout.dividers)
        painter.fillRect(QRectF(divider.x, divider.y, divider.width, divider.height), toQColor(Vude::Ink::x700));
}
