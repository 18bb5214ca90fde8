#pragma once
// What a Desk widget shows instead of its content (and the Desk shows for an
// empty row): a symbol, a message, an optional detail line and an optional
// button, centred. Long texts wrap, never truncate. It keeps no state and
// does nothing of its own: the button calls the closure it was given.
//
// It asks for its column's height (heightForWidth) and centres the column in
// whatever rectangle it is given; a caller that wants it centred in a whole
// cell gives it the cell. Its layout is WidgetEmptyStateLayout.

#include "Vude/Desk/WidgetEmptyStateLayout.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class PlainButton;

class WidgetEmptyState final : public QWidget {
    Q_OBJECT
public:
    struct Action {
        QString title;
        std::function<void()> perform;
    };

    /// `environment` must outlive the view.
    WidgetEmptyState(const ViewEnvironment& environment, std::string symbol, QString message,
                     std::optional<QString> detail = std::nullopt, std::optional<Action> action = std::nullopt,
                     QWidget* parent = nullptr);
    ~WidgetEmptyState() override;

    const std::string& symbol() const { return m_symbol; }
    const QString& message() const { return m_message; }
    const std::optional<QString>& detail() const { return m_detail; }
    /// The action's button; none without an action.
    PlainButton* button() const { return m_button; }

    /// Where everything goes in the view's present size.
    WidgetEmptyStateLayout currentLayout() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    WidgetEmptyStateLayout layoutIn(const Rect& bounds) const;

    std::string m_symbol;
    QString m_message;
    std::optional<QString> m_detail;
    std::optional<Action> m_action;
    PlainButton* m_button = nullptr;
};
