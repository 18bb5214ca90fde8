#include "VudeServices/MediaAdapterLayout.h"
#include "VudeServices/MediaCommand.h"

#include "Platform/Core/ChildProcess.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;

// A session whose numbers use a decimal comma (Qt sets the C library's
// locale from the user's at start). Built with localedef when the system
// lacks it; everything is put back afterwards.
class GermanNumbers {
public:
    GermanNumbers()
        : m_previous(std::setlocale(LC_ALL, nullptr))
        , m_previousQt(QLocale())
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
            return;
        const std::string folder = m_built.path().toStdString();
        ChildProcess::Options localedef;
        localedef.executable = "/usr/bin/localedef";
        localedef.arguments = {"-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"};
        auto child = ChildProcess::spawn(localedef);
        if (!child)
            return;
        (*child)->waitForExit();
        if (const char* path = std::getenv("LOCPATH"))
            m_previousPath = path;
        ::setenv("LOCPATH", folder.c_str(), 1);
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }
    ~GermanNumbers()
    {
        std::setlocale(LC_ALL, m_previous.c_str());
        QLocale::setDefault(m_previousQt);
        if (m_previousPath)
            ::setenv("LOCPATH", m_previousPath->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
    }
    bool active() const { return std::string_view(std::localeconv()->decimal_point) == ","; }

private:
    std::string m_previous;
    QLocale m_previousQt;
    std::optional<std::string> m_previousPath;
    QTemporaryDir m_built;
};

using Arguments = std::vector<std::string>;

TEST(MediaCommand, AdapterArgumentsIgnoreTheUsersLocale)
{
    GermanNumbers german;
    ASSERT_TRUE(german.active()) << "de_DE.UTF-8 could not be built; is the locales package installed?";
    struct Row {
        MediaCommand command;
        Arguments expected;
    };
    const Row rows[] = {
        {MediaCommand::play(), {"send", "0"}},
        {MediaCommand::pause(), {"send", "1"}},
        {MediaCommand::toggle(), {"send", "2"}},
        {MediaCommand::next(), {"send", "4"}},
        {MediaCommand::previous(), {"send", "5"}},
        {MediaCommand::seek(12.5), {"seek", "12.500"}},
        {MediaCommand::seek(3725.0004), {"seek", "3725.000"}},
        {MediaCommand::speed(1.25), {"speed", "1.25"}},
        {MediaCommand::speed(0.5), {"speed", "0.50"}},
        {MediaCommand::shuffle(ShuffleMode::collections), {"shuffle", "collections"}},
        {MediaCommand::shuffle(ShuffleMode::off), {"shuffle", "off"}},
        {MediaCommand::repeatMode(RepeatMode::one), {"repeat", "one"}},
        {MediaCommand::repeatMode(RepeatMode::unknown), {"repeat", "unknown"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.command.adapterArguments(), row.expected);
}

TEST(MediaCommand, EqualWhenCaseAndPayloadAre)
{
    EXPECT_EQ(MediaCommand::seek(1), MediaCommand::seek(1));
    EXPECT_NE(MediaCommand::seek(1), MediaCommand::seek(2));
    EXPECT_NE(MediaCommand::seek(1), MediaCommand::speed(1));
    EXPECT_NE(MediaCommand::shuffle(ShuffleMode::off), MediaCommand::repeatMode(RepeatMode::off));
    EXPECT_NE(MediaCommand::play(), MediaCommand::pause());
    EXPECT_EQ(MediaCommand::repeatMode(RepeatMode::all).repeat(), RepeatMode::all);
}

class MediaAdapterLayoutTest : public testing::Test {
protected:
    fs::path folder() const { return m_folder.path().toStdString(); }
    void touch(std::string_view name) const { std::ofstream(folder() / name) << "x"; }

    QTemporaryDir m_folder;
};

TEST_F(MediaAdapterLayoutTest, NeedsTheLauncherAndTheFrameworkOnly)
{
    EXPECT_FALSE(MediaAdapterLayout::find(folder()));
    touch("mediaremote-adapter.pl");
    EXPECT_FALSE(MediaAdapterLayout::find(folder())) << "no framework";
    fs::create_directory(folder() / "MediaRemoteAdapter.framework");
    const auto layout = MediaAdapterLayout::find(folder());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->scriptURL, folder() / "mediaremote-adapter.pl");
    EXPECT_EQ(layout->frameworkURL, folder() / "MediaRemoteAdapter.framework");
    EXPECT_EQ(layout->testClientURL, std::nullopt);

    touch("MediaRemoteAdapterTestClient");
    EXPECT_EQ(MediaAdapterLayout::find(folder())->testClientURL, folder() / "MediaRemoteAdapterTestClient");

    fs::remove(folder() / "mediaremote-adapter.pl");
    EXPECT_FALSE(MediaAdapterLayout::find(folder())) << "no launcher";
}

TEST_F(MediaAdapterLayoutTest, CommandLines)
{
    const MediaAdapterLayout layout{"/r/mediaremote-adapter.pl", "/r/MediaRemoteAdapter.framework",
                                    "/r/MediaRemoteAdapterTestClient"};
    const std::string script = "/r/mediaremote-adapter.pl";
    const std::string framework = "/r/MediaRemoteAdapter.framework";
    EXPECT_EQ(layout.streamArguments(), (Arguments{script, framework, "stream", "--debounce=120"}));
    EXPECT_EQ(layout.testArguments(), (Arguments{script, framework, "/r/MediaRemoteAdapterTestClient", "test"}));
    EXPECT_EQ(layout.commandArguments(MediaCommand::seek(12.5)), (Arguments{script, framework, "seek", "12.500"}));
    EXPECT_EQ(layout.commandArguments(MediaCommand::toggle()), (Arguments{script, framework, "send", "2"}));
}

} // namespace
