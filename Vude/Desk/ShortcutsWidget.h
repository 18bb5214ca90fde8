#pragma once
// The Desk's shortcuts: one row per chosen shortcut, in the order it was
// handed, that runs it when pressed anywhere on the row; or, with none
// chosen, an empty state whose button opens the settings on the shortcuts
// pane. A row shows the shortcut's symbol and its custom name (else its own
// name) on one line. It keeps nothing but its rows, keyed by the shortcut's
// id; running is fire-and-forget.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Toolkit/KeyedRowList.h"
#include "Vude/Toolkit/PlainButton.h"

class QStackedWidget;
class WidgetEmptyState;
class WidgetFrame;

/// One shortcut's button.
class ShortcutRow final : public PlainButton {
    Q_OBJECT
public:
    static constexpr double symbolSize = 9;
    static constexpr double textSize = 11;
    static constexpr double cornerRadius = 5;

    ShortcutRow(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void setShortcut(const ShortcutSnapshot& shortcut);
    const ShortcutSnapshot& shortcut() const { return m_shortcut; }
    /// The text the row shows, before it is cut to fit.
    QString label() const { return text(); }

    /// Where the symbol and the label go at the row's present size.
    struct Parts {
        QRectF symbol;
        QRectF label;
    };
    Parts parts() const;

private:
    ShortcutSnapshot m_shortcut;
};

class ShortcutsWidget final : public DeskWidget {
    Q_OBJECT
public:
    /// Points between rows.
    static constexpr double rowSpacing = 3;

    /// `environment` must outlive the widget.
    explicit ShortcutsWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);

    void bind(const WidgetBinding& binding) override;

    WidgetFrame* frame() const { return m_frame; }
    /// Shown exactly while no shortcut is chosen.
    WidgetEmptyState* emptyState() const { return m_empty; }
    KeyedRowList<Uuid, ShortcutRow>* list() const { return m_list; }
    /// The row of the shortcut with `id`; none when it is not shown.
    ShortcutRow* row(const Uuid& id) const { return m_list->row(id); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const DeskEnvironment& m_environment;
    ShortcutsBinding m_binding;
    WidgetFrame* m_frame = nullptr;
    QStackedWidget* m_content = nullptr;
    WidgetEmptyState* m_empty = nullptr;
    KeyedRowList<Uuid, ShortcutRow>* m_list = nullptr;
};
