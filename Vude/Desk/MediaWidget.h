#pragma once
// The Desk widget for what plays now: artwork, title and artist, the
// scrubber (MediaScrubber) and the previous, play/pause and next buttons;
// while the state has no title, MediaLaunchPrompt instead. It holds no
// player: it shows the state it is handed and sends its commands through
// the binding's closure (previous, toggle, next, and a seek at the end of a
// scrub; nothing else).
//
// The shown position is the state's position at `now`, which moves every
// 0.5 s while the player is on screen; no clock runs while the widget is
// hidden, on a closed Desk, or while the prompt shows.

#include "Vude/Desk/DeskWidget.h"

#include <memory>

class ArtworkView;
class MediaLaunchPrompt;
class MediaScrubber;
class PlainButton;
class WidgetFrame;

class MediaWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr Duration tickInterval = std::chrono::milliseconds(500);
    static constexpr double artworkSize = 48;

    /// `environment` must outlive the widget.
    MediaWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~MediaWidget() override;

    void bind(const WidgetBinding& binding) override;

    /// "m:ss" as the scrubber shows times (MediaTimeline::time).
    static QString time(double seconds);

    const NowPlayingState& state() const { return m_state; }
    /// The moment the position is shown for.
    Date now() const { return m_now; }
    /// The player shows (else the prompt).
    bool isShowingPlayer() const;

    WidgetFrame* frame() const { return m_frame; }
    MediaScrubber* scrubber() const { return m_scrubber; }
    PlainButton* previousButton() const { return m_previous; }
    PlainButton* toggleButton() const { return m_toggle; }
    PlainButton* nextButton() const { return m_next; }
    MediaLaunchPrompt* prompt() const { return m_prompt; }
    ArtworkView& artwork() const { return *m_artwork; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Player;

    void send(const MediaCommand& command) const;
    void updateClock();
    void tick();

    const DeskEnvironment& m_environment;
    NowPlayingState m_state;
    std::function<void(const MediaCommand&)> m_onCommand;
    Date m_now;
    std::unique_ptr<ArtworkView> m_artwork;
    WidgetFrame* m_frame = nullptr;
    Player* m_player = nullptr;
    MediaScrubber* m_scrubber = nullptr;
    PlainButton* m_previous = nullptr;
    PlainButton* m_toggle = nullptr;
    PlainButton* m_next = nullptr;
    MediaLaunchPrompt* m_prompt = nullptr;
    bool m_shown = false;
    bool m_ticking = false;
    ScheduledTask m_tick;
};
