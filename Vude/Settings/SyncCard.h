#pragma once
// The card under the General pane's sync title: the switch that turns sync
// on from the next launch, and a status block that follows the sync
// coordinator live (a dot, the status, why changes stay here or are not
// pushed, the store's error) with a "Check now" button that asks the
// coordinator to check the account once more per press.
//
// Without a coordinator (no store could be opened) the block reads as a
// folder that could not be reached, and "Check now" does nothing.

#include "Vude/Settings/SettingsEnvironment.h"
#include "VudeKit/SettingsStore.h"
#include "VudeSync/SyncCoordinator.h"
#include "VudeSync/SyncStatus.h"
#include "VudeUI/Tokens.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>

class PlainButton;
class SettingsBindings;
class SettingsRow;
class SettingsSwitch;
class SettingsText;

/// A selectable text of at most `maximumLines` lines at the width it is
/// given; the rest is cut (a line laid out by QTextLayout ends the text).
class ClampedText final : public QLabel {
    Q_OBJECT
public:
    ClampedText(const Vude::FontToken& font, const Vude::Color& color, int maximumLines, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_fullText; }
    /// The first `maximumLines` lines of the text laid out at `width`.
    QString clampedText(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_fullText;
    int m_maximumLines;
};

class SyncCard final : public QWidget {
    Q_OBJECT
public:
    /// What the status block shows, from the coordinator and the setting.
    struct State {
        SyncStatus status = SyncStatus::idle();
        bool isLocalOnly = false;
        bool syncEnabled = true;
        SyncCoordinator::PushRegistration push = SyncCoordinator::PushRegistration::pending();
        std::optional<std::string> containerError;
    };
    struct Lines {
        /// The dot: amber while unavailable, sage otherwise.
        Vude::Color dot = Vude::Semantic::sage;
        std::string status;
        std::optional<std::string> localOnly;
        std::optional<std::string> pushPending;
        /// The failure's sentence and its message.
        std::optional<std::pair<std::string, std::string>> pushFailed;
        std::optional<std::string> containerError;
    };
    static Lines lines(const State& state, Date now);

    static constexpr int dotDiameter = 7;
    static constexpr int maximumErrorLines = 4;

    /// `sync` may be none; `settings` and `environment` outlive the card.
    SyncCard(SettingsStore& settings, SyncCoordinator* sync, const SettingsEnvironment& environment,
             QWidget* parent = nullptr);

    State state() const;
    Lines shownLines() const { return lines(state(), m_environment.wallClock.now()); }

    SettingsSwitch* syncSwitch() const { return m_switch; }
    PlainButton* checkNowButton() const { return m_checkNow; }
    SettingsText* statusText() const { return m_status; }
    SettingsText* localOnlyText() const { return m_localOnly; }
    SettingsText* pushPendingText() const { return m_pushPending; }
    SettingsText* pushFailedText() const { return m_pushFailed; }
    QLabel* pushFailureText() const { return m_pushFailure; }
    ClampedText* containerErrorText() const { return m_containerError; }
    Vude::Color dotColor() const { return m_dot; }

private:
    void refresh();

    SettingsStore& m_settings;
    QPointer<SyncCoordinator> m_sync;
    bool m_hasSync = false;
    const SettingsEnvironment& m_environment;
    SettingsBindings* m_bindings = nullptr;
    SettingsSwitch* m_switch = nullptr;
    QWidget* m_dotView = nullptr;
    Vude::Color m_dot = Vude::Semantic::sage;
    SettingsText* m_status = nullptr;
    SettingsText* m_localOnly = nullptr;
    SettingsText* m_pushPending = nullptr;
    QWidget* m_pushFailedStack = nullptr;
    SettingsText* m_pushFailed = nullptr;
    QLabel* m_pushFailure = nullptr;
    ClampedText* m_containerError = nullptr;
    PlainButton* m_checkNow = nullptr;
};
