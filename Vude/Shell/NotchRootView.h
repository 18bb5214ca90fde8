#pragma once
// What every notch panel shows: the black notch-shaped surface hanging from
// the top of the panel, sized by the view model for its state and filled
// with what the state calls for: nothing, an activity pill, the ambient
// now-playing item, the Desk's slot, or the drop target. It turns the
// pointer over the surface into the model's hover and click events.
//
// The open Desk is a child widget the app's factory builds (DeskViewFactory)
// for the open state's tab: laid out at once at its final size in the
// content rectangle the state is heading for, and cut to the surface while
// the surface moves, so opening reveals it and closing takes it in. Another
// tab builds it anew; once the closing Desk's content has gone, it is
// deleted, from the event loop (deleteLater), since a click on the Desk
// itself (its close button, a tab) is what usually ends it. (No fade: Qt
// draws a child under an opacity effect at the wrong place when rendered.)
//
// Every change animates: the surface's size, corner radius, padding and
// opacity move on the spring the model chose for the change (open, close or
// hover, short eases under reduced motion), starting from where they are
// when a change interrupts another; content fades in and out, a pill also
// growing from 92 % (96 % expanded). Frames run on the injected scheduler and
// clock (steady time in the app), so setting the wall clock neither freezes
// nor skips a motion.
//
// Only the notch outline takes the pointer: hover and click are read against
// the outline of the state being shown, not the transparent canvas margin
// around it. Everything else (wheel, drags, the context menu) goes on to the
// hosting view.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Geometry.h"
#include "VudeKit/Scheduler.h"
#include "VudeUI/Tokens.h"
#include "Vude/Shell/NotchSurfaceLayout.h"

#include <QImage>
#include <QPainterPath>
#include <QTransform>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class ArtworkCache;
class DropLanes;
class NotchViewModel;
class SpringAnimator;

class NotchRootView final : public QWidget {
    Q_OBJECT
public:
    /// `model`, `scheduler`, `clock` and `cache` must outlive the view.
    NotchRootView(NotchViewModel& model, Scheduler& scheduler, const ClockSource& clock, ArtworkCache& cache,
                  QWidget* parent = nullptr);
    /// With the app's shared artwork cache.
    NotchRootView(NotchViewModel& model, Scheduler& scheduler, const ClockSource& clock, QWidget* parent = nullptr);
    ~NotchRootView() override;

    NotchViewModel& model() const { return m_model; }

    /// Builds the view of an open Desk's tab as a child of `parent`. The app
    /// installs it: the shell never names the Desk's own types, so the Desk
    /// can read the view model without an include cycle.
    using DeskViewFactory = std::function<QWidget*(RiziDar tab, NotchViewModel& model, QWidget* parent)>;
    /// An open Desk shown now is built again with the new factory.
    void setDeskViewFactory(DeskViewFactory factory);
    const DeskViewFactory& deskViewFactory() const { return m_deskViewFactory; }
    /// The open Desk's view, also while it fades out; none otherwise.
    QWidget* deskView() const;

    /// The surface as drawn now, mid-animation included.
    NotchSurfaceLayout::Target surface() const;
    /// The surface the current state is heading for.
    NotchSurfaceLayout::Target targetSurface() const { return m_target; }
    bool isAnimating() const;
    /// The surface's rectangle and its content's, as drawn now.
    Rect surfaceRect() const;
    Rect contentRect() const;
    /// The outline that takes the pointer: the target state's.
    QPainterPath hitOutline() const;

    /// The content drawn now, leaving content included, oldest first.
    struct ShownContent {
        NotchSurfaceLayout::Content kind;
        /// 0 gone ... 1 fully shown.
        double presence;
        bool leaving;
    };
    std::vector<ShownContent> shownContent() const;

    /// Whether any waveform drawn by the view is moving now.
    bool hasMovingWaveform() const;

    /// The widget's area a frame of a layer's waveform repaints: its row as
    /// drawn now (scaled with a pill growing in), with a pixel for
    /// antialiasing; empty when none is drawn.
    QRect waveformUpdateRect() const;
    /// How many times the filled and stroked outline was drawn afresh into
    /// its cache; a frame that reuses it adds nothing.
    int outlineRenderCount() const { return m_outlineRenders; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Layer;

    /// Brings the surface and content to the model's state, moving under
    /// `animation`.
    void follow(const Vude::Animation& animation);
    void followContent(const Vude::Animation& animation);
    Layer& makeLayer(NotchSurfaceLayout::Content kind, const Vude::Animation& animation);
    void updateLayer(Layer& layer, const Vude::Animation& animation);
    void pruneLayers();
    void updateMotion();
    /// Builds the Desk's view for `layer`, replacing one of another tab.
    void buildDesk(Layer& layer);
    /// Puts every Desk view in the target content rectangle and cuts it to
    /// the surface drawn now.
    void placeDesks();
    void setPointerInside(bool inside);
    bool outlineContains(QPointF point) const;

    QRect waveformUpdateRect(const Layer& layer) const;
    /// Fills the outline and strokes its contrast line; from the cache while
    /// the surface rests.
    void paintOutline(QPainter& painter, const QPainterPath& outline, const QRectF& bounds, double radius,
                      double opacity);
    void paintLayer(QPainter& painter, const Layer& layer, const QRectF& content) const;
    void paintDropPrompt(QPainter& painter, const QRectF& content) const;
    /// Hands the drop lanes the model's lanes, hovered lane and files.
    void followLanes();

    NotchViewModel& m_model;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    ArtworkCache& m_cache;
    std::unique_ptr<SpringAnimator> m_surface;
    std::unique_ptr<DropLanes> m_lanes;
    NotchSurfaceLayout::Target m_target;
    std::vector<std::unique_ptr<Layer>> m_layers;
    DeskViewFactory m_deskViewFactory;
    std::uint64_t m_settingsObserver = 0;
    bool m_pointerInside = false;
    bool m_pressedInside = false;

    /// The resting surface's fill and contrast line, drawn once per shape
    /// and device pixel ratio (and offset): stroking it every frame is what costs.
    struct OutlineCache {
        QRectF bounds;
        double radius = 0;
        /// The painter's mapping to device pixels it was drawn for.
        QTransform toDevice;
        bool stroked = false;
        QImage image;
        QPoint devicePosition;
    };
    OutlineCache m_outline;
    int m_outlineRenders = 0;
};
