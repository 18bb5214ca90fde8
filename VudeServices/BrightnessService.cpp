#include "VudeServices/BrightnessService.h"

#include "Platform/Display/SysfsBacklight.h"

BrightnessService::BrightnessService(std::unique_ptr<Backlight> backlight, Scheduler& scheduler)
    : m_backlight(std::move(backlight)),
      m_poll("app.ruvudav.notch.brightness", scheduler, *m_backlight,
             [this](double level) { m_states.yield({level, true, m_source}); })
{
    if (validBacklightLevel(m_backlight->level()))
        m_source = BrightnessState::Source::displayServices;
}

std::unique_ptr<BrightnessService> BrightnessService::forSystem(Scheduler& scheduler)
{
    return std::make_unique<BrightnessService>(
        std::make_unique<SysfsBacklight>(SysfsBacklight::Kind::display, "/sys", std::make_shared<LogindBrightness>()),
        scheduler);
}

std::optional<double> BrightnessService::read(std::uint32_t) const
{
    return validBacklightLevel(m_backlight->level());
}

bool BrightnessService::set(double level, std::uint32_t)
{
    if (!m_backlight->isAvailable())
        return false;
    return m_backlight->setLevel(clampedBacklightLevel(level));
}

BrightnessState BrightnessService::currentState() const
{
    const auto level = validBacklightLevel(m_backlight->level());
    if (!level)
        return {};
    return {*level, true, m_source};
}

void BrightnessService::start()
{
    if (!isAvailable())
        return;
    m_poll.start();
}

void BrightnessService::stop()
{
    m_poll.stop();
}
