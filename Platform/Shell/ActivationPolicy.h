#pragma once
// Whether the app shows up among the user's windows. The notch itself never
// does; the settings and onboarding windows switch the app to `regular`
// while they are open so they behave like any application's window (a
// taskbar entry, Alt+Tab) and back to `accessory` when they close. Linux has
// no such switch of its own: this records it, and the windows read it through
// `windowFlags`.

#include <QObject>

enum class ActivationPolicy { regular, accessory, prohibited };

class ActivationPolicyRecorder final : public QObject {
    Q_OBJECT
public:
    explicit ActivationPolicyRecorder(ActivationPolicy initial = ActivationPolicy::accessory,
                                      QObject* parent = nullptr)
        : QObject(parent), m_policy(initial)
    {
    }

    ActivationPolicy activationPolicy() const { return m_policy; }
    /// Returns whether the policy changed.
    bool setActivationPolicy(ActivationPolicy policy);

    /// Asks to bring the app's windows forward even while another app is
    /// active; counted, for the window that is shown next to take.
    void activateIgnoringOtherApps() { ++m_activations; emit activationRequested(); }
    int activationRequests() const { return m_activations; }

    /// How a settings-like window is made under `policy`: a normal window
    /// with a taskbar entry when regular, a tool window without one otherwise.
    static Qt::WindowFlags windowFlags(ActivationPolicy policy);

signals:
    void activationPolicyChanged(ActivationPolicy policy);
    void activationRequested();

private:
    ActivationPolicy m_policy;
    int m_activations = 0;
};
