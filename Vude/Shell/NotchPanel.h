#pragma once
// The window that carries one screen's notch: frameless, above every other
// window, translucent, never taking focus unless the open Desk asks for it,
// hanging from the top edge of its screen. It owns the backdrop window
// behind it and keeps it directly below itself.
//
// Window levels are numbers, as the controller and tests reason about them:
// at rest the panel sits at `restingLevel` and is raised above everything
// whenever it is ordered front; during a file drag it drops to `dragLevel`,
// where it is never raised, because X has no level above the drag icon and a
// raised panel would cover it. The backdrop is always one level below and is
// stacked directly under the panel. Without a compositing manager nothing
// can be translucent: the backdrop stays hidden and the panel's window is cut
// to the notch outline instead.
//
// Frames are Qt global coordinates (top-left origin), in points.

#include "VudeKit/Geometry.h"
#include "Vude/Shell/NotchBackdropPanel.h"
#include "Vude/Shell/ShellPlatform.h"

#include <QWidget>

#include <memory>

class NotchPanel final : public QWidget {
    Q_OBJECT
public:
    /// The level of a resting panel: above every ordinary window and menu.
    static constexpr int restingLevel = 1000;
    /// The level while a file drag is armed.
    static constexpr int dragLevel = 101;

    /// A hidden panel sized `size`, at rest, with the backdrop on and a
    /// radius of 14. `platform`'s objects must outlive the panel.
    NotchPanel(const ShellPlatform& platform, Size size, QWidget* parent = nullptr);
    ~NotchPanel() override;

    /// The panel may take keyboard focus; true while the Desk is open.
    bool keyboardFocusRequested() const { return m_keyboardFocusRequested; }
    void setKeyboardFocusRequested(bool requested);
    bool canBecomeKey() const { return m_keyboardFocusRequested; }
    /// Shows and raises the panel and gives it keyboard focus.
    void makeKeyAndOrderFront();
    /// Gives keyboard focus back to the window that had it before.
    void resignKey();

    /// The canvas the panel is being sized to.
    Size currentCanvas() const { return m_currentCanvas; }
    void setCurrentCanvas(Size canvas) { m_currentCanvas = canvas; }
    /// The canvas drawn now; the backdrop follows this one.
    Size drawnCanvas() const { return m_drawnCanvas; }
    void setDrawnCanvas(Size canvas) { m_drawnCanvas = canvas; }
    /// The notch's bottom corner radius: 14 at rest, 34 with the Desk open.
    double drawnBottomRadius() const { return m_drawnBottomRadius; }
    void setDrawnBottomRadius(double radius) { m_drawnBottomRadius = radius; }
    /// The backdrop is shown (the `progressiveBlur` setting).
    bool backdropEnabled() const { return m_backdropEnabled; }
    void setBackdropEnabled(bool enabled) { m_backdropEnabled = enabled; }

    NotchBackdropPanel& backdrop() { return *m_backdrop; }

    int level() const { return m_level; }
    /// Changes the number only; stacking follows at the next ordering.
    void setLevel(int level) { m_level = level; }

    Rect frame() const;
    /// Moves and resizes the panel without redrawing it at once.
    void setFrame(Rect frame);

    /// Shows the panel; at the resting level it is also raised above all.
    void orderFront();
    void orderOut();

    /// Places, renders when needed, and orders the backdrop; called after
    /// every frame change and when the radius or `backdropEnabled` changes.
    void syncBackdrop();

    /// The view filling the panel (a NotchHostingView); the panel owns it.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return m_contentView; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyWindowShape();
    void orderBackdropOut();

    ShellPlatform m_platform;
    std::unique_ptr<NotchBackdropPanel> m_backdrop;
    QWidget* m_contentView = nullptr;
    bool m_keyboardFocusRequested = false;
    Size m_currentCanvas;
    Size m_drawnCanvas;
    double m_drawnBottomRadius = 14;
    bool m_backdropEnabled = true;
    int m_level = restingLevel;
};
