#include "Vude/Shell/NotchHostingView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

namespace {

Point toPoint(const QPointF& point) { return {point.x(), point.y()}; }

WheelPhase wheelPhase(Qt::ScrollPhase phase)
{
    switch (phase) {
    case Qt::ScrollBegin:
        return WheelPhase::began;
    case Qt::ScrollUpdate:
        return WheelPhase::changed;
    case Qt::ScrollEnd:
        return WheelPhase::ended;
    case Qt::ScrollMomentum:
        return WheelPhase::momentum;
    case Qt::NoScrollPhase:
        break;
    }
    return WheelPhase::none;
}

} // namespace

NotchHostingView::NotchHostingView(const ShellPlatform& platform, Scheduler& scheduler, const ClockSource& clock,
                                   QWidget* parent)
    : QWidget(parent), m_platform(platform), m_scheduler(scheduler), m_clock(clock)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

NotchHostingView::~NotchHostingView() { m_gestureEnd.cancel(); }

void NotchHostingView::setRootView(QWidget* view)
{
    if (m_rootView == view)
        return;
    delete m_rootView;
    m_rootView = view;
    if (!view)
        return;
    view->setParent(this);
    view->setGeometry(rect());
    view->show();
}

void NotchHostingView::setInteractiveRect(Rect rect)
{
    m_hitArea.interactiveRect = rect;
    updateInputShape();
}

void NotchHostingView::setDropRect(Rect rect)
{
    m_hitArea.dropRect = rect;
    updateInputShape();
}

void NotchHostingView::setArmed(bool armed)
{
    m_hitArea.isArmed = armed;
    if (!armed)
        m_hitArea.isDragging = false;
    updateInputShape();
}

void NotchHostingView::setDragging(bool dragging)
{
    if (dragging == m_hitArea.isDragging)
        return;
    m_hitArea.isDragging = dragging;
    updateInputShape();
}

QWidget* NotchHostingView::hitTest(QPoint point)
{
    if (!m_hitArea.contains({double(point.x()), double(point.y())}))
        return nullptr;
    if (QWidget* child = childAt(point))
        return child;
    if (m_hitArea.isDragging || m_hitArea.isArmed)
        return this;
    return nullptr;
}

void NotchHostingView::updateInputShape()
{
    QWidget* top = window();
    if (!top->windowHandle())
        return; // no window yet: shown later, and shaped then
    const QPoint offset = mapTo(top, QPoint(0, 0));
    std::vector<Rect> rects = m_hitArea.activeRects();
    for (Rect& rect : rects) {
        rect.x += offset.x();
        rect.y += offset.y();
    }
    std::vector<QRect> shape =
        NotchHitArea::devicePixelRects(rects, {double(top->width()), double(top->height())}, devicePixelRatioF());
    const std::uint64_t window = top->winId();
    if (m_hasShape && window == m_shapedWindow && shape == m_inputShape)
        return;
    m_inputShape = std::move(shape);
    m_shapedWindow = window;
    m_hasShape = true;
    m_platform.inputShaper.setInputRegion(window, m_inputShape);
}

void NotchHostingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_rootView)
        m_rootView->setGeometry(rect());
    updateInputShape();
}

void NotchHostingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateInputShape();
}

bool NotchHostingView::event(QEvent* event)
{
    // A new native window (or a move to a screen of another scale) starts
    // without our shape.
    if (event->type() == QEvent::WinIdChange || event->type() == QEvent::ScreenChangeInternal) {
        m_hasShape = false;
        updateInputShape();
    }
    // A modal dialog closed: the pointer may be anywhere by now.
    if (event->type() == QEvent::WindowUnblocked)
        judgeHoverSoon();
    return QWidget::event(event);
}

void NotchHostingView::judgeHoverSoon()
{
    QMetaObject::invokeMethod(this, &NotchHostingView::judgeHoverAgain, Qt::QueuedConnection);
}

void NotchHostingView::judgeHoverAgain()
{
    if (!m_rootView || !m_rootView->isVisible())
        return;
    const Point pointer = m_platform.pointer.location();
    const QPointF global(pointer.x, pointer.y);
    const QPointF local = m_rootView->mapFromGlobal(global);
    if (QRectF(m_rootView->rect()).contains(local) && m_hitArea.contains(toPoint(mapFromGlobal(global)))) {
        QMouseEvent move(QEvent::MouseMove, local, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_rootView, &move);
        return;
    }
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_rootView, &leave);
}

const QStringList& NotchHostingView::dropTypes()
{
    static const QStringList types{"text/uri-list", "text/plain", "image/png", "image/tiff", "application/pdf"};
    return types;
}

void NotchHostingView::registerDropTypes()
{
    m_dropTypesRegistered = true;
    setAcceptDrops(true);
}

bool NotchHostingView::takesDrag(const QMimeData* data) const
{
    if (!m_dropTypesRegistered || !data)
        return false;
    const QStringList formats = data->formats();
    for (const QString& type : dropTypes()) {
        if (formats.contains(type) || (type == "text/plain" && data->hasText()))
            return true;
    }
    return false;
}

QList<QUrl> NotchHostingView::fileURLs(const QMimeData* data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.push_back(url);
    }
    return files;
}

void NotchHostingView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!takesDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    if (onDragDiagnostic)
        onDragDiagnostic(QStringLiteral("draggingEntered sourcing=%1 armed=%2")
                             .arg(m_isSourcingDrag ? "true" : "false", isArmed() ? "true" : "false"));
    if (m_isSourcingDrag) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    setDragging(true);
    if (onDragEntered)
        onDragEntered(fileURLs(event->mimeData()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void NotchHostingView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_isSourcingDrag) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    const Point point = toPoint(event->position());
    if (onDragMoved)
        onDragMoved(point);
    // The drop would be refused here: a source that believes the last answer
    // it had, not the drop's, must hear it now.
    if (takesDropAt && !takesDropAt(point)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void NotchHostingView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDragging(false);
    if (onDragExited)
        onDragExited();
    event->accept();
}

void NotchHostingView::dropEvent(QDropEvent* event)
{
    if (m_isSourcingDrag) {
        event->ignore();
        return;
    }
    setDragging(false);
    const bool taken = onDrop && onDrop(fileURLs(event->mimeData()), toPoint(event->position()));
    if (!taken) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void NotchHostingView::contextMenuEvent(QContextMenuEvent* event)
{
    if (contextMenuProvider) {
        if (std::unique_ptr<QMenu> menu = contextMenuProvider()) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            // Its action may run a modal dialog; the hover is judged once it
            // has closed too.
            connect(menu.get(), &QMenu::aboutToHide, this, &NotchHostingView::judgeHoverSoon);
            menu.release()->popup(event->globalPos());
        }
    }
    // Whatever happened, the event carries on to the widgets behind.
    event->ignore();
}

void NotchHostingView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    WheelInput input;
    input.angleDelta = toPoint(QPointF(event->angleDelta()));
    input.pixelDelta = toPoint(QPointF(event->pixelDelta()));
    input.phase = wheelPhase(event->phase());
    input.time = m_clock.now();
    const ScrollStep step = m_wheel.translate(input);
    if (onScroll)
        onScroll(step.dx, step.dy, step.phase);
    scheduleGestureEnd();
}

void NotchHostingView::scheduleGestureEnd()
{
    m_gestureEnd.cancel();
    const std::optional<Date> due = m_wheel.endDue();
    if (!due)
        return;
    const Duration wait = std::max(*due - m_clock.now(), Duration(std::chrono::milliseconds(1)));
    m_gestureEnd = m_scheduler.after(wait, [this] {
        if (const std::optional<ScrollStep> end = m_wheel.finish(m_clock.now())) {
            if (onScroll)
                onScroll(end->dx, end->dy, end->phase);
            return;
        }
        scheduleGestureEnd(); // a timer that fired early
    });
}
