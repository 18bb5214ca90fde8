#include "Vude/Desk/QuickAppsWidget.h"

#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/GaussianBlur.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QPainter>
#include <QStackedWidget>

#include <algorithm>
#include <cmath>

namespace {

using Layout = QuickAppsLayout;

/// Icons are rendered once, at this many pixels a point.
constexpr double kIconScale = 2;
/// How far a tile's drawing reaches past its cell: the grown icon and its
/// shadow.
constexpr int kReach = 16;
constexpr double kShadowSigma = Layout::shadowRadius / 2;
/// Above the first row, so a hovered icon there is not cut.
constexpr int kTopInset = 3;

QString qString(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

/// `size` fitted inside `bounds`, aspect kept, centred.
QRectF fitted(QSizeF size, const QRectF& bounds)
{
    if (size.isEmpty())
        return bounds;
    size.scale(bounds.size(), Qt::KeepAspectRatio);
    return {bounds.center().x() - size.width() / 2, bounds.center().y() - size.height() / 2, size.width(),
            size.height()};
}

QPainterPath placeholderSquare(const QRectF& icon)
{
    return continuousRoundedRect(icon, Layout::placeholderCornerRadius * icon.width() / Layout::iconSide);
}

} // namespace

/// The tiles, laid out in the adaptive grid and drawn over their cells.
class QuickAppsGrid final : public QWidget {
public:
    explicit QuickAppsGrid(QWidget* parent = nullptr) : QWidget(parent), m_tiles(*this) {}

    KeyedWidgets<Uuid, QuickAppTile>& tiles() { return m_tiles; }
    const KeyedWidgets<Uuid, QuickAppTile>& tiles() const { return m_tiles; }

    void setColumns(const QuickAppsBinding::Columns& columns)
    {
        m_columns = columns;
        relayout();
    }
    Layout::Columns columns() const { return Layout::columns(width(), m_columns.minimumWidth, m_columns.spacing); }

    void relayout()
    {
        const std::vector<QuickAppTile*> shown = m_tiles.widgets();
        const Layout layout = Layout::layout(shown.size(), width(), m_columns.minimumWidth, m_columns.spacing);
        // Room below for the last row's shadow.
        setMinimumHeight(kTopInset + int(std::ceil(layout.height)) + kReach);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const Rect& cell = layout.cells[i];
            const int left = int(std::lround(cell.x));
            shown[i]->setGeometry(left, kTopInset + int(std::lround(cell.y)), int(std::lround(cell.maxX())) - left,
                                  int(std::lround(cell.height)));
        }
        update();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        relayout();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const QuickAppTile* tile : m_tiles.widgets())
            if (tile->isVisible())
                paintTile(painter, *tile);
    }

private:
    static void paintTile(QPainter& painter, const QuickAppTile& tile)
    {
        const Layout::Tile look = tile.look();
        const QRectF icon = toQRectF(look.icon).translated(tile.pos());
        if (look.shadowOpacity > 0) {
            const QImage& shadow = tile.shadow();
            const double scale = icon.width() / Layout::iconSide;
            const double margin = shadow.width() / shadow.devicePixelRatio() - Layout::iconSide;
            QRectF target = icon.adjusted(-margin / 2 * scale, -margin / 2 * scale, margin / 2 * scale,
                                          margin / 2 * scale);
            target.translate(0, Layout::shadowOffsetY);
            painter.setOpacity(std::min(1.0, look.shadowOpacity));
            painter.drawImage(target, shadow);
        }
        painter.setOpacity(look.iconOpacity);
        if (const QPixmap& pixmap = tile.pixmap(); !pixmap.isNull()) {
            painter.drawPixmap(fitted(pixmap.deviceIndependentSize(), icon), pixmap, pixmap.rect());
        } else {
            painter.fillPath(placeholderSquare(icon), toQColor(Vude::Ink::x800));
            SymbolCatalog::draw(painter, icon, "questionmark", toQColor(Vude::Stone::x400),
                                Layout::placeholderSymbolSize * icon.width() / Layout::iconSide);
        }
        painter.setOpacity(1);
        if (tile.isRunning()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(toQColor(Vude::Stone::x200));
            painter.drawEllipse(toQRectF(look.dot).translated(tile.pos()));
        }
    }

    KeyedWidgets<Uuid, QuickAppTile> m_tiles;
    QuickAppsBinding::Columns m_columns;
};

QuickAppTile::QuickAppTile(const ViewEnvironment& environment, QWidget* parent) : PlainButton(environment, parent)
{
}

void QuickAppTile::setValues(Values values)
{
    m_values = std::move(values);
    m_pixmap = m_values.image ? m_values.image->pixmap(QSize(int(Layout::iconSide), int(Layout::iconSide)), kIconScale)
                              : QPixmap();
    m_shadow = QImage();
    const QString name = QString::fromStdString(m_values.app.name);
    setText(name);
    setHelpText(m_values.missing ? name + qString(LinuxTexts::quickAppsNotInstalledTooltip.shown) : name);
    setEnabled(!m_values.missing);
    if (parentWidget())
        parentWidget()->update(geometry().adjusted(-kReach, -kReach, kReach, kReach));
}

QuickAppsLayout::Tile QuickAppTile::look() const
{
    return Layout::tile({0, 0, double(width()), double(height())}, hoverProgress(), m_values.missing);
}

const QImage& QuickAppTile::shadow() const
{
    if (!m_shadow.isNull())
        return m_shadow;
    // The icon's silhouette, blurred, with room around it for the blur.
    const double margin = 3 * kShadowSigma;
    const double side = Layout::iconSide + 2 * margin;
    QImage silhouette(QSize(int(std::ceil(side * kIconScale)), int(std::ceil(side * kIconScale))),
                      QImage::Format_ARGB32_Premultiplied);
    silhouette.fill(Qt::transparent);
    {
        QPainter painter(&silhouette);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(kIconScale, kIconScale);
        const QRectF icon(margin, margin, Layout::iconSide, Layout::iconSide);
        if (!m_pixmap.isNull())
            painter.drawPixmap(fitted(m_pixmap.deviceIndependentSize(), icon), m_pixmap, m_pixmap.rect());
        else
            painter.fillPath(placeholderSquare(icon), Qt::black);
    }
    QImage blurred = gaussianBlurred(silhouette.convertToFormat(QImage::Format_Alpha8), kShadowSigma * kIconScale);
    m_shadow = QImage(blurred.size(), QImage::Format_ARGB32_Premultiplied);
    m_shadow.fill(Qt::transparent);
    {
        QPainter painter(&m_shadow);
        painter.drawImage(0, 0, blurred);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(m_shadow.rect(), Qt::black);
    }
    m_shadow.setDevicePixelRatio(kIconScale);
    return m_shadow;
}

void QuickAppTile::paintEvent(QPaintEvent*)
{
    // The grid draws the tile; while the hover spring moves, it redraws as
    // far as the grown icon and its shadow reach.
    const double hover = hoverProgress();
    if (hover == m_paintedHover || !parentWidget())
        return;
    m_paintedHover = hover;
    parentWidget()->update(geometry().adjusted(-kReach, -kReach, kReach, kReach));
}

QuickAppsWidget::QuickAppsWidget(const DeskEnvironment& environment, QWidget* parent)
    : DeskWidget(WidgetID::quickApps, parent), m_environment(environment)
{
    const auto configure = [this] {
        const auto configure = m_binding.onConfigure;
        if (configure)
            configure();
    };
    m_plus = new PlainButton(environment.view);
    const int box = int(std::ceil(plusSymbolSize * SymbolCatalog::kOpticalScale));
    m_plus->setPreferredSize(QSize(box, box));
    m_plus->setPainter([](QPainter& painter, const PlainButton& button) {
        SymbolCatalog::draw(painter, button.rect(), "plus", toQColor(Vude::Stone::x400), plusSymbolSize);
    });
    connect(m_plus, &QAbstractButton::clicked, this, configure);

    m_content = new QStackedWidget;
    m_content->setFrameShape(QFrame::NoFrame);
    m_empty = new WidgetEmptyState(environment.view, "square.grid.2x2", QStringLiteral("Pick the apps you reach for"),
                                   QStringLiteral("in settings."),
                                   WidgetEmptyState::Action{QStringLiteral("Choose Apps"), configure});
    m_scroll = new ScrollArea;
    m_grid = new QuickAppsGrid;
    m_scroll->setWidget(m_grid);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_scroll);
    m_frame = new WidgetFrame(QStringLiteral("Apps"), m_content, Qt::AlignCenter, m_plus, this);
}

QuickAppsWidget::~QuickAppsWidget() = default;

void QuickAppsWidget::bind(const WidgetBinding& binding)
{
    m_binding = std::get<QuickAppsBinding>(binding);
    std::vector<Uuid> keys;
    keys.reserve(m_binding.apps.size());
    for (const NotchQuickApp& app : m_binding.apps)
        keys.push_back(app.id);
    const std::vector<QuickAppTile*> tiles = m_grid->tiles().reconcile(keys, [this](const Uuid&, QWidget* parent) {
        auto* tile = new QuickAppTile(m_environment.view, parent);
        connect(tile, &QAbstractButton::clicked, this, [this, tile] {
            const auto launch = m_binding.onLaunch;
            if (launch)
                launch(tile->app());
        });
        return tile;
    });
    // Asked once per tile and bind, in this order; a list that repeats an
    // id shows it once.
    const std::vector<Uuid>& shown = m_grid->tiles().keys();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        QuickAppTile* tile = tiles[i];
        const NotchQuickApp& app = *std::ranges::find(m_binding.apps, shown[i], &NotchQuickApp::id);
        QuickAppTile::Values values{app, {}, false, false};
        if (m_binding.icon)
            values.image = m_binding.icon(app);
        if (m_binding.isMissing)
            values.missing = m_binding.isMissing(app);
        if (m_binding.isRunning)
            values.running = m_binding.isRunning(app);
        tile->setValues(std::move(values));
        tile->show();
    }
    m_grid->setColumns(m_binding.columns);
    const bool empty = m_binding.apps.empty();
    m_plus->setVisible(!empty);
    m_content->setCurrentWidget(empty ? static_cast<QWidget*>(m_empty) : m_scroll);
}

std::vector<QuickAppTile*> QuickAppsWidget::tiles() const
{
    return m_grid->tiles().widgets();
}

QuickAppTile* QuickAppsWidget::tile(const Uuid& id) const
{
    return m_grid->tiles().find(id);
}

QuickAppsLayout::Columns QuickAppsWidget::columns() const
{
    return m_grid->columns();
}

void QuickAppsWidget::resizeEvent(QResizeEvent* event)
{
    DeskWidget::resizeEvent(event);
    m_frame->setGeometry(rect());
}
