#include "Vude/Shell/Views/NotchDemo.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<std::string_view, 5> kGestureSymbols{"", "arrow.left.arrow.right", "arrow.up.arrow.down",
                                                         "cursorarrow.click", "arrow.down.doc.fill"};
constexpr std::array<std::string_view, 5> kGestureLabels{"", "Skip", "Open", "Desk", "Drop"};
constexpr std::array<double, 5> kBarOffsets{0, 0.8, 1.6, 2.4, 3.2};

std::size_t cueIndex(int beat)
{
    return static_cast<std::size_t>(std::clamp(beat, 0, 4));
}

} // namespace

NotchDemo::NotchDemo(Script script, double notchWidth, double notchHeight)
    : m_script(script)
    , m_notchWidth(notchWidth)
    , m_notchHeight(notchHeight)
{
}

NotchDemo::~NotchDemo()
{
    stop();
}

bool NotchDemo::isOpen() const
{
    switch (m_script) {
    case Script::overview:
        return m_beat == 2;
    case Script::ravo:
        return m_beat % 2 != 0;
    case Script::gestures:
    case Script::media:
        return false;
    }
    return false;
}

NotchDemo::Size NotchDemo::currentSize() const
{
    switch (m_script) {
    case Script::overview:
        if (m_beat == 1)
            return {m_notchWidth + 96, m_notchHeight};
        if (m_beat == 2)
            return {250, 96};
        return {m_notchWidth, m_notchHeight};
    case Script::gestures:
        return m_beat >= 1 ? Size{m_notchWidth + 84, m_notchHeight} : Size{m_notchWidth, m_notchHeight};
    case Script::media:
        return {m_notchWidth + 116, m_notchHeight + 3};
    case Script::ravo:
        return isOpen() ? Size{250, 96} : Size{m_notchWidth, m_notchHeight};
    }
    return {m_notchWidth, m_notchHeight};
}

std::string_view NotchDemo::gestureSymbol() const
{
    return gestureSymbol(m_beat);
}

std::string_view NotchDemo::gestureLabel() const
{
    return gestureLabel(m_beat);
}

std::string_view NotchDemo::gestureSymbol(int beat)
{
    return kGestureSymbols[cueIndex(beat)];
}

std::string_view NotchDemo::gestureLabel(int beat)
{
    return kGestureLabels[cueIndex(beat)];
}

double NotchDemo::barHeight(int index) const
{
    const auto offset = kBarOffsets[static_cast<std::size_t>(std::clamp(index, 0, 4))];
    return std::abs(std::sin(m_phase + offset)) * 5 + 3;
}

std::vector<NotchDemo::Step> NotchDemo::steps(Script script)
{
    using std::chrono::milliseconds;
    switch (script) {
    case Script::overview:
        return {{0, milliseconds(1100)}, {1, milliseconds(1800)}, {2, milliseconds(2400)}};
    case Script::gestures:
        return {{0, milliseconds(600)},
                {1, milliseconds(1200)},
                {2, milliseconds(1200)},
                {3, milliseconds(1200)},
                {4, milliseconds(1200)}};
    case Script::ravo:
        return {{0, milliseconds(1200)}, {1, milliseconds(2600)}};
    case Script::media:
        return {};
    }
    return {};
}

void NotchDemo::start(Scheduler& scheduler, std::function<void()> changed)
{
    stop();
    m_scheduler = &scheduler;
    m_changed = std::move(changed);
    if (m_script == Script::media) {
        m_task = scheduler.every(mediaInterval, [this] {
            m_phase += mediaPhaseStep;
            if (m_changed)
                m_changed();
        });
        return;
    }
    play(0);
}

void NotchDemo::stop()
{
    m_task.cancel();
}

void NotchDemo::play(std::size_t index)
{
    const auto script = steps(m_script);
    if (script.empty())
        return;
    const auto& step = script[index % script.size()];
    m_beat = step.beat;
    if (m_changed)
        m_changed();
    m_task = m_scheduler->after(step.hold, [this, index] { play((index + 1) % steps(m_script).size()); });
}
