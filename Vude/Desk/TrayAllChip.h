#pragma once
// The chip that leads the tray's row from two items on: a stack of up to
// three tilted cards under a stack symbol, labelled "All <count>", that
// drags every item out together. Such a drag never takes anything out of
// the tray, whatever the receiver did.

#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Shell/NotchDeskServices.h"

#include <QWidget>

#include <memory>
#include <vector>

class SpringAnimator;
class TrayDragHandle;

class TrayAllChip final : public QWidget {
    Q_OBJECT
public:
    /// `environment` must outlive the chip.
    explicit TrayAllChip(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~TrayAllChip() override;

    void set(std::vector<NotchTrayItem> items, bool copyByDefault);
    std::size_t count() const { return m_count; }
    bool isHovering() const { return m_hovering; }
    TrayDragHandle* dragHandle() const { return m_handle; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF tileRect() const;
    void setHovering(bool hovering);

    const DeskEnvironment& m_environment;
    std::size_t m_count = 0;
    bool m_hovering = false;
    std::unique_ptr<SpringAnimator> m_hover;
    TrayDragHandle* m_handle = nullptr;
};
