#pragma once
// What the private daemons of system tests share: a folder short enough for
// their sockets, and stopping them by PID.

#include <QDir>
#include <QProcess>
#include <QString>

namespace testsupport {

/// A QTemporaryDir template for a folder that holds Unix sockets. A socket
/// path must stay under 108 bytes and the test's own temporary folder can be
/// deeper than that, so a deep one falls back to /tmp.
inline QString socketFolderTemplate(const QString& prefix)
{
    const QString preferred = QDir::tempPath();
    const QString base = preferred.size() <= 70 ? preferred : QStringLiteral("/tmp");
    return base + "/" + prefix + "-XXXXXX";
}

/// Asks a child to end, then kills it if it has not within five seconds.
inline void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace testsupport
