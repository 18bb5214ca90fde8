#include "Platform/Core/DeviceIdentifier.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr const char* kMachineA = "3d1219c7c4c5404aaa1f6d2a48adfda4";
constexpr const char* kMachineB = "0f6a2c3e5b7d4e1f8a9b0c1d2e3f4a5b";

class FakeRoot {
public:
    std::filesystem::path path() const { return m_folder.path().toStdString(); }

    void write(const std::string& relative, const std::string& contents) const
    {
        const auto file = path() / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << contents;
    }

    std::string identifier(const std::string& hostName) const
    {
        return DeviceIdentifier::current({path(), [hostName] { return hostName; }});
    }

private:
    QTemporaryDir m_folder;
};

/// The part before the suffix, and the suffix (empty when there is none).
std::pair<std::string, std::string> split(const std::string& identifier)
{
    constexpr std::size_t kSuffixForm = 9; // " (" + 6 hex digits + ")"
    if (identifier.size() < kSuffixForm || identifier.back() != ')')
        return {identifier, ""};
    const auto start = identifier.size() - kSuffixForm;
    const auto digits = identifier.substr(start + 2, 6);
    if (identifier.compare(start, 2, " (") != 0 || digits.find_first_not_of("0123456789abcdef") != std::string::npos)
        return {identifier, ""};
    return {identifier.substr(0, start), digits};
}

} // namespace

TEST(DeviceIdentifierTest, NamesTheComputerByItsPrettyNameElseItsHostName)
{
    const struct {
        const char* why;
        std::string machineInfo; // empty: no file
        std::string hostName;
        std::string expectedName;
    } cases[] = {
        {"double-quoted pretty name", "CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ann's \\\"Work\\\" Laptop\"\n", "debian",
         "Ann's \"Work\" Laptop"},
        {"single-quoted pretty name", "PRETTY_HOSTNAME='Studio'\n", "debian", "Studio"},
        {"unquoted pretty name", "PRETTY_HOSTNAME=Den\n", "debian", "Den"},
        {"the last assignment wins", "PRETTY_HOSTNAME=Old\nPRETTY_HOSTNAME=New\n", "debian", "New"},
        {"an empty pretty name falls back", "PRETTY_HOSTNAME=\"\"\n", "debian", "debian"},
        {"no machine-info", "", "localhost", "localhost"},
        {"no name at all", "", "", "Mac"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        FakeRoot root;
        root.write("etc/machine-id", std::string(kMachineA) + "\n");
        if (!row.machineInfo.empty())
            root.write("etc/machine-info", row.machineInfo);
        const auto [name, suffix] = split(root.identifier(row.hostName));
        EXPECT_EQ(name, row.expectedName);
        EXPECT_EQ(suffix.size(), 6u);
    }
}

TEST(DeviceIdentifierTest, TwoMachinesWithOneHostNameGetDifferentStableIdentifiers)
{
    FakeRoot first;
    FakeRoot second;
    first.write("etc/machine-id", std::string(kMachineA) + "\n");
    second.write("etc/machine-id", std::string(kMachineB) + "\n");

    const auto a = first.identifier("debian");
    EXPECT_NE(a, second.identifier("debian"));
    EXPECT_EQ(a, first.identifier("debian"));
    // The suffix does not reveal the machine id.
    EXPECT_EQ(a.find(std::string(kMachineA).substr(0, 6)), std::string::npos);
}

TEST(DeviceIdentifierTest, FallsBackToTheDBusMachineIdAndOtherwiseGoesWithoutSuffix)
{
    FakeRoot dbusOnly;
    dbusOnly.write("etc/machine-id", "uninitialized\n");
    dbusOnly.write("var/lib/dbus/machine-id", std::string(kMachineA));
    FakeRoot withEtc;
    withEtc.write("etc/machine-id", std::string(kMachineA));
    EXPECT_EQ(dbusOnly.identifier("box"), withEtc.identifier("box"));

    FakeRoot none;
    EXPECT_EQ(none.identifier("box"), "box");
    FakeRoot zero;
    zero.write("etc/machine-id", std::string(32, '0'));
    EXPECT_EQ(zero.identifier("box"), "box");
}

TEST(DeviceIdentifierTest, ReadsThisSystemsHostName)
{
    EXPECT_FALSE(DeviceIdentifier::systemHostName().empty());
    EXPECT_FALSE(DeviceIdentifier::current().empty());
}
