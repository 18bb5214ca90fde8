#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace testsupport {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
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

} // namespace testsupport
