#include "VudeServices/TrayItem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

TrayItem fullItem()
{
    TrayItem item;
    item.id = *Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    item.displayName = "Report.pdf";
    item.storedPath = "/data/Vude/Tray/E621E1F8-C36C-495A-93FC-0C247A3E6E5F/Report.pdf";
    item.originalPath = "/home/user/Report.pdf";
    item.bookmark = std::string("\x00\xff\x10 bytes", 9);
    item.utTypeIdentifier = "application/pdf";
    item.byteSize = 1'234'567;
    item.addedAt = kReferenceDate + std::chrono::microseconds(745'000'000'123'457);
    item.thumbnailPath = "/somewhere/thumb.png";
    item.stackID = *Uuid::parse("00000000-0000-4000-8000-00000000abcd");
    item.isDirectory = false;
    item.childCount = 0;
    return item;
}

// The minimal element: every required key, no optional one.
json minimalElement()
{
    return json{{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                {"displayName", "a.txt"},
                {"storedPath", "/t/E621E1F8-C36C-495A-93FC-0C247A3E6E5F/a.txt"},
                {"utTypeIdentifier", "text/plain"},
                {"byteSize", 5},
                {"addedAt", 700000000.25},
                {"isDirectory", false},
                {"childCount", 0}};
}

TEST(TrayIndex, AnItemSurvivesARoundTripExactly)
{
    const std::vector<TrayItem> items{fullItem(), TrayItem{}};
    const auto decoded = decodeTrayIndex(encodeTrayIndex(items));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, items) << "dates to the microsecond, bytes and every optional kept";
}

TEST(TrayIndex, WritesTheEncodersForm)
{
    TrayItem bare = fullItem();
    bare.originalPath.reset();
    bare.bookmark.reset();
    bare.thumbnailPath.reset();
    bare.stackID.reset();
    const json written = json::parse(encodeTrayIndex({fullItem(), bare}));
    ASSERT_TRUE(written.is_array());
    const json& full = written[0];
    EXPECT_EQ(full["id"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F") << "UUIDs in upper case";
    EXPECT_EQ(full["stackID"], "00000000-0000-4000-8000-00000000ABCD");
    EXPECT_EQ(full["bookmark"], "AP8QIGJ5dGVz") << "bytes in standard Base64";
    EXPECT_DOUBLE_EQ(full["addedAt"].get<double>(), 745000000.123457) << "seconds since 2001";
    EXPECT_TRUE(full["byteSize"].is_number_integer());
    EXPECT_EQ(full.size(), 12u);

    for (const char* key : {"originalPath", "bookmark", "thumbnailPath", "stackID"})
        EXPECT_FALSE(written[1].contains(key)) << key << " is left out when absent";
    EXPECT_EQ(written[1].size(), 8u);
    EXPECT_EQ(encodeTrayIndex({}), "[]");
}

TEST(TrayIndex, AbsentOrNullOptionalsReadAsNone)
{
    json withNull = minimalElement();
    withNull["originalPath"] = nullptr;
    withNull["someFutureKey"] = {1, 2};
    for (const json& element : {minimalElement(), withNull}) {
        const auto decoded = decodeTrayIndex(json::array({element}).dump());
        ASSERT_TRUE(decoded) << element.dump();
        ASSERT_EQ(decoded->size(), 1u);
        const TrayItem& item = decoded->front();
        EXPECT_EQ(item.originalPath, std::nullopt);
        EXPECT_EQ(item.bookmark, std::nullopt);
        EXPECT_EQ(item.thumbnailPath, std::nullopt);
        EXPECT_EQ(item.stackID, std::nullopt);
        EXPECT_EQ(item.addedAt, dateFromSecondsSinceReferenceDate(700000000.25));
    }
}

TEST(TrayIndex, OneFaultyElementFailsTheWholeFile)
{
    struct Row {
        const char* why;
        std::function<void(json&)> spoil;
    } rows[] = {
        {"childCount missing", [](json& e) { e.erase("childCount"); }},
        {"isDirectory missing", [](json& e) { e.erase("isDirectory"); }},
        {"id missing", [](json& e) { e.erase("id"); }},
        {"id no UUID", [](json& e) { e["id"] = "E621E1F8"; }},
        {"byteSize a text", [](json& e) { e["byteSize"] = "5"; }},
        {"byteSize with a fraction", [](json& e) { e["byteSize"] = 5.5; }},
        {"byteSize beyond 64 bits", [](json& e) { e["byteSize"] = 18446744073709551615ull; }},
        {"addedAt a text", [](json& e) { e["addedAt"] = "yesterday"; }},
        {"isDirectory a number", [](json& e) { e["isDirectory"] = 0; }},
        {"originalPath of the wrong type", [](json& e) { e["originalPath"] = 7; }},
        {"bookmark not Base64", [](json& e) { e["bookmark"] = "%%%"; }},
        {"stackID no UUID", [](json& e) { e["stackID"] = "stack"; }},
    };
    for (const auto& row : rows) {
        json spoiled = minimalElement();
        row.spoil(spoiled);
        EXPECT_FALSE(decodeTrayIndex(json::array({minimalElement(), spoiled}).dump())) << row.why;
    }
    for (const char* text : {"", "{}", "[1]", "[{}]", "[", "null"})
        EXPECT_FALSE(decodeTrayIndex(text)) << text;
    EXPECT_TRUE(decodeTrayIndex("[]"));
}

TEST(TrayItemText, SubtitleAndTypeFollowTheItem)
{
    struct Row {
        bool isDirectory;
        std::int64_t childCount;
        std::int64_t byteSize;
        const char* subtitle;
    } rows[] = {
        {false, 0, 0, "Zero KB"},
        {false, 0, 1'234'567, "1.2 MB"},
        {true, 1, 0, "1 item"},
        {true, 0, 0, "0 items"},
        {true, 1, 1, "1 item \xC2\xB7 1 byte"},
        {true, 3, 1'234'567, "3 items \xC2\xB7 1.2 MB"},
    };
    for (const auto& row : rows) {
        TrayItem item;
        item.isDirectory = row.isDirectory;
        item.childCount = row.childCount;
        item.byteSize = row.byteSize;
        EXPECT_EQ(item.subtitle(), row.subtitle);
    }

    TrayItem item;
    for (const auto& [identifier, type] : std::vector<std::pair<std::string, std::string>>{
             {"application/pdf", "application/pdf"},
             {"application/x-pdf", "application/pdf"},
             {"inode/directory", "inode/directory"},
             {"com.adobe.pdf", "application/octet-stream"},
             {"", "application/octet-stream"},
         }) {
        item.utTypeIdentifier = identifier;
        EXPECT_EQ(item.utType(), type) << identifier;
    }
}

} // namespace
