#include "Platform/Cloud/CloudInstallState.h"

#include <gtest/gtest.h>

namespace {

constexpr Duration kSecond = std::chrono::seconds(1);
constexpr Duration kLifetime = std::chrono::hours(24 * 30);
const Date kStart = kReferenceDate + std::chrono::hours(24 * 365 * 20);

CloudRecord live(const std::string& name, Date at, nlohmann::json fields = {{"title", "x"}})
{
    CloudRecord record;
    record.recordName = name;
    record.recordType = "SyncedTodo";
    record.fields = std::move(fields);
    record.modifiedAt = at;
    return record;
}

CloudRecord mark(const std::string& name, Date at)
{
    CloudRecord record = live(name, at, nlohmann::json::object());
    record.deleted = true;
    return record;
}

std::vector<std::string> names(const CloudInstallState& state)
{
    std::vector<std::string> result;
    for (const auto& [name, entry] : state.records)
        result.push_back(name);
    return result;
}

using Names = std::vector<std::string>;

} // namespace

TEST(CloudInstallStateTest, EncodesAndDecodesEveryPartExactly)
{
    CloudInstallState state("A");
    auto revision = live("rev", kStart + Duration(1), {{"text", "Grüße\n\"quoted\""}, {"n", 3}, {"none", nullptr}});
    revision.recordType = "SyncedNoteRevision";
    revision.parent = "note";
    state.apply({revision, mark("gone", kStart), live("old", kReferenceDate - std::chrono::hours(24 * 365 * 2000))},
                kStart);
    state.seen["B"] = 42;

    auto decoded = CloudInstallState::decode(state.encode());
    ASSERT_TRUE(decoded.has_value()) << decoded.error();
    EXPECT_EQ(*decoded, state);
    EXPECT_EQ(decoded->records.at("rev").record.writer, "A") << "every record of a file is its install's write";
    EXPECT_EQ(decoded->records.at("rev").record.modifiedAt, kStart + Duration(1)) << "times are exact to the µs";
}

TEST(CloudInstallStateTest, RejectsAnythingButAWholeStateOfThisFormat)
{
    CloudInstallState state("A");
    state.apply({live("r", kStart)}, kStart);
    const auto whole = state.encode();
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"half a file, as a sync tool leaves it mid-copy", whole.substr(0, whole.size() / 2)},
        {"empty", ""},
        {"a list", "[]"},
        {"another program's JSON", R"({"name": "settings"})"},
        {"a newer format", R"({"format": "vude-cloud-2", "install": "A", "revision": 1, "records": []})"},
        {"no install", R"({"format": "vude-cloud-1", "revision": 1, "records": []})"},
        {"records not a list", R"({"format": "vude-cloud-1", "install": "A", "revision": 1, "records": {}})"},
        {"a record without a name",
         R"({"format": "vude-cloud-1", "install": "A", "revision": 1, "records": [{"type": "T", "modified": 1, "revision": 1}]})"},
        {"a time as text",
         R"({"format": "vude-cloud-1", "install": "A", "revision": 1, "records": [{"name": "r", "type": "T", "modified": "1", "revision": 1}]})"},
        {"fields not an object",
         R"({"format": "vude-cloud-1", "install": "A", "revision": 1, "records": [{"name": "r", "type": "T", "modified": 1, "revision": 1, "fields": []}]})"},
        {"a deletion mark that is not a Boolean",
         R"({"format": "vude-cloud-1", "install": "A", "revision": 1, "records": [{"name": "r", "type": "T", "modified": 1, "revision": 1, "deleted": 1}]})"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(CloudInstallState::decode(c.text).has_value()) << c.what;
}

TEST(CloudInstallStateTest, TheNewestVersionWinsAndEqualTimesGoToTheGreaterInstallID)
{
    CloudInstallState a("A");
    CloudInstallState b("B");
    a.apply({live("edited", kStart + kSecond, {{"title", "A's"}}), live("tie", kStart, {{"title", "A's"}}),
             live("deleted", kStart)},
            kStart);
    b.apply({live("edited", kStart, {{"title", "B's"}}), live("tie", kStart, {{"title", "B's"}}),
             mark("deleted", kStart + kSecond)},
            kStart);

    for (const auto& order : {std::vector<const CloudInstallState*>{&a, &b}, std::vector<const CloudInstallState*>{&b, &a}}) {
        const auto newest = CloudMerge::newest(order);
        ASSERT_EQ(newest.size(), 3u);
        EXPECT_EQ(newest[0].recordName, "deleted");
        EXPECT_TRUE(newest[0].deleted) << "a later deletion beats an earlier write";
        EXPECT_EQ(newest[1].fields["title"], "A's") << "the later write wins";
        EXPECT_EQ(newest[2].fields["title"], "B's") << "at one time, the greater install id wins, in any reading order";
    }
}

TEST(CloudInstallStateTest, RevisionsNeverGoBackEvenForAStateRebuiltFromNothing)
{
    CloudInstallState state("A");
    state.apply({live("r", kStart)}, kStart);
    const auto first = state.revision;
    state.apply({live("r", kStart)}, kStart - std::chrono::hours(1));
    EXPECT_GT(state.revision, first) << "a clock set back still counts up";

    CloudInstallState rebuilt("A");
    rebuilt.apply({live("r", kStart)}, kStart);
    EXPECT_GE(rebuilt.revision, first) << "what others applied of the lost state stays below the new revisions";

    state.apply({}, kStart + std::chrono::hours(1));
    EXPECT_EQ(state.revision, first + 1) << "no change, no new revision";
}

class CloudCompactionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        a.apply({mark("gone", kStart), live("kept", kStart)}, kStart);
        markRevision = a.records.at("gone").revision;
    }

    CloudInstallState a{"A"};
    CloudInstallState b{"B"};
    CloudInstallState c{"C"};
    std::int64_t markRevision = 0;
};

TEST_F(CloudCompactionTest, AVersionSupersededElsewhereIsDroppedAndTheNewestStays)
{
    b.apply({live("kept", kStart + kSecond)}, kStart);
    a.compact({&b}, true, kStart, kLifetime);
    EXPECT_FALSE(a.records.contains("kept")) << "B holds the newer version; A's copy is dead weight";

    b.compact({&a}, true, kStart, kLifetime);
    EXPECT_TRUE(b.records.contains("kept"));
}

TEST_F(CloudCompactionTest, ADeletionMarkStaysUntilEveryInstallEverReadHasAppliedIt)
{
    b.seen["A"] = markRevision - 1;
    c.seen["A"] = markRevision;
    a.compact({&b, &c}, true, kStart, kLifetime);
    EXPECT_EQ(names(a), (Names{"gone", "kept"})) << "B has not applied it yet";

    b.seen["A"] = markRevision;
    a.seen["D"] = 1; // D was read once, and its file is not here now
    a.compact({&b, &c}, true, kStart, kLifetime);
    EXPECT_EQ(names(a), (Names{"gone", "kept"})) << "D may still hold the record";

    a.seen.erase("D");
    a.compact({&b, &c}, true, kStart, kLifetime);
    EXPECT_EQ(names(a), (Names{"kept"})) << "everyone applied it";
}

TEST_F(CloudCompactionTest, ADeletionMarkStaysWhileAnotherStateStillHoldsAnOlderVersion)
{
    b.apply({live("gone", kStart - kSecond)}, kStart);
    b.seen["A"] = markRevision;
    a.compact({&b}, true, kStart + 2 * kLifetime, kLifetime);
    EXPECT_TRUE(a.records.contains("gone")) << "dropping it would bring B's stale copy back everywhere";

    b.compact({&a}, true, kStart, kLifetime);
    EXPECT_FALSE(b.records.contains("gone")) << "B drops its superseded copy";
    a.compact({&b}, true, kStart, kLifetime);
    EXPECT_FALSE(a.records.contains("gone"));
}

TEST_F(CloudCompactionTest, AnUnreadableStateOrAnUnseenInstallKeepsTheMarkUntilItsLifetimeEnds)
{
    b.seen["A"] = markRevision;
    a.compact({&b}, false, kStart, kLifetime);
    EXPECT_TRUE(a.records.contains("gone")) << "an unreadable file may belong to an install that has not applied it";
    a.compact({&b}, false, kStart + kLifetime, kLifetime);
    EXPECT_TRUE(a.records.contains("gone")) << "exactly the lifetime is not past it";
    a.compact({&b}, false, kStart + kLifetime + Duration(1), kLifetime);
    EXPECT_FALSE(a.records.contains("gone"));
    EXPECT_TRUE(a.records.contains("kept")) << "live records never expire";
}

TEST_F(CloudCompactionTest, AloneTheMarkIsDroppedAtOnce)
{
    a.compact({}, true, kStart, kLifetime);
    EXPECT_EQ(names(a), (Names{"kept"}));
}

namespace {

/// A state file of install "P" whose one record holds `value` as a field.
std::string stateWithField(const std::string& value)
{
    return R"({"format": "vude-cloud-1", "install": "P", "revision": 1, "records": [)"
           R"({"name": "r", "type": "SyncedTodo", "modified": 1, "revision": 1, "fields": {"title": )"
           + value + "}}]}";
}

/// `depth` arrays (or objects with one member), one inside the other.
std::string nested(std::size_t depth, bool objects = false)
{
    std::string text;
    text.reserve(depth * 6);
    for (std::size_t i = 0; i < depth; ++i)
        text += objects ? R"({"a":)" : "[";
    text += "1";
    for (std::size_t i = 0; i < depth; ++i)
        text += objects ? '}' : ']';
    return text;
}

} // namespace

// Another computer's file is untrusted: one nested deep enough to run any
// recursive walk off the stack is refused before it is parsed or copied.
TEST(CloudInstallStateTest, RefusesAStateNestedDeeperThanTheBoundBeforeParsingIt)
{
    // The root, the record list, the record and its fields take four levels.
    const std::size_t insideFields = CloudInstallState::kMaxNesting - 4;
    const struct {
        const char* what;
        std::string text;
        bool accepted;
    } cases[] = {
        {"a field nested right up to the bound", stateWithField(nested(insideFields)), true},
        {"one level more", stateWithField(nested(insideFields + 1)), false},
        {"200,000 arrays deep", stateWithField(nested(200'000)), false},
        {"objects 1.2 MB deep", stateWithField(nested(240'000, true)), false},
        {"deep and cut short, as a half-synced copy", stateWithField(nested(200'000)).substr(0, 150'000), false},
        {"brackets inside a text are not nesting", stateWithField('"' + std::string(100'000, '[') + '"'), true},
        {"nor are escaped quotes and brackets",
         stateWithField(R"(")" + std::string(50'000, '\\') + R"(\"[[[[{{{{\\")"), true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const auto decoded = CloudInstallState::decode(row.text);
        EXPECT_EQ(decoded.has_value(), row.accepted);
        if (!row.accepted && !decoded) {
            EXPECT_NE(decoded.error().find("nested deeper"), std::string::npos) << decoded.error();
        }
    }
}

TEST(CloudInstallStateTest, RefusesAStateOfMoreRecordsThanAnyInstallWrites)
{
    const auto stateOf = [](std::size_t count) {
        std::string text = R"({"format": "vude-cloud-1", "install": "P", "revision": 1, "records": [)";
        for (std::size_t i = 0; i < count; ++i)
            text += (i ? "," : "") + (R"({"name": "r)" + std::to_string(i))
                    + R"(", "type": "SyncedTodo", "modified": 1, "revision": 1})";
        return text + "]}";
    };
    EXPECT_TRUE(CloudInstallState::decode(stateOf(CloudInstallState::kMaxRecords)).has_value());
    const auto refused = CloudInstallState::decode(stateOf(CloudInstallState::kMaxRecords + 1));
    ASSERT_FALSE(refused.has_value());
    EXPECT_NE(refused.error().find("records"), std::string::npos) << refused.error();
}
