#pragma once
// One file of the tray: its thumbnail (or a folder or document symbol until
// one arrives) on a rounded tile, its name cut in the middle and its size
// under it. Hovering lights and grows the tile and shows a remove button;
// the context menu offers Quick Look, Show in Files, Copy and Remove, all
// on the tray's stored copy. A TrayDragHandle over the tile drags the file
// out.
//
// The thumbnail is asked of the store each time the chip is shown, and
// arrives later; one that arrives after the chip is gone is dropped.

#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Shell/NotchDeskServices.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class PlainButton;
class QMenu;
class SpringAnimator;
class TrayDragHandle;

class TrayChip final : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> onRemove;
        /// After a drag moved the file out.
        std::function<void()> onMoved;
        std::function<void()> onReveal;
        std::function<void()> onCopy;
    };

    /// `environment` must outlive the chip.
    explicit TrayChip(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~TrayChip() override;

    void set(const NotchTrayItem& item, std::shared_ptr<NotchTrayStore> store, bool copyByDefault, Actions actions);

    const NotchTrayItem& item() const { return m_item; }
    const std::optional<QImage>& thumbnail() const { return m_thumbnail; }
    bool isHovering() const { return m_hovering; }
    PlainButton* removeButton() const { return m_remove; }
    TrayDragHandle* dragHandle() const { return m_handle; }
    /// The context menu as it would pop up now.
    std::unique_ptr<QMenu> contextMenu();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QRectF tileRect() const;
    void setHovering(bool hovering);
    void loadThumbnail();

    const DeskEnvironment& m_environment;
    NotchTrayItem m_item;
    std::shared_ptr<NotchTrayStore> m_store;
    bool m_copyByDefault = true;
    Actions m_actions;
    std::optional<QImage> m_thumbnail;
    bool m_hovering = false;
    std::unique_ptr<SpringAnimator> m_hover;
    PlainButton* m_remove = nullptr;
    TrayDragHandle* m_handle = nullptr;
};
