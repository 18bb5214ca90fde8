#include "VudeServices/BrightnessService.h"
#include "VudeServices/KeyboardBacklightService.h"

#include "FakeSysfs.h"
#include "Platform/Display/FakeBacklight.h"
#include "Platform/Display/SysfsBacklight.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

inline void PrintTo(const BrightnessState& state, std::ostream* out)
{
    *out << "{" << state.level << ", " << (state.isAvailable ? "available" : "unavailable") << ", "
         << rawValue(state.source) << "}";
}

namespace {

using testsupport::FakeSysfs;
using testsupport::waitUntil;
using Source = BrightnessState::Source;

constexpr std::uint32_t kDisplay = 1;

// Counts reads, so a test knows when a poll has run without waiting for a
// value that must not come.
class CountingBacklight final : public Backlight {
public:
    explicit CountingBacklight(std::unique_ptr<Backlight> inner) : m_inner(std::move(inner)) {}
    bool isAvailable() const override { return m_inner->isAvailable(); }
    std::optional<double> level() const override
    {
        auto result = m_inner->level();
        ++reads;
        return result;
    }
    bool setLevel(double level) override { return m_inner->setLevel(level); }
    std::string description() const override { return m_inner->description(); }

    mutable std::atomic<int> reads = 0;

private:
    std::unique_ptr<Backlight> m_inner;
};

class BacklightServicesTest : public testing::Test {
protected:
    std::unique_ptr<Backlight> sysfs(SysfsBacklight::Kind kind)
    {
        return std::make_unique<SysfsBacklight>(kind, sys.root(), nullptr);
    }

    void makeBrightness(std::unique_ptr<Backlight> inner)
    {
        auto counting = std::make_unique<CountingBacklight>(std::move(inner));
        counter = counting.get();
        brightness = std::make_unique<BrightnessService>(std::move(counting), scheduler);
        brightness->states().consume(&receiver, [this](const BrightnessState& state) { states.push_back(state); });
    }

    void makeKeyboard(std::unique_ptr<Backlight> inner)
    {
        auto counting = std::make_unique<CountingBacklight>(std::move(inner));
        counter = counting.get();
        keyboard = std::make_unique<KeyboardBacklightService>(std::move(counting), scheduler);
        keyboard->levels().consume(&receiver, [this](double level) { levels.push_back(level); });
    }

    /// Lets one poll interval pass and waits until its read has run.
    void pollOnce()
    {
        const int before = counter->reads;
        scheduler.advance(BacklightPoll::kInterval);
        ASSERT_TRUE(waitUntil([&] { return counter->reads > before; }));
    }

    FakeSysfs sys;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    QObject receiver;
    CountingBacklight* counter = nullptr;
    std::unique_ptr<BrightnessService> brightness;
    std::unique_ptr<KeyboardBacklightService> keyboard;
    std::vector<BrightnessState> states;
    std::vector<double> levels;
};

TEST_F(BacklightServicesTest, PublishesOnlyChangesAboveTheThresholdAndNothingAtStart)
{
    const auto panel = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    makeBrightness(sysfs(SysfsBacklight::Kind::display));
    EXPECT_EQ(brightness->source(), Source::displayServices);
    EXPECT_EQ(brightness->currentState(), (BrightnessState{0.5, true, Source::displayServices}));

    brightness->start();
    pollOnce();
    FakeSysfs::setBrightness(panel, 48384); // 0.504: a change of exactly 0.004
    pollOnce();
    FakeSysfs::setBrightness(panel, 50400); // 0.525
    pollOnce();
    FakeSysfs::setBrightness(panel, 50600); // within 0.004 of the last published level
    pollOnce();
    FakeSysfs::setBrightness(panel, 50016); // 0.521: compared with 0.525, not 0.527
    pollOnce();
    FakeSysfs::setBrightness(panel, 9600);
    pollOnce();
    ASSERT_TRUE(waitUntil([&] { return states.size() >= 2; }));

    EXPECT_EQ(states, (std::vector<BrightnessState>{{0.525, true, Source::displayServices},
                                                    {0.1, true, Source::displayServices}}));
}

TEST_F(BacklightServicesTest, NeverPublishesAnInvalidLevel)
{
    const auto panel = sys.addBacklight("intel_backlight", "raw", 50, 100);
    makeBrightness(sysfs(SysfsBacklight::Kind::display));
    brightness->start();
    for (const char* text : {"120\n", "", "x\n"}) {
        FakeSysfs::write(panel / "brightness", text);
        pollOnce();
        EXPECT_EQ(brightness->read(kDisplay), std::nullopt) << text;
        EXPECT_EQ(brightness->currentState(), BrightnessState{}) << text;
    }
    FakeSysfs::setBrightness(panel, 70);
    pollOnce();
    ASSERT_TRUE(waitUntil([&] { return !states.empty(); }));
    EXPECT_EQ(states, (std::vector<BrightnessState>{{0.7, true, Source::displayServices}}));
}

TEST_F(BacklightServicesTest, BindsOnlyToAValidFirstLevel)
{
    struct Row {
        const char* why;
        const char* brightness; // nullptr: no device
        Source source;
    };
    const Row rows[] = {
        {"half", "48000\n", Source::displayServices},
        {"full", "96000\n", Source::displayServices},
        {"off", "0\n", Source::displayServices},
        {"above the top", "115200\n", Source::unavailable},
        {"unreadable", "?\n", Source::unavailable},
        {"no device", nullptr, Source::unavailable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        FakeSysfs fresh;
        if (row.brightness) {
            const auto panel = fresh.addBacklight("acpi_video0", "firmware", 0, 96000);
            FakeSysfs::write(panel / "brightness", row.brightness);
        }
        ManualScheduler rowScheduler{clock};
        BrightnessService service(std::make_unique<SysfsBacklight>(SysfsBacklight::Kind::display, fresh.root(), nullptr),
                                  rowScheduler);
        EXPECT_EQ(service.source(), row.source);
        EXPECT_EQ(service.isAvailable(), row.source != Source::unavailable);
        service.start();
        EXPECT_EQ(rowScheduler.pendingCount(), row.source == Source::unavailable ? 0u : 1u) << "the poll timer";
    }
}

TEST_F(BacklightServicesTest, SetClampsToTheDevicesRange)
{
    const auto panel = sys.addBacklight("intel_backlight", "raw", 48000, 96000);
    makeBrightness(sysfs(SysfsBacklight::Kind::display));
    struct Row {
        double level;
        const char* written;
    };
    const Row rows[] = {
        {1.7, "96000"},
        {-0.3, "0"},
        {0.525, "50400"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {std::numeric_limits<double>::infinity(), "96000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        FakeSysfs::setBrightness(panel, 48000);
        EXPECT_TRUE(brightness->set(row.level, kDisplay));
        EXPECT_EQ(FakeSysfs::brightness(panel), row.written);
    }

    FakeSysfs::setBrightness(panel, 48000);
    FakeSysfs::makeReadOnly(panel);
    EXPECT_FALSE(brightness->set(0.9, kDisplay)) << "no logind and no writable file";
    EXPECT_EQ(FakeSysfs::brightness(panel), "48000");
}

TEST_F(BacklightServicesTest, AFewStepKeyboardMovesOneStepPerKeyPress)
{
    const auto led = sys.addLed("tpacpi::kbd_backlight", 0, 3);
    makeKeyboard(sysfs(SysfsBacklight::Kind::keyboard));
    ASSERT_TRUE(keyboard->isAvailable());
    const double step = 1.0 / 16;

    // What the illumination keys do: read, add a step, set.
    EXPECT_TRUE(keyboard->set(*keyboard->read() + step));
    EXPECT_EQ(FakeSysfs::brightness(led), "1");
    EXPECT_TRUE(keyboard->set(*keyboard->read() + step));
    EXPECT_EQ(FakeSysfs::brightness(led), "2");
    EXPECT_TRUE(keyboard->set(*keyboard->read() - step));
    EXPECT_EQ(FakeSysfs::brightness(led), "1");

    keyboard->start();
    FakeSysfs::setBrightness(led, 3);
    pollOnce();
    ASSERT_TRUE(waitUntil([&] { return !levels.empty(); }));
    EXPECT_EQ(levels, std::vector<double>{1.0}) << "the keyboard publishes bare levels";
}

TEST_F(BacklightServicesTest, WithoutDevicesBothServicesAreUnavailableAndNoTimerRuns)
{
    BrightnessService display(sysfs(SysfsBacklight::Kind::display), scheduler);
    KeyboardBacklightService keys(sysfs(SysfsBacklight::Kind::keyboard), scheduler);
    display.start();
    keys.start();
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    EXPECT_EQ(display.source(), Source::unavailable);
    EXPECT_FALSE(display.isAvailable());
    EXPECT_EQ(display.read(kDisplay), std::nullopt);
    EXPECT_FALSE(display.set(0.5, kDisplay));
    EXPECT_EQ(display.currentState(), BrightnessState{});
    EXPECT_EQ(display.backendDescription(), "none");

    EXPECT_FALSE(keys.isAvailable());
    EXPECT_EQ(keys.read(), std::nullopt);
    EXPECT_FALSE(keys.set(0.5));
}

TEST_F(BacklightServicesTest, ALevelUnreadableAtStartMakesTheFirstValidReadAChange)
{
    auto fake = std::make_unique<FakeBacklight>(0.3);
    FakeBacklight* backlight = fake.get();
    makeKeyboard(std::move(fake));
    ASSERT_TRUE(keyboard->isAvailable());

    backlight->changeLevel(std::nullopt);
    keyboard->start();
    pollOnce();
    backlight->changeLevel(0.3); // the same level as at binding, yet new to the poll
    pollOnce();
    ASSERT_TRUE(waitUntil([&] { return !levels.empty(); }));
    EXPECT_EQ(levels, std::vector<double>{0.3});
}

TEST_F(BacklightServicesTest, StopEndsThePollAndStartResumesIt)
{
    auto fake = std::make_unique<FakeBacklight>(0.5);
    FakeBacklight* backlight = fake.get();
    makeBrightness(std::move(fake));
    brightness->start();
    brightness->stop();
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    brightness->start();
    brightness->start(); // starting again replaces the timer
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    backlight->changeLevel(0.8);
    pollOnce();
    ASSERT_TRUE(waitUntil([&] { return !states.empty(); }));
    EXPECT_EQ(states, (std::vector<BrightnessState>{{0.8, true, Source::displayServices}}));
}

} // namespace
