#pragma once
// A location backend for tests: the test sets the status, answers the access
// prompt and delivers fixes or failures, which reach the handlers at once.

#include "Platform/Network/LocationBackend.h"

class FakeLocationBackend final : public LocationBackend {
public:
    explicit FakeLocationBackend(LocationAuthorizationStatus status = LocationAuthorizationStatus::notDetermined)
        : m_status(status)
    {
    }

    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    LocationAuthorizationStatus authorizationStatus() const override { return m_status; }
    /// Counts the request; the prompt stays open until answerAuthorization(),
    /// unless grantOnRequest is set (then it answers "authorized always" at
    /// once, as the desktop backend does).
    void requestAuthorization() override;
    void requestLocation() override { ++m_locationRequests; }

    /// The user's answer to the prompt, or a change made elsewhere: stores the
    /// status and tells the handler.
    void answerAuthorization(LocationAuthorizationStatus status);
    void deliver(std::vector<LocationFix> fixes);
    void fail(std::string error = "location unknown");

    bool grantOnRequest = false;
    int authorizationRequests() const { return m_authorizationRequests; }
    int locationRequests() const { return m_locationRequests; }

private:
    Handlers m_handlers;
    LocationAuthorizationStatus m_status;
    int m_authorizationRequests = 0;
    int m_locationRequests = 0;
};
