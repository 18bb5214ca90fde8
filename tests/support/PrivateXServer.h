#pragma once
// A private X server for system tests: its own Xvfb on a display number it
// picks itself (-displayfd), so tests running side by side never collide.
// Started and stopped by PID. Give child processes childEnvironment().
//
// Header-only, like the other private daemons, so benchmarks can use it too.

#include "ChildProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace testsupport {

class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer() { stop(); }

    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    /// Starts Xvfb with one screen of `geometry` ("1280x800x24") and the
    /// extensions the backends use; false when it does not come up.
    bool start(const QString& geometry = QStringLiteral("1280x800x24"), const QStringList& extraArguments = {})
    {
        stop();
        int pipe[2];
        if (::pipe(pipe) != 0)
            return false;
        // Xvfb writes the display number it chose to this descriptor; the child
        // inherits it because QProcess keeps descriptors it was not told to close.
        QStringList arguments{"-displayfd", QString::number(pipe[1]), "-screen", "0", geometry,
                              "-nolisten", "tcp", "+extension", "XInputExtension", "+extension", "XTEST",
                              "+extension", "XFIXES", "+extension", "SHAPE"};
        arguments += extraArguments;
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.setChildProcessModifier([readEnd = pipe[0]] {
            ::close(readEnd);
            // A test that crashes must not leave its server behind, holding
            // the output pipe ctest waits on.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        m_server.start("Xvfb", arguments);
        ::close(pipe[1]);
        const bool started = m_server.waitForStarted(5000);
        QString number;
        char byte = 0;
        while (started && ::read(pipe[0], &byte, 1) == 1 && byte != '\n')
            number += QChar(byte);
        ::close(pipe[0]);
        if (!started || number.isEmpty()) {
            stop();
            return false;
        }
        m_display = ":" + number;
        return true;
    }

    void stop() { stopProcess(m_server); }

    /// ":N", the display to connect to.
    QString display() const { return m_display; }

    /// The test's environment with this server as the display.
    QProcessEnvironment childEnvironment() const
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", m_display);
        environment.remove("WAYLAND_DISPLAY");
        return environment;
    }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace testsupport
