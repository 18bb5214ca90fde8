// The Desk's quick apps: the grid of tiles, missing and running apps, the
// hover, and the ways to the settings.
#include "Vude/Desk/QuickAppsWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/WidgetEmptyState.h"
#include "Vude/Desk/WidgetFrame.h"
#include "Vude/Toolkit/ScrollArea.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using desktest::DeskRig;
using namespace std::chrono_literals;

NotchQuickApp app(std::string name)
{
    return {"org.example." + name, name, Uuid::random(), std::nullopt};
}

/// An icon: a square of one colour.
QIcon swatch(QColor colour)
{
    QPixmap pixmap(92, 92);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

void hoverEnter(QWidget& widget)
{
    QEnterEvent event(QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)), widget.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&widget, &event);
}

class QuickAppsWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override { pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono"); }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    QuickAppsWidget& show(const QuickAppsBinding& binding, QSize size = {240, 150})
    {
        widget = std::make_unique<QuickAppsWidget>(rig.environment);
        widget->resize(size);
        widget->bind(binding);
        widget->show();
        return *widget;
    }

    void settle()
    {
        for (int i = 0; i < 120; ++i)
            rig.scheduler.advance(16ms);
    }

    /// A binding whose closures answer from the tables below and note each
    /// question in `asked` ("icon Files").
    QuickAppsBinding answering(std::vector<NotchQuickApp> apps)
    {
        QuickAppsBinding binding;
        binding.apps = std::move(apps);
        binding.icon = [this](const NotchQuickApp& app) -> std::optional<QIcon> {
            asked.push_back("icon " + app.name);
            if (const auto found = icons.find(app.name); found != icons.end())
                return found->second;
            return std::nullopt;
        };
        binding.isMissing = [this](const NotchQuickApp& app) {
            asked.push_back("missing " + app.name);
            return missing.contains(app.name);
        };
        binding.isRunning = [this](const NotchQuickApp& app) {
            asked.push_back("running " + app.name);
            return running.contains(app.name);
        };
        binding.onLaunch = [this](const NotchQuickApp& app) { launched.push_back(app.name); };
        binding.onConfigure = [this] { ++configured; };
        return binding;
    }

    /// The colour drawn at a point of the tile, over black.
    QColor colourAt(QuickAppTile& tile, QPointF point)
    {
        const QImage drawn = testsupport::picture(*widget, 1, Qt::black);
        const QPoint at = tile.mapTo(widget.get(), point.toPoint());
        return QColor(drawn.pixel(at));
    }

    DeskRig rig;
    std::map<std::string, QIcon> icons;
    std::set<std::string> missing;
    std::set<std::string> running;
    std::vector<std::string> asked;
    std::vector<std::string> launched;
    int configured = 0;
    std::unique_ptr<QuickAppsWidget> widget;
};

TEST_F(QuickAppsWidgetQtTest, WithNothingPinnedItOffersToChooseAppsAndHasNoPlus)
{
    DeskBinder binder(*rig.model, rig.environment);
    QuickAppsWidget& apps = show(binder.quickApps());
    EXPECT_EQ(apps.frame()->title(), "Apps");
    EXPECT_FALSE(apps.plusButton()->isVisible());
    WidgetEmptyState* empty = apps.emptyState();
    ASSERT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->symbol(), "square.grid.2x2");
    EXPECT_EQ(empty->message(), "Pick the apps you reach for");
    EXPECT_EQ(empty->detail(), std::optional<QString>("in settings."));
    ASSERT_NE(empty->button(), nullptr);
    EXPECT_EQ(empty->button()->text(), "Choose Apps");
    testsupport::saveScreenshot(apps, "quick-apps-empty");

    QTest::mouseClick(empty->button(), Qt::LeftButton);
    EXPECT_EQ(rig.posted,
              (std::vector<std::string>{"app.ruvudav.notch.openSettings", "app.ruvudav.notch.openQuickApps"}));

    // Pinned: the plus, in the top-trailing corner, does the same.
    QuickAppsBinding pinned = binder.quickApps();
    pinned.apps = {app("Files")};
    apps.bind(pinned);
    EXPECT_FALSE(empty->isVisible());
    ASSERT_TRUE(apps.plusButton()->isVisible());
    EXPECT_EQ(apps.plusButton()->geometry().right(), apps.width() - 1);
    EXPECT_EQ(apps.plusButton()->y(), 0);
    rig.posted.clear();
    QTest::mouseClick(apps.plusButton(), Qt::LeftButton);
    EXPECT_EQ(rig.posted,
              (std::vector<std::string>{"app.ruvudav.notch.openSettings", "app.ruvudav.notch.openQuickApps"}));

    apps.bind(binder.quickApps());
    EXPECT_FALSE(apps.plusButton()->isVisible()) << "gone again with the last pin";
}

TEST_F(QuickAppsWidgetQtTest, AMissingAppIsDimmedCannotBeLaunchedAndSaysWhy)
{
    const NotchQuickApp files = app("Files"), gone = app("Old Editor"), iconless = app("Terminal");
    icons["Files"] = swatch(QColor(0xD0, 0x30, 0x30));
    missing = {"Old Editor"};
    running = {"Files"};
    QuickAppsWidget& apps = show(answering({files, gone, iconless}));

    EXPECT_EQ(asked, (std::vector<std::string>{"icon Files", "missing Files", "running Files", "icon Old Editor",
                                               "missing Old Editor", "running Old Editor", "icon Terminal",
                                               "missing Terminal", "running Terminal"}))
        << "once per tile, in that order";
    testsupport::picture(apps);
    EXPECT_EQ(asked.size(), 9u) << "never while painting";

    QuickAppTile* present = apps.tile(files.id);
    QuickAppTile* absent = apps.tile(gone.id);
    QuickAppTile* plain = apps.tile(iconless.id);
    ASSERT_TRUE(present && absent && plain);
    EXPECT_EQ(present->helpText(), "Files");
    EXPECT_EQ(absent->helpText(), "Old Editor \u2014 not installed on this computer");
    EXPECT_TRUE(present->isEnabled());
    EXPECT_FALSE(absent->isEnabled());

    QTest::mouseClick(absent, Qt::LeftButton);
    QTest::mouseClick(plain, Qt::LeftButton, {}, QPoint(plain->width() - 2, plain->height() - 1));
    QTest::mouseClick(present, Qt::LeftButton);
    EXPECT_EQ(launched, (std::vector<std::string>{"Terminal", "Files"})) << "anywhere in the cell, not the missing";

    // The icon, else the placeholder square: full for an app that is there,
    // dimmed for one that is not.
    const QPointF iconCentre(present->width() / 2.0, 23);
    EXPECT_EQ(colourAt(*present, iconCentre + QPointF(12, 12)), QColor(0xD0, 0x30, 0x30));
    const QColor placeholder = toQColor(Vude::Ink::x800);
    EXPECT_EQ(colourAt(*plain, iconCentre + QPointF(16, 16)), placeholder);
    const QColor dimmed = colourAt(*absent, iconCentre + QPointF(16, 16));
    EXPECT_NEAR(dimmed.red(), placeholder.red() * 0.35, 2);
    EXPECT_NEAR(dimmed.blue(), placeholder.blue() * 0.35, 2);

    // The running dot under the icon; the others keep its space empty.
    const QPointF dot(present->width() / 2.0, 46 + 3 + 2);
    EXPECT_EQ(colourAt(*present, dot), toQColor(Vude::Stone::x200));
    EXPECT_EQ(colourAt(*plain, dot), QColor(Qt::black));
    EXPECT_EQ(present->height(), plain->height());
    testsupport::saveScreenshot(apps, "quick-apps-tiles");
}

TEST_F(QuickAppsWidgetQtTest, HoveringGrowsTheIconAndItsShadowButNotAMissingOnesAndTheValuesWaitForTheNextBind)
{
    const NotchQuickApp files = app("Files"), gone = app("Old Editor");
    missing = {"Old Editor"};
    QuickAppsWidget& apps = show(answering({files, gone}));
    QuickAppTile* present = apps.tile(files.id);
    QuickAppTile* absent = apps.tile(gone.id);
    // Just under the icon at rest.
    const QPointF underIcon(present->width() / 2.0, 46 + 1);
    EXPECT_EQ(colourAt(*present, underIcon), QColor(Qt::black));

    hoverEnter(*present);
    hoverEnter(*absent);
    settle();
    EXPECT_NEAR(present->look().icon.width, 46 * 1.1, 0.01);
    EXPECT_NEAR(present->look().shadowOpacity, 0.45, 0.01);
    EXPECT_EQ(absent->look().icon.width, 46);
    EXPECT_EQ(absent->look().shadowOpacity, 0);
    EXPECT_EQ(colourAt(*present, underIcon), toQColor(Vude::Ink::x800)) << "the grown icon reaches lower";
    testsupport::saveScreenshot(apps, "quick-apps-hovered");

    // The app starts: the dot shows at the next bind, and the hovered tile
    // is the same tile, still hovered.
    running = {"Files"};
    EXPECT_FALSE(present->isRunning());
    apps.bind(answering({files, gone}));
    EXPECT_EQ(apps.tile(files.id), present);
    EXPECT_TRUE(present->isRunning());
    EXPECT_TRUE(present->isHovering());
}

TEST_F(QuickAppsWidgetQtTest, TheGridAdaptsItsColumnsToTheWidthAndKeepsTheOrder)
{
    std::vector<NotchQuickApp> pinned;
    for (const char* name : {"Files", "Terminal", "Browser", "Mail", "Music"})
        pinned.push_back(app(name));
    QuickAppsWidget& apps = show(answering(pinned), {200, 160});
    EXPECT_EQ(apps.columns().count, 3);
    const std::vector<QuickAppTile*> tiles = apps.tiles();
    ASSERT_EQ(tiles.size(), 5u);
    for (std::size_t i = 0; i < tiles.size(); ++i)
        EXPECT_EQ(tiles[i]->app(), pinned[i]);
    EXPECT_EQ(tiles[1]->y(), tiles[0]->y());
    EXPECT_EQ(tiles[3]->x(), tiles[0]->x()) << "the fourth starts the second row";
    EXPECT_EQ(tiles[3]->y() - tiles[0]->y(), 53 + 12);
    EXPECT_EQ(tiles[0]->width(), 60);

    apps.resize(130, 160);
    EXPECT_EQ(apps.columns().count, 2);
    EXPECT_EQ(apps.tiles()[2]->x(), apps.tiles()[0]->x());

    // The wheel is the grid's, at either end.
    QWheelEvent wheel(QPointF(20, 20), apps.mapToGlobal(QPointF(20, 20)), {}, QPoint(0, 120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(apps.scrollArea(), &wheel);
    EXPECT_TRUE(wheel.isAccepted());
}

} // namespace
