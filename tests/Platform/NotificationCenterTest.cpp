#include "Platform/Core/NotificationCenter.h"

#include "TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <thread>

namespace {

const QString kDragChanged = QStringLiteral("app.ruvudav.notch.trayDragChanged");

TEST(NotificationCenter, DeliversByNameWithUserInfoInRegistrationOrder)
{
    NotificationCenter center;
    QObject context;
    QStringList log;
    center.addObserver(kDragChanged, &context, [&](const Notification& n) {
        log << "first:" + QString::number(n.userInfo.value("sourcing").toBool());
    });
    center.addObserver(QStringLiteral("app.ruvudav.notch.openSettings"), &context,
                       [&](const Notification&) { log << "settings"; });
    center.addObserver(kDragChanged, &context, [&](const Notification&) { log << "second"; });

    center.post(kDragChanged, {{"sourcing", true}});
    EXPECT_EQ(log, (QStringList{"first:1", "second"})) << "synchronous, only matching names";
}

TEST(NotificationCenter, RemovedObserversAndDeadContextsAreSkipped)
{
    NotificationCenter center;
    QObject kept;
    auto doomed = std::make_unique<QObject>();
    int keptCalls = 0;
    int doomedCalls = 0;
    int removedCalls = 0;
    std::uint64_t removable = 0;
    center.addObserver(kDragChanged, &kept, [&](const Notification&) {
        ++keptCalls;
        center.removeObserver(removable); // removed during delivery: not called
    });
    removable = center.addObserver(kDragChanged, &kept, [&](const Notification&) { ++removedCalls; });
    center.addObserver(kDragChanged, doomed.get(), [&](const Notification&) { ++doomedCalls; });
    doomed.reset();

    center.post(kDragChanged);
    center.post(kDragChanged);
    EXPECT_EQ(keptCalls, 2);
    EXPECT_EQ(removedCalls, 0);
    EXPECT_EQ(doomedCalls, 0);
}

TEST(NotificationCenter, APostFromAnotherThreadIsDeliveredOnTheMainThread)
{
    NotificationCenter center;
    QObject context;
    bool onMain = false;
    center.addObserver(kDragChanged, &context,
                       [&](const Notification&) { onMain = QThread::currentThread() == context.thread(); });
    std::thread([&] { center.post(kDragChanged); }).join();
    EXPECT_TRUE(testsupport::waitUntil([&] { return onMain; }));
}

} // namespace
