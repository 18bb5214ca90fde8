#include "Platform/Core/SystemDescription.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;
using SystemDescription::Installation;

class SystemDescriptionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    fs::path root() const { return fs::path(dir.path().toStdString()); }

    void write(const fs::path& relative, const std::string& contents) const
    {
        fs::create_directories((root() / relative).parent_path());
        std::ofstream(root() / relative, std::ios::binary) << contents;
    }
};

TEST_F(SystemDescriptionTest, NamesTheSystemAsItsOsReleaseDoes)
{
    struct Row {
        const char* why;
        std::optional<std::string> etc;    // etc/os-release; none: no file
        std::optional<std::string> usrLib; // usr/lib/os-release
        std::string expected;
    };
    const Row rows[] = {
        {"Debian's file", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n",
         std::nullopt, "Debian GNU/Linux 12 (bookworm)"},
        {"single quotes", "PRETTY_NAME='Fedora Linux 40 (Workstation Edition)'\n", std::nullopt,
         "Fedora Linux 40 (Workstation Edition)"},
        {"unquoted", "PRETTY_NAME=Arch\n", std::nullopt, "Arch"},
        {"escapes inside double quotes", "PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", std::nullopt,
         "Say \"hi\" $HOME"},
        {"the last assignment wins", "PRETTY_NAME=\"Old\"\nPRETTY_NAME=\"New\"\n", std::nullopt, "New"},
        {"a longer key is another key", "PRETTY_NAME_X=\"Nope\"\nNAME=\"Distro\"\n", std::nullopt, "Distro"},
        {"no pretty name: name and version", "NAME=\"Distro\"\nVERSION=\"7 (Seven)\"\n", std::nullopt,
         "Distro 7 (Seven)"},
        {"no pretty name nor version", "NAME=Distro\n", std::nullopt, "Distro"},
        {"nothing in /etc: the vendor's copy", std::nullopt, "PRETTY_NAME=\"Vendor OS\"\n", "Vendor OS"},
        {"a nameless /etc file defers to the vendor's", "ID=x\n", "PRETTY_NAME=\"Vendor OS\"\n", "Vendor OS"},
        {"no file at all", std::nullopt, std::nullopt, "Linux"},
        {"an empty pretty name", "PRETTY_NAME=\"\"\n", std::nullopt, "Linux"},
        // The report is plain text: a name cannot break its lines.
        {"control characters", "PRETTY_NAME=\"Evil\x1b[2J\tOS\"\n", std::nullopt, "Evil [2J OS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        fs::remove_all(root() / "etc");
        fs::remove_all(root() / "usr");
        if (row.etc)
            write("etc/os-release", *row.etc);
        if (row.usrLib)
            write("usr/lib/os-release", *row.usrLib);
        EXPECT_EQ(SystemDescription::operatingSystemName(root()), row.expected);
    }
}

TEST_F(SystemDescriptionTest, TheSystemRowAddsTheKernelRelease)
{
    write("etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    EXPECT_EQ(SystemDescription::systemRow(root(), "6.1.0-18-amd64"), "Debian GNU/Linux 12 (bookworm), 6.1.0-18-amd64");
    EXPECT_EQ(SystemDescription::systemRow(root(), ""), "Debian GNU/Linux 12 (bookworm)");
    // The running kernel's release is what uname gives, never empty on Linux.
    EXPECT_FALSE(SystemDescription::kernelRelease().empty());
}

TEST_F(SystemDescriptionTest, TellsHowTheProgramWasInstalled)
{
    struct Row {
        const char* why;
        std::vector<std::pair<std::string, std::string>> files; // relative path, contents
        std::string executable;                                 // under the root
        Installation expected;
    };
    const Row rows[] = {
        {"the package lists it", {{"var/lib/dpkg/info/vude.list", "/.\n/usr\n/usr/bin\n/usr/bin/vude\n"}},
         "usr/bin/vude", Installation::debianPackage},
        {"a package of one architecture", {{"var/lib/dpkg/info/vude:amd64.list", "/usr/bin/vude\n"}},
         "usr/bin/vude", Installation::debianPackage},
        // Another package owning the path (or a file beside ours) is not ours.
        {"another package's list", {{"var/lib/dpkg/info/vudeish.list", "/usr/bin/vude\n"}}, "usr/bin/vude",
         Installation::installedFromSource},
        {"our package, another file", {{"var/lib/dpkg/info/vude.list", "/usr/bin/vude-helper\n"}},
         "usr/bin/vude", Installation::installedFromSource},
        {"make install under /usr/local", {{"var/lib/dpkg/info/vude.list", "/usr/bin/vude\n"}},
         "usr/local/bin/vude", Installation::installedFromSource},
        {"the app in its build tree", {{"src/build/release/CMakeCache.txt", ""}}, "src/build/release/Vude/vude",
         Installation::buildTree},
        {"a test program deeper in it", {{"src/build/test/CMakeCache.txt", ""}}, "src/build/test/tests/Vude/VudeTests",
         Installation::buildTree},
        {"no dpkg at all", {}, "opt/vude/bin/vude", Installation::installedFromSource},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        for (const auto& entry : fs::directory_iterator(root()))
            fs::remove_all(entry.path());
        for (const auto& [path, contents] : row.files)
            write(path, contents);
        write(row.executable, "\x7f" "ELF");
        EXPECT_EQ(SystemDescription::installation(root() / row.executable, root()), row.expected);
    }
}

} // namespace
