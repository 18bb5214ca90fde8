#pragma once
// Sends files to a nearby device of the user's (the AirDrop lane of a drop).
//   UnavailableSharingService  the default: no device service is known
//   FakeSharingService         remembers what it sent (tests)

#include <QList>
#include <QUrl>

#include <vector>

class SharingService {
public:
    virtual ~SharingService() = default;

    /// Whether a device can be sent to now.
    virtual bool isAvailable() const = 0;
    /// Starts sending; false when it could not start (nothing was sent),
    /// as when no device is available: no need to ask isAvailable() first.
    virtual bool perform(const QList<QUrl>& items) = 0;
};

class UnavailableSharingService final : public SharingService {
public:
    bool isAvailable() const override { return false; }
    bool perform(const QList<QUrl>&) override { return false; }
};

class FakeSharingService final : public SharingService {
public:
    bool isAvailable() const override
    {
        ++lookups;
        return available;
    }
    bool perform(const QList<QUrl>& items) override
    {
        ++lookups;
        if (!available)
            return false;
        sent.push_back(items);
        return true;
    }

    bool available = true;
    std::vector<QList<QUrl>> sent;
    /// How often the device was looked for: each call of either.
    mutable int lookups = 0;
};
