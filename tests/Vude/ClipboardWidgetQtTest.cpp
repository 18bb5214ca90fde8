// The Desk's clipboard: rows that restore their clip and say "Copied" for
// 1.2 s, the hover cross, "Clear", and the empty state.
#include "Vude/Desk/ClipboardWidget.h"

#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using desktest::DeskRig;
using namespace std::chrono_literals;
using Kind = Clip::Kind;

void enter(QWidget& widget)
{
    QEnterEvent event(QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)), widget.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

NotchClip clip(std::string preview, Kind kind = Kind::text, std::string text = {})
{
    return {Uuid::random(), preview, kind, text.empty() ? preview : text};
}

class ClipboardWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// A binding over `clips` that notes what was asked, and takes removed
    /// and cleared clips out of the list it binds again, as the Desk does.
    ClipboardBinding binding()
    {
        ClipboardBinding binding;
        binding.clips = clips;
        binding.onRestore = [this](const NotchClip& clip) { calls.push_back("restore " + clip.preview); };
        binding.onRemove = [this](const NotchClip& clip) {
            calls.push_back("remove " + clip.preview);
            std::erase(clips, clip);
            widget->bind(this->binding());
        };
        binding.onClear = [this] {
            calls.push_back("clear");
            clips.clear();
            widget->bind(this->binding());
        };
        return binding;
    }

    ClipboardWidget& show(QSize size = {240, 150})
    {
        widget = std::make_unique<ClipboardWidget>(rig.environment);
        widget->resize(size);
        widget->bind(binding());
        widget->show();
        return *widget;
    }

    DeskRig rig;
    std::vector<NotchClip> clips;
    std::vector<std::string> calls;
    std::unique_ptr<ClipboardWidget> widget;
};

TEST_F(ClipboardWidgetQtTest, ClearEmptiesTheListAtOnceAndShowsOnlyWhileThereIsSomething)
{
    ClipboardWidget& clipboard = show();
    EXPECT_EQ(clipboard.frame()->title(), "Clipboard");
    EXPECT_FALSE(clipboard.clearButton()->isVisible());
    ASSERT_TRUE(clipboard.emptyState()->isVisible());
    EXPECT_EQ(clipboard.emptyState()->symbol(), "doc.on.clipboard");
    EXPECT_EQ(clipboard.emptyState()->message(), "Nothing copied yet");
    EXPECT_EQ(clipboard.emptyState()->detail(), std::optional<QString>("Copy something and it lands here."));
    EXPECT_EQ(clipboard.emptyState()->button(), nullptr);
    testsupport::saveScreenshot(clipboard, "clipboard-empty");

    clips = {clip("https://example.org/handbook", Kind::url), clip("Meeting moved to 3 pm"),
             clip("Image", Kind::image), clip("Quarterly Report.pdf", Kind::file, "Quarterly Report.pdf")};
    clipboard.bind(binding());
    ASSERT_TRUE(clipboard.clearButton()->isVisible());
    EXPECT_EQ(clipboard.clearButton()->text(), "Clear");
    EXPECT_EQ(clipboard.clearButton()->geometry().right(), clipboard.width() - 1) << "in the top-trailing corner";
    EXPECT_FALSE(clipboard.emptyState()->isVisible());
    EXPECT_EQ(clipboard.list()->keys().size(), 4u);
    testsupport::saveScreenshot(clipboard, "clipboard-rows");

    QTest::mouseClick(clipboard.clearButton(), Qt::LeftButton);
    EXPECT_EQ(calls, std::vector<std::string>{"clear"}) << "no confirmation";
    EXPECT_TRUE(clipboard.list()->keys().empty());
    EXPECT_TRUE(clipboard.emptyState()->isVisible());
    EXPECT_FALSE(clipboard.clearButton()->isVisible());
}

TEST_F(ClipboardWidgetQtTest, AClickRestoresAndSaysCopiedForOnePointTwoSecondsFromTheFirstClick)
{
    clips = {clip("first"), clip("second")};
    ClipboardWidget& clipboard = show();
    ClipRow* row = clipboard.row(clips[1].id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->helpText(), "second");

    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 30, row->height() / 2));
    EXPECT_EQ(calls, std::vector<std::string>{"restore second"});
    EXPECT_TRUE(row->isJustCopied());
    testsupport::saveScreenshot(clipboard, "clipboard-copied");

    rig.scheduler.advance(600ms);
    QTest::mouseClick(row, Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"restore second", "restore second"})) << "restored again";
    rig.scheduler.advance(599ms);
    EXPECT_TRUE(row->isJustCopied());
    rig.scheduler.advance(1ms);
    EXPECT_FALSE(row->isJustCopied()) << "1.2 s after the first click, not put off by the second";
    rig.scheduler.advance(600ms);
    EXPECT_FALSE(row->isJustCopied());
    EXPECT_FALSE(clipboard.row(clips[0].id)->isJustCopied()) << "only the clicked row";

    // A refresh keeps the row, and its mark runs on.
    QTest::mouseClick(row, Qt::LeftButton);
    clipboard.bind(binding());
    EXPECT_EQ(clipboard.row(clips[1].id), row);
    EXPECT_TRUE(row->isJustCopied());
    rig.scheduler.advance(1200ms);
    EXPECT_FALSE(row->isJustCopied());
}

TEST_F(ClipboardWidgetQtTest, TheHoverCrossRemovesOneClipAndHidesWhileCopied)
{
    clips = {clip("keep me"), clip("remove me")};
    ClipboardWidget& clipboard = show();
    ClipRow* row = clipboard.row(clips[1].id);
    EXPECT_TRUE(row->removeButton()->isHidden());

    enter(*row);
    ASSERT_TRUE(row->removeButton()->isVisible());
    EXPECT_EQ(row->removeButton()->geometry().right(), row->width() - 1 - 7);
    const QImage drawn = testsupport::picture(*row, 1, Qt::black);
    EXPECT_EQ(QColor(drawn.pixel(3, row->height() / 2)), toQColor(Vude::Ink::x850)) << "the hover background";
    testsupport::saveScreenshot(clipboard, "clipboard-hovered");

    QTest::mouseClick(row, Qt::LeftButton);
    EXPECT_TRUE(row->removeButton()->isHidden()) << "not while it says Copied";
    rig.scheduler.advance(1200ms);
    EXPECT_TRUE(row->removeButton()->isVisible()) << "back once the mark ends, still hovered";
    leave(*row);
    EXPECT_TRUE(row->removeButton()->isHidden());

    enter(*row);
    QTest::mouseClick(row->removeButton(), Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"restore remove me", "remove remove me"})) << "removing restores nothing";
    EXPECT_EQ(clipboard.list()->keys(), std::vector<Uuid>{clips[0].id});
}

TEST_F(ClipboardWidgetQtTest, ALongClipIsCutAtItsTailAndTheListTakesTheWheel)
{
    const std::string longText(118, 'x');
    clips = {clip(longText + " end"), clip("https://example.org/a/very/long/path?with=query", Kind::url,
                                           "https://example.org/a/very/long/path?with=query&and=more")};
    ClipboardWidget& clipboard = show({200, 120});
    ClipRow* text = clipboard.row(clips[0].id);
    ClipRow* link = clipboard.row(clips[1].id);
    EXPECT_EQ(text->height(), link->height()) << "one line each";
    EXPECT_LE(text->parts().text.right(), text->width() - 7 - 7 - 4);
    EXPECT_GE(text->parts().text.x(), 7 + 13 + 7);
    EXPECT_EQ(link->helpText(), "https://example.org/a/very/long/path?with=query&and=more") << "the full text";

    QWheelEvent wheel(QPointF(20, 20), clipboard.mapToGlobal(QPointF(20, 20)), {}, QPoint(0, -120), Qt::NoButton,
                      {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(clipboard.list(), &wheel);
    EXPECT_TRUE(wheel.isAccepted()) << "at the end of its range too";
}

TEST_F(ClipboardWidgetQtTest, ClearNeverCoversTheFirstRow)
{
    // A long first clip runs to the row's trailing edge, where "Clear" sits.
    clips = {clip(std::string(90, 'w')), clip("second")};
    ClipboardWidget& clipboard = show({200, 120});
    ClipRow* first = clipboard.row(clips[0].id);
    const QRect clear(clipboard.clearButton()->mapTo(&clipboard, QPoint(0, 0)), clipboard.clearButton()->size());
    const QRect row(first->mapTo(&clipboard, QPoint(0, 0)), first->size());
    EXPECT_FALSE(clear.intersects(row)) << "Clear at " << clear.y() << "-" << clear.bottom() << ", row from "
                                        << row.y();
    EXPECT_EQ(row.y(), clear.bottom() + 1 + 2) << "the row spacing below it";
    EXPECT_EQ(clear.right(), clipboard.width() - 1) << "still in the top-trailing corner";

    // Under the pointer the row's cross shows at its trailing end: clear of
    // "Clear" too.
    enter(*first);
    ASSERT_FALSE(first->parts().remove.isEmpty());
    const QRect cross = first->parts().remove.toAlignedRect().translated(row.topLeft());
    EXPECT_FALSE(cross.intersects(clear));

    // Drawn: the Clear's pixels and the row's text do not mix. The row's
    // top is below every pixel Clear draws.
    const QImage drawn = testsupport::picture(clipboard, 1, Qt::black);
    int lowestClearInk = -1;
    for (int y = clear.top(); y <= clear.bottom(); ++y)
        for (int x = clear.left(); x <= clear.right(); ++x)
            if (qGray(drawn.pixel(x, y)) > 40)
                lowestClearInk = y;
    EXPECT_GE(lowestClearInk, clear.top()) << "Clear is drawn";
    EXPECT_LT(lowestClearInk, row.top());
    testsupport::saveScreenshot(clipboard, "clipboard-long-first-row");
}

} // namespace
