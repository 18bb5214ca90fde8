#pragma once
// What the Desk's views use besides the view model: the controls'
// environment (animation frames, reduced motion), the wall clock for the
// times a widget shows or hands back ("now" for a timer's pause), the
// notification centre the configure actions post to and the haptic performer
// the timer's wheels tick on. The app hands one to every Desk it builds;
// tests build theirs over fakes. Everything it names outlives the views.

#include "Platform/Core/NotificationCenter.h"
#include "Platform/Shell/HapticPerformer.h"
#include "Vude/Toolkit/ViewEnvironment.h"
#include "VudeKit/ClockSource.h"

#include <Qt>

#include <functional>

class FileRevealer;
class Pasteboard;
class QDrag;

struct DeskEnvironment {
    /// Runs a drag out of the Desk offering `actions` (QDrag::exec's nested
    /// loop in the app; a script in tests) and says what the receiver did.
    using DragExecutor = std::function<Qt::DropAction(QDrag& drag, Qt::DropActions actions, Qt::DropAction chosen)>;

    ViewEnvironment view;
    /// Dates shown or stored.
    const ClockSource& wallClock;
    NotificationCenter& notifications;
    /// Ticks of the controls that scroll by steps; none play when null.
    HapticPerformer* haptics = nullptr;
    /// Shows a tray file in the file manager; nothing is shown when none.
    FileRevealer* revealer = nullptr;
    /// The clipboard a tray file is copied to; nothing is copied when none.
    Pasteboard* pasteboard = nullptr;
    /// QDrag::exec when unset.
    DragExecutor dragExecutor{};
};
