#pragma once
// The content of a notch panel: hosts the root view and adds what it cannot
// do itself. Only the interactive rectangle (and the drop rectangle while a
// drag is inside or armed) takes the pointer; everywhere else the window's
// input shape lets clicks, wheels and drags through to whatever lies below.
// It takes file drops (refusing drags our own tray started), pops the
// context menu on a right click, and turns wheel events into swipe input.
//
// While a menu or a modal dialog holds the pointer, the window hears of no
// crossing, so the hosted view's hover may be stale when it closes: then
// the view is told where the pointer really is.
//
// Rectangles are the view's own coordinates (top-left origin), in points.

#include "VudeKit/Geometry.h"
#include "VudeKit/Scheduler.h"
#include "Vude/Shell/DragArmable.h"
#include "Vude/Shell/NotchHitArea.h"
#include "Vude/Shell/ShellPlatform.h"
#include "Vude/Shell/WheelScrollTranslator.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QMimeData;

class NotchHostingView final : public QWidget, public DragArmable {
    Q_OBJECT
public:
    /// `platform`, `scheduler` and `clock` must outlive the view.
    NotchHostingView(const ShellPlatform& platform, Scheduler& scheduler, const ClockSource& clock,
                     QWidget* parent = nullptr);
    ~NotchHostingView() override;

    /// The hosted view, filling this one; the hosting view owns it.
    void setRootView(QWidget* view);
    QWidget* rootView() const { return m_rootView; }

    Rect interactiveRect() const { return m_hitArea.interactiveRect; }
    void setInteractiveRect(Rect rect);
    Rect dropRect() const { return m_hitArea.dropRect; }
    void setDropRect(Rect rect);
    /// A drag is inside the view.
    bool isDragging() const { return m_hitArea.isDragging; }

    // DragArmable
    bool isArmed() const override { return m_hitArea.isArmed; }
    void setArmed(bool armed) override;
    bool isSourcingDrag() const override { return m_isSourcingDrag; }
    void setSourcingDrag(bool sourcing) override { m_isSourcingDrag = sourcing; }
    Rect dropRectForDrag() const override { return dropRect(); }
    void setDropRectForDrag(Rect rect) override { setDropRect(rect); }

    std::function<void(const QString&)> onDragDiagnostic;
    std::function<void(const QList<QUrl>&)> onDragEntered;
    std::function<void()> onDragExited;
    std::function<void(Point)> onDragMoved;
    /// Whether a drop at the point would be taken; the source is offered no
    /// action where it would not. Taken everywhere when unset.
    std::function<bool(Point)> takesDropAt;
    /// Whether the dropped files were taken.
    std::function<bool(const QList<QUrl>&, Point)> onDrop;
    /// Builds the context menu when asked; nothing for no menu.
    std::function<std::unique_ptr<QMenu>()> contextMenuProvider;
    /// Wheel and touchpad scrolling, in points, with the gesture's phase.
    std::function<void(double dx, double dy, SwipePhase phase)> onScroll;

    /// The widget a click at `point` goes to: nothing outside the active
    /// area; inside, the hosted widget there, or this view itself while a
    /// drag is on so the whole drop area stays a target.
    QWidget* hitTest(QPoint point);

    /// Takes drags of files, links, text, PNG, TIFF and PDF; only files are
    /// ever handed on.
    void registerDropTypes();
    static const QStringList& dropTypes();

    /// The file URLs a drag carries: local files only, in their order.
    static QList<QUrl> fileURLs(const QMimeData* data);

    /// The input shape last given to the window, in device pixels.
    const std::vector<QRect>& inputShape() const { return m_inputShape; }

    /// Tells the hosted view where the pointer is now, as the platform reads
    /// it: a move inside the view, else a leave. Queued after a menu or a
    /// modal dialog closes, so it comes after whatever the toolkit sends.
    void judgeHoverAgain();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setDragging(bool dragging);
    void updateInputShape();
    void scheduleGestureEnd();
    void judgeHoverSoon();
    bool takesDrag(const QMimeData* data) const;

    ShellPlatform m_platform;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    QWidget* m_rootView = nullptr;
    NotchHitArea m_hitArea;
    bool m_isSourcingDrag = false;
    bool m_dropTypesRegistered = false;
    WheelScrollTranslator m_wheel;
    ScheduledTask m_gestureEnd;
    std::vector<QRect> m_inputShape;
    std::uint64_t m_shapedWindow = 0;
    bool m_hasShape = false;
};
