#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>

namespace testsupport {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    // Let the loop sleep as the app's does (woken every few milliseconds):
    // work done "when the loop is about to sleep" only runs then.
    QTimer wake;
    wake.start(2);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString sourceDir()
{
    return qEnvironmentVariable("VUDE_TEST_SOURCE_DIR");
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

StoppedProcess::StoppedProcess(pid_t pid) : m_pid(pid), m_stopped(::kill(pid, SIGSTOP) == 0) {}

bool StoppedProcess::resume()
{
    if (!m_stopped)
        return false;
    m_stopped = false;
    return ::kill(m_pid, SIGCONT) == 0;
}

} // namespace testsupport
