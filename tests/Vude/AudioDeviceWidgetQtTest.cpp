// The Desk's sound outputs: the rows, the default's marks, the hover and
// what a click asks for.
#include "Vude/Desk/AudioDeviceWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;
using Transport = AudioState::Transport;

void enter(QWidget& widget)
{
    QEnterEvent event(QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)), widget.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

class AudioDeviceWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    AudioDeviceWidget& show(const AudioDeviceBinding& binding, QSize size = {220, 150})
    {
        widget = std::make_unique<AudioDeviceWidget>(rig.environment);
        widget->resize(size);
        widget->bind(binding);
        widget->show();
        return *widget;
    }

    /// The colour drawn beside the row's symbol, where only its background
    /// can be.
    QColor backgroundOf(AudioDeviceRow& row)
    {
        const QImage drawn = testsupport::picture(*widget, 1, Qt::black);
        return QColor(drawn.pixel(row.mapTo(widget.get(), QPoint(3, row.height() / 2))));
    }

    DeskRig rig;
    std::unique_ptr<AudioDeviceWidget> widget;
};

TEST_F(AudioDeviceWidgetQtTest, WithNoOutputsItSaysThereIsNothingToSwitchTo)
{
    rig.devices.clear();
    rig.model->setAudioDevices(rig.model->audioOutputDevices());
    DeskBinder binder(*rig.model, rig.environment);
    AudioDeviceWidget& outputs = show(binder.audioDevice());
    EXPECT_EQ(outputs.frame()->title(), "Sound Output");
    EXPECT_EQ(outputs.frame()->alignment(), Qt::AlignTop | Qt::AlignHCenter);
    ASSERT_TRUE(outputs.emptyState()->isVisible());
    EXPECT_FALSE(outputs.list()->isVisible());
    EXPECT_EQ(outputs.emptyState()->symbol(), "speaker.slash");
    EXPECT_EQ(outputs.emptyState()->message(), "No outputs found");
    EXPECT_EQ(outputs.emptyState()->detail(), std::optional<QString>("Nothing to switch to."));
    EXPECT_EQ(outputs.emptyState()->button(), nullptr);
    testsupport::saveScreenshot(outputs, "sound-output-empty");
}

TEST_F(AudioDeviceWidgetQtTest, EveryRowSelectsItsDeviceTheDefaultIncludedAndOnlyOthersHighlight)
{
    const std::vector<AudioOutputDevice> devices{
        {7, "Built-in Speakers", Transport::builtIn, true},
        {9, "Studio Headphones with a name far too long for this row", Transport::usb, false},
        {12, "LG Monitor", Transport::hdmi, false},
    };
    std::vector<std::uint32_t> selected;
    AudioDeviceWidget& outputs =
        show({devices, [&](const AudioOutputDevice& device) { selected.push_back(device.id); }});
    ASSERT_EQ(outputs.list()->keys(), (std::vector<std::uint32_t>{7, 9, 12}));
    AudioDeviceRow* current = outputs.row(7);
    AudioDeviceRow* headphones = outputs.row(9);
    EXPECT_EQ(current->helpText(), "Built-in Speakers \u2014 current output");
    EXPECT_EQ(headphones->helpText(), "Switch to Studio Headphones with a name far too long for this row");
    EXPECT_TRUE(current->parts().checkmark.has_value());
    EXPECT_FALSE(headphones->parts().checkmark.has_value());
    EXPECT_EQ(current->height(), headphones->height()) << "the long name stays on one line";
    EXPECT_LE(headphones->parts().name.right(), headphones->width() - 7 - 8 - 4);
    EXPECT_EQ(outputs.row(12)->y() - headphones->y() - headphones->height(), 2);

    // The check mark is drawn in the accent colour.
    const QImage drawn = testsupport::picture(outputs, 1, Qt::black);
    const QRectF check = current->parts().checkmark->translated(current->mapTo(&outputs, QPoint()));
    int brightest = 0;
    for (int x = int(check.left()); x < int(check.right()); ++x)
        for (int y = int(check.top()); y < int(check.bottom()); ++y)
            brightest = std::max(brightest, qRed(drawn.pixel(x, y)));
    EXPECT_GT(brightest, toQColor(Vude::Accent::x500).red() / 2) << "a light mark on the dark row";
    testsupport::saveScreenshot(outputs, "sound-output-rows");

    enter(*current);
    EXPECT_EQ(backgroundOf(*current), QColor(Qt::black)) << "no highlight on the default";
    leave(*current);
    enter(*headphones);
    EXPECT_EQ(backgroundOf(*headphones), toQColor(Vude::Ink::x850));
    testsupport::saveScreenshot(outputs, "sound-output-hovered");
    leave(*headphones);
    EXPECT_EQ(backgroundOf(*headphones), QColor(Qt::black));

    QTest::mouseClick(current, Qt::LeftButton);
    QTest::mouseClick(headphones, Qt::LeftButton, {}, QPoint(headphones->width() - 2, 2));
    EXPECT_EQ(selected, (std::vector<std::uint32_t>{7, 9})) << "the default row still asks";
}

TEST_F(AudioDeviceWidgetQtTest, AClickSwitchesTheDefaultAndTheRereadListMovesTheMark)
{
    rig.devices = {{7, "Speakers", Transport::builtIn, true}, {9, "Headphones", Transport::bluetooth, false}};
    std::vector<std::uint32_t> switched;
    rig.model->setDefaultAudioOutput = [&](std::uint32_t id, std::function<void(bool)> done) {
        switched.push_back(id);
        for (AudioOutputDevice& device : rig.devices)
            device.isDefault = device.id == id;
        done(true);
    };
    rig.model->setAudioDevices(rig.model->audioOutputDevices());
    DeskBinder binder(*rig.model, rig.environment);
    AudioDeviceWidget& outputs = show(binder.audioDevice());
    QObject::connect(rig.model.get(), &NotchViewModel::audioDevicesChanged, &outputs,
                     [&] { outputs.bind(binder.audioDevice()); });
    AudioDeviceRow* headphones = outputs.row(9);
    enter(*headphones);

    QTest::mouseClick(headphones, Qt::LeftButton);
    EXPECT_EQ(switched, std::vector<std::uint32_t>{9});
    EXPECT_EQ(outputs.row(9), headphones) << "the same row, now the default";
    EXPECT_TRUE(headphones->device().isDefault);
    EXPECT_FALSE(outputs.row(7)->device().isDefault);
    EXPECT_EQ(headphones->helpText(), "Headphones \u2014 current output");
    EXPECT_EQ(backgroundOf(*headphones), QColor(Qt::black)) << "the pointer still over it, no highlight now";
}

} // namespace
