#pragma once
// The state of the first-run walkthrough: which of its five steps shows, the
// state of every permission as last read, and the permission whose request
// just failed to take (the help box). The window makes one model each time it
// opens and drops it when the walkthrough ends; the view reads it and calls
// its operations. It knows nothing of windows and reaches the system only
// through Permission.
//
// Setting a property to the value it holds notifies nobody. Main thread only;
// a request's answer that arrives after the model is gone is dropped.

#include "Vude/Permissions/Permission.h"
#include "VudeKit/EnumTraits.h"

#include <QObject>

#include <array>
#include <memory>
#include <optional>
#include <unordered_map>

class PermissionSystem;
class SettingsStore;

class OnboardingModel final : public QObject {
    Q_OBJECT
public:
    enum class Step { welcome, gestures, media, permissions, ravo };
    using PermissionStates = std::unordered_map<Permission, Permission::State>;

    /// Every step, in walkthrough order.
    static constexpr std::array<Step, 5> allSteps()
    {
        return {Step::welcome, Step::gestures, Step::media, Step::permissions, Step::ravo};
    }
    static constexpr int number(Step step) { return static_cast<int>(step); }
    /// The step numbered `rawValue`; none for a number that is no step.
    static std::optional<Step> stepFromRawValue(int rawValue);

    /// Starts at `welcome` with no stuck permission and reads every
    /// permission once, so the first frame shows real states. `settings`
    /// and `permissions` must outlive the model.
    explicit OnboardingModel(SettingsStore* settings, PermissionSystem& permissions, QObject* parent = nullptr);
    ~OnboardingModel() override;

    Step step() const { return m_step; }
    /// Any step; the window's developer start step sets it right after creation.
    void setStep(Step step);

    const PermissionStates& permissionStates() const { return m_permissionStates; }
    /// The state as last read; `notDetermined` for one never read.
    Permission::State state(Permission permission) const;

    std::optional<Permission> stuckPermission() const { return m_stuckPermission; }
    /// The view clears it when the user closes the help box.
    void setStuckPermission(std::optional<Permission> permission);

    /// The app's settings store (none while the app has none); the model itself never reads it.
    SettingsStore* settings() const { return m_settings; }
    PermissionSystem& permissionSystem() const { return m_permissions; }

    /// Reads the five states again; leaves the stuck permission as it is.
    void refreshPermissions();
    /// Asks for `permission`. When the answer comes, a state that is still
    /// what it was just before the request, and not granted, marks the
    /// permission stuck (replacing an earlier one); any change is not stuck.
    void request(Permission permission);
    /// The next step; nothing on the last.
    void advance();
    /// The previous step; nothing on the first.
    void back();

signals:
    void stepChanged();
    void permissionStatesChanged();
    void stuckPermissionChanged();

private:
    void requestAnswered(Permission permission, Permission::State before);

    SettingsStore* m_settings;
    PermissionSystem& m_permissions;
    Step m_step = Step::welcome;
    PermissionStates m_permissionStates;
    std::optional<Permission> m_stuckPermission;
    // Request answers hold this weakly and give up once the model has gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

template <>
struct EnumTraits<OnboardingModel::Step> {
    using S = OnboardingModel::Step;
    static constexpr std::array cases{
        EnumCase{S::welcome, "welcome"},
        EnumCase{S::gestures, "gestures"},
        EnumCase{S::media, "media"},
        EnumCase{S::permissions, "permissions"},
        EnumCase{S::ravo, "ravo"},
    };
};
