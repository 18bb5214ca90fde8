#include "Vude/Onboarding/OnboardingModel.h"

#include "Platform/Core/MainThread.h"

std::optional<OnboardingModel::Step> OnboardingModel::stepFromRawValue(int rawValue)
{
    for (const Step step : allSteps())
        if (number(step) == rawValue)
            return step;
    return std::nullopt;
}

OnboardingModel::OnboardingModel(SettingsStore* settings, PermissionSystem& permissions, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_permissions(permissions)
{
    refreshPermissions();
}

OnboardingModel::~OnboardingModel() = default;

void OnboardingModel::setStep(Step step)
{
    if (step == m_step)
        return;
    m_step = step;
    emit stepChanged();
}

Permission::State OnboardingModel::state(Permission permission) const
{
    const auto found = m_permissionStates.find(permission);
    return found == m_permissionStates.end() ? Permission::State::notDetermined : found->second;
}

void OnboardingModel::setStuckPermission(std::optional<Permission> permission)
{
    if (permission == m_stuckPermission)
        return;
    m_stuckPermission = permission;
    emit stuckPermissionChanged();
}

void OnboardingModel::refreshPermissions()
{
    PermissionStates states;
    for (const Permission permission : Permission::allCases())
        states[permission] = permission.state(m_permissions);
    if (states == m_permissionStates)
        return;
    m_permissionStates = std::move(states);
    emit permissionStatesChanged();
}

void OnboardingModel::request(Permission permission)
{
    // Fresh from the system: the table may be older than the user's last
    // visit to the desktop's settings.
    const Permission::State before = permission.state(m_permissions);
    std::weak_ptr<int> alive = m_lifetime;
    permission.request(
        [this, alive, permission, before](bool) {
            // Calendar and camera answer on a thread of their own; the model
            // is looked at only on the main thread, where it is destroyed.
            auto answer = [this, alive, permission, before] {
                if (!alive.expired())
                    requestAnswered(permission, before);
            };
            if (isMainThread())
                answer();
            else
                postToMainThread(std::move(answer));
        },
        m_permissions);
}

void OnboardingModel::requestAnswered(Permission permission, Permission::State before)
{
    refreshPermissions();
    const Permission::State after = permission.state(m_permissions);
    if (after == before && after != Permission::State::granted)
        setStuckPermission(permission);
}

void OnboardingModel::advance()
{
    if (const auto next = stepFromRawValue(number(m_step) + 1))
        setStep(*next);
}

void OnboardingModel::back()
{
    if (const auto previous = stepFromRawValue(number(m_step) - 1))
        setStep(*previous);
}
