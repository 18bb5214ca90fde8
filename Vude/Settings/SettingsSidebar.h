#pragma once
// The settings window's sidebar: a search field on top and the fifteen
// panes in their five sections below, each row a tinted tile with the
// pane's symbol and its title. A click (or the arrow keys) selects a pane;
// exactly one is always selected. The search text is kept but filters
// nothing: every pane stays listed.

#include "Vude/Settings/SettingsPane.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QLineEdit;
class ScrollArea;

class SettingsSidebar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int sidebarWidth = 220;
    static constexpr int rowHeight = 26;
    static constexpr int headingHeight = 24;
    static constexpr double tileSize = 18;
    static constexpr double tileRadius = 5;
    static constexpr double tileSymbolSize = 10;

    /// What the list shows, top to bottom.
    struct Entry {
        /// A section heading; none for a pane's row.
        std::optional<SettingsSection> heading;
        SettingsPane pane = SettingsPane::general;
    };
    static std::vector<Entry> entries();

    explicit SettingsSidebar(SettingsPane selection, QWidget* parent = nullptr);

    SettingsPane selection() const { return m_selection; }
    /// Shows `pane` as selected (scrolled into view); never emits `selected`.
    void setSelection(SettingsPane pane);

    QLineEdit* searchField() const { return m_search; }
    QString search() const;

    /// The row of `pane` in the sidebar's coordinates.
    QRect rowRect(SettingsPane pane) const;
    /// The headings shown, in order.
    QStringList headings() const;

signals:
    /// The user picked `pane`.
    void selected(SettingsPane pane);

private:
    class List;

    SettingsPane m_selection;
    QLineEdit* m_search = nullptr;
    ScrollArea* m_scroll = nullptr;
    List* m_list = nullptr;
};
