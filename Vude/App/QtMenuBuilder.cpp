#include "Vude/App/QtMenuBuilder.h"

#include <QPointer>

namespace QtMenuBuilder {

void fill(QMenu& menu, const std::vector<MenuEntry>& entries, const Handlers& handlers)
{
    for (const auto& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::separator:
            menu.addSeparator();
            break;
        case MenuEntry::Kind::submenu: {
            auto* submenu = menu.addMenu(QString::fromStdString(entry.title));
            fill(*submenu, entry.children, handlers);
            break;
        }
        case MenuEntry::Kind::item: {
            auto* action = menu.addAction(QString::fromStdString(entry.title));
            if (!entry.shortcut.empty())
                action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(entry.shortcut)));
            action->setCheckable(entry.checkable);
            action->setChecked(entry.checked);
            action->setEnabled(entry.enabled);
            action->setData(QString::fromStdString(entry.argument));
            QPointer<QAction> guard = action;
            QObject::connect(action, &QAction::triggered, action, [entry, handlers, guard] {
                if (handlers.perform)
                    handlers.perform(entry);
                // Qt has already flipped the mark; the setting decides it.
                if (guard && entry.checkable && handlers.checkedAfter)
                    guard->setChecked(handlers.checkedAfter(entry));
            });
            break;
        }
        }
    }
}

QAction* findAction(const QMenu& menu, const QString& title)
{
    for (auto* action : menu.actions()) {
        if (action->text() == title)
            return action;
        if (auto* submenu = action->menu())
            if (auto* found = findAction(*submenu, title))
                return found;
    }
    return nullptr;
}

} // namespace QtMenuBuilder
