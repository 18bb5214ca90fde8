#include "Platform/Network/FakeLocationBackend.h"

void FakeLocationBackend::requestAuthorization()
{
    ++m_authorizationRequests;
    if (grantOnRequest && m_status == LocationAuthorizationStatus::notDetermined)
        answerAuthorization(LocationAuthorizationStatus::authorizedAlways);
}

void FakeLocationBackend::answerAuthorization(LocationAuthorizationStatus status)
{
    m_status = status;
    if (m_handlers.authorizationChanged)
        m_handlers.authorizationChanged();
}

void FakeLocationBackend::deliver(std::vector<LocationFix> fixes)
{
    if (m_handlers.locationsUpdated)
        m_handlers.locationsUpdated(std::move(fixes));
}

void FakeLocationBackend::fail(std::string error)
{
    if (m_handlers.failed)
        m_handlers.failed(std::move(error));
}
