#pragma once
// The first-run walkthrough's content, 700 by 620: each step's hero (a
// NotchDemoView, made afresh on every step so its script restarts), copy and
// extra block (the media note, the permission rows and the help box), and a
// footer with the progress capsules, "Back" and the primary button, which
// Return and Enter press. The view keeps no state of its own: everything is
// the model's. It never closes its window; the last step's primary button
// calls `onFinish`, whose owner records completion.
//
// Permission states are read again when the view is shown and whenever the
// application becomes active (applicationBecameActive(), which the
// application's state signal calls), so a permission granted elsewhere
// shows as soon as the user comes back. Main thread only.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Vude/Onboarding/OnboardingModel.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class AccentButton;
class NotchDemoView;
class PlainButton;
class QLabel;
class QScrollArea;
class QVBoxLayout;

class OnboardingView final : public QWidget {
public:
    static constexpr QSize windowSize{700, 620};
    /// A look at the Bluetooth stack, for the help box's steps.
    using BluetoothStackRead = std::function<BluetoothStackStatus()>;

    /// `model` and what `environment` names must outlive the view.
    OnboardingView(OnboardingModel& model, ViewEnvironment environment, std::function<void()> onFinish,
                   BluetoothStackRead readBluetoothStack = {}, QWidget* parent = nullptr);
    ~OnboardingView() override;

    /// Reads the permission states again.
    void applicationBecameActive();

    /// The step's hero; none on the permissions step.
    NotchDemoView* hero() const;
    AccentButton* primaryButton() const { return m_primary; }
    PlainButton* backButton() const { return m_back; }
    /// The progress capsules' widths now, in step order.
    std::vector<double> capsuleWidths() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void stepChanged();
    void rebuildExtra();
    void updateScrollBar();
    void primaryPressed();

    OnboardingModel& m_model;
    ViewEnvironment m_environment;
    std::function<void()> m_onFinish;
    BluetoothStackRead m_readBluetoothStack;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_heroSlot = nullptr;
    QPointer<NotchDemoView> m_hero;
    QLabel* m_eyebrow = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_body = nullptr;
    QVBoxLayout* m_extraSlot = nullptr;
    QPointer<QWidget> m_extra;
    class ProgressCapsules* m_progress = nullptr;
    PlainButton* m_back = nullptr;
    AccentButton* m_primary = nullptr;
};
