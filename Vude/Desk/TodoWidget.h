#pragma once
// The Desk's to-do list: a composer line ("New task"; Return adds what was
// typed and leaves the line empty and ready for the next), the tasks in
// TodoLayout's order with their check, star and cross, and the count of
// what is left. Without tasks it says "Nothing to do".
//
// It holds no store: it shows the binding's tasks and calls its closures,
// handing the composer's text over exactly as typed (the repository ignores
// a blank one). Rows are kept by task id, so a hovered row stays hovered
// across a refresh. A click anywhere on the composer gives it the keyboard,
// which the open Desk's panel holds. Main thread only.

#include "Vude/Desk/DeskWidget.h"

#include <memory>
#include <vector>

class QLineEdit;
class TodoRow;
class WidgetEmptyState;
template <typename Key, typename Row>
class KeyedRowList;

class TodoWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr double spacing = 8;
    static constexpr double emptyStateTopPadding = 14;
    static constexpr double rowSpacing = 1;
    static constexpr double countSize = 10;
    static constexpr double countLeading = 8;

    /// `environment` must outlive the widget.
    TodoWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~TodoWidget() override;

    void bind(const WidgetBinding& binding) override;

    /// The composer's text field.
    QLineEdit* field() const;
    /// Whether the composer's field has the keyboard.
    bool isFieldFocused() const;
    /// The composer: the symbol, the field and the underline.
    QWidget* composer() const;
    /// The rows in the order shown.
    std::vector<TodoRow*> rows() const;
    /// Shown without tasks; none otherwise.
    WidgetEmptyState* emptyState() const;
    /// The count as shown ("2 left"); empty when there is none.
    QString countText() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Composer;
    class Content;

    TodosBinding m_binding;
    QWidget* m_frame = nullptr;
    Content* m_content = nullptr;
};
