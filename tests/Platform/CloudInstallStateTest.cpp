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

// --- The chunked form ---------------------------------------------------------------

TEST(CloudInstallStateTest, ChunksSplitTheNamesStablyAndTheirNamesReadBack)
{
    std::set<std::size_t> used;
    for (int i = 0; i < 1000; ++i) {
        const auto name = "record-" + std::to_string(i);
        const auto chunk = CloudInstallState::chunkOf(name);
        ASSERT_LT(chunk, CloudInstallState::kChunkCount);
        EXPECT_EQ(CloudInstallState::chunkOf(name), chunk) << "the same chunk every time";
        used.insert(chunk);
    }
    EXPECT_EQ(used.size(), CloudInstallState::kChunkCount) << "a thousand names reach every chunk";
    // A fixed hash: every install must put a name in the same chunk.
    EXPECT_EQ(CloudInstallState::chunkOf(""), 0xcbf29ce484222325ull % CloudInstallState::kChunkCount);
    for (std::size_t chunk = 0; chunk < CloudInstallState::kChunkCount; ++chunk)
        EXPECT_EQ(CloudInstallState::chunkNamed(CloudInstallState::chunkName(chunk)), chunk);
    EXPECT_EQ(CloudInstallState::chunkName(31), "1f");
    for (const char* name : {"20", "1F", "0", "000", "", "../00"})
        EXPECT_EQ(CloudInstallState::chunkNamed(name), std::nullopt) << name;
}

TEST(CloudInstallStateTest, AManifestAndAChunkEncodeAndDecodeExactly)
{
    CloudInstallState state("A");
    auto revision = live("rev", kStart + Duration(1), {{"text", "Grüße"}});
    revision.parent = "note";
    state.apply({revision, mark("gone", kStart)}, kStart);
    state.seen["B"] = 42;

    CloudManifest manifest{"A", state.revision, state.seen, {{0, 5}, {31, state.revision}}};
    auto decodedManifest = CloudManifest::decode(manifest.encode());
    ASSERT_TRUE(decodedManifest.has_value()) << decodedManifest.error();
    EXPECT_EQ(*decodedManifest, manifest);

    const auto chunk = CloudInstallState::chunkOf("rev");
    auto written = CloudChunk::of(state, chunk, {"rev", "not-held"});
    EXPECT_EQ(written.records.size(), 1u) << "only the names held";
    auto decodedChunk = CloudChunk::decode(written.encode());
    ASSERT_TRUE(decodedChunk.has_value()) << decodedChunk.error();
    EXPECT_EQ(*decodedChunk, written);
    EXPECT_EQ(decodedChunk->records.at("rev").record, state.records.at("rev").record);
    EXPECT_EQ(decodedChunk->revision, state.revision);
}

// Installs of the first format read "<id>.json" as a whole state: they must
// refuse a manifest as a file of another format, never take it for a state
// that holds nothing. And a manifest is never taken for a whole state.
TEST(CloudInstallStateTest, EachFormatRefusesTheOther)
{
    CloudInstallState state("A");
    state.apply({live("r", kStart)}, kStart);
    const CloudManifest manifest{"A", state.revision, {}, {{CloudInstallState::chunkOf("r"), state.revision}}};

    const auto asWhole = CloudInstallState::decode(manifest.encode());
    ASSERT_FALSE(asWhole.has_value());
    EXPECT_EQ(asWhole.error(), "not a cloud state file of this format");
    EXPECT_FALSE(CloudManifest::decode(state.encode()).has_value());
    EXPECT_FALSE(CloudChunk::decode(manifest.encode()).has_value());
    EXPECT_TRUE(CloudFormats::isFirstFormat(state.encode()));
    EXPECT_FALSE(CloudFormats::isFirstFormat(manifest.encode()));
}

TEST(CloudInstallStateTest, AManifestOrChunkFromAnotherComputerIsCheckedLikeAState)
{
    const std::string head = R"({"format": "vude-cloud-2-chunk", "install": "P", "chunk": "00", "revision": 1, )";
    std::string many = head + R"("records": [)";
    for (std::size_t i = 0; i <= CloudInstallState::kMaxRecords; ++i)
        many += (i ? "," : "") + (R"({"name": "r)" + std::to_string(i)) + R"(", "type": "T", "modified": 1, "revision": 1})";
    many += "]}";
    const struct {
        const char* what;
        std::string text;
        bool chunk;
    } cases[] = {
        {"a chunk cut short", (head + R"("records": [])").substr(0, 60), true},
        {"a chunk with a name no chunk has", R"({"format": "vude-cloud-2-chunk", "install": "P", "chunk": "zz", "revision": 1, "records": []})", true},
        {"a chunk nested too deep", head + R"("records": [{"name": "r", "type": "T", "modified": 1, "revision": 1, "fields": {"t": )"
                                        + std::string(200'000, '[') + std::string(200'000, ']') + "}}]}", true},
        {"a chunk of more records than any install writes", many, true},
        {"a manifest listing a chunk no install writes", R"({"format": "vude-cloud-2", "install": "P", "revision": 1, "chunks": {"40": 1}})", false},
        {"a manifest with a revision as text", R"({"format": "vude-cloud-2", "install": "P", "revision": "1", "chunks": {}})", false},
        {"a manifest without chunks", R"({"format": "vude-cloud-2", "install": "P", "revision": 1})", false},
        {"a manifest nested too deep", R"({"format": "vude-cloud-2", "install": "P", "revision": 1, "chunks": {}, "x": )"
                                           + std::string(100, '[') + std::string(100, ']') + "}", false},
    };
    for (const auto& c : cases) {
        if (c.chunk)
            EXPECT_FALSE(CloudChunk::decode(c.text).has_value()) << c.what;
        else
            EXPECT_FALSE(CloudManifest::decode(c.text).has_value()) << c.what;
    }
    EXPECT_TRUE(CloudChunk::decode(head + R"("records": []})").has_value());
}

// Compacting only the records a change touched must decide as compacting all.
TEST_F(CloudCompactionTest, CompactingSomeNamesDecidesForThemAsCompactingAll)
{
    b.apply({live("kept", kStart + kSecond), live("old", kStart - kSecond)}, kStart);
    a.apply({live("old", kStart), mark("marked", kStart)}, kStart);
    b.seen["A"] = a.revision;
    c.seen["A"] = a.revision;
    for (const bool complete : {true, false}) {
        for (const Date now : {kStart, kStart + 2 * kLifetime}) {
            auto whole = a;
            whole.compact({&b, &c}, complete, now, kLifetime);
            auto some = a;
            some.compact({&b, &c}, complete, now, kLifetime, {"gone", "kept", "old", "marked", "absent"});
            EXPECT_EQ(names(some), names(whole)) << complete;
            auto none = a;
            none.compact({&b, &c}, complete, now, kLifetime, {});
            EXPECT_EQ(none, a) << "names not given stay as they are";
        }
    }
}
