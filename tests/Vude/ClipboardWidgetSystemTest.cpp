// The clipboard widget on a real X server: a click on a row puts that clip
// on the X clipboard, where another program (xclip) reads it, and the
// history does not record it again.
#include "Vude/Desk/ClipboardWidget.h"

#include "Platform/Desktop/QtPasteboard.h"
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "VudeServices/ClipboardService.h"

#include "DeskRig.h"
#include "TestSupport.h"
#include "Xclip.h"
#include "XcbTestMain.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;

class ClipboardWidgetSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        ClipboardService::Options options;
        options.clock = &rig.clock;
        options.applicationSupport = rig.folder.path().toStdString();
        service = std::make_shared<ClipboardService>(pasteboard, "Vude", options);
        rig.model->clipboardService = service;
        // What the app does after every poll.
        QObject::connect(&tick, &QTimer::timeout, [this] {
            service->poll();
            std::vector<NotchClip> shown;
            for (const Clip& clip : service->clips())
                shown.push_back(notchClip(clip));
            rig.model->setClips(shown);
        });
        tick.start(50);
    }

    void TearDown() override
    {
        tick.stop();
        widget.reset();
        rig.model->clipboardService.reset();
        service.reset();
    }

    void copyAndWait(const std::string& text, std::size_t count)
    {
        ASSERT_TRUE(xclip.copy("UTF8_STRING", text));
        ASSERT_TRUE(testsupport::waitUntil([&] { return rig.model->clips().size() == count; }));
    }

    DeskRig rig;
    QtPasteboard pasteboard{QGuiApplication::clipboard(), testsupport::processXServer().display().toStdString()};
    std::shared_ptr<ClipboardService> service;
    QTimer tick;
    testsupport::Xclip xclip{testsupport::processXServer()};
    std::unique_ptr<ClipboardWidget> widget;
};

TEST_F(ClipboardWidgetSystemTest, AClickedRowIsOnTheXClipboardAndIsNotRecordedAgain)
{
    copyAndWait("first", 1);
    copyAndWait("second", 2);
    DeskBinder binder(*rig.model, rig.environment);
    widget = std::make_unique<ClipboardWidget>(rig.environment);
    widget->resize(240, 150);
    widget->bind(binder.clipboard());
    widget->show();
    QObject::connect(rig.model.get(), &NotchViewModel::clipsChanged, widget.get(),
                     [&] { widget->bind(binder.clipboard()); });
    const std::vector<NotchClip> before = rig.model->clips();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before[1].preview, "first");

    ClipRow* first = widget->row(before[1].id);
    ASSERT_NE(first, nullptr);
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_TRUE(first->isJustCopied());
    EXPECT_EQ(xclip.paste("UTF8_STRING"), "first");

    // Polls pass: the restored text is no new entry, and the rows stay.
    QElapsedTimer elapsed;
    elapsed.start();
    testsupport::waitUntil([&] { return elapsed.elapsed() > 400; });
    EXPECT_EQ(rig.model->clips(), before);
    EXPECT_EQ(widget->list()->keys(), (std::vector<Uuid>{before[0].id, before[1].id}));
    EXPECT_EQ(widget->row(before[1].id), first);
}

} // namespace

int main(int argc, char** argv)
{
    return testsupport::runOnPrivateXServer(argc, argv);
}
