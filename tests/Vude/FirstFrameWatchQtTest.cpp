// What start-up puts off until the first frame: it runs after a window's
// first paint, in order, and only then; without a window it still runs.
#include "TestSupport.h"
#include "Vude/App/FirstFrameWatch.h"

#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

class PaintLogging final : public QWidget {
public:
    explicit PaintLogging(std::vector<std::string>& log) : m_log(log) { resize(120, 30); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), Qt::black);
        m_log.push_back("paint");
    }

private:
    std::vector<std::string>& m_log;
};

struct FirstFrameRig {
    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::vector<std::string> log;
    std::unique_ptr<FirstFrameWatch> watch = std::make_unique<FirstFrameWatch>(scheduler);

    void addStep(std::string name)
    {
        watch->after([this, name] { log.push_back(name); });
    }
};

TEST(FirstFrameWatch, StepsRunInOrderAfterTheFirstWindowIsPainted)
{
    FirstFrameRig rig;
    rig.addStep("a");
    rig.addStep("b");
    testsupport::processEvents();
    EXPECT_TRUE(rig.log.empty()) << "no window yet";

    PaintLogging window(rig.log);
    window.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.log.size() >= 3; }));
    EXPECT_EQ(rig.log, (std::vector<std::string>{"paint", "a", "b"}));
    EXPECT_TRUE(rig.watch->hasShown());

    // Later steps are not run inside the caller, but on the loop's next round.
    rig.addStep("c");
    EXPECT_EQ(rig.log.back(), "b");
    ASSERT_TRUE(testsupport::waitUntil([&] { return rig.log.back() == "c"; }));
}

TEST(FirstFrameWatch, WithoutAWindowTheStepsRunAfterTheLongestWait)
{
    FirstFrameRig rig;
    rig.addStep("a");
    rig.scheduler.advance(FirstFrameWatch::kLongestWait - 1ms);
    testsupport::processEvents();
    EXPECT_TRUE(rig.log.empty());
    rig.scheduler.advance(1ms);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !rig.log.empty(); }));
    EXPECT_EQ(rig.log, (std::vector<std::string>{"a"}));
}

TEST(FirstFrameWatch, StepsOfAWatchThatIsGoneNeverRun)
{
    FirstFrameRig rig;
    rig.addStep("a");
    rig.watch.reset();
    PaintLogging window(rig.log);
    window.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !rig.log.empty(); }));
    rig.scheduler.advance(FirstFrameWatch::kLongestWait);
    testsupport::processEvents();
    EXPECT_EQ(rig.log, (std::vector<std::string>{"paint"}));
}

} // namespace
