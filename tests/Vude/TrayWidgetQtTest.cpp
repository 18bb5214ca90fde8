// The tray tab: its header and chips, what their menus and buttons do
// through the Desk's bindings, thumbnails that come late, the row's wheel,
// the pipeline banner above it, and pictures of both for a person.
#include "Vude/Desk/TrayWidget.h"

#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Shell/FileRevealer.h"
#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/MoreDropZone.h"
#include "Vude/Desk/PipelineBanner.h"
#include "Vude/Desk/RavoView.h"
#include "Vude/Desk/TrayAllChip.h"
#include "Vude/Desk/TrayChip.h"
#include "Vude/Desk/TrayChipRow.h"
#include "Vude/Desk/TrayDragHandle.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using desktest::DeskRig;

NotchTrayItem trayItem(const std::string& name, bool folder = false)
{
    return {Uuid::random(), name, std::nullopt, "/tray/" + name, folder, folder ? "3 items" : "12 KB",
            folder ? "inode/directory" : "application/pdf"};
}

std::vector<NotchTrayItem> trayItems(std::size_t count)
{
    std::vector<NotchTrayItem> items;
    for (std::size_t i = 0; i < count; ++i)
        items.push_back(trayItem("file " + std::to_string(i + 1) + ".pdf"));
    return items;
}

/// Hands thumbnails out only when the test says so, as a store working on
/// another thread would.
class LateThumbnails final : public NotchTrayStore {
public:
    std::vector<NotchTrayItem> items() const override { return {}; }
    void remove(const NotchTrayItem&) override {}
    void removeEntry(const NotchTrayItem&) override {}
    void removeAll() override {}
    void thumbnail(const NotchTrayItem&, double, QObject*, ThumbnailDone done) override { pending.push_back(done); }
    void quickLook(const NotchTrayItem&) override {}

    std::vector<ThumbnailDone> pending;
};

class TrayWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        rig.environment.pasteboard = &pasteboard;
        rig.environment.revealer = &revealer;
        rig.model->trayStore = store;
    }
    void TearDown() override
    {
        tray.reset();
        unpinFontFamilies();
    }

    /// The tray holding `items`, bound as the Desk binds it, shown.
    TrayWidget& show(const std::vector<NotchTrayItem>& items, bool copyByDefault = true)
    {
        store->stored = items;
        rig.model->setTrayItems(items);
        rig.settings.setTrayCopyByDefault(copyByDefault);
        tray = std::make_unique<TrayWidget>(rig.environment);
        tray->resize(640, 130);
        rebind();
        tray->show();
        return *tray;
    }

    void rebind() { tray->bind(DeskBinder(*rig.model, rig.environment).tray()); }

    static void deleteLeavers() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    DeskRig rig;
    FakePasteboard pasteboard;
    RecordingFileRevealer revealer;
    std::shared_ptr<notchtest::FakeTrayStore> store = std::make_shared<notchtest::FakeTrayStore>();
    std::unique_ptr<TrayWidget> tray;
};

TEST_F(TrayWidgetQtTest, TheHeaderAndEachChipSayWhatADragOutDoes)
{
    struct Row {
        std::size_t count;
        bool copyByDefault;
        QString header;
        QString hint;
        QString help;
        bool allChip;
    };
    const Row rows[] = {
        {1, true, "1 item", "drag out to copy", "file 1.pdf \u2014 drag out to copy, Alt-drag to move", false},
        {1, false, "1 item", "drag out to move", "file 1.pdf \u2014 drag out to move, Alt-drag to copy", false},
        {2, true, "2 items", "drag out to copy", "file 1.pdf \u2014 drag out to copy, Alt-drag to move", true},
        {2, false, "2 items", "drag out to move", "file 1.pdf \u2014 drag out to move, Alt-drag to copy", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE((row.header + " " + row.hint).toStdString());
        TrayWidget& shown = show(trayItems(row.count), row.copyByDefault);
        EXPECT_FALSE(shown.isEmptyStateShown());
        EXPECT_EQ(shown.countText(), row.header);
        EXPECT_EQ(shown.hintText(), row.hint);
        ASSERT_EQ(shown.chips().size(), row.count);
        EXPECT_EQ(shown.chips()[0]->toolTip(), row.help);
        EXPECT_EQ(shown.allChip() != nullptr, row.allChip);
        EXPECT_TRUE(shown.clearButton()->isVisible());
        // The row: the "all" chip, the chips in order, then the drop zone.
        std::vector<int> lefts;
        if (TrayAllChip* all = shown.allChip())
            lefts.push_back(all->geometry().left());
        for (TrayChip* chip : shown.chips())
            lefts.push_back(chip->geometry().left());
        lefts.push_back(shown.moreDropZone()->geometry().left());
        EXPECT_TRUE(std::ranges::is_sorted(lefts));
        EXPECT_EQ(lefts.front(), 4) << "a short row starts at the left";
        EXPECT_EQ(shown.moreDropZone()->geometry().right(), 640 - 4 - 1) << "and the zone takes the rest";
    }
}

TEST_F(TrayWidgetQtTest, AnEmptyTrayShowsOnlyHowToFillIt)
{
    TrayWidget& empty = show({});
    EXPECT_TRUE(empty.isEmptyStateShown());
    EXPECT_FALSE(empty.clearButton()->isVisible());
    EXPECT_FALSE(empty.chipRow()->isVisible());
    testsupport::saveScreenshot(empty, "tray-empty");
}

TEST_F(TrayWidgetQtTest, TheAllChipCountsEveryItemAndItsDragTakesNothingOut)
{
    for (std::size_t count : {2u, 5u}) {
        SCOPED_TRACE(count);
        TrayWidget& shown = show(trayItems(count));
        ASSERT_NE(shown.allChip(), nullptr);
        EXPECT_EQ(shown.allChip()->accessibleName(), QString("All %1").arg(count));
        EXPECT_EQ(shown.allChip()->toolTip(), QString("Drag all %1 items out together").arg(count));
        EXPECT_EQ(shown.allChip()->dragHandle()->items(), store->stored);
    }
}

TEST_F(TrayWidgetQtTest, TheMenuActsOnTheStoredCopyAndClearEmptiesTheTray)
{
    const NotchTrayItem report = trayItem("report.pdf");
    const NotchTrayItem photo = trayItem("photo.png");
    TrayWidget& shown = show({report, photo});
    TrayChip* chip = shown.chips()[0];
    const std::unique_ptr<QMenu> menu = chip->contextMenu();
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(titles, QStringList({"Quick Look", "Show in Files", "Copy", "-", "Remove"}));
    const auto choose = [&](const QString& title) {
        for (QAction* action : menu->actions())
            if (action->text() == title)
                action->trigger();
    };

    choose("Quick Look");
    EXPECT_EQ(store->calls.back(), "quickLook report.pdf");
    choose("Show in Files");
    EXPECT_EQ(revealer.revealed, std::vector<fs::path>{"/tray/report.pdf"});
    choose("Copy");
    EXPECT_EQ(pasteboard.items().size(), 1u);
    EXPECT_EQ(pasteboard.itemData("text/uri-list"), "file:///tray/report.pdf\r\n") << "exactly one file";
    choose("Remove");
    EXPECT_EQ(store->removed, std::vector<std::string>{"report.pdf"});
    EXPECT_EQ(rig.model->trayItems(), std::vector<NotchTrayItem>{photo});

    rebind();
    deleteLeavers();
    ASSERT_EQ(shown.chips().size(), 1u);
    QTest::mouseClick(shown.clearButton(), Qt::LeftButton);
    EXPECT_EQ(store->calls.back(), "removeAll");
    EXPECT_TRUE(rig.model->trayItems().empty());
}

TEST_F(TrayWidgetQtTest, HoveringAChipShowsItsRemoveButton)
{
    const NotchTrayItem report = trayItem("report.pdf");
    TrayWidget& shown = show({report, trayItem("b.pdf")});
    TrayChip* chip = shown.chips()[0];
    EXPECT_FALSE(chip->removeButton()->isVisible());
    QEnterEvent enter(QPointF(30, 30), QPointF(30, 30), QPointF(30, 30));
    QApplication::sendEvent(chip, &enter);
    EXPECT_TRUE(chip->isHovering());
    ASSERT_TRUE(chip->removeButton()->isVisible());
    EXPECT_EQ(chip->removeButton()->geometry().right(), chip->width() - 9 - 1) << "the tile's top-trailing corner";
    QTest::mouseClick(chip->removeButton(), Qt::LeftButton);
    EXPECT_EQ(store->removed, std::vector<std::string>{"report.pdf"});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chip, &leave);
    EXPECT_FALSE(chip->removeButton()->isVisible());
}

TEST_F(TrayWidgetQtTest, ThumbnailsArriveLaterAndOneForAChipThatLeftIsDropped)
{
    auto late = std::make_shared<LateThumbnails>();
    rig.model->trayStore = late;
    const NotchTrayItem kept = trayItem("kept.pdf");
    const NotchTrayItem gone = trayItem("gone", true);
    TrayWidget& shown = show({kept, gone});
    ASSERT_EQ(late->pending.size(), 2u) << "asked once each, when shown";
    EXPECT_FALSE(shown.chips()[0]->thumbnail().has_value()) << "the symbol until it comes";

    QPointer<TrayChip> leaving = shown.chips()[1];
    rig.model->setTrayItems({kept});
    rebind();
    deleteLeavers();
    ASSERT_TRUE(leaving.isNull());
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    late->pending[1](picture); // the chip is gone: nothing to draw it on
    late->pending[0](picture);
    ASSERT_TRUE(shown.chips()[0]->thumbnail().has_value());
    EXPECT_EQ(shown.chips()[0]->thumbnail()->pixel(0, 0), picture.pixel(0, 0));
}

TEST_F(TrayWidgetQtTest, AVerticalWheelScrollsTheRowSidewaysAndIsKept)
{
    TrayWidget& shown = show(trayItems(10));
    QScrollBar* bar = shown.chipRow()->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "ten chips do not fit";
    const auto wheel = [&](QPoint angle, QPoint pixels = {}) {
        QWidget* viewport = shown.chipRow()->viewport();
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent event(at, viewport->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        event.setAccepted(false);
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(wheel({0, -120}));
    EXPECT_EQ(bar->value(), int(TrayChipRow::pointsPerNotch)) << "down scrolls right";
    EXPECT_TRUE(wheel({0, 120}));
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(wheel({0, 120})) << "kept at the left end too, so the notch never swipes";
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(wheel({0, 0}, {-30, 2})) << "a touchpad's sideways points";
    EXPECT_EQ(bar->value(), 30);
}

TEST_F(TrayWidgetQtTest, BeingShownSettlesWhatDragsHandedOut)
{
    show(trayItems(1));
    EXPECT_EQ(std::ranges::count(store->calls, std::string("sweep")), 1);
    tray->hide();
    tray->show();
    EXPECT_EQ(std::ranges::count(store->calls, std::string("sweep")), 2);
}

TEST_F(TrayWidgetQtTest, TheBannerShowsUndoOnlyForProducedFilesAndTakesNoSpaceWhenIdle)
{
    int undos = 0;
    PipelineBanner banner(rig.environment);
    banner.resize(600, 40);
    banner.show();
    const auto bind = [&](PipelineRunState state) {
        banner.bind({std::move(state), [&] { ++undos; }});
        banner.resize(600, banner.heightForWidth(600));
    };

    bind(PipelineRunState::idle());
    EXPECT_EQ(banner.heightForWidth(600), 0);
    EXPECT_EQ(banner.sizeHint(), QSize(0, 0));
    EXPECT_FALSE(banner.undoButton()->isVisible());

    bind(PipelineRunState::finished({PipelineID::copyPaths, "Copy path", {}, 2}));
    EXPECT_FALSE(banner.undoButton()->isVisible()) << "nothing was made";
    const int oneLine = banner.height();
    EXPECT_GT(oneLine, 12);

    bind(PipelineRunState::finished({PipelineID::zip, "Zip", {"/out/a.zip"}, 2}));
    ASSERT_TRUE(banner.undoButton()->isVisible());
    EXPECT_EQ(banner.undoButton()->geometry().right(), 600 - 10 - 1);
    QTest::mouseClick(banner.undoButton(), Qt::LeftButton);
    EXPECT_EQ(undos, 1);

    bind(PipelineRunState::failed(QString(40, 'w').replace("w", "word ").toStdString()));
    EXPECT_GT(banner.height(), oneLine) << "a long message takes two lines";
    bind(PipelineRunState::failed(std::string(4000, 'x') + " end"));
    const int twoLines = banner.height();
    bind(PipelineRunState::failed(QString(400, 'w').replace("w", "word ").toStdString()));
    EXPECT_EQ(banner.height(), twoLines) << "and no more";
    testsupport::saveScreenshot(banner, "pipeline-banner-failed");
}

/// A runner whose state the test sets.
class StateRunner final : public NotchPipelineRunner {
public:
    std::shared_ptr<const PipelineRegistry> registry() const override { return nullptr; }
    PipelineRegistry::Pipelines lanes(const std::vector<fs::path>&, const PipelineList&) const override { return {}; }
    void run(PipelineRegistry::Pipeline, std::vector<fs::path>, fs::path, FinishHandler) override {}
    PipelineRunState state() const override { return current; }
    PipelineRunState current = PipelineRunState::running("Compress image", 0.4, "holiday.jpg");
};

TEST_F(TrayWidgetQtTest, TheTrayTabWithThreeItemsAndARunningBannerForAPersonToLookAt)
{
    rig.model->pipelineRunner = std::make_shared<StateRunner>();
    store->stored = {trayItem("Quarterly report.pdf"), trayItem("Holiday photos", true),
                     trayItem("a file with a very long name indeed.txt")};
    rig.model->setTrayItems(store->stored);
    rig.model->send(NotchEvent::click());
    rig.model->send(NotchEvent::selectTab(RiziDar::tray));
    RavoView desk(RiziDar::tray, *rig.model, RavoView::defaultInset, rig.environment);
    const Size content = rig.model->contentSize(rig.model->state());
    desk.resize(int(std::lround(content.width)), int(std::lround(content.height)));
    desk.show();
    auto* banner = dynamic_cast<PipelineBanner*>(desk.pipelineBanner());
    auto* trayView = dynamic_cast<TrayWidget*>(desk.trayView());
    ASSERT_NE(banner, nullptr);
    ASSERT_NE(trayView, nullptr);
    EXPECT_EQ(banner->currentLayout().kind, PipelineBannerLayout::Kind::running);
    EXPECT_GT(banner->height(), 0);
    EXPECT_GE(trayView->geometry().top(), banner->geometry().bottom()) << "the tray under the banner";
    EXPECT_EQ(trayView->chips().size(), 3u);
    testsupport::saveScreenshot(desk, "desk-tray-three-items-running");
}

} // namespace
