// The real `vude` on a private X server, session bus and sound server:
//   - the demo hook's pill, then the sound pill of a volume change made with
//     pactl, then SIGTERM ending the app through its normal shutdown;
//   - the notch taking the pointer from the start, and drawn as the closed
//     notch from its first frame, with and without a compositing manager;
//   - the notch's hover ending when a menu or a modal dialog that held the
//     pointer closes with the pointer elsewhere.
// The pointer and the keys are XTEST input; the screen is read back from the
// X server and saved under screenshots/. Every wait is for an event, under a
// deadline that only a fault reaches: the machine may be loaded.
#include "Vude/App/AppMenus.h"
#include "Vude/App/DiagnosticsExport.h"
#include "Platform/Input/X11KeyboardMapping.h"
#include "Platform/Input/XcbConnection.h"

#include "ChildProcess.h"
#include "PrivatePulseServer.h"
#include "PrivateSessionBus.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "XTestPointer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <signal.h>

namespace {

using namespace std::chrono_literals;
using testsupport::stopProcess;
using testsupport::waitUntil;

/// Long enough for a starved machine; only a fault waits this long.
constexpr int kDeadlineMs = 60000;

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

// The screen is 1440 × 900; the notch is the 184 × 8 handler centred on it.
constexpr int kCentreX = 720;
// The pill of a 1440-point screen: 538 points wide, centred, at the top.
const QRect pillArea(451, 0, 538, 38);
// A bar pill's bar: 92 points long, in the right half of the pill.
constexpr double kBarLength = 92;
// The demo pill ("display") shows its bar at 80 %.
constexpr double kDemoLevel = 0.8;

std::string describe(const QRect& rect)
{
    return QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height()).toStdString();
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) < 16 && qGreen(pixel) < 16 && qBlue(pixel) < 16;
}

int brightness(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
}

/// How many points of a bar pill's bar are lit: its longest run of
/// non-black points right of the notch, on the row where that run is
/// longest, counting the bright ones. None where no whole bar is drawn.
std::optional<int> litBar(const QImage& image)
{
    // Right of the 184-point notch's outline, which the pill draws too, and
    // inside the black shape (the window less 12 a side and 6 below), away
    // from its corners: the white root lies beyond.
    const int start = kCentreX + 100;
    const int end = pillArea.right() - 12 - 4;
    const int bottom = pillArea.bottom() - 6 - 4;
    int longest = 0;
    int lit = 0;
    for (int y = 4; y < bottom; ++y) {
        for (int x = start; x < end;) {
            if (brightness(image.pixel(x, y)) <= 24) {
                ++x;
                continue;
            }
            const int first = x;
            int bright = 0;
            for (; x < end && brightness(image.pixel(x, y)) > 24; ++x)
                bright += brightness(image.pixel(x, y)) > 128;
            if (x - first > longest) {
                longest = x - first;
                lit = bright;
            }
        }
    }
    if (longest < kBarLength - 4)
        return std::nullopt;
    return lit;
}

/// A bar pill showing `level`, its bar settled there. Pills differ in
/// width (the sound pill's title is shorter than the demo's): only the black
/// under the notch and the bar tell one.
bool showsBarAt(const QImage& image, double level)
{
    const std::optional<int> lit = litBar(image);
    return isBlack(image.pixel(kCentreX, 20)) && lit && std::abs(*lit - kBarLength * level) <= 3;
}

class AppOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A white root, so the black notch stands out.
        ASSERT_TRUE(xserver.start("1440x900x24", {"-wr"}));
        ASSERT_TRUE(bus.start());
        ASSERT_TRUE(sound.start()) << sound.errorText().toStdString();
        x = XcbConnection::open(xserver.display().toStdString());
        ASSERT_TRUE(x);
        pointer = std::make_unique<testsupport::XTestPointer>(*x);

        environment = xserver.childEnvironment();
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
        // Every state change as a line on standard error.
        environment.insert("VUDE_TRACE", "");
        environment.insert("VUDE_NO_BT", "");
        // Qt's X11 keyboard library hands over unterminated strndup buffers.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    }

    void TearDown() override
    {
        stopProcess(app);
        stopProcess(compositor);
    }

    /// Starts the app with `variables` added, and waits until it runs.
    void launch(const std::map<QString, QString>& variables = {})
    {
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        app.setProcessEnvironment(environment);
        app.start(VUDE_EXECUTABLE, {});
        ASSERT_TRUE(app.waitForStarted(kDeadlineMs));
        ASSERT_TRUE(errorLineStartingWith("Vude is running on display")) << app.readAllStandardError().toStdString();
    }

    /// xcompmgr on the server, once it owns the compositing selection.
    void startCompositor()
    {
        compositor.setProcessEnvironment(xserver.childEnvironment());
        compositor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        compositor.start("xcompmgr", {});
        ASSERT_TRUE(compositor.waitForStarted(5000)) << "xcompmgr is in the test packages";
        const xcb_atom_t selection = atom("_NET_WM_CM_S0");
        ASSERT_TRUE(waitUntil(
            [&] {
                xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
                    x->connection(), xcb_get_selection_owner(x->connection(), selection), nullptr);
                const bool owned = reply && reply->owner != XCB_NONE;
                std::free(reply);
                return owned;
            },
            std::chrono::milliseconds(kDeadlineMs)));
    }

    /// The next line on standard error that `matches`; none by the deadline.
    std::optional<QString> errorLine(const std::function<bool(const QString&)>& matches, int milliseconds)
    {
        app.setReadChannel(QProcess::StandardError);
        QDeadlineTimer deadline(milliseconds);
        while (true) {
            while (app.canReadLine()) {
                const QString line = QString::fromLocal8Bit(app.readLine()).chopped(1);
                if (line.startsWith(kHoverLine))
                    lastHover = isHoverLine(line);
                if (matches(line))
                    return line;
            }
            if (deadline.hasExpired() || !app.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
                return std::nullopt;
        }
    }

    std::optional<QString> errorLineStartingWith(const QString& prefix, int milliseconds = kDeadlineMs)
    {
        return errorLine([&](const QString& line) { return line.startsWith(prefix); }, milliseconds);
    }

    // The closed notch's state line, traced on every change of its hover:
    // "state closed  interactiveRect (x, y, width, height)". The 8-point
    // handler's window is 14 high at rest and 20 hovered.
    static inline const QString kHoverLine = QStringLiteral("state closed  interactiveRect (");
    static bool isHoverLine(const QString& line)
    {
        const QStringList numbers = line.mid(kHoverLine.size()).chopped(1).split(", ");
        return numbers.size() == 4 && numbers[3].toDouble() > 14;
    }

    /// Whether the next change of the closed notch's hover is to hovered.
    std::optional<bool> nextHover(int milliseconds = kDeadlineMs)
    {
        if (!errorLineStartingWith(kHoverLine, milliseconds))
            return std::nullopt;
        return lastHover;
    }

    /// The notch's hover once it has stopped changing: after the first
    /// change, a second with no change at all.
    std::optional<bool> settledHover()
    {
        if (!nextHover())
            return std::nullopt;
        while (errorLineStartingWith(kHoverLine, 1000)) {
        }
        return lastHover;
    }

    /// Reads the screen until `condition` holds for it; the last image read.
    QImage screenWhen(const std::function<bool(const QImage&)>& condition, int milliseconds = kDeadlineMs)
    {
        QDeadlineTimer deadline(milliseconds);
        QImage image;
        do {
            image = grabScreen(xserver.display());
            if (!image.isNull() && condition(image))
                return image;
            QThread::msleep(20);
        } while (!deadline.hasExpired());
        return image;
    }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(
            x->connection(), xcb_intern_atom(x->connection(), 0, std::uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    /// The top-level window under the pointer; 0 for the root.
    xcb_window_t windowUnderPointer()
    {
        xcb_query_pointer_reply_t* reply =
            xcb_query_pointer_reply(x->connection(), xcb_query_pointer(x->connection(), x->rootWindow()), nullptr);
        const xcb_window_t child = reply ? reply->child : 0;
        std::free(reply);
        return child;
    }

    /// The mapped top-level windows: the app runs with no window manager.
    std::map<xcb_window_t, QRect> mappedWindows()
    {
        xcb_connection_t* c = x->connection();
        std::map<xcb_window_t, QRect> windows;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, x->rootWindow()), nullptr);
        if (!tree)
            return windows;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
            if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                windows[children[i]] = QRect(geometry->x, geometry->y, geometry->width, geometry->height);
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return windows;
    }

    /// The mapped top-level window titled `title`; 0 for none.
    xcb_window_t windowTitled(const QString& title)
    {
        xcb_connection_t* c = x->connection();
        const xcb_atom_t name = atom("_NET_WM_NAME");
        const xcb_atom_t utf8 = atom("UTF8_STRING");
        for (const auto& [window, frame] : mappedWindows()) {
            auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, utf8, 0, 256), nullptr);
            const bool match = reply && QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                                          xcb_get_property_value_length(reply)) == title;
            std::free(reply);
            if (match)
                return window;
        }
        return 0;
    }

    xcb_window_t focusedWindow()
    {
        auto* reply = xcb_get_input_focus_reply(x->connection(), xcb_get_input_focus(x->connection()), nullptr);
        const xcb_window_t focus = reply ? reply->focus : 0;
        std::free(reply);
        return focus;
    }

    void tapKey(KeySymbol symbol)
    {
        const auto keycodes = X11KeyboardMapping::read(x->connection()).keycodes(symbol);
        ASSERT_FALSE(keycodes.empty());
        pointer->key(keycodes.front(), true);
        pointer->key(keycodes.front(), false);
    }

    /// The pointer onto the notch, once it is on the screen; the notch then
    /// shows it is hovered. Returns the notch's window.
    xcb_window_t hoverTheNotch()
    {
        xcb_window_t panel = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                pointer->moveTo(kCentreX, 4);
                panel = windowUnderPointer();
                return panel != 0;
            },
            std::chrono::milliseconds(kDeadlineMs)))
            << "the notch takes no pointer";
        EXPECT_EQ(nextHover(), true);
        return panel;
    }

    /// Right-clicks the hovered notch and waits for the menu to cover the
    /// pointer; the menu's window.
    xcb_window_t openContextMenu(xcb_window_t panel)
    {
        pointer->press(3);
        pointer->release(3);
        xcb_window_t menu = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                menu = windowUnderPointer();
                return menu != 0 && menu != panel;
            },
            std::chrono::milliseconds(kDeadlineMs)))
            << "no menu";
        return menu;
    }

    /// Clicks at `x`, `y` until `menu` has closed: a menu takes the pointer
    /// only some time after it shows, and a click before that misses it.
    bool dismissWithAClickAt(xcb_window_t menu, int x, int y)
    {
        return waitUntil(
            [&] {
                pointer->moveTo(x, y);
                pointer->press(1);
                pointer->release(1);
                return waitUntil([&] { return !mappedWindows().contains(menu); }, 1s);
            },
            std::chrono::milliseconds(kDeadlineMs));
    }

    testsupport::PrivateXServer xserver;
    testsupport::PrivateSessionBus bus;
    testsupport::PrivatePulseServer sound{{{"speakers", "device.description=Speakers"}}};
    std::unique_ptr<XcbConnection> x;
    std::unique_ptr<testsupport::XTestPointer> pointer;
    QTemporaryDir home;
    QProcessEnvironment environment;
    QProcess app;
    QProcess compositor;
    bool lastHover = false;
};

class AppDemo : public AppOnX {
protected:
    /// Whether the app is a client of the private sound server.
    bool isSoundClient()
    {
        const std::optional<QString> clients = sound.pactl({"list", "clients"});
        return clients && clients->contains(QStringLiteral("application.process.id = \"%1\"").arg(app.processId()));
    }
};

TEST_F(AppDemo, TheDemoPillThenTheSoundPillThenAnOrderlyQuit)
{
    launch({{"VUDE_DEMO", "display"}});

    // The demo: a pill wider than the notch, in black over the white root,
    // its bar at the demo's level.
    const QImage demo = screenWhen([](const QImage& image) { return showsBarAt(image, kDemoLevel); });
    save(demo, "app-demo-display");
    ASSERT_TRUE(showsBarAt(demo, kDemoLevel)) << "the demo pill is not on the screen";
    EXPECT_FALSE(isBlack(demo.pixel(pillArea.left() - 20, 15))) << "only the pill is black";

    // The app takes the first volume it reads for the one it starts from, and
    // it reads it only once it has reached the sound server, at its own pace:
    // a change made before that shows nothing. So each try sets a new level,
    // until the pill shows the level just set.
    ASSERT_TRUE(waitUntil([&] { return isSoundClient(); }, std::chrono::milliseconds(kDeadlineMs)))
        << "the app never reached the sound server";
    const int levels[] = {30, 45, 60, 20, 35, 50, 65, 25, 40, 55};
    QDeadlineTimer deadline(kDeadlineMs);
    QImage volume;
    bool shown = false;
    for (int attempt = 0; !shown && !deadline.hasExpired(); ++attempt) {
        const int level = levels[attempt % std::size(levels)];
        ASSERT_TRUE(sound.pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(level) + "%"}));
        // The pill stays up 1.5 s once it is there; later tries wait longer.
        const int wait = int(std::min<qint64>(3000 + 1000 * attempt, std::max<qint64>(deadline.remainingTime(), 1)));
        volume = screenWhen([&](const QImage& image) { return showsBarAt(image, level / 100.0); }, wait);
        shown = showsBarAt(volume, level / 100.0);
    }
    save(volume, "app-sound");
    EXPECT_TRUE(shown) << "no sound pill";

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(kDeadlineMs));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
}

using AppNotch = AppOnX;

// From the first frame, before any pill: the notch is drawn as the closed
// handler and takes the pointer, so the Desk and the menu are reachable on a
// desktop without a tray.
TEST_F(AppNotch, FromTheStartTheNotchIsDrawnClosedAndTakesThePointer)
{
    launch();
    const QImage first = screenWhen([](const QImage& image) { return isBlack(image.pixel(kCentreX, 3)); });
    save(first, "app-first-frame");
    ASSERT_TRUE(isBlack(first.pixel(kCentreX, 3))) << "no notch";
    // Without a compositing manager the window is cut to the notch: 8 high,
    // not the 14 of its window.
    EXPECT_FALSE(isBlack(first.pixel(kCentreX, 11)));

    hoverTheNotch();
    pointer->press(1);
    pointer->release(1);
    EXPECT_TRUE(errorLineStartingWith("state open(")) << "a click opens the Desk";
}

// A calendars folder holding files that once held the main thread for good
// (a rule libical searched for a 30 February a second at a time) or for
// seconds (fifty counted rules stepped from 1970): they are read on a thread
// of their own, and the notch answers a hover within a second meanwhile.
TEST_F(AppNotch, WithHostileCalendarFilesTheNotchStillAnswersAHoverWithinASecond)
{
    const QString calendars = home.filePath(".local/share/Vude/Calendars/work");
    ASSERT_TRUE(QDir().mkpath(calendars));
    ASSERT_TRUE(QFile::copy(testsupport::sourceDir() + "/tests/Platform/fixtures/calendar-never-matching-rule.ics",
                            calendars + "/spin.ics"));
    QFile counted(calendars + "/counted.ics");
    ASSERT_TRUE(counted.open(QIODevice::WriteOnly));
    counted.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:counted\r\n"
                  "DTSTART:19700101T000000Z\r\n");
    for (int i = 0; i < 50; ++i)
        counted.write(QStringLiteral("RRULE:FREQ=SECONDLY;COUNT=100000000;BYSECOND=%1\r\n").arg(i).toLatin1());
    counted.write("END:VEVENT\r\nEND:VCALENDAR\r\n");
    counted.close();
    launch();

    ASSERT_TRUE(waitUntil(
        [&] {
            pointer->moveTo(kCentreX, 4);
            return windowUnderPointer() != 0;
        },
        std::chrono::milliseconds(kDeadlineMs)))
        << "the notch takes no pointer";
    EXPECT_EQ(nextHover(1000), true) << "the hover waited for the calendars";

    // The calendars were read meanwhile, each hostile file noted once.
    QFile trace(home.filePath("run/vude-diagnostics.log"));
    const auto traced = [&](const char* text) {
        return waitUntil(
            [&] {
                trace.close();
                return trace.open(QIODevice::ReadOnly) && trace.readAll().contains(text);
            },
            std::chrono::milliseconds(kDeadlineMs));
    };
    EXPECT_TRUE(traced("calendar file work/spin.ics: repeat rule ignored"));
    EXPECT_TRUE(traced("calendar file set aside until it changes: work/counted.ics"));

    // Away and back: the notch still follows the pointer.
    pointer->moveTo(kCentreX, 400);
    EXPECT_EQ(settledHover(), false);
    pointer->moveTo(kCentreX, 4);
    EXPECT_EQ(nextHover(1000), true);
}

// With a compositing manager the panel is translucent and the backdrop shades
// the screen around the notch: the closed notch's own 248 × 34 (its 196 × 8
// shape grown by 26 to the sides and below), nothing beyond.
TEST_F(AppNotch, WithACompositingManagerTheFirstFrameShadesOnlyTheClosedNotchsBackdrop)
{
    startCompositor();
    launch();
    // The panel is the closed notch's 208 × 14 window; the backdrop is the
    // other window under the notch.
    const QRect panel(kCentreX - 104, 0, 208, 14);
    const QRect backdrop(kCentreX - 124, 0, 248, 34);
    QRect shown;
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::map<xcb_window_t, QRect> windows = mappedWindows();
            const bool hasPanel = std::ranges::any_of(windows, [&](const auto& entry) { return entry.second == panel; });
            for (const auto& [window, frame] : windows)
                if (hasPanel && frame != panel && frame.contains(kCentreX, 4))
                    shown = frame;
            return !shown.isEmpty();
        },
        std::chrono::milliseconds(kDeadlineMs)))
        << "no panel with its backdrop";
    EXPECT_EQ(describe(shown), describe(backdrop));
    // xcompmgr paints the root itself, in a grey of its own.
    const QImage first = screenWhen([](const QImage& image) { return isBlack(image.pixel(kCentreX, 3)); });
    save(first, "app-first-frame-composited");
    ASSERT_TRUE(isBlack(first.pixel(kCentreX, 3))) << "no notch";
    const QRgb background = first.pixel(40, 600);
    int outside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = kCentreX - 200; x < kCentreX + 200; ++x)
            outside += !backdrop.contains(x, y) && brightness(first.pixel(x, y)) < brightness(background) - 2;
    EXPECT_EQ(outside, 0) << "shaded beyond the closed notch's backdrop";
    EXPECT_LT(brightness(first.pixel(kCentreX, 12)), brightness(background) - 8) << "no backdrop under the notch";
}

// While a menu or a modal dialog holds the pointer, the notch hears of no
// crossing; once it closes, the notch follows where the pointer really is.
TEST_F(AppNotch, TheHoverEndsWhenTheMenuOrTheDialogThatHeldThePointerClosesElsewhere)
{
    launch();

    // "Export Diagnostics…" in the context menu opens a modal save dialog.
    const xcb_window_t panel = hoverTheNotch();
    openContextMenu(panel);
    int downs = 0;
    for (const MenuEntry& entry : AppMenus::notchContextMenu({.statusItemShown = false})) {
        if (entry.kind == MenuEntry::Kind::separator || !entry.enabled)
            continue;
        ++downs;
        if (entry.action == MenuAction::exportDiagnostics)
            break;
    }
    for (int i = 0; i < downs; ++i)
        tapKey(0xff54); // Down
    tapKey(0xff0d);     // Return
    xcb_window_t dialog = 0;
    ASSERT_TRUE(waitUntil([&] { return (dialog = windowTitled(DiagnosticsExport::panelTitle)) != 0; },
                          std::chrono::milliseconds(kDeadlineMs)))
        << "no save dialog";
    // The pointer leaves the notch for the dialog, which holds it...
    const QRect frame = mappedWindows()[dialog];
    pointer->moveTo(frame.center().x(), frame.center().y());
    ASSERT_TRUE(waitUntil([&] { return focusedWindow() == dialog; }, std::chrono::milliseconds(kDeadlineMs)));
    tapKey(0xff1b); // Escape
    ASSERT_TRUE(waitUntil([&] { return windowTitled(DiagnosticsExport::panelTitle) == 0; },
                          std::chrono::milliseconds(kDeadlineMs)));
    // ...and goes on, far from the notch.
    pointer->moveTo(300, 700);
    EXPECT_EQ(settledHover(), false) << "still hovered after the dialog";

    // The menu, dismissed by a click far from the notch.
    hoverTheNotch();
    const xcb_window_t menu = openContextMenu(panel);
    ASSERT_TRUE(dismissWithAClickAt(menu, 300, 700));
    EXPECT_EQ(settledHover(), false) << "still hovered after the menu";
}

} // namespace
