#pragma once
// A rounded dark card that stacks the rows of a settings pane, with no gap
// between them: each row's own padding and bottom divider separate it from
// the next. The card sets no padding and no width: its rows stretch to the
// width the pane offers. Rows inside are clipped to its rounded shape, and
// its 1-point border is drawn over them.

#include <QPainterPath>
#include <QWidget>

#include <optional>

class QVBoxLayout;

class SettingsCard final : public QWidget {
    Q_OBJECT
public:
    static constexpr double radius = 10;
    static constexpr double borderWidth = 1;

    explicit SettingsCard(QWidget* parent = nullptr);

    /// Adds `row` (a SettingsRow, ValueSlider or any view) below the others;
    /// the card takes it as a child.
    void addRow(QWidget* row);
    QVBoxLayout* rowLayout() const { return m_layout; }

    /// The card's outline in its own coordinates.
    QPainterPath shape() const;
    /// The outline in the coordinates of `descendant`, for it to clip to;
    /// none when `descendant` is not inside a card.
    static std::optional<QPainterPath> clipFor(const QWidget& descendant);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_border = nullptr;
};
