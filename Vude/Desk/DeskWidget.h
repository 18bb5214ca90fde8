#pragma once
// A widget of the Desk's row, and the one place that says which view shows
// which WidgetID (makeDeskWidget).
//
// The Desk builds one DeskWidget per WidgetID when the widget enters the row
// and keeps it, moved or not, for as long as the Desk's tab stays open; it
// hands the widget fresh values through bind() whenever the view model
// changes (also right after making it). So a widget's own state (the timer
// picker's duration, the note being typed, a hovered row) lasts exactly as
// long as the widget is on the open Desk; leaving the row, switching tabs or
// closing the Desk deletes it.
//
// To plug a widget in: derive from DeskWidget, read your alternative in
// bind() (std::get<MediaBinding>(binding)), and return your view from its
// case in makeDeskWidget. Until then the case shows a Placeholder: the
// widget's name in an empty state.

#include "Vude/Desk/DeskBindings.h"
#include "Vude/Desk/DeskEnvironment.h"

#include <QWidget>

/// A view that shows one kind of binding and takes it again whenever it
/// changes.
template <typename Binding>
class BoundView : public QWidget {
public:
    using QWidget::QWidget;
    /// The values and closures, current now.
    virtual void bind(const Binding& binding) = 0;
};

class DeskWidget : public BoundView<WidgetBinding> {
public:
    explicit DeskWidget(WidgetID id, QWidget* parent = nullptr);
    WidgetID id() const { return m_id; }

private:
    WidgetID m_id;
};

/// The tray tab's two views.
using PipelineBannerView = BoundView<PipelineBannerBinding>;
using TrayView = BoundView<TrayBinding>;

/// The view of `id`, not yet bound; `environment` must outlive it.
DeskWidget* makeDeskWidget(WidgetID id, const DeskEnvironment& environment, QWidget* parent);
/// The banner over the tray (PipelineBanner), not yet bound.
PipelineBannerView* makePipelineBanner(const DeskEnvironment& environment, QWidget* parent);
/// The tray (TrayWidget), not yet bound.
TrayView* makeTrayView(const DeskEnvironment& environment, QWidget* parent);

/// Stands in for a widget that has no view of its own yet: its name and
/// symbol in an empty state, in a frame titled with its name. The weather
/// cell shows nothing while there is no weather provider.
class PlaceholderWidget final : public DeskWidget {
public:
    PlaceholderWidget(WidgetID id, const DeskEnvironment& environment, QWidget* parent = nullptr);
    void bind(const WidgetBinding& binding) override;

    /// The last values handed over.
    const WidgetBinding& binding() const { return m_binding; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_frame = nullptr;
    WidgetBinding m_binding;
};
