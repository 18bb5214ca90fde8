// The open Desk: its header, its widget row and what each control sends,
// the widgets' lifetimes, and a picture of it for a person.
#include "Vude/Desk/RavoView.h"

#include "Platform/Network/FakeLocationBackend.h"
#include "Platform/Network/FakeReverseGeocoder.h"
#include "Platform/Network/FakeWeatherService.h"
#include "VudeServices/WeatherProvider.h"

#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/RavoViewFactory.h"
#include "Vude/Desk/TimerRow.h"
#include "Vude/Desk/TimerWidget.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Shell/NotchRootView.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "TestSupport.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;

namespace {

using desktest::DeskRig;

/// The row the window controller computes for a 1440-wide screen.
ZeriRuvuzi rowOf(const std::vector<WidgetID>& enabled, std::vector<WidgetID> order = {})
{
    if (order.empty())
        order = enabled;
    return WidgetLayoutEngine{54, 22, 18, 1100}.layout(order, {enabled.begin(), enabled.end()}, {}, 1440 - 80);
}

std::vector<WidgetID> idsOf(const std::vector<DeskWidget*>& widgets)
{
    std::vector<WidgetID> ids;
    for (const DeskWidget* widget : widgets)
        ids.push_back(widget->id());
    return ids;
}

QRect whole(const Rect& rect)
{
    return {int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.maxX()) - std::lround(rect.x)),
            int(std::lround(rect.maxY()) - std::lround(rect.y))};
}

class RavoViewQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        view.reset();
        unpinFontFamilies();
    }

    /// The Desk on `tab` at the size the open panel gives it.
    RavoView& open(RiziDar tab = RiziDar::ravo)
    {
        if (!rig.model->state().isOpen())
            rig.model->send(NotchEvent::click());
        rig.model->send(NotchEvent::selectTab(tab));
        view = std::make_unique<RavoView>(tab, *rig.model, RavoView::defaultInset, rig.environment);
        fit();
        return *view;
    }

    void fit()
    {
        const Size content = rig.model->contentSize(rig.model->state());
        view->resize(int(std::lround(content.width)), int(std::lround(content.height)));
    }

    /// Notes every event the model is sent from now on, in `sent`.
    void recordEvents()
    {
        QObject::connect(rig.model.get(), &NotchViewModel::eventSent, &context,
                         [this](const NotchEvent& event) { sent.push_back(event); });
    }

    static void turnEventLoop() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    DeskRig rig;
    QObject context;
    std::vector<NotchEvent> sent;
    std::unique_ptr<RavoView> view;
};

TEST_F(RavoViewQtTest, CellsAndDividersAreWhereTheLayoutPutsThem)
{
    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::todos, WidgetID::shortcuts, WidgetID::mirror}));
    RavoView& desk = open();
    const RavoLayout layout = desk.currentLayout();
    const Size content = rig.model->contentSize(rig.model->state());
    EXPECT_EQ(idsOf(desk.widgets()),
              (std::vector<WidgetID>{WidgetID::media, WidgetID::todos, WidgetID::shortcuts, WidgetID::mirror}));
    ASSERT_EQ(layout.cells.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(desk.widgets()[i]->geometry(), whole(layout.cells[i])) << i;
    EXPECT_EQ(desk.widgets().front()->x(), 18);
    EXPECT_EQ(desk.widgets().back()->geometry().right() + 1, int(content.width) - 18);
    EXPECT_EQ(desk.widgets().front()->y(), 32 + 4);
    EXPECT_EQ(desk.widgets().front()->height(), int(rig.model->ravoHeight()) - 4 - 10);

    // A 1-point divider in the middle of each gap, nowhere else.
    const QImage drawn = testsupport::picture(desk, 1, Qt::black);
    const QColor divider = toQColor(Vude::Ink::x700);
    for (std::size_t i = 1; i < 4; ++i) {
        const int x = desk.widgets()[i]->x() - 11;
        EXPECT_EQ(QColor(drawn.pixel(x, 90)), divider) << i;
        EXPECT_EQ(QColor(drawn.pixel(x - 3, 90)), QColor(Qt::black));
        EXPECT_EQ(QColor(drawn.pixel(x + 3, 90)), QColor(Qt::black));
    }
    EXPECT_EQ(QColor(drawn.pixel(5, 90)), QColor(Qt::black)) << "none before the first";

    // The header: tabs from the left inset, Close at the right one.
    EXPECT_EQ(desk.tabButton(RiziDar::ravo)->x(), 18);
    EXPECT_EQ(desk.closeButton()->geometry().right() + 1, int(content.width) - 18);
    const QRect tab = desk.tabButton(RiziDar::ravo)->geometry();
    EXPECT_NEAR((tab.top() + tab.bottom() + 1) / 2.0, 16, 0.5) << "centred on the notch's height";
}

TEST_F(RavoViewQtTest, UnderAHandlerFewPointsHighTheHeaderButtonsAreWhole)
{
    // The synthetic handler of a screen without a notch is 8 high; the tabs
    // are 22.
    rig.model->setGeometry(notchtest::screenGeometry({184, 8}));
    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::todos}));
    RavoView& desk = open();
    const QImage drawn = testsupport::picture(desk, 1, Qt::black);
    for (const PlainButton* button : {desk.tabButton(RiziDar::ravo), desk.tabButton(RiziDar::tray),
                                      desk.settingsButton(), desk.closeButton()}) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_GE(button->y(), 4) << "clear of the panel's top edge";
        EXPECT_NEAR((button->geometry().top() + button->geometry().bottom() + 1) / 2.0, 16, 0.5);
    }
    const QRect tab = desk.tabButton(RiziDar::ravo)->geometry();
    EXPECT_EQ(QColor(drawn.pixel(tab.center().x(), tab.top())), toQColor(Vude::Ink::x800))
        << "the selected tab's capsule is drawn from its top";
    EXPECT_EQ(QColor(drawn.pixel(tab.center().x(), tab.top() - 2)), QColor(Qt::black));
    EXPECT_GE(desk.widgets().front()->y(), tab.bottom() + 1) << "the row starts under the header";
    EXPECT_EQ(desk.widgets().front()->y(), 32 + 4);
    testsupport::saveScreenshot(desk, "desk-under-short-handler");
}

TEST_F(RavoViewQtTest, AnEmptyRowOffersToChooseWidgetsWhichOpensTheSettingsOnce)
{
    RavoView& desk = open();
    EXPECT_TRUE(desk.widgets().empty());
    WidgetEmptyState* empty = desk.emptyState();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->symbol(), "square.grid.2x2");
    EXPECT_EQ(empty->message(), "Nothing on the Desk yet");
    EXPECT_EQ(empty->detail(), std::optional<QString>("Pick the widgets you want."));
    ASSERT_NE(empty->button(), nullptr);
    EXPECT_EQ(empty->button()->text(), "Choose Widgets");
    EXPECT_EQ(empty->geometry(), whole(desk.currentLayout().emptyState)) << "the whole row, to centre in";

    QTest::mouseClick(empty->button(), Qt::LeftButton);
    EXPECT_EQ(rig.posted, std::vector<std::string>{"app.ruvudav.notch.openSettings"}) << "once, no pane chosen";
    testsupport::saveScreenshot(desk, "desk-empty");

    // A widget enabled meanwhile takes its place.
    rig.model->setLayout(rowOf({WidgetID::timer}));
    EXPECT_EQ(desk.emptyState(), nullptr);
    EXPECT_EQ(desk.widgets().size(), 1u);
}

TEST_F(RavoViewQtTest, TheHeaderButtonsSendTheirEventsAndPostTheSettings)
{
    RavoView& desk = open();
    recordEvents();

    QTest::mouseClick(desk.tabButton(RiziDar::ravo), Qt::LeftButton);
    EXPECT_EQ(sent, std::vector<NotchEvent>{NotchEvent::selectTab(RiziDar::ravo)}) << "also for the tab shown";
    QTest::mouseClick(desk.tabButton(RiziDar::tray), Qt::LeftButton);
    EXPECT_EQ(sent.back(), NotchEvent::selectTab(RiziDar::tray));
    EXPECT_EQ(rig.model->state(), NotchState::open(RiziDar::tray));

    QTest::mouseClick(desk.settingsButton(), Qt::LeftButton);
    EXPECT_EQ(rig.posted, std::vector<std::string>{"app.ruvudav.notch.openSettings"});
    EXPECT_EQ(sent.size(), 2u) << "the settings are no event of the notch";
    EXPECT_EQ(desk.settingsButton()->toolTip(), "Settings");

    QTest::mouseClick(desk.closeButton(), Qt::LeftButton);
    EXPECT_EQ(sent.back(), NotchEvent::forceClose());
    EXPECT_EQ(desk.closeButton()->toolTip(), "Close");
    EXPECT_FALSE(rig.model->state().isOpen());
}

TEST_F(RavoViewQtTest, TheTrayBadgeShowsOnlyForItemsWhileTheDeskTabIsShown)
{
    const QColor accent = toQColor(Vude::Accent::x500);
    const auto badgePixel = [&](RavoView& desk) {
        const Rect badge = desk.currentLayout().badge;
        return QColor(testsupport::picture(desk, 1, Qt::black).pixel(int(badge.x) + 2, int(badge.y) + 2));
    };
    const NotchTrayItem item{Uuid::random(), "report.pdf", std::nullopt};
    const struct Row {
        const char* why;
        bool items;
        RiziDar tab;
        bool badge;
    } rows[] = {
        {"items, Desk tab: drawn", true, RiziDar::ravo, true},
        {"no items: nothing", false, RiziDar::ravo, false},
        {"items, but the Tray tab is shown: nothing", true, RiziDar::tray, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        rig.model->setTrayItems(row.items ? std::vector<NotchTrayItem>{item} : std::vector<NotchTrayItem>{});
        RavoView& desk = open(row.tab);
        EXPECT_EQ(desk.isBadgeShown(), row.badge);
        EXPECT_EQ(badgePixel(desk) == accent, row.badge);
    }

    // It follows the tray while the Desk is open.
    RavoView& desk = open(RiziDar::ravo);
    rig.model->setTrayItems({});
    EXPECT_FALSE(desk.isBadgeShown());
    rig.model->setTrayItems({item});
    EXPECT_EQ(badgePixel(desk), accent);
}

TEST_F(RavoViewQtTest, AWidgetKeepsItsInstanceWhenItMovesAndIsHandedFreshValues)
{
    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::todos, WidgetID::timer}));
    RavoView& desk = open();
    const QPointer<DeskWidget> todos = desk.widget(WidgetID::todos);
    const QPointer<DeskWidget> timer = desk.widget(WidgetID::timer);
    ASSERT_TRUE(todos && timer);

    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::todos, WidgetID::timer},
                               {WidgetID::todos, WidgetID::timer, WidgetID::media}));
    EXPECT_EQ(idsOf(desk.widgets()), (std::vector<WidgetID>{WidgetID::todos, WidgetID::timer, WidgetID::media}));
    EXPECT_EQ(desk.widget(WidgetID::todos), todos.data()) << "moved, not rebuilt";
    EXPECT_EQ(todos->x(), 18);

    // New values reach the same widget.
    const NotchTimer tea{Uuid::random(), "Tea", 300, rig.clock.now(), std::nullopt};
    rig.model->setTimers({tea});
    const auto* timers = dynamic_cast<const TimerWidget*>(timer.data());
    ASSERT_NE(timers, nullptr);
    ASSERT_EQ(timers->rows().size(), 1u);
    EXPECT_EQ(timers->rows()[0]->timer(), tea);

    // Leaving the row ends it.
    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::timer}));
    EXPECT_EQ(desk.widget(WidgetID::todos), nullptr);
    turnEventLoop();
    EXPECT_TRUE(todos.isNull());
    EXPECT_EQ(desk.widget(WidgetID::timer), timer.data());
}

TEST_F(RavoViewQtTest, TheWeatherCellShowsNothingWithoutAProvider)
{
    rig.model->setLayout(rowOf({WidgetID::weather}));
    RavoView& desk = open();
    DeskWidget* weather = desk.widget(WidgetID::weather);
    ASSERT_NE(weather, nullptr);
    const auto lit = [&] {
        const QImage drawn = testsupport::picture(desk, 1, Qt::black);
        const QRect cell = weather->geometry();
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (QColor(drawn.pixel(x, y)) != QColor(Qt::black))
                    return true;
        return false;
    };
    EXPECT_FALSE(lit());
    LocationProvider locations(std::make_unique<FakeLocationBackend>(), std::make_unique<FakeReverseGeocoder>(),
                               rig.clock, rig.scheduler);
    rig.model->setWeatherProvider(
        std::make_shared<WeatherProvider>(locations, std::make_unique<FakeWeatherService>(), rig.clock, rig.scheduler));
    EXPECT_TRUE(lit()) << "once there is weather to show";
    rig.model->setWeatherProvider(nullptr);
}

TEST_F(RavoViewQtTest, TheTrayTabShowsTheBannerAndTheTrayOnlyWithATrayStore)
{
    RavoView& bare = open(RiziDar::tray);
    EXPECT_EQ(bare.trayView(), nullptr);
    EXPECT_EQ(bare.pipelineBanner(), nullptr);
    EXPECT_TRUE(bare.widgets().empty());
    EXPECT_EQ(bare.emptyState(), nullptr);

    rig.model->trayStore = std::make_shared<notchtest::FakeTrayStore>();
    RavoView& desk = open(RiziDar::tray);
    ASSERT_NE(desk.trayView(), nullptr);
    ASSERT_NE(desk.pipelineBanner(), nullptr);
    EXPECT_EQ(desk.pipelineBanner()->height(), 0) << "an idle banner takes no space";
    EXPECT_EQ(desk.trayView()->geometry(), whole(desk.currentLayout().tray));
    testsupport::saveScreenshot(desk, "desk-tray-tab");
}

/// The Desk inside the notch, as the app shows it.
class OpenDeskQtTest : public RavoViewQtTest {
protected:
    void SetUp() override
    {
        RavoViewQtTest::SetUp();
        root = std::make_unique<NotchRootView>(*rig.model, rig.scheduler, rig.clock, cache);
        root->setDeskViewFactory(ravoViewFactory(rig.environment));
        root->resize(1440, 300);
    }
    void TearDown() override
    {
        root.reset();
        RavoViewQtTest::TearDown();
    }

    RavoView* desk() const { return qobject_cast<RavoView*>(root->deskView()); }

    void settle()
    {
        rig.scheduler.advance(2s);
        turnEventLoop();
    }

    ArtworkCache cache;
    std::unique_ptr<NotchRootView> root;
};

TEST_F(OpenDeskQtTest, TheDeskFillsTheOpenNotchsContentAndEndsWithItsTabOrTheDesk)
{
    rig.model->setLayout(rowOf({WidgetID::media, WidgetID::todos}));
    EXPECT_EQ(root->deskView(), nullptr);
    rig.model->send(NotchEvent::click());
    ASSERT_NE(desk(), nullptr) << "built at once, at its final size";
    EXPECT_EQ(desk()->tab(), RiziDar::ravo);
    const Size content = rig.model->contentSize(rig.model->state());
    EXPECT_EQ(desk()->size(), QSize(int(content.width), int(content.height)));
    EXPECT_NEAR((desk()->geometry().left() + desk()->geometry().right() + 1) / 2.0, 720, 1);
    settle();
    EXPECT_EQ(desk()->geometry(), whole(root->contentRect()));
    EXPECT_TRUE(desk()->mask().isEmpty()) << "uncut once the notch has settled";

    // A tab change builds the Desk anew; the old widgets go.
    const QPointer<DeskWidget> media = desk()->widget(WidgetID::media);
    const QPointer<QWidget> first = desk();
    QTest::mouseClick(desk()->tabButton(RiziDar::tray), Qt::LeftButton);
    turnEventLoop();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(media.isNull());
    ASSERT_NE(desk(), nullptr);
    EXPECT_EQ(desk()->tab(), RiziDar::tray);

    // Closing fades it out, then ends it.
    QTest::mouseClick(desk()->tabButton(RiziDar::ravo), Qt::LeftButton);
    turnEventLoop();
    const QPointer<DeskWidget> todos = desk()->widget(WidgetID::todos);
    const QPointer<QWidget> shown = desk();
    QTest::mouseClick(desk()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(shown.isNull()) << "still fading out";
    EXPECT_TRUE(shown->testAttribute(Qt::WA_TransparentForMouseEvents)) << "and no longer clickable";
    settle();
    EXPECT_TRUE(shown.isNull());
    EXPECT_TRUE(todos.isNull());
    EXPECT_EQ(root->deskView(), nullptr);

    // Files dragged over the open Desk: the lanes take its place at once.
    rig.model->send(NotchEvent::click());
    settle();
    const QPointer<QWidget> underDrag = desk();
    rig.model->beginDrag({QUrl::fromLocalFile("/tmp/a.png")});
    rig.model->send(NotchEvent::dragEntered());
    EXPECT_TRUE(underDrag->isHidden());
    EXPECT_EQ(root->deskView(), nullptr);
    rig.model->send(NotchEvent::dragExited());
    settle();
    ASSERT_NE(desk(), nullptr) << "and it comes back, anew";
    EXPECT_TRUE(underDrag.isNull());
    rig.model->send(NotchEvent::forceClose());
    settle();

    // Opened again before the closing one has gone: a new Desk all the same.
    rig.model->send(NotchEvent::click());
    rig.scheduler.advance(1s);
    const QPointer<QWidget> reopened = desk();
    rig.model->send(NotchEvent::forceClose());
    rig.scheduler.advance(50ms);
    rig.model->send(NotchEvent::click());
    turnEventLoop();
    EXPECT_TRUE(reopened.isNull());
    ASSERT_NE(desk(), nullptr);
    EXPECT_FALSE(desk()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(OpenDeskQtTest, TheOpenDeskOnA1440WideScreenForAPersonToLookAt)
{
    // Every widget enabled: the row takes the ones that fit.
    const auto cases = allCases<WidgetID>();
    const std::vector<WidgetID> all(cases.begin(), cases.end());
    rig.model->setLayout(rowOf(all));
    ASSERT_FALSE(rig.model->layout().overflow.empty());
    rig.model->setTrayItems({{Uuid::random(), "Quarterly report.pdf", std::nullopt}});
    LocationProvider locations(std::make_unique<FakeLocationBackend>(), std::make_unique<FakeReverseGeocoder>(),
                               rig.clock, rig.scheduler);
    rig.model->setWeatherProvider(
        std::make_shared<WeatherProvider>(locations, std::make_unique<FakeWeatherService>(), rig.clock, rig.scheduler));
    rig.model->send(NotchEvent::click());
    settle();
    ASSERT_NE(desk(), nullptr);
    EXPECT_EQ(desk()->widgets().size(), rig.model->layout().placements.size());

    // The panel as large as the open canvas, hanging from the top of a light
    // desktop, at twice the size.
    const Size canvas = rig.model->currentCanvasSize();
    root->resize(int(std::ceil(canvas.width)), int(std::ceil(canvas.height)));
    const int margin = 24;
    const QImage notch = testsupport::picture(*root, 2);
    QImage shot(QSize((root->width() + 2 * margin) * 2, (root->height() + margin) * 2),
                QImage::Format_ARGB32_Premultiplied);
    shot.setDevicePixelRatio(2);
    QPainter painter(&shot);
    QLinearGradient desktop(0, 0, 0, root->height() + margin);
    desktop.setColorAt(0, QColor(0xC9, 0xD3, 0xE2));
    desktop.setColorAt(1, QColor(0xE8, 0xE2, 0xD6));
    painter.fillRect(QRectF(0, 0, root->width() + 2 * margin, root->height() + margin), desktop);
    painter.drawImage(QPointF(margin, 0), notch);
    painter.end();
    EXPECT_TRUE(testsupport::saveScreenshot(shot, "desk-open-1440-all-widgets"));
    rig.model->setWeatherProvider(nullptr);
}

} // namespace
