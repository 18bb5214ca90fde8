#pragma once
// The Focus filter on the session bus. Linux has no Focus filters that the
// system runs, so the app offers the filter as a method a user's automation
// can call when a Focus turns on:
//
//   bus name     app.ruvudav.notch
//   object path  /app/ruvudav/notch/FocusFilter
//   interface    app.ruvudav.notch.FocusFilter
//   method       Perform(b showInNotch, s modeName, s symbolName)
//
// An empty text stands for "not set". The call does what running the filter
// does (VudeFocusFilter::perform): it stores the name and symbol and updates
// the Focus pill at once. See docs/FOCUS.md.

#include "VudeServices/FocusFilterBridge.h"

#include <QDBusConnection>
#include <QObject>

class FocusFilterEndpoint final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.ruvudav.notch.FocusFilter")
public:
    static constexpr const char* kServiceName = "app.ruvudav.notch";
    static constexpr const char* kObjectPath = "/app/ruvudav/notch/FocusFilter";
    static constexpr const char* kInterface = "app.ruvudav.notch.FocusFilter";

    explicit FocusFilterEndpoint(FocusFilterBridge& bridge = FocusFilterBridge::shared(), QObject* parent = nullptr);
    ~FocusFilterEndpoint() override;

    /// Exports the object and claims the bus name. False, with nothing left
    /// behind, when the bus is missing or another program (a second copy of
    /// the app) holds the name.
    bool registerOn(const QDBusConnection& bus);

public slots:
    Q_SCRIPTABLE void Perform(bool showInNotch, const QString& modeName, const QString& symbolName);

private:
    void unregister();

    FocusFilterBridge& m_bridge;
    std::optional<QDBusConnection> m_bus;
};
