#include "VudeServices/KeyboardBacklightService.h"

#include "Platform/Display/SysfsBacklight.h"
#include "VudeServices/BrightnessState.h"

KeyboardBacklightService::KeyboardBacklightService(std::unique_ptr<Backlight> backlight, Scheduler& scheduler)
    : m_backlight(std::move(backlight)),
      m_poll("app.ruvudav.notch.kbbacklight", scheduler, *m_backlight, [this](double level) { m_levels.yield(level); })
{
    m_isAvailable = read().has_value();
}

std::unique_ptr<KeyboardBacklightService> KeyboardBacklightService::forSystem(Scheduler& scheduler)
{
    return std::make_unique<KeyboardBacklightService>(
        std::make_unique<SysfsBacklight>(SysfsBacklight::Kind::keyboard, "/sys", std::make_shared<LogindBrightness>()),
        scheduler);
}

std::optional<double> KeyboardBacklightService::read() const
{
    return validBacklightLevel(m_backlight->level());
}

bool KeyboardBacklightService::set(double level)
{
    if (!m_backlight->isAvailable())
        return false;
    return m_backlight->setLevel(clampedBacklightLevel(level));
}

void KeyboardBacklightService::start()
{
    if (!m_isAvailable)
        return;
    m_poll.start();
}

void KeyboardBacklightService::stop()
{
    m_poll.stop();
}
