#include "Platform/Core/MainThread.h"

#include <QCoreApplication>
#include <QThread>

void postTo(QObject* context, std::function<void()> work)
{
    if (!context)
        return;
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

void postToMainThread(std::function<void()> work)
{
    postTo(QCoreApplication::instance(), std::move(work));
}

bool isMainThread()
{
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
