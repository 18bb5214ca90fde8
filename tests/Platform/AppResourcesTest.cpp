#include "Platform/Core/AppResources.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(AppResources, InstalledAndBuildTreeExecutablesFindTheFoldersBesideThem)
{
    const struct {
        fs::path executable;
        fs::path resources;
        fs::path helpers;
        fs::path modules;
    } rows[] = {
        {"/usr/bin/vude", "/usr/share/vude", "/usr/libexec/vude", "/usr/lib/vude/modules"},
        {"/opt/vude/bin/vude", "/opt/vude/share/vude", "/opt/vude/libexec/vude", "/opt/vude/lib/vude/modules"},
        {"/home/me/src/vude/build/release/Vude/vude", "/home/me/src/vude/build/release/share/vude",
         "/home/me/src/vude/build/release/libexec/vude", "/home/me/src/vude/build/release/lib/vude/modules"},
        {"/usr/local/bin/../bin/vude", "/usr/local/share/vude", "/usr/local/libexec/vude", "/usr/local/lib/vude/modules"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.executable);
        EXPECT_EQ(AppResources::resourcesDirectory(row.executable), row.resources);
        EXPECT_EQ(AppResources::helpersDirectory(row.executable), row.helpers);
        EXPECT_EQ(AppResources::modulesDirectory(row.executable), row.modules);
    }
}

// A link in a folder on PATH to an installation elsewhere: the resources are
// those of the installation, not of the link's folder.
TEST(AppResources, ASymlinkedExecutableUsesTheFoldersOfItsTarget)
{
    QTemporaryDir scratch;
    const fs::path root = scratch.path().toStdString();
    fs::create_directories(root / "opt/vude/bin");
    fs::create_directories(root / "usr/local/bin");
    std::ofstream(root / "opt/vude/bin/vude") << "";
    fs::create_symlink(root / "opt/vude/bin/vude", root / "usr/local/bin/vude");

    EXPECT_EQ(AppResources::resourcesDirectory(root / "usr/local/bin/vude"), root / "opt/vude/share/vude");
    EXPECT_EQ(AppResources::helperProgram("vude-shortcuts", root / "usr/local/bin/vude"),
              root / "opt/vude/libexec/vude/vude-shortcuts");
}

TEST(AppResources, NamesStayInsideTheirFolder)
{
    const fs::path executable = "/usr/bin/vude";
    const struct {
        const char* name;
        std::optional<fs::path> resource;
    } rows[] = {
        {"mediaremote-adapter", "/usr/share/vude/mediaremote-adapter"},
        {"sounds/pop.oga", "/usr/share/vude/sounds/pop.oga"},
        {"sounds/../pop.oga", "/usr/share/vude/pop.oga"},
        {"", std::nullopt},
        {".", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"../../etc/passwd", std::nullopt},
        {"sounds/../../vude.conf", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AppResources::resource(row.name, executable), row.resource);
        EXPECT_EQ(AppResources::helperProgram(row.name, executable).has_value(), row.resource.has_value());
        EXPECT_EQ(AppResources::module(row.name, executable).has_value(), row.resource.has_value());
    }
}

TEST(AppResources, TheRunningExecutableIsThisProgram)
{
    EXPECT_EQ(AppResources::runningExecutable(),
              fs::canonical(QCoreApplication::applicationFilePath().toStdString()));
}

} // namespace
