#include "Vude/Shell/NotchPanel.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"

#include <QRegion>
#include <QResizeEvent>
#include <QWindow>

#include <cmath>

namespace {

QRect toQRect(Rect rect)
{
    return {int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
            int(std::lround(rect.height))};
}

Rect toRect(const QRect& rect) { return {double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())}; }

} // namespace

NotchPanel::NotchPanel(const ShellPlatform& platform, Size size, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_platform(platform), m_backdrop(std::make_unique<NotchBackdropPanel>()), m_currentCanvas(size),
      m_drawnCanvas(size)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    resize(900, 420);
    connect(&m_platform.compositing, &CompositingMonitor::compositingChanged, this, [this] {
        if (isVisible())
            syncBackdrop();
        else
            applyWindowShape();
    });
}

NotchPanel::~NotchPanel() = default;

void NotchPanel::setKeyboardFocusRequested(bool requested)
{
    m_keyboardFocusRequested = requested;
    // Changing a shown widget's flags would hide it; the window's own flag
    // flips in place.
    if (QWindow* handle = windowHandle())
        handle->setFlag(Qt::WindowDoesNotAcceptFocus, !requested);
    else
        setWindowFlag(Qt::WindowDoesNotAcceptFocus, !requested);
    setAttribute(Qt::WA_X11DoNotAcceptFocus, !requested);
}

void NotchPanel::makeKeyAndOrderFront()
{
    orderFront();
    if (m_keyboardFocusRequested) {
        m_platform.keyboardFocus.rememberFocusBefore(winId());
        activateWindow();
        if (QWindow* handle = windowHandle())
            handle->requestActivate();
    }
}

bool NotchPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A window that bypasses the window manager is never activated by a
    // click: once another window took the keyboard (the settings opened from
    // the Desk), the Desk's text fields would stay deaf until it reopened.
    if (watched == windowHandle() && event->type() == QEvent::MouseButtonPress && m_keyboardFocusRequested &&
        !isActiveWindow())
        makeKeyAndOrderFront();
    return QWidget::eventFilter(watched, event);
}

void NotchPanel::resignKey()
{
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    m_platform.keyboardFocus.giveBack(winId());
}

Rect NotchPanel::frame() const { return toRect(geometry()); }

void NotchPanel::setFrame(Rect frame) { setGeometry(toQRect(frame)); }

void NotchPanel::orderFront()
{
    if (!isVisible())
        show();
    // Installing again only moves the filter; the handle exists once shown.
    if (QWindow* handle = windowHandle())
        handle->installEventFilter(this);
    if (m_level >= restingLevel)
        m_platform.stacker.raise(winId());
}

void NotchPanel::orderOut()
{
    hide();
    orderBackdropOut();
}

void NotchPanel::orderBackdropOut() { m_backdrop->hide(); }

void NotchPanel::setContentView(QWidget* view)
{
    if (m_contentView == view)
        return;
    delete m_contentView;
    m_contentView = view;
    if (!view)
        return;
    view->setParent(this);
    view->setGeometry(rect());
    view->show();
}

void NotchPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_contentView)
        m_contentView->setGeometry(rect());
}

void NotchPanel::applyWindowShape()
{
    if (m_platform.compositing.isCompositing()) {
        clearMask();
        return;
    }
    // Cut the window to the notch, or its transparent parts would show black.
    const Size shape = NotchBackdropLayout::shapeSize(m_drawnCanvas);
    const UIRect outlineRect{(width() - shape.width) / 2, 0, shape.width, shape.height};
    const QPainterPath outline = toQPainterPath(
        NotchShape(NotchBackdropLayout::topRadius, m_drawnBottomRadius).path(outlineRect));
    const QRegion region(outline.toFillPolygon().toPolygon(), Qt::WindingFill);
    if (region.isEmpty())
        clearMask();
    else
        setMask(region);
}

void NotchPanel::syncBackdrop()
{
    applyWindowShape();
    if (!m_backdropEnabled || !m_platform.compositing.isCompositing()) {
        orderBackdropOut();
        return;
    }
    const Rect panelFrame = frame();
    std::optional<ScreenDescription> screen =
        m_platform.screens.screenAt({panelFrame.midX(), panelFrame.minY()});
    if (!screen)
        screen = m_platform.screens.primaryScreen();
    if (!screen) {
        orderBackdropOut();
        return;
    }

    if (const auto placement = NotchBackdropLayout::place(panelFrame, m_drawnCanvas, screen->frame)) {
        // The window sits on whole points; the glow keeps its exact place.
        const QRect windowFrame = toQRect(placement->frame);
        const Rect glowRect{placement->glowRect.x + placement->frame.x - windowFrame.x(),
                            placement->glowRect.y + placement->frame.y - windowFrame.y(),
                            placement->glowRect.width, placement->glowRect.height};
        m_backdrop->setGeometry(windowFrame);
        const double scale = screen->backingScale;
        if (NotchBackdropLayout::needsRender(m_backdrop->rendered(), *placement, m_drawnBottomRadius, scale)) {
            m_backdrop->countRender();
            m_backdrop->setGlow(NotchBackdropPanel::render(placement->windowSize, placement->shapeSize,
                                                           NotchBackdropLayout::topRadius, m_drawnBottomRadius,
                                                           NotchBackdropLayout::feather, scale),
                                {placement->windowSize, m_drawnBottomRadius, scale}, glowRect);
        } else {
            m_backdrop->moveGlow(glowRect);
        }
    }

    m_backdrop->setLevel(m_level - 1);
    if (!m_backdrop->isVisible())
        m_backdrop->show();
    orderFront();
    m_platform.stacker.stackBelow(m_backdrop->winId(), winId());
}
