#pragma once
// Routes activities and effects between the coordinator, the now-playing
// adapter and the notch view models. An activity is always shown on one
// screen: the one the window controller reports as active (under the
// pointer); with none, the showing is skipped and the coordinator keeps its
// state, so the next change is shown once a screen is under the pointer.
//
// Swipes hand their effects here: a cycle or a dismiss that leaves another
// activity current shows it at once on the screen that was swiped (else the
// old pill would stay until the next expiry); a dismiss of the ambient
// activity, which the coordinator then falls back to, leaves the notch
// closed instead of bringing it straight back.
//
// The handlers it installs hold it weakly. Main thread only.

#include "VudeKit/ActivityCoordinator.h"
#include "VudeKit/NotchState.h"
#include "VudeServices/MediaCommand.h"

#include <QObject>

#include <functional>

class NotchViewModel;
class NowPlayingSource;

class ActivityRouting final : public QObject {
    Q_OBJECT
public:
    /// The view model of the screen under the pointer, if any.
    using ActiveModel = std::function<NotchViewModel*()>;
    /// The now-playing adapter source, if one was started.
    using MediaSource = std::function<NowPlayingSource*()>;

    ActivityRouting(ActivityCoordinator& coordinator, ActiveModel activeModel, MediaSource mediaSource,
                    QObject* parent = nullptr);

    /// Shows an accepted payload on the active screen.
    void present(const ActivityPayload& payload);
    /// Mirrors the coordinator's current activity into the active screen:
    /// the payload, or a time-out when nothing is left.
    void syncCoordinatorToSurface();
    /// Acts on an effect `source` handed over (cycle, dismiss, media skips);
    /// the rest is the view model's own business.
    void handleEffect(const NotchEffect& effect, NotchViewModel* source = nullptr);
    /// Sends the command to the now-playing adapter; dropped without one.
    void handleMediaCommand(const MediaCommand& command);

    /// Sets `model`'s effect and media-command handlers to the two above.
    void install(NotchViewModel& model);

private:
    // Shows the coordinator's current activity on `target` when it is not
    // the one `before` held.
    void showIfChanged(const std::optional<ActivityPayload>& before, NotchViewModel* target);
    NotchViewModel* targetFor(NotchViewModel* source) const;

    ActivityCoordinator& m_coordinator;
    ActiveModel m_activeModel;
    MediaSource m_mediaSource;
};
