#include "VudeServices/FocusService.h"

FocusService::FocusService(std::unique_ptr<FocusStateSource> source, std::filesystem::path home, QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_database(std::move(home))
{
    if (m_source)
        connect(m_source.get(), &FocusStateSource::changed, this, [this] {
            if (m_started)
                refresh();
        });
}

FocusService::~FocusService() = default;

void FocusService::start()
{
    m_started = true;
    if (m_source)
        m_source->start();
    m_hasRichIdentity = m_database.isReadable();
    if (!m_source || !m_source->isPending())
        refresh();
}

void FocusService::stop()
{
    m_started = false;
    if (m_source)
        m_source->stop();
}

void FocusService::applyFilterIdentity(std::optional<std::string> name, std::optional<std::string> symbol)
{
    m_state.modeName = std::move(name);
    if (symbol)
        m_state.symbol = std::move(*symbol);
    publish();
}

void FocusService::refresh()
{
    if (m_hasRichIdentity) {
        if (const auto mode = m_database.activeMode()) {
            m_state.isActive = true;
            m_state.modeName = mode->name;
            m_state.symbol = mode->symbol.value_or("moon.fill");
            publish();
            return;
        }
    }
    // The desktop's own value, never a guess: without a source Focus reads
    // off, since a stuck "on" would hold back most pills all session.
    m_state.isActive = m_source && m_source->isAvailable() && m_source->isFocusOn();
    publish();
}
