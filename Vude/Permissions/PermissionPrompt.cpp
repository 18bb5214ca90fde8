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

namespace {

// Holds the app in front, with the regular activation policy, for as long as
// it lives; then gives back the policy it had.
class InFront {
public:
    explicit InFront(PermissionSystem& system)
        : m_activation(system.seams().activation), m_remembered(m_activation.activationPolicy())
    {
        if (m_remembered != ActivationPolicy::regular)
            m_activation.setActivationPolicy(ActivationPolicy::regular);
        m_activation.activateIgnoringOtherApps();
    }
    ~InFront()
    {
        if (m_activation.activationPolicy() != m_remembered)
            m_activation.setActivationPolicy(m_remembered);
    }

    InFront(const InFront&) = delete;
    InFront& operator=(const InFront&) = delete;

private:
    ActivationPolicyRecorder& m_activation;
    const ActivationPolicy m_remembered;
};

} // namespace

bool PermissionPrompt::explain(const std::string& title, const std::string& message,
                               const std::optional<std::string>& settingsPane, PermissionSystem& system)
{
    const InFront inFront(system);
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
    return openSettings;
}

void PermissionPrompt::inform(const std::string& title, const std::string& message, PermissionSystem& system)
{
    const InFront inFront(system);
    (void)system.seams().alerts.runModal(
        {.messageText = title, .informativeText = message, .style = Alert::Style::warning, .buttons = {okButton}});
}
