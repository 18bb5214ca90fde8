#include "Platform/Desktop/QtPasteboard.h"

#include "TestSupport.h"
#include "XSelectionOwner.h"
#include "Xclip.h"
#include "XcbTestMain.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

namespace content = PasteboardContent;

// Qt runs on this process's private X server; xclip and a test owner play
// the other programs.
class QtPasteboardSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(QGuiApplication::platformName(), "xcb"); }

    std::string display() const { return testsupport::processXServer().display().toStdString(); }

    // Waits until another program's copy has reached Qt.
    bool waitForChange(std::int64_t from)
    {
        return testsupport::waitUntil([&] { return m_pasteboard.changeCount() != from; });
    }

    struct Result {
        std::optional<PasteboardReadError> error;
        bool done = false;
        bool ranOffMainThread = false;
    };

    // Runs `job` through the pasteboard and waits for its end.
    template <typename Job>
    Result readAndWait(Job job, Duration timeout = std::chrono::seconds(3))
    {
        auto result = std::make_shared<Result>();
        QObject context;
        m_pasteboard.read(
            &context, timeout,
            [job, result](PasteboardReader& reader) {
                result->ranOffMainThread = QThread::currentThread() != qApp->thread();
                job(reader);
            },
            [result](std::optional<PasteboardReadError> error) {
                result->error = error;
                result->done = true;
            });
        // The job may still be writing to the caller's variables: never
        // return before it ends.
        if (!testsupport::waitUntil([&] { return result->done; },
                                    std::chrono::duration_cast<std::chrono::milliseconds>(timeout) +
                                        std::chrono::seconds(30))) {
            ADD_FAILURE() << "the read never ended";
            std::abort();
        }
        return *result;
    }

    QtPasteboard m_pasteboard{QGuiApplication::clipboard(), display()};
    testsupport::Xclip m_xclip{testsupport::processXServer()};
};

TEST_F(QtPasteboardSystemTest, ReadsWhatAnotherProgramCopiedOffTheMainThread)
{
    const std::string png = [] {
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes.toStdString();
    }();
    const struct {
        const char* why;
        std::string type;
        std::string bytes;
    } rows[] = {
        {"text", "UTF8_STRING", "gr\xC3\xBC\xC3\x9F dich"},
        {"a file list", "text/uri-list", "file:///home/ada/a%20b.txt\r\nfile:///tmp/c.txt\r\n"},
        {"an image", "image/png", png},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto before = m_pasteboard.changeCount();
        ASSERT_TRUE(m_xclip.copy(row.type, row.bytes));
        ASSERT_TRUE(waitForChange(before));
        std::optional<std::vector<std::string>> types;
        std::optional<std::string> bytes;
        const auto result = readAndWait([&, type = row.type](PasteboardReader& reader) {
            types = reader.types();
            auto data = reader.data(type, 1 << 20);
            if (data)
                bytes = *data;
        });
        EXPECT_EQ(result.error, std::nullopt);
        EXPECT_TRUE(result.ranOffMainThread);
        ASSERT_TRUE(types.has_value());
        EXPECT_NE(std::find(types->begin(), types->end(), row.type), types->end());
        EXPECT_EQ(bytes, row.bytes);
    }
}

TEST_F(QtPasteboardSystemTest, LargeContentArrivesWholeOrNotAtAll)
{
    // Far more than one request holds, so xclip sends it in increments.
    std::string text;
    for (int i = 0; text.size() < (std::size_t(4) << 20); ++i)
        text += "line " + std::to_string(i) + "\n";
    const auto before = m_pasteboard.changeCount();
    ASSERT_TRUE(m_xclip.copy("UTF8_STRING", text));
    ASSERT_TRUE(waitForChange(before));

    Expected<std::string, PasteboardDataError> whole = unexpected(PasteboardDataError::missing);
    EXPECT_EQ(readAndWait([&](PasteboardReader& reader) { whole = content::string(reader, text.size()); },
                          std::chrono::seconds(20))
                  .error,
              std::nullopt);
    ASSERT_TRUE(whole.has_value());
    EXPECT_TRUE(*whole == text);

    Expected<std::string, PasteboardDataError> cut = std::string();
    readAndWait([&](PasteboardReader& reader) { cut = content::string(reader, text.size() / 2); });
    ASSERT_FALSE(cut.has_value());
    EXPECT_EQ(cut.error(), PasteboardDataError::tooLarge);

    // The abandoned transfer does not spoil the next copy's read. Its owner
    // waits for the rest of the transfer and may still hold the clipboard,
    // or quit at any moment (a change too): end it first, then read once
    // another program sees the new copy.
    const auto abandoned = m_pasteboard.changeCount();
    m_xclip.stopCopies();
    ASSERT_TRUE(m_xclip.copy("UTF8_STRING", "next"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_xclip.paste("UTF8_STRING") == "next"; }));
    ASSERT_TRUE(waitForChange(abandoned));
    Expected<std::string, PasteboardDataError> next = unexpected(PasteboardDataError::missing);
    EXPECT_EQ(readAndWait([&](PasteboardReader& reader) { next = content::string(reader, 100); }).error,
              std::nullopt);
    EXPECT_EQ(next.value_or(""), "next");
}

TEST_F(QtPasteboardSystemTest, AnOwnerThatNeverAnswersTimesOutWhileTheMainThreadRuns)
{
    const auto before = m_pasteboard.changeCount();
    testsupport::XSelectionOwner owner(display(), {{"UTF8_STRING", "never sent"}}, /*answers=*/false);
    ASSERT_TRUE(owner.isOwner());
    ASSERT_TRUE(waitForChange(before));

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    std::optional<std::string> text;
    const auto result = readAndWait(
        [&](PasteboardReader& reader) {
            auto data = content::string(reader, 100);
            if (data)
                text = *data;
        },
        std::chrono::milliseconds(600));
    EXPECT_EQ(result.error, PasteboardReadError::timedOut);
    EXPECT_EQ(text, std::nullopt);
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(clock.elapsed(), 5000);
    // The main thread kept turning while the worker waited.
    EXPECT_GT(ticks, 10);
    EXPECT_GE(owner.requestCount(), 1);
}

TEST_F(QtPasteboardSystemTest, AnOwnerListingUnknownTypesIsStillReadBeforeTheDeadline)
{
    // As many atoms as a 1 MB list of types holds, none of them known to the
    // server: asking the name of each, twice, took several times the deadline.
    const auto before = m_pasteboard.changeCount();
    testsupport::XSelectionOwner owner(display(), {{"UTF8_STRING", "behind the noise"}}, /*answers=*/true,
                                       /*unknownTargets=*/262'141);
    ASSERT_TRUE(owner.isOwner());
    ASSERT_TRUE(waitForChange(before));

    std::optional<std::vector<std::string>> types;
    Expected<std::string, PasteboardDataError> text = unexpected(PasteboardDataError::missing);
    const auto result = readAndWait(
        [&](PasteboardReader& reader) {
            types = reader.types();
            text = content::string(reader, 100);
        },
        std::chrono::seconds(3));
    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(types, (std::vector<std::string>{"TARGETS", "UTF8_STRING"}));
    EXPECT_EQ(text.value_or("(none)"), "behind the noise");
}

TEST_F(QtPasteboardSystemTest, WritesReachOtherProgramsAndMoveTheChangeCount)
{
    auto count = m_pasteboard.changeCount();
    m_pasteboard.writeString("from Vude \xE2\x9C\x93");
    EXPECT_GT(m_pasteboard.changeCount(), count);
    EXPECT_EQ(m_xclip.paste("UTF8_STRING"), "from Vude \xE2\x9C\x93");

    count = m_pasteboard.changeCount();
    m_pasteboard.writeFileURLs({"/home/ada/a b.txt", "/tmp/c.txt"});
    EXPECT_GT(m_pasteboard.changeCount(), count);
    const auto list = m_xclip.paste("text/uri-list");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(content::parseURIList(*list),
              (std::vector<std::string>{"file:///home/ada/a%20b.txt", "file:///tmp/c.txt"}));
    EXPECT_EQ(m_xclip.paste("x-special/gnome-copied-files"),
              "copy\nfile:///home/ada/a%20b.txt\nfile:///tmp/c.txt");

    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    m_pasteboard.writeImage(image);
    const auto png = m_xclip.paste("image/png");
    ASSERT_TRUE(png.has_value());
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(QByteArray::fromStdString(*png), "PNG"));
    EXPECT_EQ(pasted.size(), image.size());
    EXPECT_EQ(pasted.pixel(2, 1), image.pixel(2, 1));

    // Our own worker reads what our main thread holds, without a deadlock.
    m_pasteboard.writeString("read back");
    std::optional<std::string> text;
    readAndWait([&](PasteboardReader& reader) {
        auto data = content::string(reader, 100);
        if (data)
            text = *data;
    });
    EXPECT_EQ(text, "read back");

    count = m_pasteboard.changeCount();
    m_pasteboard.clearContents();
    EXPECT_GT(m_pasteboard.changeCount(), count);
    std::optional<std::vector<std::string>> types = std::vector<std::string>{"unset"};
    readAndWait([&](PasteboardReader& reader) { types = reader.types(); });
    EXPECT_EQ(types, std::nullopt);
}

TEST_F(QtPasteboardSystemTest, NoXServerMeansUnavailableNotAHang)
{
    QtPasteboard pasteboard(QGuiApplication::clipboard(), ":65000");
    std::optional<PasteboardReadError> error;
    bool done = false;
    bool ran = false;
    QObject context;
    pasteboard.read(&context, std::chrono::seconds(1), [&](PasteboardReader&) { ran = true; },
                    [&](std::optional<PasteboardReadError> result) {
                        error = result;
                        done = true;
                    });
    ASSERT_TRUE(testsupport::waitUntil([&] { return done; }));
    EXPECT_EQ(error, PasteboardReadError::unavailable);
    EXPECT_FALSE(ran);
}

} // namespace

int main(int argc, char** argv)
{
    return testsupport::runOnPrivateXServer(argc, argv);
}
