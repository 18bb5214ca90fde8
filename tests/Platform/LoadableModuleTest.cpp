// The modules as the app opens them: the real ones built beside the tests,
// and what the loader says when one cannot be had.
#include "Platform/Audio/PulseAudioLibrary.h"
#include "Platform/Core/LoadableModule.h"
#include "Platform/Desktop/DesktopLibrary.h"
#include "Platform/Images/ImageLibraries.h"
#include "Platform/Network/PositionSource.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace {

TEST(LoadableModule, TheImagingModuleOpensAndEncodes)
{
    const auto entry = LoadableModule::symbolIn(VUDE_IMAGING_MODULE, "vudeImageLibraries");
    ASSERT_TRUE(entry) << entry.error();
    const auto* libraries = reinterpret_cast<const ImageLibraries* (*)()>(*entry)();
    ASSERT_NE(libraries, nullptr);

    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const auto gif = libraries->encodeGif(image);
    ASSERT_TRUE(gif) << gif.error();
    EXPECT_EQ(gif->substr(0, 3), "GIF");
    EXPECT_TRUE(libraries->canDecodeHeif());
    EXPECT_TRUE(libraries->isSupportedHeif(std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24)));
    EXPECT_FALSE(libraries->isSupportedHeif(std::string("\0\0\0\x18" "ftypisom\0\0\0\0isomiso2", 24)));
}

TEST(LoadableModule, TheLocationModuleOpens)
{
    const auto entry = LoadableModule::symbolIn(VUDE_LOCATION_MODULE, "vudeMakePositionSource");
    ASSERT_TRUE(entry) << entry.error();
    using Make = PositionSource* (*)(const QString&, const QVariantMap&, PositionSource::Handlers);
    // Qt has no source of this name: none, and nothing else happens.
    EXPECT_EQ(reinterpret_cast<Make>(*entry)(QStringLiteral("no-such-plugin"), {}, {}), nullptr);
}

// The pauses between attempts are the backend's: the module's connection asks
// for each retry, counting the failures, and stops asking once stopped.
TEST(LoadableModule, TheAudioModuleOpensAndLeavesRetriesToItsBackend)
{
    const auto entry = LoadableModule::symbolIn(VUDE_AUDIO_MODULE, "vudePulseAudioLibrary");
    ASSERT_TRUE(entry) << entry.error();
    const auto* library = reinterpret_cast<const PulseAudioLibrary* (*)()>(*entry)();
    ASSERT_NE(library, nullptr);

    std::mutex mutex;
    std::vector<int> asked;
    const auto askedNow = [&] {
        std::scoped_lock lock(mutex);
        return asked;
    };
    auto connection = library->connection("unix:/nonexistent/vude/native", [&](int failures) {
        std::scoped_lock lock(mutex);
        asked.push_back(failures);
    });
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->connectionAttempts(), 0) << "nothing is tried before start";

    connection->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return askedNow().size() == 1; }));
    EXPECT_EQ(connection->connectionAttempts(), 1);
    EXPECT_FALSE(connection->isAvailable());
    EXPECT_TRUE(connection->outputDevices().empty());

    connection->retry();
    ASSERT_TRUE(testsupport::waitUntil([&] { return askedNow().size() == 2; }));
    EXPECT_EQ(askedNow(), (std::vector{1, 2}));
    EXPECT_EQ(connection->connectionAttempts(), 2);

    connection->stop();
    connection->retry();
    EXPECT_EQ(connection->connectionAttempts(), 2) << "a retry after stop tries nothing";
    connection.reset();
    EXPECT_EQ(askedNow(), (std::vector{1, 2}));
}

TEST(LoadableModule, TheDesktopModuleOpensAndReadsEntries)
{
    const auto entry = LoadableModule::symbolIn(VUDE_DESKTOP_MODULE, "vudeDesktopLibrary");
    ASSERT_TRUE(entry) << entry.error();
    const auto* library = reinterpret_cast<const DesktopLibrary* (*)()>(*entry)();
    ASSERT_NE(library, nullptr);

    QTemporaryDir scratch;
    const fs::path file = fs::path(scratch.path().toStdString()) / "editor.desktop";
    std::ofstream(file) << "[Desktop Entry]\nType=Application\nName=Editor\nExec=true --new\nIcon=accessories-text-editor\n";
    const auto read = library->readEntry(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "Editor");
    EXPECT_EQ(read->executable, "true");
    EXPECT_TRUE(read->shown);
    EXPECT_FALSE(read->hidden);
    ASSERT_FALSE(read->iconNames.empty());
    EXPECT_EQ(read->iconNames.front(), "accessories-text-editor");
    EXPECT_FALSE(library->findProgram("true").empty());
    EXPECT_FALSE(library->readEntry(fs::path(scratch.path().toStdString()) / "absent.desktop"));
    EXPECT_FALSE(library->hasSetting("org.example.NoSuchSchema", "show-banners"));
    EXPECT_EQ(library->openSetting("org.example.NoSuchSchema", "show-banners"), nullptr);
}

TEST(LoadableModule, WhatCannotBeOpenedSaysWhy)
{
    QTemporaryDir scratch;
    const fs::path folder = scratch.path().toStdString();
    std::ofstream(folder / "text.so") << "not a library\n";
    const struct {
        fs::path file;
        const char* symbol;
        std::string error;
    } rows[] = {
        {folder / "absent.so", "vudeImageLibraries",
         "the module " + (folder / "absent.so").string() + " is missing; reinstall Vude"},
        {folder, "vudeImageLibraries", "the module " + folder.string() + " is missing; reinstall Vude"},
        {folder / "text.so", "vudeImageLibraries", "cannot load the module " + (folder / "text.so").string() + ": "},
        {VUDE_IMAGING_MODULE, "noSuchEntry", "the module " + std::string(VUDE_IMAGING_MODULE) + " has no noSuchEntry"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const auto entry = LoadableModule::symbolIn(row.file, row.symbol);
        ASSERT_FALSE(entry);
        EXPECT_EQ(entry.error().substr(0, row.error.size()), row.error);
    }
}

// The app's own modules are looked up beside its executable only; a test
// program has none there, and its linked-in code serves instead.
TEST(LoadableModule, ModulesAreLookedUpBesideTheExecutable)
{
    const auto entry = LoadableModule::symbol("vude-imaging.so", "vudeImageLibraries");
    ASSERT_FALSE(entry);
    EXPECT_NE(entry.error().find("lib/vude/modules/vude-imaging.so is missing"), std::string::npos) << entry.error();
    EXPECT_FALSE(LoadableModule::symbol("../vude-imaging.so", "vudeImageLibraries"));
    const auto linked = ImageLibraries::shared();
    ASSERT_TRUE(linked) << linked.error();
}

} // namespace
