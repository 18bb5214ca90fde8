// The real `vude` executable as a user starts it: what it says, how it ends
// on each quit signal, and how it refuses to start without a display. Each
// run gets a private home; the app's standard error is read line by line.
#include "ChildProcess.h"
#include "Platform/Core/AppResources.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <optional>
#include <signal.h>

namespace {

using testsupport::stopProcess;

// The variables a desktop session sets that would let the app reach the
// machine's own display, sound or buses.
const char* const sessionVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM",
                                         "DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "XDG_RUNTIME_DIR"};

using Variables = std::map<QString, QString>;

class AppRun {
public:
    explicit AppRun(const Variables& variables)
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const auto* name : sessionVariables)
            environment.remove(name);
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_CONFIG_HOME", m_home.filePath(".config"));
        environment.insert("XDG_DATA_HOME", m_home.filePath(".local/share"));
        environment.insert("XDG_CACHE_HOME", m_home.filePath(".cache"));
        environment.insert("TMPDIR", m_home.path());
        // As in a desktop session (Qt warns without one).
        QDir(m_home.path()).mkdir("run");
        QFile::setPermissions(m_home.filePath("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert("XDG_RUNTIME_DIR", m_home.filePath("run"));
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        m_process.setProcessEnvironment(environment);
    }

    ~AppRun() { stopProcess(m_process); }

    /// Starts the app with `blocked` signals blocked, as a parent may leave them.
    bool start(std::vector<int> blocked = {})
    {
        m_process.setChildProcessModifier([blocked] {
            sigset_t set;
            sigemptyset(&set);
            for (const int signalNumber : blocked)
                sigaddset(&set, signalNumber);
            sigprocmask(SIG_BLOCK, &set, nullptr);
        });
        m_process.start(VUDE_EXECUTABLE, {});
        return m_process.waitForStarted(10000);
    }

    /// The next line on standard error, without its newline.
    std::optional<QString> nextErrorLine()
    {
        m_process.setReadChannel(QProcess::StandardError);
        QDeadlineTimer deadline(30000);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || !m_process.waitForReadyRead(deadline.remainingTime()))
                return m_process.canReadLine() ? std::optional(readLine()) : std::nullopt;
        }
        return readLine();
    }

    void signal(int signalNumber) { ::kill(static_cast<pid_t>(m_process.processId()), signalNumber); }

    /// Waits for the end; the exit code, or none when it crashed or hung.
    std::optional<int> exitCode()
    {
        if (!m_process.waitForFinished(30000) || m_process.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        return m_process.exitCode();
    }

    QString remainingError() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    QString standardOutput() { return QString::fromLocal8Bit(m_process.readAllStandardOutput()); }
    const QTemporaryDir& home() const { return m_home; }

private:
    QString readLine() { return QString::fromLocal8Bit(m_process.readLine()).chopped(1); }

    QTemporaryDir m_home;
    QProcess m_process;
};

const QString offscreenRunning = "Vude is running on the offscreen platform; quit with Ctrl-C";

// Every quit signal ends the app through its event loop: status 0, not death
// by the signal.
TEST(AppRun, EachQuitSignalEndsTheAppNormally)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        AppRun app(Variables{{"QT_QPA_PLATFORM", "offscreen"}});
        ASSERT_TRUE(app.start());
        EXPECT_EQ(app.nextErrorLine(), offscreenRunning) << "the first thing it says";
        app.signal(signalNumber);
        EXPECT_EQ(app.exitCode(), 0) << app.remainingError().toStdString();
        EXPECT_EQ(app.remainingError(), "");
    }
}

// A quit request that arrives before the app has finished starting, even one
// held back by an inherited signal mask, still ends it in order.
TEST(AppRun, AQuitSignalPendingFromTheStartEndsTheAppNormally)
{
    AppRun app(Variables{{"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_TRUE(app.start({SIGTERM}));
    app.signal(SIGTERM);
    EXPECT_EQ(app.exitCode(), 0) << app.remainingError().toStdString();
}

TEST(AppRun, WithoutADisplayItSaysSoInOneLineAndEndsWithStatusOne)
{
    const struct {
        Variables variables;
        const char* why;
    } rows[] = {
        {{}, "no DISPLAY, default platform"},
        {{{"QT_QPA_PLATFORM", "xcb"}}, "no DISPLAY, X11 chosen"},
        {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":65000"}}, "a display no server answers"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        AppRun app(row.variables);
        ASSERT_TRUE(app.start());
        EXPECT_EQ(app.exitCode(), 1) << "not Qt's abort";
        const QString error = app.remainingError();
        EXPECT_TRUE(error.startsWith("vude: no display found")) << error.toStdString();
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_EQ(app.standardOutput(), "");
        EXPECT_FALSE(QFileInfo::exists(app.home().filePath(".config/Vude"))) << "nothing written";
    }
}

// On a real X server (a private Xvfb) with no platform chosen, the app runs on
// X11 and names the display.
TEST(AppRun, OnAnXServerTheStartLineNamesTheDisplay)
{
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
    ASSERT_TRUE(xvfb.waitForStarted(5000)) << "Xvfb is in the test packages";
    QDeadlineTimer deadline(10000);
    while (!xvfb.canReadLine())
        ASSERT_TRUE(xvfb.waitForReadyRead(deadline.remainingTime())) << "Xvfb gave no display number";
    const QString display = ":" + QString::fromLatin1(xvfb.readLine()).trimmed();

    {
        // The keyboard library Qt's X11 plugin uses hands strndup buffers that
        // are not terminated, which the strict string checks take for overflows.
        const QString sanitizer = qEnvironmentVariable("ASAN_OPTIONS") + ":strict_string_checks=0";
        AppRun app(Variables{{"DISPLAY", display}, {"ASAN_OPTIONS", sanitizer}});
        ASSERT_TRUE(app.start());
        EXPECT_EQ(app.nextErrorLine(), "Vude is running on display " + display + "; quit with Ctrl-C");
        app.signal(SIGTERM);
        EXPECT_EQ(app.exitCode(), 0) << app.remainingError().toStdString();
    }
    stopProcess(xvfb);
}

// The build tree is laid out as an installation, so the app run from it
// finds what the build put beside it.
TEST(AppRun, FromTheBuildTreeTheAppLooksForItsResourcesWhereTheBuildPutsThem)
{
    EXPECT_EQ(AppResources::resourcesDirectory(VUDE_EXECUTABLE), std::filesystem::path(VUDE_STAGED_RESOURCES_DIR));
    EXPECT_EQ(AppResources::helpersDirectory(VUDE_EXECUTABLE), std::filesystem::path(VUDE_STAGED_HELPERS_DIR));
}

} // namespace
