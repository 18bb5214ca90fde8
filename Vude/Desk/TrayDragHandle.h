#pragma once
// Drags tray files out of the notch: laid over a chip's tile (one item) or
// the "all" chip's (every item). A mouse drag starts a QDrag carrying one
// file URL per item (the tray's stored copies), with the first file's type
// icon as its picture. Linux has no file promise: the URLs alone let a file
// manager copy or move the stored file.
//
// Move or copy is decided once, from the modifiers when the drag starts:
// with copyByDefault a plain drag copies and an Alt drag moves, without it
// the reverse. Only the chosen action is offered, so the desktop's own
// modifier keys (Ctrl copy, Shift move, Alt link on X11) cannot change it;
// the receiver may still refuse.
//
// "app.ruvudav.notch.trayDragChanged" is posted with "sourcing" true just
// before the drag runs and false after it, always (a cancelled or refused
// drag too), so the notch does not take its own drag back as a drop. After
// a single item was moved, onMoved is called; a copy, a refusal, a cancel
// or a drag of several items reports nothing.
//
// The drag runs a nested event loop in which the Desk may close and this
// handle go: everything the drag needs is copied before it starts.

#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Shell/NotchDeskServices.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class TrayDragHandle final : public QWidget {
    Q_OBJECT
public:
    static inline const QString trayDragChanged = QStringLiteral("app.ruvudav.notch.trayDragChanged");
    static inline const QString sourcingKey = QStringLiteral("sourcing");
    /// The drag's picture, in points.
    static constexpr int iconSize = 48;

    /// `environment` must outlive the handle.
    explicit TrayDragHandle(const DeskEnvironment& environment, QWidget* parent = nullptr);

    /// What a drag carries and reports; set again on every refresh.
    void set(std::vector<NotchTrayItem> items, std::function<void()> onMoved, bool copyByDefault);
    const std::vector<NotchTrayItem>& items() const { return m_items; }

    /// Whether a drag started with Alt held (or not) moves.
    static bool isMove(bool copyByDefault, bool altHeld) { return copyByDefault == altHeld; }
    /// Whether a drag that offered a move (when `isMove`) and ended with
    /// `performed` reports its one item as moved.
    static bool reportsMove(bool isMove, Qt::DropAction performed, std::size_t itemCount)
    {
        return isMove && performed == Qt::MoveAction && itemCount == 1;
    }

    /// Runs a drag now, as a mouse drag with `modifiers` held at its start
    /// would; what the receiver did. Nothing (and no notification) without
    /// items.
    Qt::DropAction startDrag(Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const DeskEnvironment& m_environment;
    std::vector<NotchTrayItem> m_items;
    std::function<void()> m_onMoved;
    bool m_copyByDefault = true;
    std::optional<QPoint> m_pressedAt;
};
