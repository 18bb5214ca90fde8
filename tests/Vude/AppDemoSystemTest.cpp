// The real `vude` on a private X server, session bus and sound server: the
// demo hook's pill shows on the panel, a volume change made with pactl shows
// the sound pill, and SIGTERM ends the app through its normal shutdown. The
// screen is read back from the X server and saved under screenshots/.
#include "ChildProcess.h"
#include "PrivatePulseServer.h"
#include "PrivateSessionBus.h"
#include "PrivateXServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <memory>
#include <optional>
#include <signal.h>

namespace {

using testsupport::stopProcess;

/// The whole screen as the X server has it.
QImage grabScreen(const QString& display)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.toLatin1().constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return {};
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const auto width = screen->width_in_pixels;
    const auto height = screen->height_in_pixels;
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(connection,
                            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, width, height,
                                          ~0u),
                            nullptr),
        &std::free);
    QImage image;
    if (reply && reply->depth == 24 && xcb_get_image_data_length(reply.get()) >= width * height * 4)
        image = QImage(xcb_get_image_data(reply.get()), width, height, width * 4, QImage::Format_RGB32).copy();
    xcb_disconnect(connection);
    return image;
}

void save(const QImage& image, const QString& name)
{
    QDir().mkpath("screenshots");
    image.save("screenshots/" + name + ".png");
}

// The pill of a 1440-point screen: 538 points wide, centred, at the top.
const QRect pillArea(451, 0, 538, 38);

bool isBlack(QRgb pixel)
{
    return qRed(pixel) < 16 && qGreen(pixel) < 16 && qBlue(pixel) < 16;
}

class AppDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A white root, so the black notch stands out.
        ASSERT_TRUE(xserver.start("1440x900x24", {"-wr"}));
        ASSERT_TRUE(bus.start());
        ASSERT_TRUE(sound.start()) << sound.errorText().toStdString();

        auto environment = xserver.childEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "PULSE_SERVER", "XDG_RUNTIME_DIR", "VUDE_DEMO", "VUDE_OPEN",
                                 "VUDE_SETTINGS", "VUDE_SEED_TRAY", "VUDE_ONBOARDING", "VUDE_CLOUDKIT_PROBE"})
            environment.remove(name);
        QDir(home.path()).mkpath("run");
        QFile::setPermissions(home.filePath("run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Not a first launch: no walkthrough over the screen.
        QDir(home.path()).mkpath(".config/Vude");
        QFile defaults(home.filePath(".config/Vude/defaults.json"));
        ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
        defaults.write(R"({"hasCompletedOnboarding": true})");
        defaults.close();
        environment.insert("HOME", home.path());
        environment.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        environment.insert("XDG_DATA_HOME", home.filePath(".local/share"));
        environment.insert("XDG_CACHE_HOME", home.filePath(".cache"));
        environment.insert("TMPDIR", home.path());
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("PULSE_SERVER", sound.address());
        environment.insert("VUDE_DEMO", "display");
        environment.insert("VUDE_TRACE", "");
        environment.insert("VUDE_NO_BT", "");
        // Qt's X11 keyboard library hands over unterminated strndup buffers.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
        app.setProcessEnvironment(environment);
    }

    void TearDown() override { stopProcess(app); }

    /// The next line on standard error starting with `prefix`; none by the deadline.
    std::optional<QString> errorLineStartingWith(const QString& prefix, int milliseconds = 30000)
    {
        app.setReadChannel(QProcess::StandardError);
        QDeadlineTimer deadline(milliseconds);
        while (true) {
            while (app.canReadLine()) {
                const QString line = QString::fromLocal8Bit(app.readLine()).chopped(1);
                if (line.startsWith(prefix))
                    return line;
            }
            if (deadline.hasExpired() || !app.waitForReadyRead(int(deadline.remainingTime())))
                return std::nullopt;
        }
    }

    /// Reads the screen until `condition` holds for it; the last image read.
    QImage screenWhen(const std::function<bool(const QImage&)>& condition, int milliseconds = 10000)
    {
        QDeadlineTimer deadline(milliseconds);
        QImage image;
        do {
            image = grabScreen(xserver.display());
            if (!image.isNull() && condition(image))
                return image;
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return image;
    }

    /// The pill area once it has stopped moving (two reads 250 ms apart agree).
    QImage settledPill(int milliseconds = 10000)
    {
        QDeadlineTimer deadline(milliseconds);
        QImage before = grabScreen(xserver.display()).copy(pillArea);
        while (!deadline.hasExpired()) {
            QThread::msleep(250);
            QImage now = grabScreen(xserver.display()).copy(pillArea);
            if (now == before)
                return now;
            before = std::move(now);
        }
        return {};
    }

    testsupport::PrivateXServer xserver;
    testsupport::PrivateSessionBus bus;
    testsupport::PrivatePulseServer sound{{{"speakers", "device.description=Speakers"}}};
    QTemporaryDir home;
    QProcess app;
};

TEST_F(AppDemo, TheDemoPillThenTheSoundPillThenAnOrderlyQuit)
{
    app.start(VUDE_EXECUTABLE, {});
    ASSERT_TRUE(app.waitForStarted(10000));
    ASSERT_TRUE(errorLineStartingWith("Vude is running on display")) << app.readAllStandardError().toStdString();

    // The demo: a pill wider than the notch, in black over the white root.
    const auto pillShown = [](const QImage& image) { return isBlack(image.pixel(pillArea.left() + 20, 15)); };
    const QImage demo = screenWhen(pillShown);
    save(demo, "app-demo-display");
    ASSERT_TRUE(pillShown(demo)) << "the demo pill is not on the screen";
    EXPECT_FALSE(isBlack(demo.pixel(pillArea.left() - 20, 15))) << "only the pill is black";

    // Once its animation has run, it stays as it is until the volume changes.
    const QImage steady = settledPill();
    ASSERT_FALSE(steady.isNull()) << "the pill keeps moving";

    ASSERT_TRUE(sound.pactl({"set-sink-volume", "@DEFAULT_SINK@", "30%"}));
    // The change animates: wait past frames in between for the new pill.
    const QImage volume =
        screenWhen([&](const QImage& image) { return image.copy(pillArea) != steady && pillShown(image); });
    save(volume, "app-sound");
    EXPECT_NE(volume.copy(pillArea), steady) << "no sound pill";
    EXPECT_TRUE(pillShown(volume));

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(30000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
}

} // namespace
