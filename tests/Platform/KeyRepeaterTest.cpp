#include "Platform/Input/KeyRepeater.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class KeyRepeaterTest : public ::testing::Test {
protected:
    std::function<void()> count(int& repeats)
    {
        return [&repeats] { ++repeats; };
    }

    ManualClock m_clock;
    ManualScheduler m_scheduler{m_clock};
    KeyRepeater m_repeater{m_scheduler};
};

TEST_F(KeyRepeaterTest, AHeldKeyRepeatsAfterTheDelayAtTheIntervalUntilReleased)
{
    int repeats = 0;
    m_repeater.press(123, 300ms, 50ms, count(repeats));
    m_scheduler.advance(299ms);
    EXPECT_EQ(repeats, 0);
    m_scheduler.advance(1ms);
    EXPECT_EQ(repeats, 1);
    m_scheduler.advance(49ms);
    EXPECT_EQ(repeats, 1);
    m_scheduler.advance(1ms);
    EXPECT_EQ(repeats, 2);
    m_scheduler.advance(100ms);
    EXPECT_EQ(repeats, 4);

    m_repeater.release(123);
    m_scheduler.advance(1s);
    EXPECT_EQ(repeats, 4);
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
}

TEST_F(KeyRepeaterTest, AKeyReleasedBeforeTheDelayNeverRepeats)
{
    int repeats = 0;
    m_repeater.press(123, 300ms, 50ms, count(repeats));
    m_scheduler.advance(200ms);
    m_repeater.release(123);
    m_scheduler.advance(1s);
    EXPECT_EQ(repeats, 0);
}

TEST_F(KeyRepeaterTest, TheKeyPressedLastTakesTheRepeatOver)
{
    int first = 0;
    int second = 0;
    m_repeater.press(122, 300ms, 50ms, count(first));
    m_scheduler.advance(350ms);
    EXPECT_EQ(first, 2);

    // The second key starts its own delay; the first stays silent although
    // still held, and releasing it leaves the second alone.
    m_repeater.press(123, 300ms, 50ms, count(second));
    m_scheduler.advance(100ms);
    m_repeater.release(122);
    m_scheduler.advance(200ms);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(m_repeater.repeatingKey(), 123);
}

TEST_F(KeyRepeaterTest, ARepeatMayEndItself)
{
    int repeats = 0;
    m_repeater.press(123, 300ms, 50ms, [&] {
        if (++repeats == 2)
            m_repeater.cancel();
    });
    m_scheduler.advance(1s);
    EXPECT_EQ(repeats, 2);
    EXPECT_FALSE(m_repeater.repeatingKey());
}

} // namespace
