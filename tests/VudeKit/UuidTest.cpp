#include "VudeKit/Uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Uuid, RandomIdentifiersAreVersion4AndDistinct)
{
    std::set<Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto uuid = Uuid::random();
        EXPECT_EQ(uuid.bytes()[6] >> 4, 4) << "version nibble";
        EXPECT_EQ(uuid.bytes()[8] & 0xC0, 0x80) << "variant bits";
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Uuid, WritesUpperCaseAndReadsEitherCase)
{
    const auto uuid = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->toString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), uuid);
    EXPECT_EQ(Uuid::parse("E621e1f8-C36C-495a-93FC-0c247A3E6E5F"), uuid);

    const auto fresh = Uuid::random();
    EXPECT_EQ(Uuid::parse(fresh.toString()), fresh);
}

TEST(Uuid, MalformedTextParsesToNone)
{
    const char* rows[] = {
        "",
        "E621E1F8C36C495A93FC0C247A3E6E5F",       // no dashes
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",    // one digit short
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",  // one digit long
        "E621E1F8-C36C-495A-93FC_0C247A3E6E5F",   // wrong separator
        "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",   // not hex
        "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", // braces
        "E621E1F-8C36C-495A-93FC-0C247A3E6E5F",   // dash misplaced
    };
    for (const auto* text : rows)
        EXPECT_EQ(Uuid::parse(text), std::nullopt) << text;
}

} // namespace

#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(Uuid, AForkedChildNeverRepeatsItsParentsIdentifiers)
{
    (void)Uuid::random(); // the parent has drawn a block of randomness
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto bytes = Uuid::random().bytes();
        _exit(write(fds[1], bytes.data(), bytes.size()) == 16 ? 0 : 1);
    }
    close(fds[1]);
    Uuid::Bytes fromChild{};
    ASSERT_EQ(read(fds[0], fromChild.data(), fromChild.size()), 16);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    EXPECT_NE(Uuid(fromChild), Uuid::random()) << "the child reused the parent's next bytes";
}

} // namespace
