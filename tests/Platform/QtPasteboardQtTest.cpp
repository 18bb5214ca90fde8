#include "Platform/Desktop/QtPasteboard.h"

#include "TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

namespace content = PasteboardContent;

// Without X11 (here the offscreen platform) the pasteboard reads QClipboard
// itself, on the main thread.
class QtPasteboardQtTest : public ::testing::Test {
protected:
    void TearDown() override { QGuiApplication::clipboard()->clear(); }

    template <typename Job>
    std::optional<PasteboardReadError> readAndWait(Job job)
    {
        bool done = false;
        std::optional<PasteboardReadError> error;
        QObject context;
        m_pasteboard.read(&context, std::chrono::seconds(1), job, [&](std::optional<PasteboardReadError> result) {
            error = result;
            done = true;
        });
        EXPECT_FALSE(done) << "the result comes back through the event loop, not inside read()";
        EXPECT_TRUE(testsupport::waitUntil([&] { return done; }));
        return error;
    }

    QtPasteboard m_pasteboard{QGuiApplication::clipboard()};
};

TEST_F(QtPasteboardQtTest, CountsEveryChangeOfTheClipboardButNotOfTheSelection)
{
    const auto start = m_pasteboard.changeCount();
    QGuiApplication::clipboard()->setText("another program");
    EXPECT_EQ(m_pasteboard.changeCount(), start + 1);
    m_pasteboard.writeString("ours");
    EXPECT_EQ(m_pasteboard.changeCount(), start + 2);
    if (QGuiApplication::clipboard()->supportsSelection()) {
        QGuiApplication::clipboard()->setText("selected", QClipboard::Selection);
        EXPECT_EQ(m_pasteboard.changeCount(), start + 2);
    }
}

TEST_F(QtPasteboardQtTest, ReadsWhatWasWrittenThroughTheSameTypes)
{
    m_pasteboard.writeString("caf\xC3\xA9");
    std::optional<std::string> text;
    EXPECT_EQ(readAndWait([&](PasteboardReader& reader) { text = content::string(reader, 100).value_or("none"); }),
              std::nullopt);
    EXPECT_EQ(text, "caf\xC3\xA9");

    m_pasteboard.writeFileURLs({"/home/ada/a b.txt"});
    std::vector<std::filesystem::path> files;
    readAndWait([&](PasteboardReader& reader) { files = content::fileURLs(reader).value_or(std::vector<std::filesystem::path>()); });
    EXPECT_EQ(files, std::vector<std::filesystem::path>{"/home/ada/a b.txt"});

    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::green);
    m_pasteboard.writeImage(image);
    std::string png;
    readAndWait([&](PasteboardReader& reader) { png = content::imageData(reader, 1 << 20).value_or(""); });
    QImage read;
    ASSERT_TRUE(read.loadFromData(QByteArray::fromStdString(png), "PNG"));
    EXPECT_EQ(read.pixel(1, 1), image.pixel(1, 1));

    m_pasteboard.clearContents();
    std::optional<std::vector<std::string>> types{{"unset"}};
    readAndWait([&](PasteboardReader& reader) { types = reader.types(); });
    EXPECT_TRUE(!types || types->empty());
}

TEST_F(QtPasteboardQtTest, ADroppedContextHearsNothing)
{
    QGuiApplication::clipboard()->setText("x");
    bool called = false;
    {
        QObject context;
        m_pasteboard.read(&context, std::chrono::seconds(1), [](PasteboardReader&) {},
                          [&](std::optional<PasteboardReadError>) { called = true; });
    }
    testsupport::processEvents();
    EXPECT_FALSE(called);
}

} // namespace
