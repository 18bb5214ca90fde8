#include "Vude/NotchRootView.h"

#include "Vude/ActivityPillView.h"
#include "Vude/AmbientMediaView.h"
#include "Vude/ArtworkCache.h"
#include "Vude/NotchPanel.h"
#include "Vude/NotchViewModel.h"
#include "Vude/WaveformView.h"

#include "VudeUI/qt/QtTextMeasurer.h"
#include "VudeUI/qt/QtTokens.h"

#include "ImageFixtures.h"
#include "TestSupport.h"

#include <QDir>
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

    model->send(NotchEvent::dragExited());
    show(NotchState::open(RiziDar::ravo));
    saveScreenshot("open-empty-desk-slot");
}

} // namespace
