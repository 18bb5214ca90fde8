#pragma once
// A main for system tests whose Qt must run on a real X server (the
// clipboard, window stacking): it starts a private Xvfb for the process and
// then the QApplication on it with the "xcb" platform, whatever
// QT_QPA_PLATFORM says. ctest runs every test in a process of its own, so
// every test gets its own server. Listing the tests starts none.
//
//   int main(int argc, char** argv) { return testsupport::runOnPrivateXServer(argc, argv); }

#include "PrivateXServer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

/// The server the tests of this process run on.
inline PrivateXServer& processXServer()
{
    static PrivateXServer server;
    return server;
}

inline int runOnPrivateXServer(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return RUN_ALL_TESTS();
    }
    if (!processXServer().start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    const std::string display = processXServer().display().toStdString();
    std::vector<std::string> extra{"-platform", "xcb", "-display", display};
    std::vector<char*> arguments(argv, argv + argc);
    for (auto& argument : extra)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    int count = static_cast<int>(arguments.size()) - 1;
    int result = 0;
    {
        QApplication app(count, arguments.data());
        result = RUN_ALL_TESTS();
    }
    processXServer().stop();
    return result;
}

} // namespace testsupport
