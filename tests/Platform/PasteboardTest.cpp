#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Desktop/Pasteboard.h"

#include <QObject>

#include <gtest/gtest.h>

namespace {

using Item = FakePasteboard::Item;
namespace content = PasteboardContent;

// Runs `look` with a reader of `items`, as a read job would.
template <typename Look>
void readItems(const std::vector<Item>& items, Look look, bool reportsTypes = true)
{
    FakePasteboard pasteboard;
    pasteboard.copy(items);
    pasteboard.setReportsTypes(reportsTypes);
    QObject context;
    bool ran = false;
    pasteboard.read(&context, std::chrono::seconds(1), [&](PasteboardReader& reader) { look(reader); },
                    [&](std::optional<PasteboardReadError>) { ran = true; });
    ASSERT_TRUE(ran);
}

TEST(PasteboardContent, PlainTextComesFromTheBestTextTypeAsUtf8)
{
    const struct {
        const char* why;
        std::vector<Item> items;
        bool reportsTypes;
        std::optional<std::string> text;
    } rows[] = {
        {"UTF-8 is preferred to Latin-1", {{"STRING", "caf\xE9"}, {"UTF8_STRING", "caf\xC3\xA9 au lait"}}, true,
         "caf\xC3\xA9 au lait"},
        {"Latin-1 alone is converted", {{"STRING", "caf\xE9"}}, true, "caf\xC3\xA9"},
        {"a MIME charset is matched whatever its case and blanks", {{"text/plain; charset=UTF-8", "hello"}}, true,
         "hello"},
        {"plain text/plain is UTF-8", {{"text/plain", "gr\xC3\xBC\xC3\x9F"}}, true, "gr\xC3\xBC\xC3\x9F"},
        {"bytes that are not UTF-8 become replacement characters", {{"UTF8_STRING", "a\xFF" "b"}}, true,
         "a\xEF\xBF\xBD" "b"},
        {"an owner that lists no types is still asked", {{"UTF8_STRING", "quiet"}}, false, "quiet"},
        {"HTML alone is no plain text", {{"text/html", "<b>x</b>"}}, true, std::nullopt},
        {"an empty text is a text", {{"text/plain", ""}}, true, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        readItems(
            row.items,
            [&](PasteboardReader& reader) {
                const auto text = content::string(reader, 1000);
                ASSERT_EQ(text.has_value(), row.text.has_value());
                if (row.text)
                    EXPECT_EQ(*text, *row.text);
                else
                    EXPECT_EQ(text.error(), PasteboardDataError::missing);
            },
            row.reportsTypes);
    }
}

TEST(PasteboardContent, TextBeyondTheLimitIsReportedTooLargeNotCut)
{
    readItems({{"UTF8_STRING", std::string(11, 'x')}}, [](PasteboardReader& reader) {
        const auto text = content::string(reader, 10);
        ASSERT_FALSE(text.has_value());
        EXPECT_EQ(text.error(), PasteboardDataError::tooLarge);
    });
    // Latin-1 grows when converted: the limit holds for the UTF-8 text.
    readItems({{"STRING", std::string(6, '\xE9')}}, [](PasteboardReader& reader) {
        const auto text = content::string(reader, 10);
        ASSERT_FALSE(text.has_value());
        EXPECT_EQ(text.error(), PasteboardDataError::tooLarge);
    });
}

TEST(PasteboardContent, FileURLsAreTheLocalFilesOfTheURIList)
{
    const struct {
        const char* why;
        std::vector<Item> items;
        std::vector<std::string> urls;
        std::vector<std::string> paths;
    } rows[] = {
        {"CRLF lines, a comment, escapes decoded",
         {{"text/uri-list", "# from a file manager\r\nfile:///home/ada/My%20Notes.txt\r\nfile:///tmp/b%C3%A9.png\r\n"}},
         {"file:///home/ada/My%20Notes.txt", "file:///tmp/b%C3%A9.png"},
         {"/home/ada/My Notes.txt", "/tmp/b\xC3\xA9.png"}},
        {"a web link is a URL but no file",
         {{"text/uri-list", "https://example.org/a\nfile:///srv/x"}},
         {"https://example.org/a", "file:///srv/x"},
         {"/srv/x"}},
        {"another machine's file is not ours; localhost is",
         {{"text/uri-list", "file://elsewhere/etc/passwd\nfile://localhost/var/log/x.log\n"}},
         {"file://elsewhere/etc/passwd", "file://localhost/var/log/x.log"},
         {"/var/log/x.log"}},
        {"a folder's trailing slash goes",
         {{"text/uri-list", "file:///home/ada/Projects/\n"}},
         {"file:///home/ada/Projects/"},
         {"/home/ada/Projects"}},
        {"GNOME's own type, after its copy-or-cut line",
         {{"x-special/gnome-copied-files", "copy\nfile:///home/ada/a.pdf\nfile:///home/ada/b.pdf"}},
         {"file:///home/ada/a.pdf", "file:///home/ada/b.pdf"},
         {"/home/ada/a.pdf", "/home/ada/b.pdf"}},
        {"no list at all", {{"text/plain", "file:///home/ada/a.pdf"}}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        readItems(row.items, [&](PasteboardReader& reader) {
            const auto urls = content::urls(reader);
            ASSERT_TRUE(urls.has_value());
            EXPECT_EQ(*urls, row.urls);
            const auto files = content::fileURLs(reader);
            ASSERT_TRUE(files.has_value());
            std::vector<std::string> paths;
            for (const auto& path : *files)
                paths.push_back(path.string());
            EXPECT_EQ(paths, row.paths);
        });
    }
}

TEST(PasteboardContent, FileURLsRoundTripThroughTheListWeWrite)
{
    const std::vector<std::filesystem::path> paths{"/home/ada/a b#c%d.txt", "/tmp/\xC3\xA9t\xC3\xA9"};
    FakePasteboard pasteboard;
    pasteboard.writeFileURLs(paths);
    QObject context;
    pasteboard.read(&context, std::chrono::seconds(1), [&](PasteboardReader& reader) {
        const auto files = content::fileURLs(reader);
        ASSERT_TRUE(files.has_value());
        EXPECT_EQ(*files, paths);
    }, [](auto) {});
}

TEST(PasteboardContent, ImageDataIsTheFirstImageTypeOnOffer)
{
    readItems({{"text/html", "<img>"}, {"image/jpeg", "JPEG"}, {"image/png", "PNG"}}, [](PasteboardReader& reader) {
        EXPECT_EQ(content::imageData(reader, 100).value_or(""), "PNG");
    });
    readItems({{"image/tiff", "TIFF"}}, [](PasteboardReader& reader) {
        EXPECT_EQ(content::imageData(reader, 100).value_or(""), "TIFF");
    });
    readItems({{"text/plain", "words"}}, [](PasteboardReader& reader) {
        const auto image = content::imageData(reader, 100);
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error(), PasteboardDataError::missing);
    });
}

TEST(PasteboardContent, AnOwnerThatNeverAnswersTimesEveryReadOut)
{
    FakePasteboard pasteboard;
    pasteboard.copyText("held hostage");
    pasteboard.setUnresponsive(true);
    QObject context;
    std::optional<PasteboardReadError> error;
    pasteboard.read(&context, std::chrono::seconds(1), [](PasteboardReader& reader) {
        EXPECT_FALSE(reader.types().has_value());
        EXPECT_EQ(content::string(reader, 100).error(), PasteboardDataError::timedOut);
        EXPECT_EQ(content::fileURLs(reader).error(), PasteboardDataError::timedOut);
        EXPECT_EQ(content::imageData(reader, 100).error(), PasteboardDataError::timedOut);
    }, [&](std::optional<PasteboardReadError> result) { error = result; });
    EXPECT_EQ(error, PasteboardReadError::timedOut);
}

} // namespace
