// The media widget with a real player: a fake MPRIS player on a private
// session bus, read and commanded through the now-playing adapter as the
// build stages it.
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/MediaWidget.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeServices/MediaRemoteSource.h"

#include "DeskRig.h"
#include "FakeMprisPlayer.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using desktest::DeskRig;

class MediaWidgetSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.start());
        m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        // The adapter is a child: it finds the bus in our environment.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    }
    void TearDown() override { qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress); }

    static fs::path adapterFolder() { return fs::path(VUDE_STAGED_HELPERS_DIR) / "mediaremote-adapter"; }

    testsupport::PrivateSessionBus bus;
    QByteArray m_previousAddress;
    ManualClock m_schedulerClock;
    ManualScheduler m_scheduler{m_schedulerClock};
    SystemClock m_clock;
    DiagnosticsTrace m_trace{Environment::fixed({}), [] { return false; }, m_clock,
                             []() -> Expected<fs::path, std::string> { return unexpected(std::string("none")); }};
};

TEST_F(MediaWidgetSystemTest, TheWidgetShowsWhatAPlayerPlaysAndItsPauseReachesThePlayer)
{
    fakempris::FakePlayer player(bus.address(), "fakeplayer", fakempris::song("Harbour Lights"));
    auto source = MediaRemoteSource::make(adapterFolder(), {.scheduler = m_scheduler, .clock = m_clock,
                                                            .trace = m_trace});
    ASSERT_TRUE(source);

    DeskRig rig;
    rig.model->onMediaCommand = [&](const MediaCommand& command) { source->send(command); };
    MediaWidget widget(rig.environment);
    widget.resize(280, 132);
    const auto rebind = [&] { widget.bind(DeskBinder(*rig.model, rig.environment).media()); };
    QObject::connect(rig.model.get(), &NotchViewModel::nowPlayingChanged, &widget, rebind);
    rebind();
    widget.show();
    QObject context;
    source->states().consume(&context, [&](const NowPlayingState& state) { rig.model->setNowPlaying(state); });
    source->start();

    ASSERT_TRUE(testsupport::waitUntil([&] { return widget.state().title == "Harbour Lights"; }, 10s));
    EXPECT_TRUE(widget.isShowingPlayer());
    EXPECT_EQ(widget.state().artist, "Artist A, Artist B");
    EXPECT_EQ(widget.toggleButton()->text(), "Pause");
    testsupport::saveScreenshot(widget, "media-real-player");

    QTest::mouseClick(widget.toggleButton(), Qt::LeftButton);
    EXPECT_TRUE(testsupport::waitUntil([&] { return player.calls().contains("PlayPause"); }, 10s))
        << player.calls().join(", ").toStdString();
}

} // namespace
