#include "VudeServices/Clip.h"

#include "VudeKit/UnicodeText.h"

#include <gtest/gtest.h>

namespace {

using Kind = Clip::Kind;

const std::string kEllipsis = "\xE2\x80\xA6";

Clip makeClip(Kind kind, std::string text)
{
    Clip clip;
    clip.id = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    clip.kind = kind;
    clip.text = std::move(text);
    clip.copiedAt = kReferenceDate + std::chrono::milliseconds(754'000'123'500);
    return clip;
}

std::string repeated(const std::string& piece, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += piece;
    return result;
}

TEST(Clip, KindsAreStoredByNameAndDrawnWithTheirSymbol)
{
    const struct {
        Kind kind;
        const char* raw;
        const char* symbol;
    } rows[] = {
        {Kind::text, "text", "text.alignleft"},
        {Kind::url, "url", "link"},
        {Kind::image, "image", "photo"},
        {Kind::file, "file", "doc"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(rawValue(row.kind), row.raw);
        EXPECT_EQ(makeClip(row.kind, "x").symbol(), row.symbol);
        EXPECT_EQ(enumFromRaw<Kind>(row.raw), row.kind);
    }
    EXPECT_EQ(enumFromRaw<Kind>("Text"), std::nullopt);
}

TEST(Clip, PreviewIsOneLineOfAtMost120Characters)
{
    const std::string accented = "e\xCC\x81"; // one character, three bytes
    const struct {
        const char* why;
        std::string text;
        std::string preview;
    } rows[] = {
        {"line feeds and tabs become single spaces", "one\ntwo\t\tthree", "one two three"},
        {"runs of spaces collapse, ends are trimmed", "  a   b  \n", "a b"},
        {"carriage returns and no-break spaces stay", "a\r\nb\xC2\xA0" "c", "a\r b\xC2\xA0" "c"},
        {"only white space previews as nothing", " \n\t ", ""},
        {"exactly 120 characters is the text itself", std::string(120, 'x'), std::string(120, 'x')},
        {"121 characters are cut to 120 and an ellipsis", std::string(121, 'x'), std::string(120, 'x') + kEllipsis},
        {"characters, not bytes, are counted", repeated(accented, 120), repeated(accented, 120)},
        {"a cut never splits a character", repeated(accented, 121), repeated(accented, 120) + kEllipsis},
        {"the limit applies after collapsing", std::string(60, 'a') + "     " + std::string(59, 'b'),
         std::string(60, 'a') + " " + std::string(59, 'b')},
    };
    for (const auto& row : rows)
        EXPECT_EQ(makeClip(Kind::text, row.text).preview(), row.preview) << row.why;
    EXPECT_EQ(graphemeCount(makeClip(Kind::text, repeated(accented, 500)).preview()), 121u);
}

TEST(Clip, HistoryFileIsCompactJsonWithOptionalKeysLeftOut)
{
    Clip text = makeClip(Kind::text, "say \"hi\"\n");
    Clip image = makeClip(Kind::image, "Image");
    image.id = *Uuid::parse("00000000-0000-4000-8000-00000000000A");
    image.storedPath = "/home/ada/.local/share/Vude/Clipboard/X.png";
    image.sourceApp = "org.gnome.Loupe";
    image.copiedAt = kReferenceDate + std::chrono::seconds(1);

    EXPECT_EQ(encodeClipHistory({text, image}),
              R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"text","text":"say \"hi\"\n",)"
              R"("copiedAt":754000123.5},)"
              R"({"id":"00000000-0000-4000-8000-00000000000A","kind":"image","text":"Image",)"
              R"("storedPath":"/home/ada/.local/share/Vude/Clipboard/X.png","copiedAt":1.0,)"
              R"("sourceApp":"org.gnome.Loupe"}])");
    EXPECT_EQ(encodeClipHistory({}), "[]");

    const auto decoded = decodeClipHistory(encodeClipHistory({text, image}));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, (std::vector<Clip>{text, image}));
}

TEST(Clip, DatesWithFractionsRoundTripExactly)
{
    Clip clip = makeClip(Kind::url, "https://example.org");
    clip.copiedAt = kReferenceDate + std::chrono::microseconds(789'012'345'678'901);
    const auto decoded = decodeClipHistory(encodeClipHistory({clip}));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->front().copiedAt, clip.copiedAt);
}

TEST(Clip, AnyFaultyEntryMakesTheWholeHistoryUnreadable)
{
    const std::string good = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"text","text":"a","copiedAt":1})";
    const struct {
        const char* why;
        std::string json;
        std::optional<std::size_t> count;
    } rows[] = {
        {"an empty list", "[]", 0},
        {"keys in any order, unknown keys ignored",
         R"([{"copiedAt":2.5,"extra":[1],"text":"b","kind":"url","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])", 1},
        {"null optionals count as absent",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"file","text":"a","copiedAt":1,"storedPath":null}])",
         1},
        {"an unknown kind", "[" + good + R"(,{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"video","text":"a","copiedAt":1}])",
         std::nullopt},
        {"a missing id", R"([{"kind":"text","text":"a","copiedAt":1}])", std::nullopt},
        {"a missing time", R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"text","text":"a"}])", std::nullopt},
        {"a time as text",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"text","text":"a","copiedAt":"1"}])", std::nullopt},
        {"a path as a number",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"file","text":"a","copiedAt":1,"storedPath":7}])",
         std::nullopt},
        {"an id that is no UUID", R"([{"id":"E621","kind":"text","text":"a","copiedAt":1}])", std::nullopt},
        {"an object, not a list", good, std::nullopt},
        {"not JSON", "[{", std::nullopt},
        {"an empty file", "", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto decoded = decodeClipHistory(row.json);
        ASSERT_EQ(decoded.has_value(), row.count.has_value()) << row.why;
        if (row.count) {
            EXPECT_EQ(decoded->size(), *row.count) << row.why;
        }
    }
}

} // namespace
