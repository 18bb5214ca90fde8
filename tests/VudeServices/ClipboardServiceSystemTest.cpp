#include "VudeServices/ClipboardService.h"

#include "ImageFixtures.h"
#include "Platform/Desktop/QtPasteboard.h"
#include "Platform/Desktop/X11FrontmostApplication.h"
#include "Platform/Images/ImageCodec.h"
#include "Platform/Input/XcbConnection.h"
#include "TestSupport.h"
#include "XSelectionOwner.h"
#include "Xclip.h"
#include "XcbTestMain.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Kind = Clip::Kind;

// The history as the app runs it on X11: Qt's clipboard, reads on the
// pasteboard's worker, the active window's class, a poll every 50 ms; xclip
// and a test owner copy as other programs.
class ClipboardServiceSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        ASSERT_TRUE(m_root.isValid());
        m_connection = XcbConnection::open(display());
        ASSERT_NE(m_connection, nullptr);
        m_frontmost = std::make_unique<X11FrontmostApplication>(*m_connection);
        activateWindowOfClass(std::string("copier\0VudeTestCopier\0", 22));

        ClipboardService::Options options;
        options.frontmostApplication = m_frontmost.get();
        options.applicationSupport = fs::path(m_root.path().toStdString());
        m_service = std::make_unique<ClipboardService>(m_pasteboard, "Vude", options);
        QObject::connect(&m_tick, &QTimer::timeout, [this] { m_service->poll(); });
        m_tick.start(50);
    }

    static std::string display() { return testsupport::processXServer().display().toStdString(); }

    // What a window manager does when a window comes to the front.
    void activateWindowOfClass(const std::string& wmClass)
    {
        xcb_connection_t* c = m_connection->connection();
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_connection->rootWindow(), 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(wmClass.size()), wmClass.data());
        const char name[] = "_NET_ACTIVE_WINDOW";
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
        ASSERT_NE(atom, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_connection->rootWindow(), atom->atom, XCB_ATOM_WINDOW, 32, 1,
                            &window);
        std::free(atom);
        xcb_flush(c);
    }

    // Copies through xclip and waits until the history has `count` entries.
    void copyAndWait(const std::string& type, const std::string& bytes, std::size_t count)
    {
        ASSERT_TRUE(m_xclip.copy(type, bytes));
        ASSERT_TRUE(testsupport::waitUntil([&] { return m_service->clips().size() == count; }))
            << "expected " << count << " entries, have " << m_service->clips().size();
    }

    // Waits until the pasteboard's last change has been read and judged.
    bool settle()
    {
        return testsupport::waitUntil([&] {
            return m_service->lastChangeCount() == m_pasteboard.changeCount() && !m_service->isReading();
        });
    }

    std::vector<Kind> kinds() const
    {
        std::vector<Kind> result;
        for (const auto& clip : m_service->clips())
            result.push_back(clip.kind);
        return result;
    }

    QTemporaryDir m_root;
    QTemporaryDir m_files;
    QtPasteboard m_pasteboard{QGuiApplication::clipboard(), display()};
    std::unique_ptr<XcbConnection> m_connection;
    std::unique_ptr<X11FrontmostApplication> m_frontmost;
    std::unique_ptr<ClipboardService> m_service;
    QTimer m_tick;
    testsupport::Xclip m_xclip{testsupport::processXServer()};
};

TEST_F(ClipboardServiceSystemTest, RecordsTextLinksImagesAndFilesInOrder)
{
    const fs::path folder = m_files.path().toStdString();
    fixtures::writeFile(folder / "Quarterly Report.pdf", "%PDF");
    fixtures::writeFile(folder / "notes.txt", "n");

    copyAndWait("UTF8_STRING", "hello from xclip", 1);
    copyAndWait("UTF8_STRING", "https://example.org/page?q=1", 2);
    copyAndWait("image/png", fixtures::encoded(fixtures::quadrants(8, 6), "PNG"), 3);
    copyAndWait("text/uri-list",
                PasteboardContent::fileURL(folder / "Quarterly Report.pdf") + "\r\n" +
                    PasteboardContent::fileURL(folder / "notes.txt") + "\r\n",
                4);

    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::file, Kind::image, Kind::url, Kind::text}));
    const auto& clips = m_service->clips();
    EXPECT_EQ(clips[0].text, "Quarterly Report.pdf");
    EXPECT_EQ(clips[0].storedPath, (folder / "Quarterly Report.pdf").string());
    EXPECT_EQ(clips[1].text, "Image");
    ASSERT_TRUE(clips[1].storedPath.has_value());
    const auto image = ImageCodec::decodeFile(*clips[1].storedPath);
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(image->image));
    EXPECT_EQ(clips[2].text, "https://example.org/page?q=1");
    EXPECT_EQ(clips[3].text, "hello from xclip");
    for (const auto& clip : clips)
        EXPECT_EQ(clip.sourceApp, "VudeTestCopier");
}

TEST_F(ClipboardServiceSystemTest, SkipsWhatAPasswordManagerMarksSecret)
{
    const auto before = m_pasteboard.changeCount();
    {
        testsupport::XSelectionOwner manager(display(), {{"UTF8_STRING", "correct horse battery staple"},
                                                         {"x-kde-passwordManagerHint", "secret"}});
        ASSERT_TRUE(manager.isOwner());
        ASSERT_TRUE(testsupport::waitUntil([&] { return m_pasteboard.changeCount() != before; }));
        ASSERT_TRUE(settle());
        EXPECT_GE(manager.requestCount(), 1);
    }
    EXPECT_TRUE(m_service->clips().empty());
    copyAndWait("UTF8_STRING", "not a secret", 1);
    EXPECT_EQ(m_service->clips().front().text, "not a secret");
}

TEST_F(ClipboardServiceSystemTest, ARestoredEntryIsNotRecordedAgain)
{
    copyAndWait("UTF8_STRING", "first", 1);
    copyAndWait("UTF8_STRING", "second", 2);
    const auto before = m_service->clips();

    m_service->restore(before[1]);
    EXPECT_EQ(m_xclip.paste("UTF8_STRING"), "first");
    // Several polls pass: none records the restored text.
    QElapsedTimer elapsed;
    elapsed.start();
    testsupport::waitUntil([&] { return elapsed.elapsed() > 400; });
    ASSERT_TRUE(settle());
    EXPECT_EQ(m_service->clips(), before);

    copyAndWait("UTF8_STRING", "third", 3);
    EXPECT_EQ(m_service->clips().front().text, "third");
}

TEST_F(ClipboardServiceSystemTest, ALongTextPreviewsAsItsFirst120Characters)
{
    std::string text;
    for (int i = 0; i < 121; ++i)
        text += (i % 2 == 0) ? "e\xCC\x81" : "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"; // é, then a flag
    copyAndWait("UTF8_STRING", text, 1);
    const Clip& clip = m_service->clips().front();
    EXPECT_EQ(clip.text, text);
    const std::string preview = clip.preview();
    ASSERT_TRUE(preview.ends_with("\xE2\x80\xA6"));
    EXPECT_EQ(preview.substr(0, preview.size() - 3), text.substr(0, text.size() - 3));
}

TEST_F(ClipboardServiceSystemTest, AnOwnerThatNeverAnswersDoesNotFreezeTheApp)
{
    const auto before = m_pasteboard.changeCount();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    {
        testsupport::XSelectionOwner stuck(display(), {{"UTF8_STRING", "never sent"}}, /*answers=*/false);
        ASSERT_TRUE(stuck.isOwner());
        ASSERT_TRUE(testsupport::waitUntil([&] { return m_service->isReading(); }));
        ASSERT_TRUE(testsupport::waitUntil([&] { return !m_service->isReading(); }, std::chrono::seconds(10)));
    }
    EXPECT_NE(m_service->lastChangeCount(), before);
    EXPECT_TRUE(m_service->clips().empty());
    // The main thread turned all along: a tick every 20 ms, give or take.
    EXPECT_GT(ticks, elapsed.elapsed() / 20 / 2);
    EXPECT_GE(elapsed.elapsed(), 2500);

    copyAndWait("UTF8_STRING", "afterwards", 1);
}

} // namespace

int main(int argc, char** argv)
{
    return testsupport::runOnPrivateXServer(argc, argv);
}
