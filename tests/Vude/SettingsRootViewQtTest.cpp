// The settings window's content: what each pane is handed and what its
// callbacks reach, the sidebar and its selection, the pane requests from the
// Desk, and the detail column's header and pane slot.
#include "Vude/Settings/IdleLockPane.h"
#include "Vude/Settings/SettingsPaneInputs.h"
#include "Vude/Settings/SettingsPaneView.h"
#include "Vude/Settings/SettingsRootView.h"
#include "Vude/Settings/SettingsSidebar.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ShortcutsPane.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Toolkit/ScrollArea.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QLayout>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

class SettingsRootViewQtTest : public ::testing::Test {
protected:
    std::unique_ptr<SettingsRootView> make(SettingsPane selection = SettingsPane::general)
    {
        auto root = std::make_unique<SettingsRootView>(rig.services, rig.environment, rig.notifications, selection);
        root->resize(820, 560);
        root->show();
        return root;
    }

    template <typename Inputs>
    Inputs inputs(SettingsPane pane)
    {
        const SettingsPaneInputs all = settingsPaneInputs(pane, rig.services);
        EXPECT_TRUE(std::holds_alternative<Inputs>(all)) << rawValue(pane);
        return std::get<Inputs>(all);
    }

    /// Clicks the sidebar's row of `pane`.
    void click(SettingsRootView& root, SettingsPane pane)
    {
        const QPoint centre = root.sidebar()->rowRect(pane).center();
        QWidget* list = root.sidebar()->childAt(centre);
        ASSERT_NE(list, nullptr);
        QTest::mouseClick(list, Qt::LeftButton, {}, list->mapFrom(root.sidebar(), centre));
    }

    SettingsRig rig;
};

TEST_F(SettingsRootViewQtTest, PanesThatConfigureOnlySettingsGetTheStore)
{
    EXPECT_EQ(inputs<BatteryPaneInputs>(SettingsPane::battery).settings, &rig.store);
    EXPECT_EQ(inputs<FileTrayPaneInputs>(SettingsPane::fileTray).settings, &rig.store);
    const auto focus = inputs<FocusPaneInputs>(SettingsPane::focus);
    EXPECT_EQ(focus.settings, &rig.store);
    EXPECT_FALSE(focus.hasRichIdentity);
    EXPECT_EQ(inputs<AboutPaneInputs>(SettingsPane::about).pane, SettingsPane::about);
    EXPECT_TRUE(rig.services.log.empty()) << "building inputs calls nothing";
}

TEST_F(SettingsRootViewQtTest, EachCallbackReachesItsServiceInOrder)
{
    struct Row {
        const char* name;
        std::function<void()> call;
        std::vector<std::string> log;
    };
    const auto general = inputs<GeneralPaneInputs>(SettingsPane::general);
    const auto connectivity = inputs<ConnectivityPaneInputs>(SettingsPane::connectivity);
    const auto display = inputs<DisplayPaneInputs>(SettingsPane::display);
    const auto sound = inputs<SoundPaneInputs>(SettingsPane::sound);
    const auto calendar = inputs<CalendarPaneInputs>(SettingsPane::calendar);
    const auto idle = inputs<IdleLockPaneInputs>(SettingsPane::idleLock);
    const auto ravo = inputs<RavoPaneInputs>(SettingsPane::ravo);
    const auto quickApps = inputs<QuickAppsPaneInputs>(SettingsPane::quickApps);
    const auto clipboard = inputs<ClipboardPaneInputs>(SettingsPane::clipboard);
    const Row rows[] = {
        {"general: notch size changed", general.rebuildPanels, {"rebuildPanels"}},
        {"connectivity: Allow", connectivity.onRequestBluetooth, {"requestBluetoothPermission"}},
        {"display: Allow", display.onRequestAccessibility, {"requestAccessibility"}},
        {"sound: Allow", sound.onRequestAccessibility, {"requestAccessibility"}},
        {"calendar: filter changed", calendar.onFilterChanged, {"applyCalendarFilter"}},
        {"calendar: refresh", calendar.onRefresh, {"refreshCalendar(hard)", "checkUpcomingEvent"}},
        {"idle: keep awake", idle.onToggleKeepAwake, {"toggleKeepAwake"}},
        {"widgets: layout changed", ravo.onLayoutChanged, {"relayoutWidgets"}},
        {"quick apps: changed", quickApps.onChange, {"refreshQuickApps"}},
        {"clipboard: changed", clipboard.onChange, {"refreshClips"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.services.log.clear();
        ASSERT_TRUE(row.call);
        row.call();
        EXPECT_EQ(rig.services.log, row.log);
    }
    for (const SettingsStore* store : {general.settings, connectivity.settings, display.settings, sound.settings,
                                       calendar.settings, idle.settings, ravo.settings, clipboard.settings})
        EXPECT_EQ(store, &rig.store);
    EXPECT_EQ(general.geometryReport(), "Display 1 report") << "read when called";
    rig.services.report = "";
    EXPECT_EQ(general.geometryReport(), "") << "no panel: an empty text";
}

TEST_F(SettingsRootViewQtTest, SystemValuesAreReadWhenThePaneIsBuilt)
{
    struct Bluetooth {
        long raw;
        Permission::State state;
        const char* why;
    };
    for (const Bluetooth& row : {Bluetooth{0, Permission::State::notDetermined, "not determined"},
                                 Bluetooth{1, Permission::State::denied, "restricted reads as denied"},
                                 Bluetooth{2, Permission::State::denied, "denied"},
                                 Bluetooth{3, Permission::State::granted, "allowed always"},
                                 Bluetooth{9, Permission::State::unknown, "any other value"}}) {
        rig.services.bluetoothRaw = row.raw;
        EXPECT_EQ(inputs<ConnectivityPaneInputs>(SettingsPane::connectivity).bluetoothPermission, row.state) << row.why;
    }

    rig.services.accessibility = true;
    rig.services.brightness = true;
    auto display = inputs<DisplayPaneInputs>(SettingsPane::display);
    EXPECT_TRUE(display.canSuppress);
    EXPECT_TRUE(display.brightnessAvailable);
    EXPECT_TRUE(inputs<SoundPaneInputs>(SettingsPane::sound).canSuppress);
    rig.services.accessibility = false;
    rig.services.brightness = false;
    EXPECT_TRUE(display.canSuppress) << "handed over as a value, not watched";
    display = inputs<DisplayPaneInputs>(SettingsPane::display);
    EXPECT_FALSE(display.canSuppress);
    EXPECT_FALSE(display.brightnessAvailable);

    struct Source {
        std::optional<Capability> capabilities;
        bool universal;
        const char* why;
    };
    for (const Source& row : {Source{std::nullopt, false, "no now-playing source"},
                              Source{Capability(0x6), false, "a source without the adapter"},
                              Source{Capability(0x7), true, "a universal source"}}) {
        rig.services.capabilities = row.capabilities;
        EXPECT_EQ(inputs<NowPlayingPaneInputs>(SettingsPane::nowPlaying).isUniversal, row.universal) << row.why;
    }
}

TEST_F(SettingsRootViewQtTest, ShortcutsAreAddedAndRemovedOnlyThroughARepository)
{
    auto withoutRepository = inputs<ShortcutsPaneInputs>(SettingsPane::shortcuts);
    EXPECT_TRUE(withoutRepository.chosen.empty());
    withoutRepository.onAdd("Resize Images", "photo");
    withoutRepository.onRemove(Uuid::random());
    EXPECT_TRUE(rig.services.log.empty()) << "without a repository nothing happens";

    const Uuid id = Uuid::random();
    rig.services.repository = true;
    rig.services.chosen = {ShortcutSnapshot{id, "Resize Images", std::nullopt, "photo", std::nullopt}};
    const auto shortcuts = inputs<ShortcutsPaneInputs>(SettingsPane::shortcuts);
    ASSERT_EQ(shortcuts.chosen.size(), 1u);
    EXPECT_EQ(shortcuts.chosen[0].id, id);
    shortcuts.onAdd("Make GIF", "sparkles");
    shortcuts.onRemove(id);
    EXPECT_EQ(rig.services.log,
              (std::vector<std::string>{"addShortcut(Make GIF, sparkles)", "reloadFromStore",
                                        "removeShortcut(" + id.toString() + ")", "reloadFromStore"}));
}

TEST_F(SettingsRootViewQtTest, TheSidebarListsFifteenPanesInFiveSections)
{
    auto root = make();
    EXPECT_EQ(root->sidebar()->headings(),
              (QStringList{"Notifications", "Live Activities", "Desk", "Vude"}))
        << "the first section has no heading";
    std::vector<SettingsPane> listed;
    for (const auto& entry : SettingsSidebar::entries())
        if (!entry.heading)
            listed.push_back(entry.pane);
    const auto all = allCases<SettingsPane>();
    EXPECT_EQ(listed, std::vector<SettingsPane>(all.begin(), all.end()));
    // Rows run top to bottom in that order.
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_GT(root->sidebar()->rowRect(all[i]).top(), root->sidebar()->rowRect(all[i - 1]).top());
    EXPECT_EQ(root->sidebar()->searchField()->placeholderText(), "Search settings");
}

TEST_F(SettingsRootViewQtTest, AClickSelectsAPaneAndBuildsItAfresh)
{
    auto root = make();
    QPointer<SettingsPaneView> general = root->paneView();
    ASSERT_TRUE(general);
    EXPECT_EQ(general->pane(), SettingsPane::general);
    EXPECT_EQ(root->headerTitle(), "General");

    click(*root, SettingsPane::idleLock);
    EXPECT_EQ(root->selection(), SettingsPane::idleLock);
    EXPECT_EQ(root->sidebar()->selection(), SettingsPane::idleLock);
    EXPECT_EQ(root->headerTitle(), "Idle & Lock");
    ASSERT_TRUE(root->paneView());
    EXPECT_EQ(root->paneView()->pane(), SettingsPane::idleLock);
    EXPECT_NE(dynamic_cast<IdleLockPane*>(root->paneView()), nullptr);
    EXPECT_FALSE(general->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(general) << "the old pane is gone";

    // The same row again keeps the pane as it is.
    QPointer<SettingsPaneView> idle = root->paneView();
    click(*root, SettingsPane::idleLock);
    EXPECT_EQ(root->paneView(), idle.data());

    // The arrow keys walk the list.
    QWidget* list = root->sidebar()->childAt(root->sidebar()->rowRect(SettingsPane::idleLock).center());
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(root->selection(), SettingsPane::ravo);
    EXPECT_EQ(root->headerTitle(), "Widgets");
}

TEST_F(SettingsRootViewQtTest, TheDeskRequestsSwitchBothTheSidebarAndTheDetail)
{
    // The names the Desk posts.
    EXPECT_EQ(SettingsRootView::openShortcutsNotification, NotchNotificationName::vudeOpenShortcuts);
    EXPECT_EQ(SettingsRootView::openQuickAppsNotification, NotchNotificationName::vudeOpenQuickApps);

    auto root = make(SettingsPane::general);
    rig.notifications.post(NotchNotificationName::vudeOpenQuickApps);
    EXPECT_EQ(root->selection(), SettingsPane::quickApps);
    EXPECT_EQ(root->sidebar()->selection(), SettingsPane::quickApps);
    EXPECT_EQ(root->headerTitle(), "Quick Apps");
    EXPECT_EQ(root->paneView()->pane(), SettingsPane::quickApps);

    rig.notifications.post(NotchNotificationName::vudeOpenShortcuts);
    EXPECT_EQ(root->selection(), SettingsPane::shortcuts);
    EXPECT_EQ(root->headerTitle(), "Shortcuts");

    // Gone: the requests reach nobody.
    root.reset();
    rig.notifications.post(NotchNotificationName::vudeOpenQuickApps);
}

TEST_F(SettingsRootViewQtTest, AChangeOutsideTheStoreRebindsThePaneInPlace)
{
    auto root = make(SettingsPane::shortcuts);
    auto* pane = dynamic_cast<ShortcutsPane*>(root->paneView());
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->deskRows().empty());

    rig.services.repository = true;
    rig.services.chosen = {ShortcutSnapshot{Uuid::random(), "Resize Images", std::nullopt, "photo", std::nullopt}};
    rig.services.republish();
    EXPECT_EQ(root->paneView(), pane) << "updated, not rebuilt";
    ASSERT_EQ(pane->deskRows().size(), 1u);
    EXPECT_EQ(pane->deskRows()[0]->shownName(), "Resize Images");
}

TEST_F(SettingsRootViewQtTest, TheSidebarStays220WideAndTheWindowNeverLaysOutSmaller)
{
    auto root = make();
    EXPECT_EQ(root->minimumSize(), QSize(720, 460));
    for (const QSize size : {QSize(720, 460), QSize(820, 560), QSize(1000, 700), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        root->resize(size);
        QCoreApplication::sendPostedEvents();
        root->layout()->activate();
        EXPECT_EQ(root->sidebar()->width(), 220);
        EXPECT_EQ(root->sidebar()->geometry().left(), 0);
        EXPECT_EQ(root->detail()->parentWidget()->geometry(), QRect(220, 0, size.width() - 220, size.height()))
            << "the detail takes the rest";
    }
    root->resize(500, 300);
    EXPECT_EQ(root->size(), QSize(720, 460));
}

TEST_F(SettingsRootViewQtTest, TypingASearchKeepsTheTextAndEveryRow)
{
    auto root = make();
    std::vector<QRect> before;
    for (const auto pane : allCases<SettingsPane>())
        before.push_back(root->sidebar()->rowRect(pane));
    QTest::keyClicks(root->sidebar()->searchField(), "battery");
    EXPECT_EQ(root->search(), "battery");
    std::vector<QRect> after;
    for (const auto pane : allCases<SettingsPane>())
        after.push_back(root->sidebar()->rowRect(pane));
    EXPECT_EQ(after, before);
    EXPECT_EQ(root->selection(), SettingsPane::general) << "nothing is picked for the user either";
    EXPECT_EQ(root->sidebar()->headings().size(), 4);
}

TEST_F(SettingsRootViewQtTest, AnUnbuiltPaneSaysSoInItsCard)
{
    EXPECT_EQ(UnbuiltPane::heading(), "Not built yet");
    EXPECT_EQ(UnbuiltPane::sentence(SettingsPane::about),
              "About lands in a later wave. The pane structure is in place so it can be filled in without touching "
              "the shell.");
    EXPECT_EQ(UnbuiltPane::sentence(SettingsPane::idleLock).left(12), "Idle & Lock ");

    // The sentence wraps within the card instead of being cut.
    auto root = make(SettingsPane::about);
    root->resize(720, 460);
    QCoreApplication::sendPostedEvents();
    const auto texts = root->paneView()->findChildren<SettingsText*>();
    ASSERT_EQ(texts.size(), 2);
    const SettingsText* sentence = texts[1];
    EXPECT_EQ(sentence->text(), UnbuiltPane::sentence(SettingsPane::about));
    EXPECT_GE(sentence->height(), 2 * QFontMetrics(sentence->font()).height()) << "two lines at this width";
    EXPECT_EQ(sentence->height(), sentence->heightForWidth(sentence->width()));
}

/// How far the most different pixel in `area` is from `fill`, in grey levels.
int strongestContrast(const QImage& image, const QRect& area, const QColor& fill)
{
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, std::abs(qGray(image.pixel(x, y)) - qGray(fill.rgb())));
    return strongest;
}

TEST_F(SettingsRootViewQtTest, EveryTilesSymbolStandsOutFromItsTile)
{
    // The accent and stone tiles are near white: a white symbol on them
    // barely shows.
    auto root = make(SettingsPane::sound);
    QCoreApplication::sendPostedEvents();
    root->layout()->activate();
    const QImage sidebar = testsupport::picture(*root->sidebar(), 1, Qt::black);
    for (const SettingsPane pane : allCases<SettingsPane>()) {
        SCOPED_TRACE(rawValue(pane));
        const QRect row = root->sidebar()->rowRect(pane);
        if (row.bottom() >= root->sidebar()->height())
            continue;
        // The tile's middle: 8 in from the row's band, 18 square.
        const QRect tile(row.left() + 16, row.center().y() - 8, 18, 18);
        EXPECT_GT(strongestContrast(sidebar, tile.adjusted(4, 4, -4, -4), toQColor(Vude::color(tint(pane)))), 100);
    }
    // The header's tile, 24 square at its left.
    const QImage whole = testsupport::picture(*root, 1, Qt::black);
    const QWidget* header = root->findChild<QWidget*>(QStringLiteral("paneHeader"));
    ASSERT_NE(header, nullptr);
    const QRect tile(header->mapTo(root.get(), QPoint(0, (header->height() - 24) / 2)), QSize(24, 24));
    EXPECT_GT(strongestContrast(whole, tile.adjusted(5, 5, -5, -5), toQColor(Vude::color(TintName::brass))), 100);
}

TEST_F(SettingsRootViewQtTest, PicturesOfEachSectionsFirstPane)
{
    for (const auto pane : {SettingsPane::general, SettingsPane::battery, SettingsPane::nowPlaying,
                            SettingsPane::ravo, SettingsPane::about}) {
        auto root = make(pane);
        QCoreApplication::sendPostedEvents();
        root->layout()->activate();
        const QImage image = testsupport::picture(*root, 2, Qt::black);
        // The sidebar's background and the detail column's.
        EXPECT_EQ(QColor(image.pixel(2 * 110, 2 * 540)), toQColor(Vude::Ink::x900));
        EXPECT_EQ(QColor(image.pixel(2 * 800, 2 * 540)), toQColor(Vude::Ink::x950));
        EXPECT_TRUE(testsupport::saveScreenshot(image, QStringLiteral("settings-") +
                                                           QString::fromUtf8(rawValue(pane).data())));
    }
}

} // namespace
