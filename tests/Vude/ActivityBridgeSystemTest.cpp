// The road of one volume change through the activity bridge, on a real sound
// server (PulseAudio, and PipeWire's pulse server where it is installed):
// another mixer or the volume key changes the volume, the audio service
// reports it, and the coordinator shows the sound pill. The volume key also
// comes from a real X server, beside a key binder that may hold it.
#include "BridgeRig.h"

#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Input/X11KeyTapBackend.h"
#include "Platform/Input/X11Keyboard.h"
#include "Platform/Input/XcbConnection.h"
#include "PrivatePulseServer.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestKeyboard.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include <signal.h>

namespace {

using namespace bridgetest;
using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;
using G = ActivityGlyph;
using T = ActivityTrailing;

class ActivityBridgeSystemTest : public ::testing::TestWithParam<SoundServerKind>, public BridgeRig {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ownedAudioBackend = std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString());
        audioBackend = nullptr;
        makeBridge(false);
        ASSERT_TRUE(startBridge());
        ASSERT_TRUE(waitFor([&] { return bridge->audio().deviceID() != 0; }));
        testsupport::processEvents();
    }

    void pactl(const QStringList& arguments)
    {
        ASSERT_TRUE(server.pactl(arguments).has_value()) << arguments.join(' ').toStdString();
    }

    /// Waits for a sound pill whose bar stands at `fraction`.
    const ActivityPayload* soundPillAt(double fraction)
    {
        const ActivityPayload* found = nullptr;
        waitFor([&] {
            for (const auto& payload : presented)
                if (const auto* bar = payload.trailing().as<T::Bar>();
                    bar && payload.kind() == ActivityKind::sound && std::abs(bar->fraction - fraction) < 0.002)
                    found = &payload;
            return found != nullptr;
        });
        return found;
    }

    PrivatePulseServer server{{{"speakers", "device.description=Speakers"},
                               {"headphones", "device.description=Headphones device.bus=usb"}},
                              GetParam()};
};

TEST_P(ActivityBridgeSystemTest, AVolumeChangeReachesTheCoordinatorAsASoundPill)
{
    EXPECT_TRUE(presented.empty()) << "the state at start raised a pill";

    pactl({"set-sink-volume", "speakers", "40%"});
    const ActivityPayload* pill = soundPillAt(0.4);
    ASSERT_TRUE(pill);
    EXPECT_EQ(pill->title(), "Speakers");
    EXPECT_EQ(pill->dedupeKey(), "sound");
    EXPECT_EQ(pill->priority(), ActivityPriority::interrupt);
    EXPECT_EQ(coordinator.current()->id(), presented.back().id());

    pactl({"set-sink-mute", "speakers", "1"});
    pill = soundPillAt(0.0);
    ASSERT_TRUE(pill);
    EXPECT_EQ(pill->leading(), G::symbol("speaker.slash.fill"));
    pactl({"set-sink-mute", "speakers", "0"});
    ASSERT_TRUE(soundPillAt(0.4));

    // Another output becomes the default: the pill names it.
    pactl({"set-default-sink", "headphones"});
    ASSERT_TRUE(waitFor([&] { return presented.back().title() == "Headphones"; }));
    EXPECT_EQ(presented.back().leading(), G::symbol("hifispeaker.fill"));
}

TEST_P(ActivityBridgeSystemTest, TheVolumeKeyIsAppliedAndShown)
{
    pactl({"set-sink-volume", "speakers", "50%"});
    ASSERT_TRUE(soundPillAt(0.5));
    ASSERT_TRUE(waitFor([&] { return std::abs(bridge->audio().currentState().volume - 0.5) < 0.002; }));

    EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundUp, .isDown = true}));
    ASSERT_TRUE(soundPillAt(0.5625));
    EXPECT_TRUE(server.pactl({"get-sink-volume", "speakers"}).value_or("").contains("56%"));

    EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundDown, .isDown = true, .isFineAdjust = true}));
    ASSERT_TRUE(soundPillAt(0.546875));
    EXPECT_FALSE(bridge->handleMediaKey({.key = MediaKey::mute, .isDown = true}));
}

// A stopped server answers nothing: the handler must return all the same,
// each press stepping on from the one before, its pill shown at once.
TEST_P(ActivityBridgeSystemTest, VolumeKeysWhileTheServerIsStoppedLandOnceItResumes)
{
    pactl({"set-sink-volume", "speakers", "50%"});
    ASSERT_TRUE(soundPillAt(0.5));
    ASSERT_TRUE(waitFor([&] { return std::abs(bridge->audio().knownState().volume - 0.5) < 0.002; }));

    const auto pid = pid_t(server.pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    for (const double level : {0.5625, 0.625, 0.6875}) {
        SCOPED_TRACE(level);
        EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundUp, .isDown = true}));
        EXPECT_EQ(bridge->audio().knownState().volume, level);
        EXPECT_TRUE(soundPillAt(level));
    }

    ASSERT_TRUE(stopped.resume());
    EXPECT_TRUE(waitFor([&] {
        return server.pactl({"get-sink-volume", "speakers"}).value_or("").contains("45056 /");
    })) << "three steps up: 0.6875 of 100 %";
    ASSERT_TRUE(waitFor([&] { return bridge->audio().knownState() == bridge->audio().currentState(); }));
    EXPECT_NEAR(bridge->audio().knownState().volume, 0.6875, 1e-4);
}

// The bridge with its real key tap on a private X server and its audio on
// the private sound server; the keys are typed with XTEST. A key binder
// (xbindkeys) plays the desktop that holds the volume keys.
class ActivityBridgeKeySystemTest : public ::testing::TestWithParam<SoundServerKind>, public BridgeRig {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sound.start()) << m_sound.errorText().toStdString();
        ASSERT_TRUE(m_x.start());
        m_connection = XcbConnection::open(m_x.display().toStdString());
        ASSERT_NE(m_connection, nullptr);
        m_keyboard = std::make_shared<X11Keyboard>(m_connection.get());
        InputAccessProbe::installStandard(m_keyboard);
        ASSERT_TRUE(m_typist.open(m_x.display().toStdString()));
        m_volumeUp = m_typist.keycode(KeySymbols::audioRaiseVolume);
        ASSERT_NE(m_volumeUp, 0);
        ownedAudioBackend = std::make_unique<PulseAudioBackend>(scheduler, m_sound.address().toStdString());
        audioBackend = nullptr;
    }

    void TearDown() override
    {
        testsupport::stopProcess(m_binder);
        // The tap and the probe use the connection, which goes before the rig.
        bridge.reset();
        InputAccessProbe::installStandard(access);
    }

    /// Starts the bridge over the real tap, with the volume at 50 % and its
    /// pill seen, so the audio stream is primed.
    void startAt50Percent()
    {
        otherEventTap = std::make_unique<EventTapService>(std::make_unique<X11KeyTapBackend>(m_keyboard, scheduler),
                                                          m_keyboard, scheduler, schedulerClock);
        makeBridge(false);
        ASSERT_TRUE(startBridge());
        ASSERT_TRUE(waitFor([&] { return bridge->audio().deviceID() != 0; }));
        ASSERT_TRUE(m_sound.pactl({"set-sink-volume", "speakers", "50%"}));
        ASSERT_TRUE(soundPillAt(0.5));
        presented.clear();
    }

    /// xbindkeys on the private display, raising the volume by 5 % on
    /// volume up and then touching `binderDone()`; waits until it holds the
    /// key. Probing the key ourselves meanwhile could make its grab fail, so
    /// it is asked instead: F12, bound after volume up, touches a file once
    /// its grabs stand (the server takes one client's grabs in order).
    void startKeyBinder()
    {
        const QString rc = m_folder.filePath("xbindkeysrc");
        const QString ready = m_folder.filePath("binder-ready");
        QFile file(rc);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\"pactl set-sink-volume @DEFAULT_SINK@ +5% && touch '" + binderDone().toUtf8() +
                   "'\"\n    XF86AudioRaiseVolume\n\"touch '" + ready.toUtf8() + "'\"\n    F12\n");
        file.close();
        auto environment = m_x.childEnvironment();
        environment.insert("PULSE_SERVER", m_sound.address());
        m_binder.setProcessEnvironment(environment);
        m_binder.setProcessChannelMode(QProcess::ForwardedChannels);
        m_binder.start("xbindkeys", {"-n", "-f", rc, "-X", m_x.display()});
        ASSERT_TRUE(m_binder.waitForStarted(5000));
        const xcb_keycode_t f12 = m_typist.keycode(0xffc9);
        ASSERT_NE(f12, 0);
        bool isReady = false;
        for (int attempt = 0; attempt < 100 && !isReady; ++attempt) {
            m_typist.tap(f12);
            isReady = testsupport::waitUntil([&] { return QFile::exists(ready); }, std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(isReady) << "xbindkeys never took its keys";
    }
    QString binderDone() const { return m_folder.filePath("binder-done"); }

    /// Waits for a sound pill whose bar stands at `fraction`.
    bool soundPillAt(double fraction)
    {
        return waitFor([&] {
            for (const auto& payload : presented)
                if (const auto* bar = payload.trailing().as<T::Bar>();
                    bar && payload.kind() == ActivityKind::sound && std::abs(bar->fraction - fraction) < 0.002)
                    return true;
            return false;
        });
    }

    /// The sink's volume as pactl prints it ("55%").
    std::string volumeText() const
    {
        const QString text = m_sound.pactl({"get-sink-volume", "speakers"}).value_or("");
        const auto percent = text.indexOf('%');
        const auto start = text.lastIndexOf(' ', percent) + 1;
        return percent < 0 ? text.toStdString() : text.mid(start, percent - start + 1).toStdString();
    }

    /// Key-down lines the handler traced for volume up.
    long volumeUpPresses() const
    {
        const auto lines = traceLines();
        return std::count(lines.begin(), lines.end(), "media key soundUp down=true fine=false");
    }

    PrivatePulseServer m_sound{{{"speakers", "device.description=Speakers"}}, GetParam()};
    testsupport::PrivateXServer m_x;
    std::unique_ptr<XcbConnection> m_connection;
    std::shared_ptr<X11Keyboard> m_keyboard;
    testsupport::XTestKeyboard m_typist;
    xcb_keycode_t m_volumeUp = 0;
    QTemporaryDir m_folder;
    QProcess m_binder;
};

TEST_P(ActivityBridgeKeySystemTest, AKeyBinderHoldingVolumeUpStepsItOnceAndTheSoundPillShows)
{
    startKeyBinder();
    startAt50Percent();
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::listen));

    m_typist.tap(m_volumeUp);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(binderDone()); })) << "xbindkeys did not run its command";
    ASSERT_TRUE(waitFor([&] { return volumeUpPresses() == 1; }));
    EXPECT_EQ(volumeText(), "55%") << "the binder's 5 % alone, not our 6.25 % on top";
    EXPECT_TRUE(soundPillAt(0.55)) << "the pill follows the binder's change";
    const auto lines = traceLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "media key soundUp left to the program holding it"), lines.end());
}

TEST_P(ActivityBridgeKeySystemTest, ListeningWithNobodyHoldingTheKeyAppliesItOnce)
{
    startAt50Percent();
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::listen));

    m_typist.tap(m_volumeUp);
    ASSERT_TRUE(soundPillAt(0.5625));
    EXPECT_EQ(volumeUpPresses(), 1);
    EXPECT_EQ(volumeText(), "56%");
}

TEST_P(ActivityBridgeKeySystemTest, InterceptingAppliesExactlyOneStepPerPress)
{
    settings.setSuppressSystemHUD(true);
    startAt50Percent();
    ASSERT_EQ(bridge->tapStatus(), EventTapService::Status::running(EventTapService::Mode::intercept));

    m_typist.tap(m_volumeUp);
    ASSERT_TRUE(soundPillAt(0.5625));
    m_typist.tap(m_volumeUp);
    ASSERT_TRUE(soundPillAt(0.625));
    EXPECT_EQ(volumeUpPresses(), 2);
    EXPECT_EQ(volumeText(), "63%");
}

INSTANTIATE_TEST_SUITE_P(Servers, ActivityBridgeKeySystemTest,
                         ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName{});

INSTANTIATE_TEST_SUITE_P(Servers, ActivityBridgeSystemTest, ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName{});

} // namespace
