#pragma once
// One countdown in the timer widget's list: a progress ring, the time left
// ("4:59", "1:00:00") and a play or pause button, on a dark rounded card.
// Its context menu's "Remove" takes the timer away. It draws the timer
// against the widget's clock (`now`), so it advances with every tick of
// that clock, not by itself. Main thread only.

#include "Vude/Shell/NotchDeskServices.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QWidget>

#include <functional>
#include <memory>

class PlainButton;
class QMenu;

class TimerRow final : public QWidget {
    Q_OBJECT
public:
    static constexpr double ringSize = 18;
    static constexpr double ringLineWidth = 2;
    static constexpr double textSize = 12;
    static constexpr double symbolSize = 9;
    static constexpr double spacing = 8;
    static constexpr double paddingX = 8;
    static constexpr double paddingY = 5;
    static constexpr double cornerRadius = 6;

    /// `environment` must outlive the row.
    explicit TimerRow(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~TimerRow() override;

    std::function<void()> onToggle;
    std::function<void()> onRemove;

    void setTimer(const NotchTimer& timer, Date now);
    void setNow(Date now);
    const NotchTimer& timer() const { return m_timer; }

    /// The time left as shown.
    QString text() const;
    /// The part of the ring drawn, 0...1.
    double progress() const;
    /// The play or pause button.
    PlainButton* toggleButton() const { return m_toggle; }
    /// "play.fill" while paused, "pause.fill" while running.
    const char* toggleSymbol() const;
    /// The context menu: "Remove".
    std::unique_ptr<QMenu> contextMenu();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    double remaining() const;

    NotchTimer m_timer;
    Date m_now{};
    PlainButton* m_toggle = nullptr;
};
