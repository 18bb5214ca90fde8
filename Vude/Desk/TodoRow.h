#pragma once
// One task of the to-do widget: a check button, the title (struck through
// once done), and at the trailing edge a star and a cross. The star shows
// for a favourite, and for any task while the pointer is over the row; the
// cross only then. Hovering lights the row's card and fades the buttons in
// on the hover spring. The context menu's "Delete" deletes the task. Its
// layout is TodoRowLayout. Main thread only.

#include "Vude/Desk/TodoLayout.h"
#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeSync/Snapshots.h"

#include <QWidget>

#include <functional>
#include <memory>

class PlainButton;
class QMenu;
class SpringAnimator;

class TodoRow final : public QWidget {
    Q_OBJECT
public:
    static constexpr double titleSize = 12.5;
    static constexpr double cornerRadius = 8;
    static constexpr double circleSize = 15;
    static constexpr double circleLineWidth = 1.5;

    /// `environment` must outlive the row.
    explicit TodoRow(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~TodoRow() override;

    std::function<void()> onToggle;
    std::function<void()> onFavorite;
    std::function<void()> onDelete;

    void setItem(const TodoSnapshot& item);
    const TodoSnapshot& item() const { return m_item; }

    bool isHovering() const { return m_hovering; }
    /// 0 at rest ... 1 hovered, on the hover spring.
    double hoverProgress() const;

    PlainButton* checkButton() const { return m_check; }
    PlainButton* starButton() const { return m_star; }
    PlainButton* deleteButton() const { return m_cross; }
    /// Whether the star and the cross are there to be pressed now.
    bool showsStar() const { return m_item.isFavorite || m_hovering; }
    bool showsCross() const { return m_hovering; }
    /// The context menu: "Delete".
    std::unique_ptr<QMenu> contextMenu();

    TodoRowLayout currentLayout() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void setHovering(bool hovering);
    void placeButtons();
    /// How opaque a button is drawn: fully while it stays, fading with the
    /// hover otherwise.
    double starOpacity() const;
    double crossOpacity() const;

    const ViewEnvironment& m_environment;
    TodoSnapshot m_item;
    bool m_hovering = false;
    std::unique_ptr<SpringAnimator> m_hover;
    PlainButton* m_check = nullptr;
    PlainButton* m_star = nullptr;
    PlainButton* m_cross = nullptr;
};
