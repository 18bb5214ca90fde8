#pragma once
// Whether the desktop's Do Not Disturb is on, the Linux stand-in for the
// system's Focus state. Linux has no named Focus modes: a source knows only
// on or off.
//   GSettingsFocusSource            GNOME's "show-banners" setting
//   NotificationServerFocusSource   the notification server's `Inhibited`
//   FakeFocusStateSource            a value set by hand (tests)
// makeFocusStateSource() picks the one that fits the running desktop.
//
// Main thread only; `changed` is emitted on it.

#include "Platform/Core/Environment.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>
#include <string_view>

class FocusStateSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Begins following the desktop (idempotent). A source that must ask
    /// first is pending until its answer; `changed` tells when it arrives.
    virtual void start() = 0;
    /// Stops following; the last value stays.
    virtual void stop() = 0;

    /// The source is still waiting for its first answer.
    virtual bool isPending() const = 0;
    /// The desktop answered; without it Do Not Disturb reads off.
    virtual bool isAvailable() const = 0;
    /// Do Not Disturb is on.
    virtual bool isFocusOn() const = 0;

signals:
    /// The answer arrived, or availability or the on/off state changed.
    void changed();
};

class FakeFocusStateSource final : public FocusStateSource {
    Q_OBJECT
public:
    explicit FakeFocusStateSource(bool available = true, bool on = false, QObject* parent = nullptr)
        : FocusStateSource(parent), m_available(available), m_on(on)
    {
    }

    void start() override { ++m_startCount; m_started = true; }
    void stop() override { m_started = false; }
    bool isPending() const override { return m_pending; }
    bool isAvailable() const override { return m_available; }
    bool isFocusOn() const override { return m_available && m_on; }

    /// While pending, the source has not answered yet.
    void setPending(bool pending)
    {
        m_pending = pending;
        if (!pending)
            emit changed();
    }
    /// Changes the value as the desktop would; signals only while started.
    void setFocusOn(bool on)
    {
        m_on = on;
        if (m_started)
            emit changed();
    }
    void setAvailable(bool available)
    {
        m_available = available;
        if (m_started)
            emit changed();
    }
    bool isStarted() const { return m_started; }
    int startCount() const { return m_startCount; }

private:
    bool m_available;
    bool m_on;
    bool m_pending = false;
    bool m_started = false;
    int m_startCount = 0;
};

/// Which source suits a desktop.
enum class FocusSourceKind { gnomeSettings, notificationServer };

/// GNOME (by `XDG_CURRENT_DESKTOP`, a colon-separated list) with its
/// notification settings installed uses them; every other desktop asks the
/// notification server.
FocusSourceKind chooseFocusSource(std::string_view currentDesktop, bool gnomeSettingsInstalled);

/// The source for the running desktop, following `session` for the
/// notification server.
std::unique_ptr<FocusStateSource> makeFocusStateSource(const Environment::Lookup& environment = Environment::process(),
                                                       const QDBusConnection& session = QDBusConnection::sessionBus());
