// The Desk's media widget: what it shows for a state, what its scrubber and
// buttons send, the launch prompt's players, and a picture of each for a
// person.
#include "Vude/Desk/MediaWidget.h"

#include "Platform/Desktop/FakeApplicationCatalog.h"
#include "Platform/Desktop/GioApplicationCatalog.h"
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/MediaLaunchPrompt.h"
#include "Vude/Desk/MediaScrubber.h"
#include "Vude/Shell/Views/ArtworkView.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeServices/QuickAppsService.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "DesktopEntryFolders.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QBuffer>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using desktest::DeskRig;
using testsupport::DesktopEntryFolders;

const QColor kCoverColour{220, 30, 30};

/// The size of a media cell on the open Desk.
constexpr QSize kCell{280, 132};

std::string describe(const MediaCommand& command)
{
    switch (command.kind()) {
    case MediaCommand::Kind::seek:
        // To the second: a touch lands on whole pixels.
        return "seek " + QString::number(std::lround(command.number())).toStdString();
    case MediaCommand::Kind::toggle:
        return "toggle";
    case MediaCommand::Kind::next:
        return "next";
    case MediaCommand::Kind::previous:
        return "previous";
    default:
        return "other";
    }
}

NowPlayingState song(std::optional<double> duration = 200.0)
{
    NowPlayingState state;
    state.title = "Harbour Lights";
    state.artist = "The Quiet Tides";
    state.isPlaying = true;
    state.duration = duration;
    state.elapsed = 30;
    state.playbackRate = 1;
    return state;
}

ArtworkBytes cover()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image(96, 96, QImage::Format_RGB32);
    image.fill(kCoverColour);
    image.save(&buffer, "PNG");
    return ArtworkBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

class MediaWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        rig.model->onMediaCommand = [this](const MediaCommand& command) { sent.push_back(describe(command)); };
    }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// The widget, shown at a Desk cell's size, bound to the model.
    MediaWidget& show(const NowPlayingState& state)
    {
        rig.model->setNowPlaying(state);
        widget = std::make_unique<MediaWidget>(rig.environment);
        widget->resize(kCell);
        rebind();
        widget->show();
        return *widget;
    }
    void rebind() { widget->bind(DeskBinder(*rig.model, rig.environment).media()); }

    QPoint onBar(double share) const
    {
        const QRectF bar = widget->scrubber()->barRect();
        return QPoint(int(std::lround(bar.left() + share * bar.width())), int(bar.center().y()));
    }

    DeskRig rig;
    std::vector<std::string> sent;
    std::unique_ptr<MediaWidget> widget;
};

TEST_F(MediaWidgetQtTest, APressCountsAsAChangeAndTheReleaseSeeksToTheLastOne)
{
    MediaWidget& media = show(song());
    MediaScrubber& scrubber = *media.scrubber();
    ASSERT_GT(scrubber.barRect().width(), 100);

    QTest::mousePress(&scrubber, Qt::LeftButton, {}, onBar(0.25));
    EXPECT_TRUE(scrubber.isScrubbing());
    EXPECT_NEAR(scrubber.timeline().position, 50, 1) << "the press alone moves the display";
    EXPECT_TRUE(sent.empty()) << "nothing sent before the release";

    QTest::mouseMove(&scrubber, onBar(1.6));
    EXPECT_EQ(scrubber.timeline().position, 200) << "past the edge: the end";
    // Where the button comes up is not read.
    QTest::mouseRelease(&scrubber, Qt::LeftButton, {}, onBar(0.5));
    EXPECT_EQ(sent, std::vector<std::string>{"seek 200"});

    // The display holds the value until the player has had time to answer.
    rig.scheduler.advance(599ms);
    EXPECT_TRUE(scrubber.isScrubbing());
    EXPECT_EQ(scrubber.timeline().position, 200);
    rig.scheduler.advance(1ms);
    EXPECT_FALSE(scrubber.isScrubbing());
    EXPECT_EQ(scrubber.timeline().position, 30) << "the state's position again";

    // A click at the leading edge.
    QTest::mouseClick(&scrubber, Qt::LeftButton, {}, onBar(0));
    EXPECT_EQ(sent.back(), "seek 0");
}

TEST_F(MediaWidgetQtTest, APendingResetFiresAtItsTimeEvenDuringANewDrag)
{
    MediaWidget& media = show(song());
    MediaScrubber& scrubber = *media.scrubber();
    QTest::mouseClick(&scrubber, Qt::LeftButton, {}, onBar(0.5));
    rig.scheduler.advance(300ms);
    QTest::mousePress(&scrubber, Qt::LeftButton, {}, onBar(0.75));
    EXPECT_TRUE(scrubber.isScrubbing());
    rig.scheduler.advance(300ms);
    EXPECT_FALSE(scrubber.isScrubbing()) << "the first release's reset, mid-drag";
    QTest::mouseMove(&scrubber, onBar(0.8));
    EXPECT_TRUE(scrubber.isScrubbing()) << "the next change takes over again";
    QTest::mouseRelease(&scrubber, Qt::LeftButton, {}, onBar(0.8));
    EXPECT_EQ(sent, (std::vector<std::string>{"seek 100", "seek 160"}));
    rig.scheduler.advance(600ms);
    EXPECT_FALSE(scrubber.isScrubbing());
}

TEST_F(MediaWidgetQtTest, WithoutAUsableDurationTheScrubberTakesNoInputButShowsOneSecond)
{
    for (const std::optional<double> duration : {std::optional<double>(), std::optional<double>(0.0),
                                                 std::optional<double>(-3.0), std::optional<double>(NAN)}) {
        SCOPED_TRACE(duration ? *duration : -999);
        MediaWidget& media = show(song(duration));
        MediaScrubber& scrubber = *media.scrubber();
        QTest::mouseClick(&scrubber, Qt::LeftButton, {}, onBar(0.9));
        QTest::mousePress(&scrubber, Qt::LeftButton, {}, onBar(0.1));
        QTest::mouseMove(&scrubber, onBar(0.6));
        QTest::mouseRelease(&scrubber, Qt::LeftButton, {}, onBar(0.6));
        EXPECT_FALSE(scrubber.isScrubbing());
        EXPECT_TRUE(sent.empty());
        EXPECT_EQ(scrubber.timeline().length, 1);
        EXPECT_EQ(MediaTimeline::time(scrubber.timeline().length), "0:01");
    }

    // A track that loses its duration during a drag is not sought in.
    MediaWidget& changing = show(song());
    QTest::mousePress(changing.scrubber(), Qt::LeftButton, {}, onBar(0.5));
    rig.model->setNowPlaying(song(std::nullopt));
    rebind();
    QTest::mouseRelease(changing.scrubber(), Qt::LeftButton, {}, onBar(0.5));
    EXPECT_TRUE(sent.empty());

    // No duration at all: the bar is full once a second has played.
    MediaWidget& media = show(song(std::nullopt));
    const QImage drawn = testsupport::picture(*media.scrubber(), 1, Qt::black);
    const QRectF bar = media.scrubber()->barRect();
    EXPECT_EQ(QColor(drawn.pixel(int(bar.right()) - 3, int(bar.center().y()))), toQColor(Vude::Stone::x200));
}

TEST_F(MediaWidgetQtTest, TheTransportSendsPreviousToggleAndNextWhateverIsPlaying)
{
    MediaWidget& media = show(song());
    const QImage playing = testsupport::picture(*media.toggleButton(), 1, Qt::black);
    QTest::mouseClick(media.previousButton(), Qt::LeftButton);
    QTest::mouseClick(media.toggleButton(), Qt::LeftButton);
    QTest::mouseClick(media.nextButton(), Qt::LeftButton);
    EXPECT_EQ(media.toggleButton()->text(), "Pause");

    NowPlayingState paused = song();
    paused.isPlaying = false;
    rig.model->setNowPlaying(paused);
    rebind();
    EXPECT_EQ(media.toggleButton()->text(), "Play");
    EXPECT_NE(testsupport::picture(*media.toggleButton(), 1, Qt::black), playing) << "play.fill instead of pause.fill";
    QTest::mouseClick(media.toggleButton(), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<std::string>{"previous", "toggle", "next", "toggle"}));
}

TEST_F(MediaWidgetQtTest, WithoutATitleThePromptShowsEvenWithAPositionAndArtwork)
{
    NowPlayingState untitled = song();
    untitled.title.reset();
    untitled.artwork = cover();
    MediaWidget& media = show(untitled);
    EXPECT_FALSE(media.isShowingPlayer());
    EXPECT_TRUE(media.prompt()->isVisible());

    rig.model->setNowPlaying(song());
    rebind();
    EXPECT_TRUE(media.isShowingPlayer());
    EXPECT_FALSE(media.prompt()->isVisible());
    EXPECT_TRUE(media.scrubber()->isVisible());
}

TEST_F(MediaWidgetQtTest, ThePositionMovesEveryHalfSecondWhileThePlayerIsShown)
{
    MediaWidget& media = show(song());
    EXPECT_EQ(media.scrubber()->timeline().position, 30);
    rig.scheduler.advance(500ms);
    EXPECT_EQ(media.now(), rig.clock.now());
    EXPECT_NEAR(media.scrubber()->timeline().position, 30, 1e-9) << "elapsed was taken at no known time";

    NowPlayingState timed = song();
    timed.elapsedAsOf = rig.clock.now();
    rig.model->setNowPlaying(timed);
    rebind();
    rig.scheduler.advance(2s);
    EXPECT_NEAR(media.scrubber()->timeline().position, 32, 1e-9);

    // Hidden: no clock. Shown again: the clock is read at once.
    media.hide();
    rig.scheduler.advance(10s);
    EXPECT_EQ(media.now(), rig.clock.now() - 10s);
    media.show();
    EXPECT_EQ(media.now(), rig.clock.now());
}

TEST_F(MediaWidgetQtTest, PlayingWithArtworkForAPersonToLookAt)
{
    NowPlayingState state = song();
    state.artwork = cover();
    MediaWidget& media = show(state);
    ASSERT_TRUE(testsupport::waitUntil([&] { return media.artwork().image().has_value(); }));
    const QImage drawn = testsupport::picture(media, 1, Qt::black);
    const int top = (kCell.height() - 106) / 2;
    EXPECT_EQ(QColor(drawn.pixel(12, top + 12)), kCoverColour) << "the artwork";
    testsupport::saveScreenshot(media, "media-playing");
}

/// The prompt over the desktop's own catalogue, reading fixture entries.
class MediaLaunchPromptQtTest : public MediaWidgetQtTest {
protected:
    void useCatalog(ApplicationCatalog& catalog)
    {
        QuickAppsServiceOptions options;
        options.applicationSupport = fs::path(folders.root()) / "support";
        rig.model->quickAppsService = std::make_shared<QuickAppsService>("Vude", catalog, options);
    }

    std::vector<std::string> offered() const
    {
        std::vector<std::string> ids;
        for (const auto& app : widget->prompt()->apps())
            ids.push_back(app.appId);
        return ids;
    }

    DesktopEntryFolders folders;
};

TEST_F(MediaLaunchPromptQtTest, TheFirstThreeInstalledPlayersAreOfferedInTableOrderAndOneLaunches)
{
    const fs::path marker = folders.root() / "launched";
    const auto program = folders.program("player", "touch '" + marker.string() + "'");
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(QColor(0xE0, 0x60, 0x20));
    const std::string iconPath = (folders.root() / "player.png").string();
    ASSERT_TRUE(icon.save(QString::fromStdString(iconPath)));
    const std::string keys = "Icon=" + iconPath + "\n";
    // Installed in the wrong order, one under a Flatpak id.
    folders.entry(folders.userFolder(), "mpv.desktop", DesktopEntryFolders::application("mpv", program.string(), keys));
    folders.entry(folders.systemFolder(1), "org.videolan.VLC.desktop",
                  DesktopEntryFolders::application("VLC", program.string(), keys));
    folders.entry(folders.systemFolder(2), "org.kde.elisa.desktop",
                  DesktopEntryFolders::application("Elisa", program.string(), keys));
    folders.entry(folders.userFolder(), "spotify.desktop",
                  DesktopEntryFolders::application("Spotify", program.string(), keys));
    GioApplicationCatalog catalog({folders.environment()});
    useCatalog(catalog);

    NowPlayingState nothing;
    MediaWidget& media = show(nothing);
    EXPECT_TRUE(media.prompt()->apps().empty()) << "looked up just after the prompt shows";
    rig.scheduler.runDue();
    EXPECT_EQ(offered(), (std::vector<std::string>{"spotify", "org.kde.elisa", "org.videolan.VLC"}));
    ASSERT_EQ(media.prompt()->tiles().size(), 3u);
    EXPECT_FALSE(media.prompt()->apps()[0].icon.isNull());
    testsupport::saveScreenshot(media, "media-launch-prompt");

    QTest::mouseClick(media.prompt()->tiles()[1], Qt::LeftButton);
    EXPECT_TRUE(testsupport::waitUntil([&] { return fs::exists(marker); }));
}

TEST_F(MediaLaunchPromptQtTest, ATileWhoseApplicationWasRemovedSinceTheLookupDoesNothing)
{
    FakeApplicationCatalog catalog;
    catalog.locations = {{"vlc", "/usr/share/applications/vlc.desktop"},
                         {"org.gnome.Rhythmbox3", "/usr/share/applications/org.gnome.Rhythmbox3.desktop"}};
    useCatalog(catalog);
    MediaWidget& media = show(NowPlayingState{});
    rig.scheduler.runDue();
    EXPECT_EQ(offered(), (std::vector<std::string>{"org.gnome.Rhythmbox3", "vlc"}));

    catalog.locations.erase("vlc");
    QTest::mouseClick(media.prompt()->tiles()[1], Qt::LeftButton);
    EXPECT_TRUE(catalog.launched().empty());
    QTest::mouseClick(media.prompt()->tiles()[0], Qt::LeftButton);
    EXPECT_EQ(catalog.launched(), std::vector<fs::path>{"/usr/share/applications/org.gnome.Rhythmbox3.desktop"});
}

TEST_F(MediaLaunchPromptQtTest, WithNoPlayerInstalledOnlyTheTwoLinesShow)
{
    FakeApplicationCatalog catalog;
    useCatalog(catalog);
    MediaWidget& media = show(NowPlayingState{});
    rig.scheduler.runDue();
    EXPECT_TRUE(media.prompt()->tiles().empty());
    MediaLaunchPrompt& prompt = *media.prompt();
    EXPECT_LT(prompt.columnHeight(prompt.width()), 40) << "two lines, no row of tiles";

    // Without a quick apps service nothing is found either.
    rig.model->quickAppsService.reset();
    widget.reset();
    MediaWidget& bare = show(NowPlayingState{});
    rig.scheduler.runDue();
    EXPECT_TRUE(bare.prompt()->apps().empty());
}

} // namespace
