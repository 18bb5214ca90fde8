#pragma once
// Turns a menu table (AppMenus) into a QMenu. Choosing an item calls
// `perform` with its entry; afterwards a checkable item's check mark is
// read back through `checkedAfter`, so an action that refused to change
// anything (an explanation instead of a toggle) leaves it as it was.

#include "Vude/App/AppMenus.h"

#include <QMenu>

#include <functional>

namespace QtMenuBuilder {

struct Handlers {
    std::function<void(const MenuEntry&)> perform;
    /// The check mark of `entry` after its action ran.
    std::function<bool(const MenuEntry&)> checkedAfter;
};

/// Adds `entries` to `menu`; submenus become children of it.
void fill(QMenu& menu, const std::vector<MenuEntry>& entries, const Handlers& handlers);

/// The action of `menu` (submenus searched too) titled `title`; none when absent.
QAction* findAction(const QMenu& menu, const QString& title);

} // namespace QtMenuBuilder
