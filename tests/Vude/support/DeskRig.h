#pragma once
// A screen's view model over fakes (NotchViewModelRig) with what the Desk
// adds: its environment (the rig's manual clock and scheduler, a private
// notification centre whose posts are noted in order) and, on demand, a
// synced repository in a temporary store.

#include "NotchViewModelRig.h"

#include "Platform/Core/NotificationCenter.h"
#include "Vude/Desk/DeskEnvironment.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace desktest {

struct DeskRig : notchtest::Rig {
    DeskRig()
    {
        for (const QString& name : {NotchNotificationName::vudeOpenSettings, NotchNotificationName::vudeOpenShortcuts,
                                    NotchNotificationName::vudeOpenQuickApps})
            notifications.addObserver(name, &listener, [this](const Notification& posted) {
                this->posted.push_back(posted.name.toStdString());
            });
    }
    ~DeskRig()
    {
        if (model)
            model->repository.reset();
    }

    /// A repository over a new store, handed to the model.
    DidoDivuzerore& useRepository()
    {
        ModelConfiguration configuration;
        configuration.url = std::filesystem::path(folder.path().toStdString()) / "Vude.store";
        auto opened = ModelContainer::open(configuration);
        container = std::move(*opened);
        repository = std::make_shared<DidoDivuzerore>(container->makeContext(), "Test computer", clock);
        model->repository = repository;
        return *repository;
    }

    QTemporaryDir folder;
    NotificationCenter notifications;
    QObject listener;
    /// Names posted, in order.
    std::vector<std::string> posted;
    FixedReduceMotionSetting reduceMotion{false};
    /// Every tick a Desk control asks for.
    CountingHapticPerformer deskHaptics;
    DeskEnvironment environment{{scheduler, clock, &reduceMotion}, clock, notifications, &deskHaptics};
    std::unique_ptr<ModelContainer> container;
    std::shared_ptr<DidoDivuzerore> repository;
};

} // namespace desktest
