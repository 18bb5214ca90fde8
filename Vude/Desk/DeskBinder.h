#pragma once
// Fills the Desk's bindings (DeskBindings.h) from one screen's view model:
// the values it publishes and closures over it, its services and its hooks.
// A closure reads the model when it runs, not when it was made, and does
// nothing once the model is gone or when the service it needs is absent;
// the exceptions are written on the binding's fields. A closure that
// changes a list a service holds (timers, clips, tray items, sound outputs)
// copies the service's list back into the model right after, so the Desk
// redraws from the model.
//
// Cheap to make and to copy; main thread only.

#include "Vude/Desk/DeskBindings.h"
#include "Vude/Desk/DeskEnvironment.h"

#include <QPointer>

class NotchViewModel;

class DeskBinder {
public:
    /// `environment` must outlive the binder and the closures it makes.
    DeskBinder(NotchViewModel& model, const DeskEnvironment& environment);

    WidgetBinding binding(WidgetID id) const;

    MediaBinding media() const;
    CalendarBinding calendar() const;
    TodosBinding todos() const;
    TimerBinding timer() const;
    NotesBinding notes() const;
    ShortcutsBinding shortcuts() const;
    MirrorBinding mirror() const;
    QuickAppsBinding quickApps() const;
    WeatherBinding weather() const;
    ClipboardBinding clipboard() const;
    AudioDeviceBinding audioDevice() const;

    TrayBinding tray() const;
    PipelineBannerBinding pipelineBanner() const;

private:
    /// Posts the notifications, in order, without object.
    std::function<void()> poster(std::vector<QString> names) const;

    NotchViewModel& m_model;
    QPointer<NotchViewModel> m_weakModel;
    const DeskEnvironment& m_environment;
};
