// Dragging files out of the tray: the action offered, the notifications
// around the drag, what a move reports, and that a moved file is never
// deleted by the drag itself (the store's sweep settles it later).
#include "Vude/Desk/TrayDragHandle.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/TrayAllChip.h"
#include "Vude/Desk/TrayChip.h"
#include "Vude/Desk/TrayWidget.h"
#include "Vude/Shell/NotchDeskAdapters.h"
#include "Vude/Shell/NotchHostingView.h"
#include "VudeServices/TrayStore.h"

#include "DeskRig.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using desktest::DeskRig;
using namespace std::chrono_literals;

/// A drag as the executor saw it.
struct SeenDrag {
    Qt::DropActions actions;
    Qt::DropAction chosen = Qt::IgnoreAction;
    QList<QUrl> urls;
    bool hasPicture = false;
};

class TrayDragHandleQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.notifications.addObserver(TrayDragHandle::trayDragChanged, &context, [this](const Notification& posted) {
            log.push_back(std::string("sourcing ") + (posted.userInfo.value("sourcing").toBool() ? "true" : "false"));
        });
    }

    /// Every drag ends as `performed`, and is noted.
    void dragsEndAs(Qt::DropAction performed)
    {
        rig.environment.dragExecutor = [this, performed](QDrag& drag, Qt::DropActions actions, Qt::DropAction chosen) {
            seen.push_back({actions, chosen, drag.mimeData()->urls(), !drag.pixmap().isNull()});
            log.push_back("drag");
            if (during)
                during();
            return performed;
        };
    }

    DeskRig rig;
    QObject context;
    std::vector<std::string> log;
    std::vector<SeenDrag> seen;
    std::function<void()> during;
};

NotchTrayItem trayItem(const std::string& name)
{
    return {Uuid::random(), name, std::nullopt, "/tray/" + name, false, "1 KB", "text/plain"};
}

TEST_F(TrayDragHandleQtTest, OnlyTheActionChosenAtTheStartIsOffered)
{
    struct Row {
        bool copyByDefault;
        bool alt;
        Qt::DropAction offered;
    };
    const Row rows[] = {
        {true, false, Qt::CopyAction},
        {true, true, Qt::MoveAction},
        {false, false, Qt::MoveAction},
        {false, true, Qt::CopyAction},
    };
    dragsEndAs(Qt::IgnoreAction);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.copyByDefault ? "copy by default" : "move by default") + (row.alt ? ", Alt" : ""));
        seen.clear();
        TrayDragHandle handle(rig.environment);
        handle.set({trayItem("a b.txt")}, {}, row.copyByDefault);
        handle.startDrag(row.alt ? Qt::AltModifier : Qt::NoModifier);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].actions, Qt::DropActions(row.offered)) << "nothing else, whatever keys the desktop maps";
        EXPECT_EQ(seen[0].chosen, row.offered);
        EXPECT_EQ(seen[0].urls, QList<QUrl>{QUrl("file:///tray/a%20b.txt")});
        EXPECT_EQ(TrayDragHandle::isMove(row.copyByDefault, row.alt), row.offered == Qt::MoveAction);
    }
}

TEST_F(TrayDragHandleQtTest, OnlyASingleItemMovedOutIsReported)
{
    struct Row {
        const char* why;
        std::size_t items;
        bool copyByDefault;
        Qt::DropAction performed;
        bool moved;
    };
    const Row rows[] = {
        {"one item moved", 1, false, Qt::MoveAction, true},
        {"one item copied", 1, true, Qt::CopyAction, false},
        {"cancelled", 1, false, Qt::IgnoreAction, false},
        {"a move offered, a copy done", 1, false, Qt::CopyAction, false},
        {"several moved: the tray keeps them", 3, false, Qt::MoveAction, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        log.clear();
        dragsEndAs(row.performed);
        std::vector<NotchTrayItem> items;
        for (std::size_t i = 0; i < row.items; ++i)
            items.push_back(trayItem("f" + std::to_string(i)));
        TrayDragHandle handle(rig.environment);
        handle.set(items, [this] { log.push_back("moved"); }, row.copyByDefault);
        EXPECT_EQ(handle.startDrag(Qt::NoModifier), row.performed);
        std::vector<std::string> expected{"sourcing true", "drag", "sourcing false"};
        if (row.moved)
            expected.push_back("moved");
        EXPECT_EQ(log, expected);
    }

    // Nothing to drag: no drag, no notification.
    log.clear();
    TrayDragHandle empty(rig.environment);
    EXPECT_EQ(empty.startDrag(Qt::NoModifier), Qt::IgnoreAction);
    EXPECT_TRUE(log.empty());
}

TEST_F(TrayDragHandleQtTest, AMouseDragStartsItWithTheModifiersOfItsStart)
{
    dragsEndAs(Qt::IgnoreAction);
    TrayDragHandle handle(rig.environment);
    handle.set({trayItem("a.txt")}, {}, true);
    handle.resize(68, 68);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&handle, &press);
    QMouseEvent nudge(QEvent::MouseMove, QPointF(11, 10), QPointF(11, 10), Qt::NoButton, Qt::LeftButton,
                      Qt::AltModifier);
    QApplication::sendEvent(&handle, &nudge);
    EXPECT_TRUE(seen.empty()) << "not yet a drag";
    QMouseEvent away(QEvent::MouseMove, QPointF(40, 10), QPointF(40, 10), Qt::NoButton, Qt::LeftButton,
                     Qt::AltModifier);
    QApplication::sendEvent(&handle, &away);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].actions, Qt::DropActions(Qt::MoveAction)) << "Alt held: a move";
    EXPECT_TRUE(seen[0].hasPicture);
}

TEST_F(TrayDragHandleQtTest, WhileTheTrayDragsTheNotchRefusesItsOwnDrag)
{
    // As the app relays the notification to every hosting view.
    NotchHostingView host(rig.platform, rig.scheduler, rig.clock);
    host.registerDropTypes();
    rig.notifications.addObserver(TrayDragHandle::trayDragChanged, &context, [&host](const Notification& posted) {
        host.setSourcingDrag(posted.userInfo.value("sourcing").toBool());
    });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tray/a.txt")});
    const auto enters = [&] {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&host, &enter);
        return enter.isAccepted();
    };
    std::optional<bool> enteredDuring;
    dragsEndAs(Qt::CopyAction);
    during = [&] { enteredDuring = enters(); };
    TrayDragHandle handle(rig.environment);
    handle.set({trayItem("a.txt")}, {}, true);
    handle.startDrag(Qt::NoModifier);
    EXPECT_EQ(enteredDuring, false);
    EXPECT_TRUE(enters()) << "taken again once the drag is over";
}

TEST_F(TrayDragHandleQtTest, TheRealDragLoopAlsoPostsSourcingBeforeAndAfter)
{
    TrayDragHandle handle(rig.environment);
    handle.set({trayItem("a.txt")}, [this] { log.push_back("moved"); }, false);
    handle.resize(68, 68);
    handle.show();
    // Escape ends Qt's own drag loop, as the user would.
    const auto escape = [&handle] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&handle, &press);
    };
    QTimer::singleShot(50, &context, escape);
    QTimer::singleShot(2000, &context, escape);
    const Qt::DropAction performed = handle.startDrag(Qt::NoModifier);
    EXPECT_EQ(performed, Qt::IgnoreAction);
    EXPECT_EQ(log, (std::vector<std::string>{"sourcing true", "sourcing false"}));
}

/// A real tray in a temporary folder, bound to the model as the app binds it.
class TrayDragOutQtTest : public TrayDragHandleQtTest {
protected:
    void SetUp() override
    {
        TrayDragHandleQtTest::SetUp();
        TrayStore::Options options;
        options.applicationSupport = fs::path(rig.folder.path().toStdString()) / "support";
        options.clock = &rig.clock;
        options.typeIcon = [](const std::string&, int) { return std::nullopt; };
        store = std::make_unique<TrayStore>("Vude", options);
        rig.model->trayStore = std::make_shared<TrayStoreAdapter>(*store);
        QObject::connect(rig.model.get(), &NotchViewModel::trayItemsChanged, &context, [this] {
            log.push_back("items " + std::to_string(rig.model->trayItems().size()));
        });
    }

    /// Parks a new file in the tray, moved in (the tray holds the only copy).
    TrayItem park(const std::string& name, const std::string& content)
    {
        const fs::path source = fs::path(rig.folder.path().toStdString()) / name;
        std::ofstream(source) << content;
        std::optional<std::vector<TrayItem>> added;
        store->add({source}, true, [&](const std::vector<TrayItem>& items) { added = items; });
        EXPECT_TRUE(testsupport::waitUntil([&] { return added.has_value(); }));
        EXPECT_EQ(added.value_or(std::vector<TrayItem>()).size(), 1u);
        rig.model->setTrayItems(rig.model->trayStore->items());
        return added->front();
    }

    std::unique_ptr<TrayStore> store;
};

TEST_F(TrayDragOutQtTest, AMovedFileStaysOnDiskUntilTheSweepSeesWhereItWent)
{
    for (const bool receiverKeptIt : {false, true}) {
        SCOPED_TRACE(receiverKeptIt ? "the receiver left the file" : "the receiver took the file");
        const TrayItem parked = park("report.txt", "the only copy");
        const fs::path folder = fs::path(parked.storedPath).parent_path();
        TrayWidget tray(rig.environment);
        tray.bind(DeskBinder(*rig.model, rig.environment).tray());
        ASSERT_EQ(tray.chips().size(), 1u);
        log.clear();
        dragsEndAs(Qt::MoveAction);
        tray.chips()[0]->dragHandle()->startDrag(Qt::AltModifier); // copy by default: Alt moves

        EXPECT_EQ(log, (std::vector<std::string>{"sourcing true", "drag", "sourcing false", "items 0"}));
        store->waitUntilIdle();
        std::ifstream stored(parked.storedPath);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), "the only copy")
            << "the receiver may still be moving it";

        const fs::path received = fs::path(rig.folder.path().toStdString()) / "received.txt";
        if (!receiverKeptIt)
            fs::rename(parked.storedPath, received);
        rig.model->trayStore->sweep();
        store->waitUntilIdle();
        if (receiverKeptIt) {
            ASSERT_EQ(store->items().size(), 1u) << "listed again";
            EXPECT_EQ(store->items()[0].id, parked.id);
            EXPECT_TRUE(fs::exists(parked.storedPath));
        } else {
            EXPECT_TRUE(store->items().empty());
            EXPECT_FALSE(fs::exists(folder)) << "its folder is deleted once the file is gone";
            EXPECT_TRUE(fs::exists(received));
        }
        store->removeAll();
        store->waitUntilIdle();
        rig.model->setTrayItems({});
    }
}

TEST_F(TrayDragOutQtTest, DraggingAllItemsNeverRemovesAny)
{
    park("a.txt", "a");
    park("b.txt", "b");
    TrayWidget tray(rig.environment);
    tray.bind(DeskBinder(*rig.model, rig.environment).tray());
    ASSERT_NE(tray.allChip(), nullptr);
    dragsEndAs(Qt::MoveAction);
    tray.allChip()->dragHandle()->startDrag(Qt::AltModifier);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].urls.size(), 2);
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_TRUE(store->handedOut().empty());
}

} // namespace
