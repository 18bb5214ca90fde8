#include "Vude/App/ActivityRouting.h"

#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "VudeServices/NowPlayingSource.h"

#include <QPointer>

ActivityRouting::ActivityRouting(ActivityCoordinator& coordinator, ActiveModel activeModel, MediaSource mediaSource,
                                 QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_activeModel(std::move(activeModel))
    , m_mediaSource(std::move(mediaSource))
{
}

void ActivityRouting::present(const ActivityPayload& payload)
{
    if (NotchViewModel* model = m_activeModel())
        model->send(NotchEvent::activityArrived(payload));
}

void ActivityRouting::syncCoordinatorToSurface()
{
    NotchViewModel* model = m_activeModel();
    if (!model)
        return;
    if (const auto& current = m_coordinator.current())
        model->send(NotchEvent::activityArrived(*current));
    else
        model->send(NotchEvent::activityTimedOut());
}

void ActivityRouting::handleEffect(const NotchEffect& effect, NotchViewModel* source)
{
    switch (effect.kind()) {
    case NotchEffect::Kind::cycleActivity: {
        const auto before = m_coordinator.current();
        m_coordinator.cycle(effect.forward());
        showIfChanged(before, targetFor(source));
        return;
    }
    case NotchEffect::Kind::dismissActivity: {
        const auto before = m_coordinator.current();
        m_coordinator.dismissCurrent();
        showIfChanged(before, targetFor(source));
        return;
    }
    case NotchEffect::Kind::mediaNext:
        handleMediaCommand(MediaCommand::next());
        return;
    case NotchEffect::Kind::mediaPrevious:
        handleMediaCommand(MediaCommand::previous());
        return;
    case NotchEffect::Kind::openRavo:
    case NotchEffect::Kind::requestKeyboardFocus:
    case NotchEffect::Kind::haptic:
        return;
    }
}

void ActivityRouting::handleMediaCommand(const MediaCommand& command)
{
    if (NowPlayingSource* media = m_mediaSource ? m_mediaSource() : nullptr)
        media->send(command);
}

void ActivityRouting::install(NotchViewModel& model)
{
    QPointer<ActivityRouting> self(this);
    QPointer<NotchViewModel> source(&model);
    model.onEffect = [self, source](const NotchEffect& effect) {
        if (self)
            self->handleEffect(effect, source.data());
    };
    model.onMediaCommand = [self](const MediaCommand& command) {
        if (self)
            self->handleMediaCommand(command);
    };
}

void ActivityRouting::showIfChanged(const std::optional<ActivityPayload>& before, NotchViewModel* target)
{
    const auto& current = m_coordinator.current();
    // Nothing left: the swipe has already closed the pill. The same payload
    // again: the ambient activity the user just swiped away, which stays
    // away until it comes round again.
    if (!target || !current || (before && before->id() == current->id()))
        return;
    target->send(NotchEvent::activityArrived(*current));
}

NotchViewModel* ActivityRouting::targetFor(NotchViewModel* source) const
{
    return source ? source : m_activeModel();
}
