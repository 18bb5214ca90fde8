#pragma once
// xclip as the other program in clipboard tests: copy() makes it hold the
// CLIPBOARD selection with one typed item (it stays in the foreground and
// is stopped by PID), paste() reads what the clipboard holds now.

#include "ChildProcess.h"
#include "PrivateXServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class Xclip {
public:
    explicit Xclip(const PrivateXServer& server) : m_environment(server.childEnvironment()) {}
    ~Xclip()
    {
        for (auto& process : m_copies)
            stopProcess(*process);
    }

    /// Starts an xclip that owns the clipboard with `bytes` as `type`; false
    /// when it could not start. It ends by itself once another copy takes
    /// the clipboard.
    bool copy(const std::string& type, const std::string& bytes)
    {
        const std::string path = m_folder.filePath(QString::number(m_copies.size())).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start("xclip", {"-quiet", "-selection", "clipboard", "-t", QString::fromStdString(type), "-i",
                                 QString::fromStdString(path)});
        const bool started = process->waitForStarted(5000);
        m_copies.push_back(std::move(process));
        return started;
    }

    /// Ends every copy made so far and waits for each to go.
    void stopCopies()
    {
        for (auto& process : m_copies)
            stopProcess(*process);
    }

    /// What the clipboard holds as `type`, read by another program; none
    /// when it cannot be read.
    std::optional<std::string> paste(const std::string& type)
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start("xclip", {"-o", "-selection", "clipboard", "-t", QString::fromStdString(type)});
        // Our own process may be the owner: keep its event loop turning.
        if (!process.waitForStarted(5000))
            return std::nullopt;
        QByteArray output;
        const QDeadlineTimer deadline(10000);
        while (process.state() != QProcess::NotRunning) {
            if (deadline.hasExpired()) {
                stopProcess(process);
                return std::nullopt;
            }
            process.waitForFinished(10);
            QCoreApplication::processEvents();
            output += process.readAllStandardOutput();
        }
        output += process.readAllStandardOutput();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return std::nullopt;
        return output.toStdString();
    }

private:
    QProcessEnvironment m_environment;
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_copies;
};

} // namespace testsupport
