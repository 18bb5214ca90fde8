#pragma once
// The Desk: what an open notch shows. A header level with the notch (the
// Desk and Tray tab buttons on its left, Settings and Close on its right)
// and under it either the widget row (tab ravo) or the pipeline banner and
// the tray (tab tray). The root view builds one for the open state's tab and
// deletes it when the tab changes or the Desk closes.
//
// The row follows the view model's `layout`: one DeskWidget per placed
// WidgetID, made when it enters the row and kept, moved or not, until it
// leaves it (so a widget's own state lasts as long as it is on the open
// Desk), with a divider in every gap. An empty row shows "Nothing on the
// Desk yet" with a button that opens the settings.
//
// It owns no data: every widget gets its values and closures from a
// DeskBinder over the model, again whenever what it shows changes (the
// model's lists, a service's own change signal, the repository's
// snapshots). Where things go is RavoLayout's. Main thread only.

#include "Vude/Desk/DeskEnvironment.h"
#include "Vude/Desk/RavoLayout.h"
#include "VudeKit/ActivityModels.h"
#include "VudeKit/WidgetID.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class DeskBinder;
class DeskWidget;
class NotchViewModel;
class PlainButton;
class WidgetEmptyState;
template <typename Binding>
class BoundView;
struct PipelineBannerBinding;
struct TrayBinding;
template <typename Key, typename Widget>
class KeyedWidgets;

class RavoView final : public QWidget {
    Q_OBJECT
public:
    /// What the root view passes.
    static constexpr double defaultInset = 18;

    /// `model` and `environment` must outlive the view.
    RavoView(RiziDar tab, NotchViewModel& model, double inset, const DeskEnvironment& environment,
             QWidget* parent = nullptr);
    ~RavoView() override;

    RiziDar tab() const { return m_tab; }
    double inset() const { return m_inset; }
    NotchViewModel& model() const { return m_model; }

    /// Where everything goes now.
    RavoLayout currentLayout() const;

    PlainButton* tabButton(RiziDar tab) const { return tab == RiziDar::ravo ? m_deskTab : m_trayTab; }
    PlainButton* settingsButton() const { return m_settings; }
    PlainButton* closeButton() const { return m_close; }
    bool isBadgeShown() const;

    /// The row's widgets, in row order; none on the tray tab.
    std::vector<DeskWidget*> widgets() const;
    DeskWidget* widget(WidgetID id) const;
    /// Shown for an empty row; none otherwise.
    WidgetEmptyState* emptyState() const { return m_emptyState; }
    /// The tray tab's views; none on the Desk tab or without a tray store.
    QWidget* pipelineBanner() const;
    QWidget* trayView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildHeader();
    void buildContent();
    void connectModel();
    /// Makes the row match the model's layout.
    void reconcileRow();
    void relayout();
    void rebind(WidgetID id);
    void rebindTray();
    void rebindBanner();
    void updateBadge();

    RiziDar m_tab;
    NotchViewModel& m_model;
    double m_inset;
    const DeskEnvironment& m_environment;
    std::unique_ptr<DeskBinder> m_binder;

    PlainButton* m_deskTab = nullptr;
    PlainButton* m_trayTab = nullptr;
    PlainButton* m_settings = nullptr;
    PlainButton* m_close = nullptr;
    QWidget* m_badge = nullptr;

    std::unique_ptr<KeyedWidgets<WidgetID, DeskWidget>> m_row;
    WidgetEmptyState* m_emptyState = nullptr;
    BoundView<PipelineBannerBinding>* m_banner = nullptr;
    BoundView<TrayBinding>* m_tray = nullptr;
    std::uint64_t m_settingsObserver = 0;
};
