#pragma once
// The settings window's content: the sidebar (220 wide, its search field and
// the fifteen panes) beside the detail column, which scrolls the selected
// pane under a header of its tile and title.
//
// It owns the selection, always exactly one pane. The selection changes by
// a click in the sidebar or on the two notifications
// "app.ruvudav.notch.openShortcuts" and "app.ruvudav.notch.openQuickApps",
// which the root view observes from its construction for as long as it
// exists (so a request posted right after the window was built is heard).
// A new selection builds its pane view afresh (makeSettingsPaneView) with
// the inputs settingsPaneInputs reads at that moment; while the selection
// stays, the pane is handed fresh inputs in place when the services report
// a change (the repository republished), never rebuilt. System values in
// the inputs (a permission) are read then and not watched.
//
// Main thread only. `services`, `environment` and `notifications` outlive it.

#include "Platform/Core/NotificationCenter.h"
#include "Vude/Settings/SettingsEnvironment.h"
#include "Vude/Settings/SettingsPane.h"

#include <QPointer>
#include <QWidget>

class ScrollArea;
class SettingsPaneView;
class SettingsServices;
class SettingsSidebar;

class SettingsRootView final : public QWidget {
    Q_OBJECT
public:
    static const QString openShortcutsNotification;
    static const QString openQuickAppsNotification;
    static constexpr QSize minimumContentSize{720, 460};
    static constexpr int detailPadding = 22;
    static constexpr int detailSpacing = 18;

    SettingsRootView(SettingsServices& services, const SettingsEnvironment& environment,
                     NotificationCenter& notifications, SettingsPane selection, QWidget* parent = nullptr);
    ~SettingsRootView() override;

    SettingsPane selection() const { return m_selection; }
    /// Selects `pane` as a click in the sidebar does.
    void select(SettingsPane pane);
    QString search() const;

    SettingsSidebar* sidebar() const { return m_sidebar; }
    /// The selected pane's view.
    SettingsPaneView* paneView() const;
    /// The header's title now.
    QString headerTitle() const;
    ScrollArea* detail() const { return m_scroll; }

    /// Hands the shown pane its inputs again, in place.
    void refreshInputs();

private:
    void showPane();

    SettingsServices& m_services;
    const SettingsEnvironment& m_environment;
    SettingsPane m_selection;
    SettingsSidebar* m_sidebar = nullptr;
    ScrollArea* m_scroll = nullptr;
    QWidget* m_column = nullptr;
    class Header;
    Header* m_header = nullptr;
    QPointer<SettingsPaneView> m_pane;
};
