#include "Vude/App/UpdateService.h"

UpdateService::UpdateService(const BuildProfile&)
    // No updater to start on this platform, whatever the profile says.
    : m_isAvailable(false)
    , m_hasController(false)
{
}

void UpdateService::checkForUpdates()
{
    if (!m_hasController)
        return;
}
