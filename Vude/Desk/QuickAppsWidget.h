#pragma once
// The Desk's quick apps: a grid of icon tiles, one per pinned application in
// the user's order, each launching its application when clicked. A tile
// shows whether its application runs (a dot under the icon) and whether it
// is still installed (a dimmed tile that cannot be clicked, its tooltip
// saying so); both, and the icon, are asked once for each tile whenever the
// widget is bound, never while painting. With nothing pinned, an empty state
// offers to choose apps; while something is pinned a "plus" in the corner
// does. Tiles are kept by their pin's id, so a hovered tile stays hovered
// across a refresh. Where everything goes is QuickAppsLayout's.

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/QuickAppsLayout.h"
#include "Vude/Toolkit/KeyedWidgets.h"
#include "Vude/Toolkit/PlainButton.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <optional>

class QStackedWidget;
class QuickAppsGrid;
class ScrollArea;
class WidgetEmptyState;
class WidgetFrame;

/// One application's tile: the hit area, hover and tooltip of its cell.
/// The grid draws it, since a hovered icon and its shadow reach past the
/// cell.
class QuickAppTile final : public PlainButton {
    Q_OBJECT
public:
    struct Values {
        NotchQuickApp app;
        std::optional<QIcon> image;
        bool missing = false;
        bool running = false;
    };

    QuickAppTile(const ViewEnvironment& environment, QWidget* parent = nullptr);

    void setValues(Values values);
    const Values& values() const { return m_values; }
    const NotchQuickApp& app() const { return m_values.app; }
    bool isMissing() const { return m_values.missing; }
    bool isRunning() const { return m_values.running; }

    /// How it is drawn now, in its own coordinates.
    QuickAppsLayout::Tile look() const;
    /// The icon as rendered when the values came; null without one.
    const QPixmap& pixmap() const { return m_pixmap; }
    /// The icon's (or the placeholder's) shadow at full opacity, made on
    /// first use.
    const QImage& shadow() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Values m_values;
    QPixmap m_pixmap;
    mutable QImage m_shadow;
    double m_paintedHover = 0;
};

class QuickAppsWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr double plusSymbolSize = 9;

    /// `environment` must outlive the widget.
    explicit QuickAppsWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~QuickAppsWidget() override;

    void bind(const WidgetBinding& binding) override;

    WidgetFrame* frame() const { return m_frame; }
    WidgetEmptyState* emptyState() const { return m_empty; }
    /// The header's "plus"; shown only while apps are pinned.
    PlainButton* plusButton() const { return m_plus; }
    ScrollArea* scrollArea() const { return m_scroll; }
    /// The tiles, in order.
    std::vector<QuickAppTile*> tiles() const;
    QuickAppTile* tile(const Uuid& id) const;
    /// The columns the grid has at its present width.
    QuickAppsLayout::Columns columns() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const DeskEnvironment& m_environment;
    QuickAppsBinding m_binding;
    WidgetFrame* m_frame = nullptr;
    PlainButton* m_plus = nullptr;
    QStackedWidget* m_content = nullptr;
    WidgetEmptyState* m_empty = nullptr;
    ScrollArea* m_scroll = nullptr;
    QuickAppsGrid* m_grid = nullptr;
};
