#include "Vude/Permissions/PermissionPrompt.h"

void PermissionPrompt::withActivation(std::function<void()> work, PermissionSystem& system)
{
    ActivationPolicyRecorder& activation = system.seams().activation;
    const ActivationPolicy remembered = activation.activationPolicy();
    if (remembered != ActivationPolicy::regular)
        activation.setActivationPolicy(ActivationPolicy::regular);
    activation.activateIgnoringOtherApps();

    std::weak_ptr<const int> alive = system.lifetime();
    system.seams().scheduler.after(activationDelay, [&system, alive, remembered, work = std::move(work)] {
        if (alive.expired())
            return;
        if (work)
            work();
        if (alive.expired())
            return;
        // Whether or not the user has answered by then.
        system.seams().scheduler.after(restoreDelay, [&system, alive, remembered] {
            if (alive.expired())
                return;
            ActivationPolicyRecorder& activation = system.seams().activation;
            if (activation.activationPolicy() != remembered)
                activation.setActivationPolicy(remembered);
        });
    });
}

bool PermissionPrompt::explain(const std::string& title, const std::string& message,
                               const std::optional<std::string>& settingsPane, PermissionSystem& system)
{
    ActivationPolicyRecorder& activation = system.seams().activation;
    const ActivationPolicy remembered = activation.activationPolicy();
    if (remembered != ActivationPolicy::regular)
        activation.setActivationPolicy(ActivationPolicy::regular);
    activation.activateIgnoringOtherApps();

    std::string opens = settingsPane ? system.privacyPaneTitle(*settingsPane) : std::string();
    const Alert alert{
        .messageText = title,
        .informativeText = message,
        .style = Alert::Style::informational,
        .buttons = {opens.empty() ? std::string(okButton) : std::move(opens), notNowButton},
    };
    const bool openSettings = system.seams().alerts.runModal(alert) == std::optional<std::size_t>(0);
    if (openSettings && settingsPane)
        system.openPrivacyPane(*settingsPane);

    if (activation.activationPolicy() != remembered)
        activation.setActivationPolicy(remembered);
    return openSettings;
}
