#include "NotchViewModelRig.h"

#include "VudeServices/PipelineRegistry.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace notchtest;
using Log = std::vector<std::string>;

TEST(NotchViewModelTest, PublishedFieldsAnnounceOnlyRealChanges)
{
    Rig rig(false);
    NotchViewModel& model = *rig.model;
    QSignalSpy geometry(&model, &NotchViewModel::geometryChanged);
    QSignalSpy tray(&model, &NotchViewModel::trayItemsChanged);
    QSignalSpy layout(&model, &NotchViewModel::layoutChanged);
    QSignalSpy lane(&model, &NotchViewModel::hoveredLaneChanged);
    QSignalSpy nowPlaying(&model, &NotchViewModel::nowPlayingChanged);
    QSignalSpy weather(&model, &NotchViewModel::weatherProviderChanged);

    model.setGeometry(screenGeometry());
    NotchGeometry moved = screenGeometry();
    moved.notchOrigin.x += 1;
    model.setGeometry(moved);
    model.setGeometry(moved);
    EXPECT_EQ(geometry.count(), 1);

    const NotchTrayItem item{Uuid::random(), "a.png", "/in/a.png"};
    model.setTrayItems({item});
    model.setTrayItems({item});
    model.setTrayItems({});
    EXPECT_EQ(tray.count(), 2);

    ZeriRuvuzi row;
    row.totalWidth = 300;
    model.setLayout(row);
    model.setLayout(row);
    EXPECT_EQ(layout.count(), 1);

    model.setHoveredLane(std::nullopt);
    model.setHoveredLane(0);
    model.setHoveredLane(0);
    EXPECT_EQ(lane.count(), 1);

    NowPlayingState playing;
    playing.title = "Song";
    playing.artwork = ArtworkBytes({1, 2, 3});
    model.setNowPlaying(playing);
    playing.artwork = ArtworkBytes({1, 2, 4}); // one byte of artwork differs
    model.setNowPlaying(playing);
    model.setNowPlaying(playing);
    EXPECT_EQ(nowPlaying.count(), 2);

    model.setWeatherProvider(nullptr);
    EXPECT_EQ(weather.count(), 0);
}

TEST(NotchViewModelTest, ScrollsBecomeSwipesUnderTheUsersSettings)
{
    struct Row {
        const char* name;
        bool gestures;
        bool natural;
        bool invert;
        std::vector<std::pair<double, double>> deltas; // 25 ms apart
        NotchState expected;
        Log log;
    } rows[] = {
        {"downward swipe opens", true, false, false, {{0, 5}, {0, 5}, {0, 5}, {0, 5}}, NotchState::open(RiziDar::ravo),
         {"open ravo", "haptic"}},
        {"natural scrolling makes it an upward swipe", true, true, false, {{0, 5}, {0, 5}, {0, 5}, {0, 5}},
         NotchState::hidden(), {}},
        {"too short", true, false, false, {{0, 5}, {0, 5}, {0, 5}}, NotchState::closed(), {}},
        {"gestures off", false, false, false, {{0, 5}, {0, 5}, {0, 5}, {0, 5}}, NotchState::closed(), {}},
        {"leftward swipe skips ahead", true, false, false, {{-20, 3}}, NotchState::closed(), {"next track"}},
        {"inverted, it goes back", true, false, true, {{-20, 3}}, NotchState::closed(), {"previous track"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(false);
        rig.settings.setGesturesWhileHovering(row.gestures);
        rig.settings.setNaturalMovement(row.natural);
        rig.settings.setInvertMediaGestures(row.invert);
        rig.settings.setSwipeToToggleOpen(true);
        rig.settings.setSwipeToSkipMedia(true);
        for (const auto& [dx, dy] : row.deltas) {
            rig.clock.advance(25ms);
            rig.model->handleScroll(dx, dy, SwipePhase::changed);
        }
        EXPECT_EQ(rig.model->state(), row.expected);
        EXPECT_EQ(rig.log, row.log);
    }
}

/// Takes PNG files only, and counts how often it was asked.
class PngPipeline final : public DropPipeline {
public:
    explicit PngPipeline(PipelineID id) : m_id(id) {}
    PipelineID id() const override { return m_id; }
    std::string title() const override { return "png"; }
    std::string symbol() const override { return {}; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override
    {
        ++asked;
        return !urls.empty() && std::all_of(urls.begin(), urls.end(),
                                            [](const auto& url) { return url.extension() == ".png"; });
    }
    PipelineRunResult run(const std::vector<std::filesystem::path>&, const std::filesystem::path&,
                          const ProgressReporter&) const override
    {
        return std::vector<std::filesystem::path>();
    }

    mutable int asked = 0;

private:
    PipelineID m_id;
};

TEST(NotchViewModelTest, ADragOffersTheTraySharingAndTheAcceptingPipelinesInTheUsersOrder)
{
    Rig rig(false);
    auto compress = std::make_shared<PngPipeline>(PipelineID::compressImage);
    auto strip = std::make_shared<PngPipeline>(PipelineID::stripEXIF);
    rig.model->pipelines = std::make_shared<PipelineRegistry>(PipelineRegistry::Pipelines{compress, strip});
    rig.settings.setPipelineOrder({PipelineID::stripEXIF, PipelineID::compressImage});
    rig.model->setHoveredLane(1);

    const QList<QUrl> image{QUrl::fromLocalFile("/photos/a.png")};
    rig.model->beginDrag(image);
    EXPECT_EQ(rig.model->dragURLs(), image);
    EXPECT_EQ(rig.model->hoveredLane(), std::nullopt);
    EXPECT_EQ(rig.model->dragLanes(),
              (std::vector<DropLane>{DropLane::shelf(), DropLane::airDrop(), DropLane::pipeline(PipelineID::stripEXIF),
                                     DropLane::pipeline(PipelineID::compressImage)}));
    EXPECT_EQ(rig.model->lane(74, 300), 0) << "four lanes of 75";
    EXPECT_EQ(rig.model->lane(150, 300), 2);
    EXPECT_EQ(rig.model->lane(299, 300), 3);

    rig.model->beginDrag({QUrl::fromLocalFile("/notes/a.txt")});
    EXPECT_EQ(rig.model->dragLanes(), (std::vector<DropLane>{DropLane::shelf(), DropLane::airDrop()}));

    rig.settings.setPipelinesEnabled(false);
    compress->asked = 0;
    rig.model->beginDrag(image);
    EXPECT_EQ(rig.model->dragLanes(), (std::vector<DropLane>{DropLane::shelf(), DropLane::airDrop()}));
    EXPECT_EQ(compress->asked, 0);

    rig.settings.setPipelinesEnabled(true);
    rig.model->beginDrag({});
    EXPECT_TRUE(rig.model->dragURLs().isEmpty());
    EXPECT_TRUE(rig.model->dragLanes().empty());
    EXPECT_EQ(compress->asked, 0) << "no files, no pipeline is asked";
    EXPECT_EQ(rig.model->lane(150, 300), std::nullopt);
}

TEST(NotchViewModelTest, AddTimerStartsALabellessTimerAndRepublishes)
{
    Rig rig(false);
    rig.model->setTimers({NotchTimer{Uuid::random(), "stale", 5, {}, {}}});
    rig.model->addTimer(300);
    EXPECT_TRUE(rig.model->timers().empty()) << "without a store there are no timers";

    auto store = std::make_shared<FakeTimerStore>(rig.clock);
    rig.model->timerStore = store;
    QSignalSpy timers(rig.model.get(), &NotchViewModel::timersChanged);
    rig.model->addTimer(300);
    ASSERT_EQ(rig.model->timers().size(), 1u);
    EXPECT_EQ(rig.model->timers(), store->stored);
    EXPECT_EQ(store->stored[0].total, 300);
    EXPECT_EQ(store->stored[0].label, "");
    EXPECT_EQ(store->stored[0].startedAt, rig.clock.now());
    EXPECT_EQ(timers.count(), 1);
}

TEST(NotchViewModelTest, OpensTheMeetingLinkOrElseTheEventsCalendarFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path ics = std::filesystem::path(folder.path().toStdString()) / "standup.ics";
    std::ofstream(ics) << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
    const QUrl meeting("https://meet.example.com/abc-defg-hij");
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(ics.string()));
    const Date start = kReferenceDate + std::chrono::hours(1000);

    struct Row {
        const char* name;
        bool detect;
        std::optional<QUrl> link;
        std::optional<std::filesystem::path> icsFile;
        std::vector<QUrl> opened;
    } rows[] = {
        {"the meeting link", true, meeting, ics, {meeting}},
        {"link detection off: the event itself", false, meeting, ics, {file}},
        {"no link: the event itself", true, std::nullopt, ics, {file}},
        {"a link that is no web address", true, QUrl("file:///etc/passwd"), ics, {file}},
        {"a plain http link", true, QUrl("http://meet.example.com/x"), ics, {file}},
        {"an empty link", true, QUrl(), ics, {file}},
        {"no file and no link", true, std::nullopt, std::nullopt, {}},
        {"a file that is gone", true, std::nullopt, ics.parent_path() / "gone.ics", {}},
        {"a relative path", true, std::nullopt, std::filesystem::path("standup.ics"), {}},
        {"a folder", true, std::nullopt, ics.parent_path(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(false);
        rig.settings.setDetectMeetingLinks(row.detect);
        NotchCalendarEvent event;
        event.start = start;
        event.meetingURL = row.link;
        event.icsFile = row.icsFile;
        rig.model->openCalendarEvent(event);
        EXPECT_EQ(rig.fakes.urls.opened, row.opened);
    }
}

TEST(NotchViewModelTest, RemovesTheTrayItemsCopiedFromTheGivenFiles)
{
    Rig rig(false);
    rig.model->removeTrayItems({"/out/a.png"});
    EXPECT_TRUE(rig.model->trayItems().empty()) << "no store, nothing happens";

    auto store = std::make_shared<FakeTrayStore>();
    store->stored = {
        {Uuid::random(), "a.png", "/out/a.png"},
        {Uuid::random(), "moved.png", std::nullopt},
        {Uuid::random(), "c.pdf", "/out/c.pdf"},
        {Uuid::random(), "a copy.png", "/out/a.png"},
        {Uuid::random(), "b.png", "/elsewhere/b.png"},
    };
    rig.model->trayStore = store;
    QSignalSpy tray(rig.model.get(), &NotchViewModel::trayItemsChanged);

    rig.model->removeTrayItems({});
    EXPECT_TRUE(store->removed.empty());
    EXPECT_EQ(tray.count(), 0) << "an empty list does nothing at all";

    rig.model->removeTrayItems({"/out/a.png", "/out/./c.pdf", "/out/missing.png"});
    EXPECT_EQ(store->removed, (std::vector<std::string>{"a.png", "c.pdf", "a copy.png"}));
    EXPECT_EQ(rig.model->trayItems(), store->stored);
    ASSERT_EQ(rig.model->trayItems().size(), 2u);
    EXPECT_EQ(rig.model->trayItems()[0].displayName, "moved.png");
}

TEST(NotchViewModelTest, CalendarAccessIsAskedForOnceUndecidedElseTheSettingsOpen)
{
    Rig rig(false);
    int settingsOpened = 0;
    std::vector<std::string> trace;
    rig.model->openCalendarSettings = [&] { ++settingsOpened; };
    rig.model->trace = [&](const std::string& line) { trace.push_back(line); };

    rig.model->requestCalendarAccess();
    EXPECT_EQ(settingsOpened, 0) << "nothing without a calendar service";

    auto calendar = std::make_shared<FakeCalendarService>();
    rig.model->calendarService = calendar;
    for (NotchCalendarAccess decided : {NotchCalendarAccess::denied, NotchCalendarAccess::granted,
                                        NotchCalendarAccess::writeOnly, NotchCalendarAccess::restricted}) {
        calendar->currentAccess = decided;
        rig.model->requestCalendarAccess();
    }
    EXPECT_EQ(settingsOpened, 4);
    EXPECT_EQ(calendar->starts, 0);
    EXPECT_EQ(rig.fakes.activation.activationRequests(), 0);

    calendar->currentAccess = NotchCalendarAccess::notDetermined;
    rig.fakes.activation.setActivationPolicy(ActivationPolicy::regular);
    rig.model->requestCalendarAccess();
    EXPECT_EQ(calendar->starts, 1);
    EXPECT_EQ(rig.fakes.activation.activationRequests(), 1) << "the request comes forward";
    EXPECT_TRUE(trace.empty()) << "nothing is written before the answer";

    calendar->answer(NotchCalendarAccess::granted);
    EXPECT_EQ(trace, (std::vector<std::string>{"calendar access after request: granted error=none"}));
    EXPECT_EQ(rig.fakes.activation.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(settingsOpened, 4);
}

TEST(NotchViewModelTest, ARequestThatOutlivesTheModelStillFinishes)
{
    Rig rig(false);
    std::vector<std::string> trace;
    rig.model->trace = [&](const std::string& line) { trace.push_back(line); };
    auto calendar = std::make_shared<FakeCalendarService>();
    rig.model->calendarService = calendar;
    rig.fakes.activation.setActivationPolicy(ActivationPolicy::regular);
    rig.model->requestCalendarAccess();
    rig.model.reset();

    calendar->answer(NotchCalendarAccess::denied, "The user declined.");
    EXPECT_EQ(trace, (std::vector<std::string>{"calendar access after request: denied error=The user declined."}));
    EXPECT_EQ(rig.fakes.activation.activationPolicy(), ActivationPolicy::accessory);
}

TEST(NotchViewModelTest, TheDesksNotificationNames)
{
    EXPECT_EQ(NotchNotificationName::vudeOpenSettings, "app.ruvudav.notch.openSettings");
    EXPECT_EQ(NotchNotificationName::vudeOpenShortcuts, "app.ruvudav.notch.openShortcuts");
    EXPECT_EQ(NotchNotificationName::vudeOpenQuickApps, "app.ruvudav.notch.openQuickApps");
}

TEST(NotchViewModelTest, OnlyAnAmbientNowPlayingPillIsAmbientMedia)
{
    Rig rig(false);
    rig.settings.setQuickPeekEnabled(true);
    EXPECT_FALSE(rig.model->isAmbientMedia());
    rig.model->send(NotchEvent::activityArrived(ambientMedia()));
    EXPECT_TRUE(rig.model->isAmbientMedia());
    rig.model->send(NotchEvent::hoverBegan()); // hinted, then expanded by the machine
    EXPECT_EQ(rig.model->state().kind(), NotchState::Kind::activityExpanded);
    EXPECT_TRUE(rig.model->isHovering());
    EXPECT_FALSE(rig.model->isAmbientMedia());
    rig.model->send(NotchEvent::activityArrived(pill("Volume")));
    EXPECT_FALSE(rig.model->isAmbientMedia());
}

} // namespace
