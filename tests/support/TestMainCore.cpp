// Test main for unit programs: a QCoreApplication so that code posting to the
// main thread (streams, serial queues, schedulers) can be driven by events.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
