#include "Vude/Shell/NotchRootView.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"
#include "VudeUI/qt/SymbolCatalog.h"
#include "Vude/Shell/Views/ActivityPillView.h"
#include "Vude/Shell/Views/AmbientMediaView.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "Vude/Shell/Views/DropLanes.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/Views/WaveformView.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

using Content = NotchSurfaceLayout::Content;

constexpr Vude::Animation kInstant = Vude::Animation::linear(Duration::zero());

/// The drop prompt's symbol and text, and the gap between them.
constexpr double kDropPromptSpacing = 8;
constexpr const char* kDropPromptSymbol = "tray.and.arrow.down.fill";
const QString kDropPromptText = QStringLiteral("Drop to add");

std::vector<double> valuesOf(const NotchSurfaceLayout::Target& target)
{
    const auto values = target.values();
    return {values.begin(), values.end()};
}

} // namespace

struct NotchRootView::Layer {
    Content kind = Content::none;
    std::unique_ptr<SpringAnimator> presence;
    bool leaving = false;
    /// Faded out; removed at the next chance.
    bool gone = false;
    std::unique_ptr<ActivityPillView> pill;
    std::unique_ptr<AmbientMediaView> ambient;
    /// The open Desk's view (a child of the root view) and its tab.
    QPointer<QWidget> desk;
    RiziDar deskTab = RiziDar::ravo;

    ~Layer() { dropDesk(); }
    void dropDesk()
    {
        if (!desk)
            return;
        desk->hide();
        desk->deleteLater();
        desk = nullptr;
    }
};

NotchRootView::NotchRootView(NotchViewModel& model, Scheduler& scheduler, const ClockSource& clock,
                             QWidget* parent)
    : NotchRootView(model, scheduler, clock, ArtworkCache::shared(), parent)
{
}

NotchRootView::NotchRootView(NotchViewModel& model, Scheduler& scheduler, const ClockSource& clock,
                             ArtworkCache& cache, QWidget* parent)
    : QWidget(parent), m_model(model), m_scheduler(scheduler), m_clock(clock), m_cache(cache)
{
    setMouseTracking(true);
    m_target = NotchSurfaceLayout::target(model.state(), model.contentSize(model.state()),
                                          model.settings().contentPadding());
    m_surface = std::make_unique<SpringAnimator>(scheduler, clock, valuesOf(m_target));
    // A change shows on the next frame, not one tick later.
    m_surface->setStartsAtOnce(true);
    connect(m_surface.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    connect(m_surface.get(), &SpringAnimator::finished, this, &NotchRootView::updateMotion);
    // The Desk is cut to the surface while it moves.
    connect(m_surface.get(), &SpringAnimator::valueChanged, this, &NotchRootView::placeDesks);
    connect(m_surface.get(), &SpringAnimator::finished, this, &NotchRootView::placeDesks);

    // Changes of state and of the hover hint move on the model's spring;
    // everything else (a new screen, a setting, the Desk's row, the lanes of
    // a drag) shows at once.
    connect(&model, &NotchViewModel::stateChanged, this, [this] { follow(m_model.animation()); });
    connect(&model, &NotchViewModel::isHoveringChanged, this, [this] { follow(m_model.animation()); });
    connect(&model, &NotchViewModel::geometryChanged, this, [this] { follow(kInstant); });
    connect(&model, &NotchViewModel::layoutChanged, this, [this] { follow(kInstant); });
    m_lanes = std::make_unique<DropLanes>(scheduler, clock);
    connect(m_lanes.get(), &DropLanes::changed, this, qOverload<>(&QWidget::update));
    connect(&model, &NotchViewModel::dragLanesChanged, this, [this] {
        followLanes();
        follow(kInstant);
    });
    connect(&model, &NotchViewModel::hoveredLaneChanged, this, &NotchRootView::followLanes);
    connect(&model, &NotchViewModel::dragURLsChanged, this, &NotchRootView::followLanes);
    followLanes();
    m_settingsObserver = model.settings().addObserver([this] { follow(kInstant); });

    follow(kInstant);
}

NotchRootView::~NotchRootView()
{
    m_model.settings().removeObserver(m_settingsObserver);
    m_layers.clear();
}

QSize NotchRootView::sizeHint() const
{
    const Size canvas = m_model.currentCanvasSize();
    return {int(std::ceil(canvas.width)), int(std::ceil(canvas.height))};
}

NotchSurfaceLayout::Target NotchRootView::surface() const
{
    std::array<double, NotchSurfaceLayout::Target::fieldCount> values{};
    std::copy_n(m_surface->value().begin(), values.size(), values.begin());
    return NotchSurfaceLayout::Target::fromValues(values);
}

bool NotchRootView::isAnimating() const
{
    if (m_surface->isAnimating() || m_lanes->isAnimating())
        return true;
    return std::any_of(m_layers.begin(), m_layers.end(),
                       [](const auto& layer) { return !layer->gone && layer->presence->isAnimating(); });
}

Rect NotchRootView::surfaceRect() const
{
    const NotchSurfaceLayout::Target now = surface();
    return NotchSurfaceLayout::surfaceRect(width(), {now.width, now.height});
}

Rect NotchRootView::contentRect() const
{
    return NotchSurfaceLayout::contentRect(surfaceRect(), surface().horizontalPadding);
}

QPainterPath NotchRootView::hitOutline() const
{
    const Rect rect = NotchSurfaceLayout::surfaceRect(width(), {m_target.width, m_target.height});
    if (m_target.opacity <= 0 || rect.height <= 0 || rect.width <= 0)
        return {};
    return toQPainterPath(NotchShape(NotchSurfaceLayout::topRadius, m_target.bottomRadius).path(rect));
}

std::vector<NotchRootView::ShownContent> NotchRootView::shownContent() const
{
    std::vector<ShownContent> shown;
    for (const auto& layer : m_layers) {
        if (!layer->gone)
            shown.push_back({layer->kind, layer->presence->value()[0], layer->leaving});
    }
    return shown;
}

bool NotchRootView::hasMovingWaveform() const
{
    for (const auto& layer : m_layers) {
        if (layer->gone)
            continue;
        if (layer->pill && layer->pill->waveform() && layer->pill->waveform()->isTicking())
            return true;
        if (layer->ambient && layer->ambient->waveform().isTicking())
            return true;
    }
    return false;
}

QRect NotchRootView::waveformUpdateRect() const
{
    QRect area;
    for (const auto& layer : m_layers)
        area |= waveformUpdateRect(*layer);
    return area;
}

QRect NotchRootView::waveformUpdateRect(const Layer& layer) const
{
    if (layer.gone)
        return {};
    const QRectF content = toQRectF(contentRect());
    std::optional<QRectF> row;
    if (layer.pill)
        row = layer.pill->waveformRect(content);
    else if (layer.ambient)
        row = layer.ambient->waveformRect(content);
    if (!row || row->isEmpty())
        return {};
    // The same scaling about the content's centre as the layer is drawn with.
    const double scale = NotchSurfaceLayout::scale(layer.kind, layer.presence->value()[0]);
    QTransform transform;
    transform.translate(content.center().x(), content.center().y());
    transform.scale(scale, scale);
    transform.translate(-content.center().x(), -content.center().y());
    return transform.mapRect(*row).toAlignedRect().adjusted(-1, -1, 1, 1) & rect();
}

void NotchRootView::follow(const Vude::Animation& animation)
{
    const NotchState& state = m_model.state();
    m_target = NotchSurfaceLayout::target(state, m_model.contentSize(state), m_model.settings().contentPadding());
    const std::vector<double> values = valuesOf(m_target);
    if (values != m_surface->target())
        m_surface->animateTo(values, animation);
    followContent(animation);
    placeDesks();
    updateMotion();
    update();
}

void NotchRootView::followContent(const Vude::Animation& animation)
{
    pruneLayers();
    const Content kind = NotchSurfaceLayout::content(m_model.state(), m_model.dragLanes().size());
    Layer* active = nullptr;
    for (const auto& layer : m_layers) {
        if (!layer->leaving)
            active = layer.get();
    }
    if (active && active->kind == kind) {
        updateLayer(*active, animation);
        return;
    }
    if (active) {
        active->leaving = true;
        active->presence->animateTo({0}, animation);
        // A Desk on its way out takes no more clicks. It is taken in by the
        // closing surface, but gives way at once to other content, which it
        // would cover: children draw over their parent.
        if (active->desk) {
            active->desk->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            if (kind != Content::none)
                active->dropDesk();
        }
    }
    if (kind == Content::none)
        return;
    // Content coming back before it has faded out turns around where it is.
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
        Layer& layer = **it;
        if (layer.leaving && !layer.gone && layer.kind == kind) {
            layer.leaving = false;
            // A Desk that was closed is a new Desk: its widgets start afresh.
            if (kind == Content::desk)
                buildDesk(layer);
            updateLayer(layer, animation);
            layer.presence->animateTo({1}, animation);
            // Drawn last, over what is leaving.
            std::unique_ptr<Layer> moved = std::move(*it);
            m_layers.erase(std::next(it).base());
            m_layers.push_back(std::move(moved));
            return;
        }
    }
    makeLayer(kind, animation);
}

NotchRootView::Layer& NotchRootView::makeLayer(Content kind, const Vude::Animation& animation)
{
    auto layer = std::make_unique<Layer>();
    Layer* raw = layer.get();
    layer->kind = kind;
    layer->presence = std::make_unique<SpringAnimator>(m_scheduler, m_clock, std::vector<double>{0});
    layer->presence->setStartsAtOnce(true);
    connect(layer->presence.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    connect(layer->presence.get(), &SpringAnimator::finished, this, [this, raw] {
        if (raw->leaving && raw->presence->value()[0] <= 0) {
            raw->gone = true;
            raw->dropDesk(); // the layer itself goes later, not inside its own signal
        }
        updateMotion();
        update();
    });

    const double cutout = m_model.geometry().notchSize.width;
    const ActivityPayload* payload = m_model.state().payload();
    const ReduceMotionSetting* reduceMotion = m_model.reduceMotion;
    if (payload && (kind == Content::pill || kind == Content::expandedPill)) {
        layer->pill = std::make_unique<ActivityPillView>(*payload, kind == Content::expandedPill, cutout, m_scheduler,
                                                         m_clock, m_cache, reduceMotion);
        connect(layer->pill.get(), &ActivityPillView::needsRepaint, this, qOverload<>(&QWidget::update));
        connect(layer->pill.get(), &ActivityPillView::waveformFrameDue, this,
                [this, raw] { update(waveformUpdateRect(*raw)); });
    } else if (payload && kind == Content::ambientMedia) {
        layer->ambient = std::make_unique<AmbientMediaView>(*payload, m_model.isHovering(), cutout, m_scheduler,
                                                            m_clock, m_cache, reduceMotion);
        connect(layer->ambient.get(), &AmbientMediaView::needsRepaint, this, qOverload<>(&QWidget::update));
        connect(layer->ambient.get(), &AmbientMediaView::waveformFrameDue, this,
                [this, raw] { update(waveformUpdateRect(*raw)); });
    }
    m_layers.push_back(std::move(layer));
    if (kind == Content::desk)
        buildDesk(*raw);
    raw->presence->animateTo({1}, animation);
    return *raw;
}

void NotchRootView::updateLayer(Layer& layer, const Vude::Animation& animation)
{
    if (layer.kind == Content::desk) {
        const std::optional<RiziDar> tab = m_model.state().tab();
        if (!layer.desk || (tab && *tab != layer.deskTab))
            buildDesk(layer);
        if (layer.desk)
            layer.desk->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    }
    const double cutout = m_model.geometry().notchSize.width;
    const ActivityPayload* payload = m_model.state().payload();
    if (layer.pill && payload) {
        layer.pill->setCutoutWidth(cutout);
        if (!(layer.pill->payload() == *payload))
            layer.pill->setPayload(*payload, animation);
    }
    if (layer.ambient && payload) {
        layer.ambient->setCutoutWidth(cutout);
        if (!(layer.ambient->payload() == *payload))
            layer.ambient->setPayload(*payload);
        layer.ambient->setExpanded(m_model.isHovering(), animation);
    }
}

void NotchRootView::pruneLayers()
{
    std::erase_if(m_layers, [](const auto& layer) { return layer->gone; });
}

void NotchRootView::setDeskViewFactory(DeskViewFactory factory)
{
    m_deskViewFactory = std::move(factory);
    for (const auto& layer : m_layers)
        if (layer->kind == Content::desk && !layer->gone) {
            layer->dropDesk();
            if (!layer->leaving)
                buildDesk(*layer);
        }
}

QWidget* NotchRootView::deskView() const
{
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it)
        if ((*it)->desk && !(*it)->gone)
            return (*it)->desk.data();
    return nullptr;
}

void NotchRootView::buildDesk(Layer& layer)
{
    layer.dropDesk();
    const std::optional<RiziDar> tab = m_model.state().tab();
    if (!m_deskViewFactory || !tab)
        return;
    layer.deskTab = *tab;
    layer.desk = m_deskViewFactory(*tab, m_model, this);
    if (!layer.desk)
        return;
    placeDesks();
    layer.desk->show();
}

void NotchRootView::placeDesks()
{
    if (!deskView())
        return;
    const Rect target = NotchSurfaceLayout::contentRect(
        NotchSurfaceLayout::surfaceRect(width(), {m_target.width, m_target.height}), m_target.horizontalPadding);
    const QRect area(int(std::lround(target.x)), int(std::lround(target.y)), int(std::lround(target.width)),
                     int(std::lround(target.height)));
    const NotchSurfaceLayout::Target now = surface();
    const bool settled = !m_surface->isAnimating() && now == m_target;
    QPainterPath outline;
    if (!settled)
        outline = toQPainterPath(NotchShape(NotchSurfaceLayout::topRadius, now.bottomRadius).path(surfaceRect()));
    for (const auto& layer : m_layers) {
        QWidget* desk = layer->desk.data();
        if (!desk)
            continue;
        // The Desk keeps its final size: it is laid out once, not per frame.
        if (!layer->leaving && desk->geometry() != area)
            desk->setGeometry(area);
        if (settled)
            desk->clearMask();
        else
            desk->setMask(QRegion(outline.translated(-desk->pos()).toFillPolygon().toPolygon()));
    }
}

void NotchRootView::updateMotion()
{
    // Waveforms tick only while someone can see them.
    const bool visible = isVisible() && (m_target.opacity > 0 || surface().opacity > 0);
    for (const auto& layer : m_layers) {
        const bool shown = visible && !layer->gone;
        if (layer->pill)
            layer->pill->setShown(shown);
        if (layer->ambient)
            layer->ambient->setShown(shown);
    }
}

void NotchRootView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateMotion();
}

void NotchRootView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateMotion();
}

void NotchRootView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeDesks();
}

// Pointer.

bool NotchRootView::outlineContains(QPointF point) const { return hitOutline().contains(point); }

void NotchRootView::setPointerInside(bool inside)
{
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    m_model.send(inside ? NotchEvent::hoverBegan() : NotchEvent::hoverEnded());
}

void NotchRootView::enterEvent(QEnterEvent* event)
{
    setPointerInside(outlineContains(event->position()));
    QWidget::enterEvent(event);
}

void NotchRootView::leaveEvent(QEvent* event)
{
    m_pressedInside = false;
    setPointerInside(false);
    QWidget::leaveEvent(event);
}

void NotchRootView::mouseMoveEvent(QMouseEvent* event)
{
    setPointerInside(outlineContains(event->position()));
    event->ignore();
}

void NotchRootView::mousePressEvent(QMouseEvent* event)
{
    const bool inside = outlineContains(event->position());
    setPointerInside(inside);
    if (event->button() != Qt::LeftButton || !inside) {
        event->ignore();
        return;
    }
    m_pressedInside = true;
    event->accept();
}

void NotchRootView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is a tap of its own.
    mousePressEvent(event);
}

void NotchRootView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressedInside) {
        event->ignore();
        return;
    }
    m_pressedInside = false;
    event->accept();
    if (outlineContains(event->position()))
        m_model.send(NotchEvent::click());
}

// Drawing.

void NotchRootView::paintEvent(QPaintEvent*)
{
    pruneLayers();
    const NotchSurfaceLayout::Target now = surface();
    const double opacity = NotchSurfaceLayout::opacity(now.opacity);
    if (opacity <= 0 || now.width <= 0 || now.height <= 0)
        return;
    const Rect surfaceBounds = NotchSurfaceLayout::surfaceRect(width(), {now.width, now.height});
    const QPainterPath outline =
        toQPainterPath(NotchShape(NotchSurfaceLayout::topRadius, now.bottomRadius).path(surfaceBounds));

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(opacity);
    paintOutline(painter, outline, toQRectF(surfaceBounds), now.bottomRadius, opacity);
    painter.setClipPath(outline);

    const QRectF content = toQRectF(NotchSurfaceLayout::contentRect(surfaceBounds, now.horizontalPadding));
    for (const auto& layer : m_layers) {
        const double presence = layer->presence->value()[0];
        const double layerOpacity = NotchSurfaceLayout::opacity(presence);
        if (layer->gone || layerOpacity <= 0)
            continue;
        const double scale = NotchSurfaceLayout::scale(layer->kind, presence);
        painter.save();
        painter.setOpacity(opacity * layerOpacity);
        if (scale != 1) {
            painter.translate(content.center());
            painter.scale(scale, scale);
            painter.translate(-content.center());
        }
        paintLayer(painter, *layer, content);
        painter.restore();
    }
}

void NotchRootView::paintOutline(QPainter& painter, const QPainterPath& outline, const QRectF& bounds, double radius,
                                 double opacity)
{
    const bool stroked = m_model.settings().contrastOutline();
    const auto draw = [&](QPainter& target) {
        target.fillPath(outline, toQColor(Vude::Ink::x1000));
        // 1 logical pixel at every ratio: the pen scales with the painter.
        if (stroked)
            target.strokePath(outline, QPen(toQColor(Vude::contrastOutline), 1));
    };
    // A moving surface changes every frame: a cache would only add a copy.
    if (m_surface->isAnimating() || opacity < 1) {
        draw(painter);
        return;
    }
    // The painter's own mapping to device pixels: the screen's ratio on a
    // window, the target's when rendered into an image.
    const QTransform toDevice = painter.deviceTransform();
    OutlineCache& cache = m_outline;
    if (cache.image.isNull() || cache.bounds != bounds || cache.radius != radius || cache.toDevice != toDevice ||
        cache.stroked != stroked) {
        // Whole device pixels around the stroke's antialiased edge, so the
        // cached pixels are the ones a direct drawing would make.
        const QRect device = toDevice.mapRect(bounds).toAlignedRect().adjusted(-2, -2, 2, 2);
        QImage image(device.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter into(&image);
        into.setRenderHint(QPainter::Antialiasing);
        into.setTransform(toDevice * QTransform::fromTranslate(-device.x(), -device.y()));
        draw(into);
        into.end();
        cache = {bounds, radius, toDevice, stroked, std::move(image), device.topLeft()};
        ++m_outlineRenders;
    }
    // Drawn in device pixels, one to one: a blit, never a resampling.
    painter.save();
    painter.setWorldTransform(toDevice.inverted());
    painter.drawImage(cache.devicePosition, cache.image);
    painter.restore();
}

void NotchRootView::paintLayer(QPainter& painter, const Layer& layer, const QRectF& content) const
{
    switch (layer.kind) {
    case Content::ambientMedia:
        if (layer.ambient)
            layer.ambient->paint(painter, content);
        return;
    case Content::pill:
    case Content::expandedPill:
        if (layer.pill)
            layer.pill->paint(painter, content);
        return;
    case Content::dropPrompt:
        paintDropPrompt(painter, content);
        return;
    case Content::dropLanes:
        m_lanes->paint(painter, content);
        return;
    case Content::desk: // the Desk is a child widget, drawn by itself
    case Content::none:
        return;
    }
}

void NotchRootView::paintDropPrompt(QPainter& painter, const QRectF& content) const
{
    const QFont font = toQFont(Vude::Type_::activityTitle);
    const QFontMetricsF metrics(font);
    const double symbol = std::ceil(Vude::Type_::activityTitle.size * SymbolCatalog::kOpticalScale);
    const double textWidth = std::ceil(metrics.horizontalAdvance(kDropPromptText));
    const double rowWidth = symbol + kDropPromptSpacing + textWidth;
    const double x = content.center().x() - rowWidth / 2;
    const double y = content.center().y();
    const QColor colour = toQColor(Vude::Accent::x400);
    SymbolCatalog::draw(painter, QRectF(x, y - symbol / 2, symbol, symbol), kDropPromptSymbol, colour,
                        Vude::Type_::activityTitle.size);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRectF(x + symbol + kDropPromptSpacing, y - metrics.height() / 2, textWidth, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, kDropPromptText);
}

void NotchRootView::followLanes()
{
    const bool reduce = m_model.reduceMotion && m_model.reduceMotion->reduceMotion();
    m_lanes->set(m_model.dragLanes(), m_model.hoveredLane(), m_model.dragURLs().size(),
                 Vude::Motion::respectingReduceMotion(Vude::Motion::hover, reduce));
}
