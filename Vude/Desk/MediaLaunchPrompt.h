#pragma once
// What the media widget shows while nothing plays: two lines asking whether
// to open a player, and a tile for each of the first three players of
// MediaPlayers' table that are installed. The players are looked up each
// time the prompt appears, just after it is shown, and not again while it
// stays on screen. A tile starts its player where it is installed at the
// click; one removed since the lookup does nothing.

#include "Vude/Desk/MediaPlayers.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class PlainButton;

class MediaLaunchPrompt final : public QWidget {
    Q_OBJECT
public:
    static constexpr double tileSize = 34;
    static constexpr double hoverScale = 1.12;
    static constexpr double tileSpacing = 10;
    static constexpr double lineSpacing = 1;
    static constexpr double spacing = 9;
    static constexpr double paddingX = 8;

    /// `environment` must outlive the prompt.
    explicit MediaLaunchPrompt(const ViewEnvironment& environment, QWidget* parent = nullptr);
    ~MediaLaunchPrompt() override;

    /// How players are found, and how one is started by its app id; both
    /// read when used.
    void setLookup(MediaPlayers::Lookup lookup) { m_lookup = std::move(lookup); }
    void setOnLaunch(std::function<void(const std::string& appId)> onLaunch) { m_onLaunch = std::move(onLaunch); }

    /// The players found at the last lookup, in table order.
    const std::vector<MediaPlayers::Found>& apps() const { return m_apps; }
    /// Their tiles, in the same order.
    const std::vector<PlainButton*>& tiles() const { return m_tiles; }

    /// The column's height at `width`: the lines, and the tiles when any.
    int columnHeight(int width) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void lookUp();
    void rebuildTiles();
    void placeTiles();
    /// The rectangle of the two lines at the present size.
    QRectF linesRect() const;

    const ViewEnvironment& m_environment;
    MediaPlayers::Lookup m_lookup;
    std::function<void(const std::string&)> m_onLaunch;
    std::vector<MediaPlayers::Found> m_apps;
    std::vector<PlainButton*> m_tiles;
    ScheduledTask m_pendingLookup;
};
