// The sound output widget on a real sound server (PulseAudio, and PipeWire's
// pulse server where it is installed) with two null sinks: a click on the
// other output's row makes it the server's default, as pactl sees it, and the
// list read back moves the check mark.
#include "Vude/Desk/AudioDeviceWidget.h"

#include "Platform/Audio/PulseAudioBackend.h"
#include "Platform/Core/MainThread.h"
#include "Vude/Desk/DeskBinder.h"
#include "VudeServices/AudioService.h"

#include "DeskRig.h"
#include "PrivatePulseServer.h"
#include "TestSupport.h"

#include <QTest>

#include <signal.h>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;
using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;

class AudioDeviceWidgetSystemTest : public ::testing::TestWithParam<SoundServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        service = std::make_unique<AudioService>(
            std::make_unique<PulseAudioBackend>(rig.scheduler, server.address().toStdString()));
        service->start();
        ASSERT_TRUE(testsupport::waitUntil([&] { return service->deviceID() != 0; }));
        rig.model->audioOutputDevices = [this] { return service->outputDevices(); };
        ASSERT_TRUE(testsupport::waitUntil([&] { return service->outputDevices().size() == 2; }));
        // As the app hands the answer over: on the main thread.
        rig.model->setDefaultAudioOutput = [this](std::uint32_t id, std::function<void(bool)> done) {
            service->setDefaultOutput(id, [this, done](bool accepted) {
                postTo(&mainThread, [this, done, accepted] {
                    answers.push_back(accepted);
                    done(accepted);
                });
            });
        };
        rig.model->setAudioDevices(rig.model->audioOutputDevices());
    }

    void TearDown() override
    {
        widget.reset();
        service.reset();
    }

    QString defaultSink() const { return server.pactl({"get-default-sink"}).value_or("").trimmed(); }

    std::uint32_t idOf(const std::string& name) const
    {
        for (const AudioOutputDevice& device : rig.model->audioDevices())
            if (device.name == name)
                return device.id;
        ADD_FAILURE() << "no output named " << name;
        return 0;
    }

    DeskRig rig;
    PrivatePulseServer server{{{"speakers", "device.description=Speakers"},
                               {"headphones", "device.description=Headphones device.bus=usb"}},
                              GetParam()};
    std::unique_ptr<AudioService> service;
    std::unique_ptr<AudioDeviceWidget> widget;
    std::vector<bool> answers;
    QObject mainThread;
};

TEST_P(AudioDeviceWidgetSystemTest, AClickOnTheOtherOutputMakesItTheServersDefault)
{
    ASSERT_EQ(defaultSink(), "speakers");
    DeskBinder binder(*rig.model, rig.environment);
    widget = std::make_unique<AudioDeviceWidget>(rig.environment);
    widget->resize(220, 150);
    widget->bind(binder.audioDevice());
    widget->show();
    QObject::connect(rig.model.get(), &NotchViewModel::audioDevicesChanged, widget.get(),
                     [&] { widget->bind(binder.audioDevice()); });

    const std::uint32_t speakers = idOf("Speakers");
    const std::uint32_t headphones = idOf("Headphones");
    ASSERT_NE(widget->row(headphones), nullptr);
    EXPECT_TRUE(widget->row(speakers)->device().isDefault);
    EXPECT_EQ(widget->row(headphones)->device().transport, AudioState::Transport::usb);

    QTest::mouseClick(widget->row(headphones), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0]);
    EXPECT_EQ(defaultSink(), "headphones");
    EXPECT_TRUE(widget->row(headphones)->device().isDefault) << "the list read back";
    EXPECT_FALSE(widget->row(speakers)->device().isDefault);

    // The default's row asks again; the server keeps it.
    QTest::mouseClick(widget->row(headphones), Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(defaultSink(), "headphones");
}

TEST_P(AudioDeviceWidgetSystemTest, AClickWhileTheServerIsStoppedReturnsAndTheListFollowsItsAnswer)
{
    DeskBinder binder(*rig.model, rig.environment);
    widget = std::make_unique<AudioDeviceWidget>(rig.environment);
    widget->resize(220, 150);
    widget->bind(binder.audioDevice());
    widget->show();
    QObject::connect(rig.model.get(), &NotchViewModel::audioDevicesChanged, widget.get(),
                     [&] { widget->bind(binder.audioDevice()); });
    const std::uint32_t speakers = idOf("Speakers");
    const std::uint32_t headphones = idOf("Headphones");

    testsupport::StoppedProcess stopped(pid_t(server.pid()));
    ASSERT_TRUE(stopped.isStopped());
    QTest::mouseClick(widget->row(headphones), Qt::LeftButton);
    // Back at once, the known list still shown.
    EXPECT_TRUE(answers.empty());
    EXPECT_TRUE(widget->row(speakers)->device().isDefault);
    ASSERT_TRUE(stopped.resume());

    ASSERT_TRUE(testsupport::waitUntil([&] { return answers.size() == 1; }));
    // Given up on the stopped server or taken, the row marked is the one
    // the answer says.
    if (answers[0]) {
        EXPECT_EQ(defaultSink(), "headphones");
    }
    EXPECT_EQ(widget->row(headphones)->device().isDefault, answers[0]);
    EXPECT_NE(widget->row(speakers)->device().isDefault, answers[0]);
}

INSTANTIATE_TEST_SUITE_P(SoundServers, AudioDeviceWidgetSystemTest,
                         ::testing::ValuesIn(testsupport::installedSoundServers()),
                         [](const auto& info) { return std::string(testsupport::nameOf(info.param)); });

} // namespace
