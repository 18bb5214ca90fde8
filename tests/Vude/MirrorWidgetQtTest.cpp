// The camera mirror: its states, the mirrored picture in the circle, and the
// camera's lifetime around shows and hides, over a synthetic camera.
#include "Vude/Desk/MirrorWidget.h"

#include "Platform/Camera/FakeCameraCapture.h"
#include "Platform/Camera/QtCameraCapture.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Permissions/FakePermissions.h"
#include "VudeUI/qt/QtTokens.h"

#include "TestSupport.h"
#include "WidgetPicture.h"


#include <gtest/gtest.h>

namespace {

using State = MirrorWidget::State;

constexpr long cameraDenied = 2;
constexpr long cameraAuthorized = 3;

const QColor red(0xE0, 0x20, 0x20);
const QColor blue(0x20, 0x40, 0xE0);
const QColor green(0x20, 0xD0, 0x40);

/// A wide picture: green outer quarters, red left and blue right of the
/// middle. Filled into a square, only red and blue remain.
QImage redLeftBlueRight(int width = 640, int height = 320)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(green);
    QPainter painter(&image);
    painter.fillRect(QRect(width / 4, 0, width / 4, height), red);
    painter.fillRect(QRect(width / 2, 0, width / 4, height), blue);
    return image;
}

bool near(QColor a, QColor b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class MirrorWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    MirrorWidget& make(CameraSource* source = nullptr)
    {
        widget = std::make_unique<MirrorWidget>(
            MirrorWidget::Seams{.cameras = source ? source : &cameras, .permissions = &permissions.system()});
        widget->resize(160, 150);
        widget->bind(MirrorBinding{});
        return *widget;
    }

    /// Shows the widget with camera access granted and a frame on the way.
    MirrorWidget& live()
    {
        permissions.cameraStatus = cameraAuthorized;
        make().show();
        EXPECT_TRUE(testsupport::waitUntil([&] { return widget->state() == State::live; }));
        cameras.sendFrame(redLeftBlueRight());
        EXPECT_TRUE(testsupport::waitUntil([&] { return !widget->frame().isNull(); }));
        return *widget;
    }

    FakeCameraSource cameras;
    FakePermissions permissions;
    std::unique_ptr<MirrorWidget> widget;
};

TEST_F(MirrorWidgetQtTest, TheLivePictureFillsTheCircleMirrored)
{
    MirrorWidget& mirror = live();
    EXPECT_EQ(mirror.widgetFrame()->title(), "Mirror");
    EXPECT_EQ(mirror.widgetFrame()->alignment(), Qt::AlignCenter);
    const QRect circle = mirror.circleRect();
    EXPECT_EQ(circle, QRect((160 - 78) / 2, 0, 78, 78)) << "at the top, centred";

    const QColor background(0x40, 0x40, 0x40);
    const QImage drawn = testsupport::picture(mirror, 1, background);
    const int y = circle.center().y();
    // Mirrored: the picture's left (red) shows on the right.
    EXPECT_TRUE(near(drawn.pixel(circle.left() + 12, y), blue)) << QColor(drawn.pixel(circle.left() + 12, y)).name().toStdString();
    EXPECT_TRUE(near(drawn.pixel(circle.right() - 12, y), red)) << QColor(drawn.pixel(circle.right() - 12, y)).name().toStdString();
    // Filled, not letterboxed: the picture reaches the circle's top and bottom.
    EXPECT_TRUE(near(drawn.pixel(circle.center().x() - 3, circle.top() + 3), blue));
    EXPECT_TRUE(near(drawn.pixel(circle.center().x() + 3, circle.bottom() - 3), red));
    // Cropped: the picture's green outer quarters are cut off.
    for (int x = circle.left(); x <= circle.right(); ++x)
        EXPECT_FALSE(near(drawn.pixel(x, y), green)) << x;
    // The corners of the circle's square stay background.
    for (const QPoint corner : {circle.topLeft(), circle.topRight(), circle.bottomLeft(), circle.bottomRight()})
        EXPECT_EQ(QColor(drawn.pixel(corner)), background) << corner.x() << "," << corner.y();
    // And the border is drawn over the picture, inside the circle.
    EXPECT_TRUE(near(drawn.pixel(circle.left(), y), toQColor(Vude::Ink::x700), 24))
        << QColor(drawn.pixel(circle.left(), y)).name().toStdString();
    testsupport::saveScreenshot(mirror, "mirror-live");
}

TEST_F(MirrorWidgetQtTest, ATallPictureIsCroppedTopAndBottomAndFramesAreShrunkForTheCircle)
{
    MirrorWidget& mirror = live();
    // Portrait, and bigger than the circle needs: rows of red over blue with
    // green bands at the top and bottom quarters.
    QImage tall(720, 1440, QImage::Format_RGB32);
    tall.fill(green);
    QPainter(&tall).fillRect(QRect(0, 360, 720, 360), red);
    QPainter(&tall).fillRect(QRect(0, 720, 720, 360), blue);
    cameras.sendFrame(tall);
    ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.frame().height() > mirror.frame().width(); }));
    EXPECT_EQ(mirror.frame().width(), MirrorController::frameSide) << "shrunk on the controller's thread";
    EXPECT_EQ(mirror.frame().height(), 2 * MirrorController::frameSide);

    const QImage drawn = testsupport::picture(mirror, 1, Qt::black);
    const QRect circle = mirror.circleRect();
    EXPECT_TRUE(near(drawn.pixel(circle.center().x(), circle.top() + 4), red));
    EXPECT_TRUE(near(drawn.pixel(circle.center().x(), circle.bottom() - 4), blue));
}

TEST_F(MirrorWidgetQtTest, UndecidedAccessWaitsThenGoesLiveOrSaysNoAccess)
{
    for (const bool granted : {true, false}) {
        SCOPED_TRACE(granted ? "granted" : "refused");
        permissions.cameraRequests.clear();
        MirrorWidget& mirror = make();
        mirror.show();
        EXPECT_EQ(mirror.state(), State::waiting);
        ASSERT_EQ(permissions.cameraRequests.size(), 1u) << "asked once";
        EXPECT_EQ(cameras.asked(), granted ? 0 : 1) << "no camera until the answer";
        const QImage waiting = testsupport::picture(mirror, 1, Qt::black);
        if (granted)
            testsupport::saveScreenshot(mirror, "mirror-waiting");

        permissions.cameraRequests.front()(granted);
        ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() != State::waiting; }));
        EXPECT_EQ(mirror.state(), granted ? State::live : State::noAccess);
        EXPECT_NE(testsupport::picture(mirror, 1, Qt::black), waiting);
    }
}

TEST_F(MirrorWidgetQtTest, RefusedAccessSaysNoAccessAtOnceWithoutAskingOrStarting)
{
    permissions.cameraStatus = cameraDenied;
    MirrorWidget& mirror = make();
    const QImage waiting = testsupport::picture(mirror, 1, Qt::black);
    mirror.show();
    EXPECT_EQ(mirror.state(), State::noAccess);
    EXPECT_TRUE(permissions.cameraRequests.empty());
    EXPECT_EQ(cameras.asked(), 0);
    EXPECT_EQ(mirror.controller().queueThread(), nullptr) << "no thread either";

    // The crossed-out camera and the words, in place of the person and "Mirror".
    const QImage drawn = testsupport::picture(mirror, 1, Qt::black);
    EXPECT_NE(drawn, waiting);
    const QRect circle = mirror.circleRect();
    EXPECT_EQ(QColor(drawn.pixel(circle.center().x(), circle.top() + 6)), toQColor(Vude::Ink::x850));
    testsupport::saveScreenshot(mirror, "mirror-no-access");

    // Shown again: still refused, still nothing started.
    mirror.hide();
    mirror.show();
    EXPECT_EQ(mirror.state(), State::noAccess);
    EXPECT_EQ(cameras.asked(), 0);
}

TEST_F(MirrorWidgetQtTest, NoCameraOrOneThatWillNotStartSaysNoAccess)
{
    permissions.cameraStatus = cameraAuthorized;
    struct Case {
        const char* name;
        bool hasCamera;
        FakeCameraSource::Start start;
        int made;
    };
    for (const Case& c : {Case{"no camera", false, FakeCameraSource::Start::runs, 0},
                          Case{"fails to start", true, FakeCameraSource::Start::fails, 1}}) {
        SCOPED_TRACE(c.name);
        FakeCameraSource source;
        source.hasCamera = c.hasCamera;
        source.start = c.start;
        MirrorWidget& mirror = make(&source);
        mirror.show();
        ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() == State::noAccess; }));
        EXPECT_EQ(source.made(), c.made);
        EXPECT_TRUE(testsupport::waitUntil([&] { return source.alive() == 0; })) << "nothing left running";
        widget.reset();
    }
}

TEST_F(MirrorWidgetQtTest, HidingClearsThePictureAtOnceThenStopsTheCamera)
{
    MirrorWidget& mirror = live();
    ASSERT_EQ(cameras.alive(), 1);
    mirror.hide();
    EXPECT_EQ(mirror.state(), State::waiting);
    EXPECT_TRUE(mirror.frame().isNull()) << "before the camera is stopped";
    EXPECT_TRUE(testsupport::waitUntil([&] { return cameras.alive() == 0 && !mirror.controller().hasCapture(); }));

    // A frame already on its way is not shown.
    cameras.sendFrame(redLeftBlueRight());
    testsupport::processEvents();
    EXPECT_TRUE(mirror.frame().isNull());

    // Shown again: a fresh camera.
    mirror.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() == State::live; }));
    EXPECT_EQ(cameras.made(), 2);
    EXPECT_EQ(cameras.alive(), 1);
}

TEST_F(MirrorWidgetQtTest, AnAnswerThatComesAfterTheWidgetWasHiddenStartsNothing)
{
    MirrorWidget& mirror = make();
    mirror.show();
    ASSERT_EQ(permissions.cameraRequests.size(), 1u);
    mirror.hide();
    permissions.cameraRequests.front()(true);
    testsupport::processEvents();
    testsupport::processEvents();
    EXPECT_EQ(cameras.asked(), 0) << "the camera is never started for a hidden widget";
    EXPECT_EQ(mirror.state(), State::waiting);
}

TEST_F(MirrorWidgetQtTest, ALateStartAfterHideLeavesNoCameraRunningAndAReshowWins)
{
    permissions.cameraStatus = cameraAuthorized;
    cameras.start = FakeCameraSource::Start::waits;
    MirrorWidget& mirror = make();
    mirror.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return cameras.made() == 1; }));

    // Hidden while the camera was still starting: it is stopped.
    mirror.hide();
    ASSERT_TRUE(testsupport::waitUntil([&] { return cameras.alive() == 0; }));
    cameras.answerStarts(true);
    testsupport::processEvents();
    EXPECT_EQ(cameras.alive(), 0);
    EXPECT_EQ(mirror.state(), State::waiting) << "the stopped start's answer changes nothing";

    // Hidden and shown again before the first start answered: the first
    // start's answer (it was stopped) must not spoil the second.
    mirror.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return cameras.made() == 2; }));
    mirror.hide();
    mirror.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return cameras.made() == 3 && cameras.alive() == 1; }));
    testsupport::processEvents();
    EXPECT_EQ(mirror.state(), State::waiting) << "not refused by the stopped start";
    cameras.answerStarts(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() == State::live; }));
    EXPECT_EQ(cameras.alive(), 1);
}

TEST_F(MirrorWidgetQtTest, ACameraThatFailsWhileLiveSaysNoAccess)
{
    MirrorWidget& mirror = live();
    cameras.failRunning();
    ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() == State::noAccess; }));
    EXPECT_TRUE(mirror.frame().isNull());
    EXPECT_TRUE(testsupport::waitUntil([&] { return cameras.alive() == 0; }));
}

TEST_F(MirrorWidgetQtTest, DeletingAShownWidgetStopsTheCameraAndJoinsItsThread)
{
    MirrorWidget& mirror = live();
    QThread* thread = mirror.controller().queueThread();
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->objectName(), "mirror");
    bool finished = false;
    QObject::connect(thread, &QThread::finished, thread, [&] { finished = true; }, Qt::DirectConnection);
    widget.reset();
    EXPECT_TRUE(finished) << "joined before the widget is gone";
    EXPECT_EQ(cameras.alive(), 0);
}

// The real default camera through Qt Multimedia, where the machine has none
// (as in CI): no camera object is built and the widget says "No access".
TEST_F(MirrorWidgetQtTest, WithoutACameraTheRealSourceSaysNoAccess)
{
    if (QtCameraSource::standard().defaultCamera())
        GTEST_SKIP() << "this machine has a camera";
    permissions.cameraStatus = cameraAuthorized;
    MirrorWidget& mirror = make(&QtCameraSource::standard());
    mirror.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return mirror.state() == State::noAccess; }));
    EXPECT_FALSE(mirror.controller().hasCapture());
    mirror.hide();
    QThread* thread = mirror.controller().queueThread();
    ASSERT_NE(thread, nullptr);
    bool finished = false;
    QObject::connect(thread, &QThread::finished, thread, [&] { finished = true; }, Qt::DirectConnection);
    widget.reset();
    EXPECT_TRUE(finished);
}

} // namespace
