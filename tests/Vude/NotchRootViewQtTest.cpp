#include "Vude/Shell/NotchRootView.h"

#include "Vude/Shell/Views/ActivityPillView.h"
#include "Vude/Shell/Views/AmbientMediaView.h"
#include "Vude/Shell/Views/ArtworkCache.h"
#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"
#include "Vude/Shell/Views/WaveformView.h"

#include "VudeUI/qt/SpringAnimator.h"

#include "VudeUI/NotchShape.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"

#include "ImageFixtures.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QPaintEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

using namespace std::chrono_literals;
using Content = NotchSurfaceLayout::Content;

/// The handler every screen without a camera housing gets: 184 × 8.
NotchGeometry handlerGeometry(Size notch = {184, 8})
{
    NotchGeometry geometry;
    geometry.displayID = 1;
    geometry.screenFrame = {0, 0, 1440, 900};
    geometry.notchSize = notch;
    geometry.notchOrigin = {720 - notch.width / 2, 900 - notch.height};
    return geometry;
}

ActivityPayload payload(ActivityKind kind, ActivityPriority priority, ActivityGlyph glyph,
                        std::optional<std::string> title, std::optional<std::string> subtitle,
                        ActivityTrailing trailing)
{
    return ActivityPayload(Uuid::random(), kind, priority, std::nullopt, std::move(glyph), std::move(title),
                           std::move(subtitle), std::move(trailing), 4s, std::nullopt, kReferenceDate);
}

/// A cover a person can recognise in a screenshot: a warm gradient with a
/// light disc, 600 × 600.
Data coverArt()
{
    QImage image(600, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 600, 600);
    gradient.setColorAt(0, QColor(0xD9, 0x6C, 0x3B));
    gradient.setColorAt(1, QColor(0x3B, 0x2A, 0x6E));
    painter.fillRect(image.rect(), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xF4, 0xE3, 0xC3));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(300, 300), 170, 170);
    painter.setBrush(QColor(0x22, 0x1F, 0x1D));
    painter.drawEllipse(QPointF(300, 300), 40, 40);
    painter.end();
    return Data(fixtures::encoded(image, "png"));
}

const Data& cover()
{
    static const Data bytes = coverArt();
    return bytes;
}

ActivityPayload volumePill(double level = 0.5)
{
    return payload(ActivityKind::sound, ActivityPriority::interrupt,
                   ActivityGlyph::symbolTinted("speaker.wave.2.fill", TintName::brass), "Built-in Speakers",
                   std::nullopt, ActivityTrailing::bar(level));
}

ActivityPayload batteryPill()
{
    return payload(ActivityKind::battery, ActivityPriority::queued,
                   ActivityGlyph::symbolTinted("bolt.fill", TintName::sage), "Charging", std::nullopt,
                   ActivityTrailing::percent(0.82));
}

ActivityPayload mediaPill(ActivityPriority priority = ActivityPriority::queued, bool playing = true)
{
    return payload(ActivityKind::nowPlaying, priority, ActivityGlyph::artwork(cover()), "Harbour Lights",
                   "The Quiet Coast", ActivityTrailing::waveform(playing));
}

/// Whether `pixel` is lit (a light token over black), dark (black or a dark
/// token) or transparent.
bool lit(QRgb pixel) { return qAlpha(pixel) > 200 && qRed(pixel) > 142; }
bool opaqueBlack(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qRed(pixel) < 8 && qGreen(pixel) < 8 && qBlue(pixel) < 8;
}

QRgb at(const QImage& image, double x, double y) { return image.pixel(int(std::floor(x)), int(std::floor(y))); }

/// Pixels of row `y` from `left` to `right` that pass `test`.
int countIn(const QImage& image, int y, int left, int right, const std::function<bool(QRgb)>& test)
{
    int count = 0;
    for (int x = std::max(0, left); x < std::min(image.width(), right); ++x)
        count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

/// Records the region of every paint event a widget gets.
class PaintRecorder final : public QObject {
public:
    PaintRecorder(QWidget& widget, std::vector<QRegion>& regions) : m_regions(regions)
    {
        widget.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_regions.push_back(static_cast<QPaintEvent*>(event)->region());
        return false;
    }

private:
    std::vector<QRegion>& m_regions;
};

/// A notch view model on a 1440 × 900 screen with its handler, fonts pinned
/// so texts measure alike everywhere, and the root view over it.
class NotchRootViewQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        ScreenDescription screen;
        screen.name = "eDP-1";
        screen.frame = {0, 0, 1440, 900};
        screen.visibleFrame = screen.frame;
        fakes.screens.setScreens({screen});
        build(handlerGeometry());
    }

    void TearDown() override
    {
        view.reset();
        model.reset();
        unpinFontFamilies();
    }

    void build(const NotchGeometry& geometry)
    {
        view.reset();
        model = std::make_unique<NotchViewModel>(geometry, settings, platform, scheduler, clock, measurer);
        model->reduceMotion = &reduceMotion;
        view = std::make_unique<NotchRootView>(*model, scheduler, clock, cache);
        fitCanvas();
    }

    /// The hosting view keeps the root view at the panel's size: the canvas.
    void fitCanvas()
    {
        const Size canvas = model->currentCanvasSize();
        view->resize(int(std::ceil(canvas.width)), int(std::ceil(canvas.height)));
    }

    /// Lets every spring come to rest and every decode land.
    void settle()
    {
        testsupport::waitUntil([&] { return cache.pendingLoads() == 0; });
        scheduler.advance(2s);
        fitCanvas();
    }

    void show(const NotchState& state)
    {
        switch (state.kind()) {
        case NotchState::Kind::activity:
            model->send(NotchEvent::activityArrived(*state.payload()));
            break;
        case NotchState::Kind::activityExpanded:
            model->send(NotchEvent::activityArrived(*state.payload()));
            model->send(NotchEvent::hoverBegan());
            break;
        case NotchState::Kind::open:
            model->send(NotchEvent::click());
            break;
        case NotchState::Kind::hidden:
            model->send(NotchEvent::toggleHidden());
            break;
        case NotchState::Kind::dropTarget:
            model->send(NotchEvent::dragEntered());
            break;
        default:
            break;
        }
        settle();
    }

    /// The view as drawn, at `scale` device pixels a point, on transparency.
    QImage render(double scale = 1) const
    {
        QImage image(QSize(int(view->width() * scale), int(view->height() * scale)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    /// A picture for a person: the notch at twice the size, hanging from
    /// the top of a light desktop with a little of it around.
    void saveScreenshot(const QString& name) const
    {
        constexpr double scale = 2;
        constexpr int margin = 24;
        const QImage notch = render(scale);
        QImage shot(QSize(int((view->width() + 2 * margin) * scale), int((view->height() + margin) * scale)),
                    QImage::Format_ARGB32_Premultiplied);
        shot.setDevicePixelRatio(scale);
        QPainter painter(&shot);
        QLinearGradient desktop(0, 0, 0, view->height() + margin);
        desktop.setColorAt(0, QColor(0xC9, 0xD3, 0xE2));
        desktop.setColorAt(1, QColor(0xE8, 0xE2, 0xD6));
        painter.fillRect(QRectF(0, 0, view->width() + 2 * margin, view->height() + margin), desktop);
        painter.drawImage(QPointF(margin, 0), notch);
        painter.end();
        QDir().mkpath("screenshots");
        EXPECT_TRUE(shot.save("screenshots/notch-" + name + ".png"));
    }

    FakeShellPlatform fakes;
    ShellPlatform platform = fakes.platform();
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    QtTextMeasurer measurer;
    FixedReduceMotionSetting reduceMotion{false};
    ArtworkCache cache;
    std::unique_ptr<NotchViewModel> model;
    std::unique_ptr<NotchRootView> view;
};

TEST_F(NotchRootViewQtTest, EveryVisibleStateHasAPictureForAPersonToLookAt)
{
    saveScreenshot("closed-handler");
    model->send(NotchEvent::hoverBegan());
    settle();
    saveScreenshot("closed-handler-hovered");
    model->send(NotchEvent::hoverEnded());
    settle();

    show(NotchState::activity(volumePill(0.5)));
    saveScreenshot("volume-pill-50");
    show(NotchState::activity(batteryPill()));
    saveScreenshot("battery-percent-pill");
    show(NotchState::activity(mediaPill()));
    saveScreenshot("now-playing-pill-compact");
    show(NotchState::activityExpanded(mediaPill()));
    saveScreenshot("now-playing-pill-expanded");
    model->send(NotchEvent::hoverEnded());
    show(NotchState::activity(payload(ActivityKind::download, ActivityPriority::queued,
                                      ActivityGlyph::progressRing(0.68), "Downloading report.pdf", std::nullopt,
                                      ActivityTrailing::text("3.2 MB"))));
    saveScreenshot("progress-ring-and-text-pill");

    show(NotchState::activity(mediaPill(ActivityPriority::ambient, false)));
    saveScreenshot("ambient-media");
    // With quick peeks and interactive pills on, a hover expands the pill
    // instead; off, the ambient item shows its title row.
    settings.setQuickPeekEnabled(false);
    settings.setInteractiveActivities(false);
    model->send(NotchEvent::hoverBegan());
    settle();
    saveScreenshot("ambient-media-hovered");
    model->send(NotchEvent::hoverEnded());
    settings.setQuickPeekEnabled(true);
    settings.setInteractiveActivities(true);
    settle();

    model->send(NotchEvent::forceClose());
    model->send(NotchEvent::activityTimedOut());
    settle();
    show(NotchState::dropTarget());
    saveScreenshot("drop-to-add");
    model->beginDrag({QUrl::fromLocalFile("/tmp/a.png"), QUrl::fromLocalFile("/tmp/b.jpg")});
    model->setHoveredLane(0);
    settle();
    saveScreenshot("drop-lanes");
    // The lane that sends to a paired device reads as what sends it.
    ASSERT_GE(model->dragLanes().size(), 2u);
    EXPECT_EQ(model->dragLanes()[1], DropLane::airDrop());
    EXPECT_EQ(model->dragLanes()[1].displayName(), "KDE Connect");
    model->setHoveredLane(1);
    settle();
    saveScreenshot("drop-lanes-kde-connect");

    model->send(NotchEvent::dragExited());
    show(NotchState::open(RiziDar::ravo));
    saveScreenshot("open-empty-desk-slot");
}

// The lit lane is where the drop goes: equal shares of the width, the one
// under the pointer filled with the accent, and the light moves on the
// hover spring.
TEST_F(NotchRootViewQtTest, TheLaneUnderThePointerIsLitOnTheHoverSpring)
{
    model->beginDrag({QUrl::fromLocalFile("/tmp/a.png")});
    show(NotchState::dropTarget());
    ASSERT_EQ(model->dragLanes().size(), 2u);
    const double middle = view->width() / 2.0;
    const double quarter = model->contentSize(model->state()).width / 4;
    const auto lit = [&](double x) {
        const QColor pixel = render().pixelColor(int(x), 125);
        return pixel.red() > 200 && pixel.green() > 200;
    };
    EXPECT_FALSE(lit(middle - quarter));
    EXPECT_FALSE(lit(middle + quarter));

    model->setHoveredLane(1);
    settle();
    EXPECT_FALSE(lit(middle - quarter));
    EXPECT_TRUE(lit(middle + quarter)) << "the second lane, the right half";
    saveScreenshot("drop-lanes-hovering-second");

    model->setHoveredLane(std::nullopt);
    scheduler.advance(std::chrono::milliseconds(17));
    EXPECT_TRUE(view->isAnimating()) << "the light fades out";
    settle();
    EXPECT_FALSE(lit(middle + quarter));
}

// The surface's width and height follow the content size plus 12 and its
// height; hidden draws nothing at all. Measured on the drawn pixels: the
// body between the top flares is 12 narrower than the surface.
TEST_F(NotchRootViewQtTest, TheSurfaceIsDrawnAtTheSizeOfTheState)
{
    build(handlerGeometry({200, 32}));
    // 0 for the pill: as wide as its content size says.
    struct Row {
        const char* name;
        std::function<void()> go;
        int bodyWidth;  // opaque pixels across a row below the flares
        int height;     // opaque rows in the middle column
    } rows[] = {
        {"closed", [] {}, 200, 32},
        {"closed while hovered: 14 wider, 6 higher", [&] { model->send(NotchEvent::hoverBegan()); }, 214, 38},
        {"a volume pill", [&] { model->send(NotchEvent::activityArrived(volumePill())); }, 0, 32},
        {"the open Desk", [&] { model->send(NotchEvent::click()); }, 572, 208},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        build(handlerGeometry({200, 32}));
        row.go();
        settle();
        const QImage image = render();
        const auto opaque = [](QRgb p) { return qAlpha(p) > 128; };
        const int body = row.bodyWidth ? row.bodyWidth : int(model->contentSize(model->state()).width);
        EXPECT_EQ(countIn(image, 10, 0, image.width(), opaque), body);
        int height = 0;
        for (int y = 0; y < image.height(); ++y)
            height += opaque(image.pixel(image.width() / 2, y)) ? 1 : 0;
        EXPECT_EQ(height, row.height);
        EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0) << "the canvas margin stays transparent";
    }

    build(handlerGeometry({200, 32}));
    model->send(NotchEvent::toggleHidden());
    settle();
    const QImage hidden = render();
    EXPECT_EQ(countIn(hidden, 0, 0, hidden.width(), [](QRgb p) { return qAlpha(p) != 0; }), 0);
    EXPECT_TRUE(view->hitOutline().isEmpty()) << "nothing takes clicks";
}

// Widgets switched on or off while the Desk is open: the surface, and the
// Desk in it, follow the new row instead of staying at the old width.
TEST_F(NotchRootViewQtTest, TheOpenSurfaceFollowsTheDeskRow)
{
    build(handlerGeometry({200, 32}));
    model->send(NotchEvent::click());
    settle();
    ASSERT_EQ(model->contentSize(model->state()).width, 572);
    // The top flares reach past the content on both sides.
    const double flares = view->surfaceRect().width - 572;

    for (const double rowWidth : {900.0, 700.0}) {
        SCOPED_TRACE(rowWidth);
        ZeriRuvuzi row;
        row.placements = {{WidgetID::todos, 4, rowWidth - 40, 20}};
        row.totalWidth = rowWidth;
        model->setLayout(row);
        settle();
        ASSERT_EQ(model->contentSize(model->state()).width, rowWidth);
        EXPECT_EQ(view->surfaceRect().width, rowWidth + flares);
    }
}

// Opening the Desk rounds the bottom corners from 14 to 34 and drops the
// padding from the setting + 6 to 6; the padding setting itself applies at
// once.
TEST_F(NotchRootViewQtTest, CornersAndPaddingFollowTheState)
{
    EXPECT_EQ(view->surface().bottomRadius, 14);
    EXPECT_EQ(view->surface().horizontalPadding, 18);
    model->send(NotchEvent::click());
    scheduler.advance(100ms);
    EXPECT_GT(view->surface().bottomRadius, 14);
    EXPECT_LT(view->surface().bottomRadius, 34) << "on the way";
    settle();
    EXPECT_EQ(view->surface().bottomRadius, 34);
    EXPECT_EQ(view->surface().horizontalPadding, 6);
    EXPECT_EQ(view->contentRect().width, view->surfaceRect().width - 12);

    model->send(NotchEvent::forceClose());
    model->send(NotchEvent::activityArrived(volumePill()));
    settle();
    const double width = view->surface().width;
    settings.setContentPadding(20);
    EXPECT_EQ(view->surface().horizontalPadding, 26) << "a setting is no state change: no animation";
    EXPECT_EQ(view->surface().width, width + 16);
}

// Pixel checks without text: the fill of the 92-point track for a level
// below, inside and above the range.
TEST_F(NotchRootViewQtTest, TheBarFillsItsShareOfNinetyTwoPoints)
{
    build(handlerGeometry({200, 32}));
    struct Row {
        double level;
        int fill;
    } rows[] = {{-1, 0}, {0.5, 46}, {2, 92}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        model->send(NotchEvent::activityArrived(payload(ActivityKind::sound, ActivityPriority::interrupt,
                                                        ActivityGlyph::none(), std::nullopt, std::nullopt,
                                                        ActivityTrailing::bar(row.level))));
        settle();
        const QImage image = render();
        const Rect content = view->contentRect();
        ASSERT_EQ(content.maxX(), 428) << "wings of 102 around the 200-point notch";
        const int left = int(content.maxX()) - 92;
        for (int y : {15, 16}) {
            EXPECT_NEAR(countIn(image, y, left - 4, int(content.maxX()) + 4, lit), row.fill, 1) << "row " << y;
            const auto track = [](QRgb p) { return !lit(p) && qRed(p) > 20; };
            EXPECT_NEAR(countIn(image, y, left - 4, int(content.maxX()) + 4, track), 92 - row.fill, 1)
                << "the track shows where the fill does not";
        }
    }
}

// The ring starts at 12 o'clock and runs clockwise; it has no track.
TEST_F(NotchRootViewQtTest, TheProgressRingRunsClockwiseFromTwelve)
{
    build(handlerGeometry({200, 32}));
    struct Row {
        double fraction;
        std::vector<double> litAt;  // degrees clockwise from 12 o'clock
        std::vector<double> darkAt;
    } rows[] = {
        {0.25, {10, 45, 80}, {125, 180, 270, 330}},
        {0.75, {10, 90, 180, 255}, {305, 330}},
        {0, {}, {0, 90, 180, 270}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fraction);
        model->send(NotchEvent::activityArrived(payload(ActivityKind::download, ActivityPriority::queued,
                                                        ActivityGlyph::progressRing(row.fraction), std::nullopt,
                                                        std::nullopt, ActivityTrailing::none())));
        settle();
        const QImage image = render();
        // The 16-point frame at the left wing's leading edge, centred.
        const Rect content = view->contentRect();
        const QPointF centre(content.x + 8, content.midY());
        const auto onRing = [&](double degrees) {
            const double radians = degrees * std::numbers::pi / 180;
            return at(image, centre.x() + 8 * std::sin(radians), centre.y() - 8 * std::cos(radians));
        };
        for (double degrees : row.litAt)
            EXPECT_TRUE(lit(onRing(degrees))) << degrees << "°";
        for (double degrees : row.darkAt)
            EXPECT_TRUE(opaqueBlack(onRing(degrees))) << degrees << "°";
    }
}

// Only the outline takes the pointer: a click inside it (the flares at the
// top included) is the model's click, one in the canvas margin or beside a
// rounded corner is nobody's.
TEST_F(NotchRootViewQtTest, ClicksCountInsideTheOutlineOnly)
{
    struct Row {
        const char* name;
        QPoint point;
        bool clicks;
    } rows[] = {
        {"the middle of the notch", {112, 16}, true},
        {"inside the top flare", {11, 1}, true},
        {"the canvas margin beside the surface", {3, 16}, false},
        {"the canvas margin below the surface", {112, 35}, false},
        {"beside the rounded bottom corner", {14, 31}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        build(handlerGeometry({200, 32}));
        view->show();
        ASSERT_EQ(view->size(), QSize(224, 38));
        QTest::mouseClick(view.get(), Qt::LeftButton, {}, row.point);
        EXPECT_EQ(model->state().isOpen(), row.clicks);
        view->hide();
    }

    // A right click is no tap, and a press that leaves the outline before
    // it is released is none either.
    build(handlerGeometry({200, 32}));
    view->show();
    QTest::mouseClick(view.get(), Qt::RightButton, {}, {112, 16});
    EXPECT_EQ(model->state().kind(), NotchState::Kind::closed);
    QTest::mousePress(view.get(), Qt::LeftButton, {}, {112, 16});
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, {2, 16});
    EXPECT_EQ(model->state().kind(), NotchState::Kind::closed);
}

TEST_F(NotchRootViewQtTest, HoverBeginsAndEndsAtTheOutline)
{
    build(handlerGeometry({200, 32}));
    view->show();
    std::vector<bool> hovering;
    QObject::connect(model.get(), &NotchViewModel::isHoveringChanged, [&] { hovering.push_back(model->isHovering()); });
    QTest::mouseMove(view.get(), {3, 16}); // the margin
    EXPECT_TRUE(hovering.empty());
    QTest::mouseMove(view.get(), {112, 16});
    QTest::mouseMove(view.get(), {120, 20});
    EXPECT_EQ(hovering, (std::vector<bool>{true}));
    settle();
    // The hovered notch is 6 higher: its new bottom edge is still inside.
    QTest::mouseMove(view.get(), {112, 35});
    EXPECT_EQ(hovering, (std::vector<bool>{true}));
    QTest::mouseMove(view.get(), {2, 30});
    EXPECT_EQ(hovering, (std::vector<bool>{true, false}));
}

// State changes animate: leaving content fades while the new content grows
// in from 96 %, both on the model's spring, and a change that interrupts
// another bends from where the surface is, not from where it was going.
TEST_F(NotchRootViewQtTest, ContentCrossFadesAndInterruptedMotionContinues)
{
    show(NotchState::activity(volumePill()));
    model->send(NotchEvent::hoverBegan()); // quick peek: the expanded pill
    ASSERT_EQ(model->state().kind(), NotchState::Kind::activityExpanded);
    scheduler.advance(60ms);
    const auto midway = view->shownContent();
    ASSERT_EQ(midway.size(), 2u);
    EXPECT_EQ(midway[0].kind, Content::pill);
    EXPECT_TRUE(midway[0].leaving);
    EXPECT_GT(midway[0].presence, 0);
    EXPECT_LT(midway[0].presence, 1);
    EXPECT_EQ(midway[1].kind, Content::expandedPill);
    EXPECT_GT(midway[1].presence, 0);
    EXPECT_LT(midway[1].presence, 1);
    EXPECT_GT(view->surface().height, 32);
    EXPECT_LT(view->surface().height, 48);
    settle();
    ASSERT_EQ(view->shownContent().size(), 1u);
    EXPECT_EQ(view->shownContent()[0].kind, Content::expandedPill);
    EXPECT_EQ(view->shownContent()[0].presence, 1);

    // Opening, then closing 117 ms in: no jump, and the opening's momentum
    // carries the corners a little further before they turn back.
    model->send(NotchEvent::forceClose());
    settle();
    model->send(NotchEvent::click());
    scheduler.advance(7 * SpringAnimator::kFrameInterval); // on a frame
    const double before = view->surface().bottomRadius;
    ASSERT_GT(before, 16);
    ASSERT_LT(before, 33);
    model->send(NotchEvent::forceClose());
    EXPECT_EQ(view->surface().bottomRadius, before);
    scheduler.advance(SpringAnimator::kFrameInterval);
    const double after = view->surface().bottomRadius;
    EXPECT_GE(after, before);
    EXPECT_LT(after - before, 3);
    settle();
    EXPECT_EQ(view->surface().bottomRadius, 14);
}

TEST_F(NotchRootViewQtTest, ReducedMotionChangesOnAShortEase)
{
    reduceMotion.setReduceMotion(true);
    model->send(NotchEvent::click());
    // The first frame is drawn at once, so the sixth frame comes on the fifth tick.
    scheduler.advance(5 * SpringAnimator::kFrameInterval);
    EXPECT_NEAR(view->surface().bottomRadius, 24, 0.1) << "half-way at half of 0.2 s";
    scheduler.advance(100ms + SpringAnimator::kFrameInterval);
    EXPECT_EQ(view->surface().bottomRadius, 34);
    EXPECT_FALSE(view->isAnimating());
}

// A waveform costs a repaint every frame, so it ticks only where someone
// sees it move: shown, playing (always, in the ambient view) and without
// reduced motion.
TEST_F(NotchRootViewQtTest, WaveformsMoveOnlyWhileSeenAndPlaying)
{
    struct Row {
        const char* name;
        ActivityPayload payload;
        bool reduce;
        bool moving;
    } rows[] = {
        {"ambient media playing", mediaPill(ActivityPriority::ambient, true), false, true},
        {"ambient media paused still moves", mediaPill(ActivityPriority::ambient, false), false, true},
        {"a playing pill", mediaPill(ActivityPriority::queued, true), false, true},
        {"a paused pill rests", mediaPill(ActivityPriority::queued, false), false, false},
        {"reduced motion stills it", mediaPill(ActivityPriority::ambient, true), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reduceMotion.setReduceMotion(row.reduce);
        build(handlerGeometry());
        view->show();
        model->send(NotchEvent::activityArrived(row.payload));
        settle();
        EXPECT_EQ(view->hasMovingWaveform(), row.moving);
    }

    reduceMotion.setReduceMotion(false);
    build(handlerGeometry());
    model->send(NotchEvent::activityArrived(mediaPill(ActivityPriority::ambient)));
    settle();
    EXPECT_FALSE(view->hasMovingWaveform()) << "not on screen yet";
    view->show();
    EXPECT_TRUE(view->hasMovingWaveform());
    view->hide();
    EXPECT_FALSE(view->hasMovingWaveform());
    view->show();
    model->send(NotchEvent::toggleHidden());
    settle();
    EXPECT_FALSE(view->hasMovingWaveform()) << "a hidden notch shows nothing";
}

// The ambient item: its cover is decoded once per change of the artwork,
// whatever the number of paints or of updates carrying the same bytes; a
// symbol instead of artwork shows the placeholder square; hovering grows
// the notch and shows the title row.
TEST_F(NotchRootViewQtTest, AmbientMediaDecodesItsCoverOncePerChange)
{
    settings.setQuickPeekEnabled(false);
    settings.setInteractiveActivities(false);
    show(NotchState::activity(mediaPill(ActivityPriority::ambient)));
    EXPECT_EQ(cache.decodeCount(), 1u);
    for (int paint = 0; paint < 5; ++paint)
        render();
    const std::uint64_t hashed = ArtworkCache::bytesHashed();
    show(NotchState::activity(mediaPill(ActivityPriority::ambient))); // a new payload, the same buffer
    EXPECT_EQ(cache.decodeCount(), 1u);
    EXPECT_EQ(ArtworkCache::bytesHashed(), hashed);

    // The 26-point square against the notch's left edge, centred.
    const Rect content = view->contentRect();
    const QPointF artwork(content.midX() - model->geometry().notchSize.width / 2 - 13, content.midY());
    QImage image = render();
    EXPECT_TRUE(lit(at(image, artwork.x() + 4, artwork.y()))) << "the cover's light disc";

    QImage other(300, 300, QImage::Format_RGB32);
    other.fill(QColor(20, 120, 60));
    show(NotchState::activity(payload(ActivityKind::nowPlaying, ActivityPriority::ambient,
                                      ActivityGlyph::artwork(Data(fixtures::encoded(other, "png"))), "B", "C",
                                      ActivityTrailing::waveform(true))));
    EXPECT_EQ(cache.decodeCount(), 2u);
    image = render();
    EXPECT_EQ(QColor(at(image, artwork.x() + 4, artwork.y())).green(), 120) << "the new cover";

    // Bytes that are no image: the placeholder, not the last track's cover.
    show(NotchState::activity(payload(ActivityKind::nowPlaying, ActivityPriority::ambient,
                                      ActivityGlyph::artwork(Data(std::string("<html>no cover</html>"))), "B", "C",
                                      ActivityTrailing::waveform(true))));
    image = render();
    EXPECT_EQ(QColor(at(image, artwork.x() - 10, artwork.y() - 10)), toQColor(Vude::Ink::x800))
        << "the placeholder for junk";
    EXPECT_EQ(cache.count(), 2u) << "the junk added nothing";

    show(NotchState::activity(payload(ActivityKind::nowPlaying, ActivityPriority::ambient,
                                      ActivityGlyph::symbol("music.note"), "B", "C",
                                      ActivityTrailing::waveform(true))));
    image = render();
    EXPECT_EQ(QColor(at(image, artwork.x() - 10, artwork.y() - 10)), toQColor(Vude::Ink::x800)) << "the placeholder";

    const double resting = view->surface().height;
    model->send(NotchEvent::hoverBegan());
    settle();
    EXPECT_EQ(view->surface().height, resting + 24);
    ASSERT_EQ(view->shownContent().size(), 1u);
    EXPECT_EQ(view->shownContent()[0].kind, Content::ambientMedia) << "hovering does not swap the view";
    image = render();
    const Rect hovered = view->contentRect();
    int text = 0;
    for (int y = int(artwork.y()) + 16; y < int(hovered.maxY()); ++y)
        text += countIn(image, y, int(hovered.x), int(hovered.maxX()), lit);
    EXPECT_GT(text, 100) << "the title row below the artwork";
}

// A compact now-playing pill with a subtitle shows only its 22-point cover
// and the waveform; expanded, the title and artist join the cover.
TEST_F(NotchRootViewQtTest, ACompactPillWithASubtitleShowsNoText)
{
    build(handlerGeometry({200, 32}));
    show(NotchState::activity(mediaPill()));
    QImage image = render();
    Rect content = view->contentRect();
    const int textLeft = int(content.x + 22 + 9);
    const int cutoutLeft = int(content.midX() - 100);
    int light = 0;
    for (int y = 0; y < image.height(); ++y)
        light += countIn(image, y, textLeft, cutoutLeft, lit);
    EXPECT_EQ(light, 0);
    EXPECT_TRUE(lit(at(image, content.x + 11 + 4, content.midY()))) << "the cover's disc";

    show(NotchState::activityExpanded(mediaPill()));
    image = render();
    content = view->contentRect();
    light = 0;
    for (int y = 0; y < image.height(); ++y)
        light += countIn(image, y, int(content.x + 34 + 9), int(content.midX() - 100), lit);
    EXPECT_GT(light, 100) << "two lines of text";
}


// A frame of the waveform's motion repaints its row, not the whole notch:
// every pixel that moved between two frames lies in the update rectangle,
// and that rectangle is all the paint event asks for.
TEST_F(NotchRootViewQtTest, AWaveformFrameRepaintsOnlyTheWaveform)
{
    struct Row {
        const char* name;
        ActivityPayload payload;
        bool hovering;
    } rows[] = {
        {"ambient media", mediaPill(ActivityPriority::ambient), false},
        {"ambient media with its labels", mediaPill(ActivityPriority::ambient), true},
        {"a playing pill", mediaPill(ActivityPriority::queued), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        build(handlerGeometry());
        view->show();
        model->send(NotchEvent::activityArrived(row.payload));
        if (row.hovering)
            model->send(NotchEvent::hoverBegan());
        settle();
        ASSERT_TRUE(view->hasMovingWaveform());
        const QRect area = view->waveformUpdateRect();
        ASSERT_FALSE(area.isEmpty());
        EXPECT_LT(area.width() * area.height(), view->width() * view->height() / 10);

        std::vector<QRegion> painted;
        PaintRecorder recorder(*view, painted);
        QCoreApplication::processEvents();
        const QImage before = render();
        painted.clear();
        scheduler.advance(SpringAnimator::kFrameInterval);
        QCoreApplication::processEvents();
        const QImage after = render();

        ASSERT_FALSE(painted.empty()) << "the frame was painted";
        EXPECT_EQ(painted.front(), QRegion(area));
        int moved = 0;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x)
                if (before.pixel(x, y) != after.pixel(x, y)) {
                    ++moved;
                    EXPECT_TRUE(area.contains(x, y)) << x << "," << y << " changed outside " << area.x() << ","
                                                     << area.y() << " " << area.width() << "x" << area.height();
                }
        EXPECT_GT(moved, 0) << "the bars moved";
    }
}

// The resting outline is filled and stroked once per shape and device pixel
// ratio and reused by every frame after; its pixels are the ones a direct
// drawing makes, the contrast line 1 logical pixel wide at every ratio.
TEST_F(NotchRootViewQtTest, TheRestingOutlineIsDrawnOnceAndMatchesADirectDrawing)
{
    const auto direct = [&](double scale) {
        QImage image(QSize(int(view->width() * scale), int(view->height() * scale)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const Rect bounds = view->surfaceRect();
        const QPainterPath outline =
            toQPainterPath(NotchShape(NotchSurfaceLayout::topRadius, view->surface().bottomRadius).path(bounds));
        painter.fillPath(outline, toQColor(Vude::Ink::x1000));
        painter.strokePath(outline, QPen(toQColor(Vude::contrastOutline), 1));
        painter.end();
        return image;
    };
    const auto sameAs = [](const QImage& got, const QImage& expected) {
        if (got.size() != expected.size())
            return ::testing::AssertionFailure() << "sizes differ";
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x)
                if (got.pixel(x, y) != expected.pixel(x, y))
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
        return ::testing::AssertionSuccess();
    };

    ASSERT_TRUE(settings.contrastOutline());
    model->send(NotchEvent::hoverBegan()); // the bare surface, grown: no content over it
    settle();
    const int first = view->outlineRenderCount();
    for (double scale : {1.0, 2.0, 1.25, 3.0}) {
        SCOPED_TRACE(scale);
        const int before = view->outlineRenderCount();
        EXPECT_TRUE(sameAs(render(scale), direct(scale)));
        EXPECT_EQ(view->outlineRenderCount(), before + 1) << "a new ratio draws it anew";
        for (int frame = 0; frame < 3; ++frame)
            render(scale);
        EXPECT_EQ(view->outlineRenderCount(), before + 1) << "later frames reuse it";
    }
    EXPECT_GT(view->outlineRenderCount(), first);

    // Another size draws it anew, and once only.
    const int resting = view->outlineRenderCount();
    model->send(NotchEvent::hoverEnded());
    settle();
    render(2);
    const int afterResize = view->outlineRenderCount();
    EXPECT_GT(afterResize, resting);
    render(2);
    EXPECT_EQ(view->outlineRenderCount(), afterResize);
    EXPECT_TRUE(sameAs(render(2), direct(2)));

    // Without the contrast outline, the fill alone.
    settings.setContrastOutline(false);
    const QImage plain = render(2);
    EXPECT_EQ(view->outlineRenderCount(), afterResize + 1);
    const Rect bounds = view->surfaceRect();
    const QRgb bottomEdge = plain.pixel(int(std::floor((bounds.x + bounds.width / 2) * 2)),
                                        int(std::floor((bounds.y + bounds.height) * 2)) - 1);
    EXPECT_TRUE(opaqueBlack(bottomEdge));
}

// A new pill shows on the very next frame: the first frame of the surface's
// spring and the content's fade is painted when the event arrives, before
// any tick of the scheduler, one frame into the motion; the motion then
// follows its curve as before.
TEST_F(NotchRootViewQtTest, TheFirstFrameOfAChangeIsDrawnBeforeAnyTick)
{
    view->show();
    settle();
    const NotchSurfaceLayout::Target closed = view->surface();
    const std::size_t pending = scheduler.pendingCount();

    model->send(NotchEvent::activityArrived(volumePill(1)));
    ASSERT_EQ(model->state().kind(), NotchState::Kind::activity);
    const auto shown = view->shownContent();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GT(shown[0].presence, 0) << "the fade starts visible";
    EXPECT_LT(shown[0].presence, 1);
    EXPECT_GT(view->surface().width, closed.width) << "the surface has begun to grow";
    EXPECT_GT(scheduler.pendingCount(), pending) << "and the following frames are ticks";

    // Inside the surface, clear of its contrast line, anything but black is
    // the pill fading in.
    const QImage first = render();
    const Rect content = view->contentRect();
    int lit = 0;
    for (int y = int(content.y) + 2; y < int(content.y + content.height) - 3; ++y)
        lit += countIn(first, y, int(content.x) + 2, int(content.x + content.width) - 2, [](QRgb pixel) {
            return qAlpha(pixel) == 255 && std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 2;
        });
    EXPECT_GT(lit, 0) << "pill pixels in the first frame, presence " << shown[0].presence;

    // The next tick continues on the curve, the one after that further.
    const double once = view->shownContent()[0].presence;
    scheduler.advance(SpringAnimator::kFrameInterval);
    EXPECT_GT(view->shownContent()[0].presence, once);
    settle();
    EXPECT_EQ(view->shownContent()[0].presence, 1);
}

} // namespace
