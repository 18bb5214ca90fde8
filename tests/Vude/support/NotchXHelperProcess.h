#pragma once
// The windowed tests' helper program (helpers/NotchXHelper.cpp) run as a
// child on the test's private X server, with its one-line reports read back.
// The test program gets the helper's path as NOTCH_X_HELPER.

#include "PrivateXServer.h"
#include "TestSupport.h"

#include <QProcess>
#include <QStringList>

namespace testsupport {

class NotchXHelperProcess {
public:
    ~NotchXHelperProcess() { stop(); }

    /// Starts the helper on `server`, with `extra` added to its environment.
    bool start(const PrivateXServer& server, const QStringList& arguments, const QProcessEnvironment& extra = {})
    {
        QProcessEnvironment environment = server.childEnvironment();
        environment.insert(extra);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // Qt's X plumbing keeps caches for the process's life.
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(NOTCH_X_HELPER, arguments);
        return m_process.waitForStarted(5000);
    }

    /// Waits for a line starting with `prefix`; the whole line, or "" on time-out.
    QString waitFor(const QString& prefix, int milliseconds = 10000)
    {
        QString found;
        waitUntil(
            [&] {
                while (m_process.canReadLine()) {
                    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                    m_lines.push_back(line);
                }
                for (const QString& line : m_lines) {
                    if (line.startsWith(prefix)) {
                        found = line;
                        m_lines.removeOne(line);
                        return true;
                    }
                }
                return false;
            },
            std::chrono::milliseconds(milliseconds));
        return found;
    }

    /// The lines read so far that nobody waited for.
    QStringList unclaimed()
    {
        waitFor("\x01", 200);
        return m_lines;
    }

    void send(const QByteArray& command) { m_process.write(command + "\n"); }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        send("quit");
        if (!m_process.waitForFinished(3000))
            stopProcess(m_process);
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

} // namespace testsupport
